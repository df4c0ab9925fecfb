// Help source reader. The markup characters are ASCII, so they are found in
// the UTF-8 text before it is converted: in code page 932 the trail byte of a
// character may equal '{', '|' or '}'.
#include "helpsource.h"

#include <cstring>

namespace hlp {
namespace {

struct Parser {
    const Encoder& encode;
    HelpDoc* doc;
    std::string* error;
    int line_no = 0;
    Paragraph* open = nullptr;   // paragraph that further lines continue

    bool Fail(const std::string& why)
    {
        *error = "line " + std::to_string(line_no) + ": " + why;
        return false;
    }

    bool Encode(const std::string& text, std::string* out)
    {
        if (!encode(text, out)) return Fail("text not representable in the help file's code page");
        return true;
    }

    bool AddText(std::vector<Run>* runs, const std::string& utf8)
    {
        if (utf8.empty()) return true;
        Run run;
        if (!Encode(utf8, &run.text)) return false;
        runs->push_back(std::move(run));
        return true;
    }

    // Splits one line of text into runs: text, tabs and jumps.
    bool ParseInline(const std::string& line, std::vector<Run>* runs)
    {
        std::string pending;
        for (size_t i = 0; i < line.size(); i++) {
            char c = line[i];
            if (c == '\t') {
                if (!AddText(runs, pending)) return false;
                pending.clear();
                runs->push_back({RunKind::Tab, "", ""});
            } else if (c == '{' && i + 1 < line.size() && line[i + 1] == '{') {
                pending += '{';
                i++;
            } else if (c == '{') {
                size_t bar = line.find('|', i + 1), close = line.find('}', i + 1);
                if (bar == std::string::npos || close == std::string::npos || bar > close)
                    return Fail("jump without {ID|text}");
                Run jump{RunKind::Jump, "", line.substr(i + 1, bar - i - 1)};
                if (!ValidContextId(jump.target)) return Fail("bad context id \"" + jump.target + "\"");
                if (bar + 1 == close) return Fail("jump without text");
                if (!AddText(runs, pending)) return false;
                pending.clear();
                if (!Encode(line.substr(bar + 1, close - bar - 1), &jump.text)) return false;
                runs->push_back(std::move(jump));
                i = close;
            } else {
                pending += c;
            }
        }
        return AddText(runs, pending);
    }

    Topic* Current()
    {
        return doc->topics.empty() ? nullptr : &doc->topics.back();
    }

    // Appends a line to the open paragraph of that font, or starts one.
    bool AddLine(uint16_t font, const std::string& text, bool continues)
    {
        Topic* topic = Current();
        if (!topic) return Fail("text before the first @topic");
        if (open && open->font == font && continues) {
            open->runs.push_back({RunKind::LineBreak, "", ""});
        } else {
            topic->paragraphs.push_back({font, {}});
            open = &topic->paragraphs.back();
        }
        if (!ParseInline(text, &open->runs)) return false;
        if (!continues) open = nullptr;
        return true;
    }

    bool Directive(const std::string& line)
    {
        size_t space = line.find(' ');
        std::string name = line.substr(0, space);
        std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        open = nullptr;
        if (name == "@title") {
            return Encode(rest, &doc->title);
        }
        if (name == "@contents") {
            if (!ValidContextId(rest)) return Fail("bad context id \"" + rest + "\"");
            doc->contents = rest;
            return true;
        }
        if (name == "@topic") {
            size_t split = rest.find(' ');
            Topic topic;
            topic.context = rest.substr(0, split);
            if (!ValidContextId(topic.context)) return Fail("bad context id \"" + topic.context + "\"");
            for (const Topic& t : doc->topics)
                if (t.context == topic.context) return Fail("topic \"" + topic.context + "\" twice");
            std::string title = split == std::string::npos ? "" : rest.substr(split + 1);
            if (title.empty()) return Fail("topic without a title");
            if (!Encode(title, &topic.title)) return false;
            doc->topics.push_back(std::move(topic));
            return AddLine(kFontHeading, title, false);
        }
        if (name == "@keyword") {
            Topic* topic = Current();
            if (!topic) return Fail("@keyword before the first @topic");
            if (rest.empty()) return Fail("empty keyword");
            std::string word;
            if (!Encode(rest, &word)) return false;
            topic->keywords.push_back(std::move(word));
            return true;
        }
        return Fail("unknown directive \"" + name + "\"");
    }

    bool Line(std::string line)
    {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            open = nullptr;
            return true;
        }
        switch (line[0]) {
        case '#': return true;
        case '@': return Directive(line);
        case '=': return AddLine(kFontHeading, line.substr(line.size() > 1 && line[1] == ' ' ? 2 : 1), false);
        case '!': return AddLine(kFontFixed, line.substr(line.size() > 1 && line[1] == ' ' ? 2 : 1), true);
        default: return AddLine(kFontBody, line, true);
        }
    }
};

}  // namespace

bool ParseHelpSource(const std::string& source, const Encoder& encode, HelpDoc* doc,
                     std::string* error)
{
    *doc = HelpDoc();
    Parser parser{encode, doc, error};
    size_t start = 0;
    while (start < source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string::npos) end = source.size();
        parser.line_no++;
        if (memchr(source.data() + start, '\0', end - start))
            return parser.Fail("NUL character");
        if (!parser.Line(source.substr(start, end - start))) return false;
        start = end + 1;
    }
    if (doc->topics.empty()) {
        *error = "no @topic in the source";
        return false;
    }
    if (doc->title.empty()) {
        *error = "no @title in the source";
        return false;
    }
    return true;
}

}  // namespace hlp
