// Writer of WinHelp 3.1 help files (.hlp): the internal file system with its
// B+ tree directory, |SYSTEM, |FONT, |TOPIC, |CONTEXT, |TTLBTREE and the
// keyword index |KWBTREE, |KWDATA, |KWMAP. Portable: bytes in, bytes out.
//
// All texts of a HelpDoc are already in the file's code page (932 here); the
// writer copies them as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hlp {

using Bytes = std::vector<uint8_t>;

// ---- Document model ----

enum class RunKind { Text, LineBreak, Tab, Jump };

struct Run {
    RunKind kind = RunKind::Text;
    std::string text;     // Text and Jump: the characters shown
    std::string target;   // Jump: context id of the topic jumped to
};

// Font numbers of the |FONT file this writer emits.
enum Font : uint16_t { kFontBody = 0, kFontHeading = 1, kFontFixed = 2, kFontCount = 3 };

struct Paragraph {
    uint16_t font = kFontBody;
    std::vector<Run> runs;
};

struct Topic {
    std::string context;                 // context id: letters, digits, '_' and '.'
    std::string title;
    std::vector<std::string> keywords;   // index entries that lead here
    std::vector<Paragraph> paragraphs;
};

struct HelpDoc {
    std::string title;      // |SYSTEM title, shown in the help window's caption
    std::string contents;   // context id of the contents topic; empty: the first topic
    std::vector<Topic> topics;
};

// ---- Pieces of the format (exposed for tests) ----

// Hash of a context id as |CONTEXT and jump hotspots store it.
uint32_t ContextHash(const std::string& context);
bool ValidContextId(const std::string& context);

// One B+ tree entry: the key bytes as a leaf stores them (a NUL-terminated
// string or a 32-bit number) followed by the entry's data.
struct BTreeEntry {
    Bytes key;
    Bytes data;
};

struct BTreeLayout {
    const char* structure;   // BTREEHEADER structure string, e.g. "z4"
    uint16_t page_size;
    bool directory;          // the internal file directory (flag 0x0400)
};

// Leaf page of the n-th leaf and the number of the first entry in it: what
// |KWMAP records.
struct LeafStart {
    uint32_t first_entry;
    uint16_t page;
};

// B+ tree over entries already sorted by key: leaf pages in order, plus one
// index page when more than one leaf is needed. False (with a reason) when
// an entry does not fit into a page or the leaves outgrow one index page.
bool BuildBTree(const BTreeLayout& layout, const std::vector<BTreeEntry>& entries, Bytes* out,
                std::vector<LeafStart>* leaves, std::string* error);

// An internal file as it goes into the file system.
struct InternalFile {
    std::string name;
    Bytes content;
};

// The whole .hlp image: header, each internal file behind its FILEHEADER,
// and the directory B+ tree (sorted by name) last.
bool BuildFileSystem(std::vector<InternalFile> files, Bytes* out, std::string* error);

// |TOPIC and what the other files need to know about it.
struct TopicLayout {
    Bytes file;                          // content of |TOPIC
    std::vector<uint32_t> topic_pos;     // TOPICPOS of each topic's header link
    std::vector<uint32_t> topic_offset;  // TOPICOFFSET of each topic
};

// Topic blocks are 4 KB; each carries exactly kBlockData bytes of link data
// (the last one fewer), stored as LZ77 literal runs.
constexpr uint32_t kTopicBlockSize = 4096;
constexpr uint32_t kBlockData = 3630;

bool BuildTopicFile(const HelpDoc& doc, TopicLayout* layout, std::string* error);

// Keyword order of the index: byte order with ASCII letters folded, lead and
// trail bytes of code page 932 characters compared unchanged.
int CompareKeywords(const std::string& a, const std::string& b);

// The complete help file.
bool WriteHelpFile(const HelpDoc& doc, Bytes* out, std::string* error);

}  // namespace hlp
