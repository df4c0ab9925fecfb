// Reader of the help source text (UTF-8) into a HelpDoc. The format is
// line-based:
//
//   # comment                     ignored
//   @title TEXT                   title of the help file
//   @contents ID                  contents topic (default: the first topic)
//   @topic ID TITLE               starts a topic; its title becomes its heading
//   @keyword WORD                 index entry for the current topic (repeatable)
//   = TEXT                        a heading paragraph
//   ! TEXT                        a fixed-pitch line; consecutive ones form one paragraph
//   TEXT                          body text; consecutive lines form one paragraph,
//                                 each line after the first on a new line
//   (blank line)                  ends a paragraph
//
// Inside TEXT: {ID|shown text} is a jump to topic ID, "{{" a literal "{",
// and a TAB character a tab stop.
#pragma once

#include <functional>
#include <string>

#include "hlpfile.h"

namespace hlp {

// Converts a UTF-8 text to the help file's code page; false when it cannot.
using Encoder = std::function<bool(const std::string& utf8, std::string* out)>;

// False with "line N: reason" in *error on the first fault.
bool ParseHelpSource(const std::string& source, const Encoder& encode, HelpDoc* doc,
                     std::string* error);

}  // namespace hlp
