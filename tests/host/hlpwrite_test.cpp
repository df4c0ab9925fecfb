// The help writer, read back the way a WinHelp viewer reads a .hlp file:
// directory B+ tree, topic blocks and links, context hashes, keyword index.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>

#include "bytes.h"
#include "helpsource.h"
#include "hlpfile.h"

using hlp::Bytes;

namespace {

// ---- A small reader of the format ----

uint16_t U16(const Bytes& b, size_t at) { return at + 2 <= b.size() ? get_le16(&b[at]) : 0xDEAD; }
uint32_t U32(const Bytes& b, size_t at) { return at + 4 <= b.size() ? get_le32(&b[at]) : 0xDEADBEEF; }

// Leaf entries of a B+ tree in order, each as the bytes from its key to the
// next entry; `entry_size` tells the size of the entry at a position.
std::vector<Bytes> LeafEntries(const Bytes& tree, size_t (*entry_size)(const uint8_t*))
{
    std::vector<Bytes> out;
    EXPECT_EQ(U16(tree, 0), 0x293B);
    const size_t page_size = U16(tree, 4);
    unsigned page = U16(tree, 26), levels = U16(tree, 32);
    auto page_at = [&](unsigned n) { return 38 + n * page_size; };
    while (--levels > 0) page = U16(tree, page_at(page) + 4);   // PreviousPage: leftmost child
    for (int seen = 0; page != 0xFFFF && seen < 1000; seen++) {
        size_t at = page_at(page);
        EXPECT_LE(at + page_size, tree.size());
        unsigned entries = U16(tree, at + 2);
        size_t p = at + 8;
        for (unsigned i = 0; i < entries; i++) {
            size_t n = entry_size(&tree[p]);
            out.emplace_back(tree.begin() + p, tree.begin() + p + n);
            p += n;
        }
        EXPECT_LE(p, at + page_size);
        page = U16(tree, at + 6);
    }
    EXPECT_EQ(out.size(), U32(tree, 34));
    return out;
}

size_t NameAndLong(const uint8_t* p) { return strlen((const char*)p) + 1 + 4; }
size_t KeywordEntry(const uint8_t* p) { return strlen((const char*)p) + 1 + 6; }

// Descends the tree as a viewer does to find one key; `compare` orders an
// entry against the key and gives the size of the entry (index: leaf false).
template <typename Compare>
const uint8_t* Search(const Bytes& tree, Compare compare)
{
    const size_t page_size = U16(tree, 4);
    unsigned page = U16(tree, 26), levels = U16(tree, 32);
    auto page_ptr = [&](unsigned n) { return &tree[38 + n * page_size]; };
    while (--levels > 0) {
        const uint8_t* p = page_ptr(page) + 6;
        unsigned entries = get_le16(p - 4), child = get_le16(p - 2);
        for (unsigned i = 0; i < entries; i++) {
            size_t size;
            if (compare(p, false, &size) > 0) break;
            child = get_le16(p + size - 2);
            p += size;
        }
        page = child;
    }
    const uint8_t* p = page_ptr(page) + 8;
    for (unsigned i = 0, entries = get_le16(p - 6); i < entries; i++) {
        size_t size;
        int c = compare(p, true, &size);
        if (c == 0) return p;
        if (c > 0) return nullptr;
        p += size;
    }
    return nullptr;
}

// The internal files by name, the directory checked on the way.
std::map<std::string, Bytes> Open(const Bytes& image)
{
    std::map<std::string, Bytes> files;
    EXPECT_EQ(U32(image, 0), 0x00035F3Fu);
    EXPECT_EQ(U32(image, 12), image.size());
    uint32_t dir = U32(image, 4);
    Bytes tree(image.begin() + dir + 9, image.begin() + dir + 9 + U32(image, dir + 4));
    std::string previous;
    for (const Bytes& e : LeafEntries(tree, NameAndLong)) {
        std::string name((const char*)e.data());
        EXPECT_LT(previous, name) << "directory not sorted";
        previous = name;
        uint32_t at = U32(e, name.size() + 1), used = U32(image, at + 4);
        EXPECT_EQ(U32(image, at), used + 9) << name;
        EXPECT_LE(at + 9 + used, image.size()) << name;
        files[name] = Bytes(image.begin() + at + 9, image.begin() + at + 9 + used);
    }
    return files;
}

// Link data of |TOPIC, block by block: the general LZ77 decoder.
std::vector<Bytes> TopicBlocks(const Bytes& topic)
{
    std::vector<Bytes> blocks;
    for (size_t at = 0; at < topic.size(); at += hlp::kTopicBlockSize) {
        size_t end = std::min(topic.size(), at + hlp::kTopicBlockSize);
        Bytes out;
        for (size_t p = at + 12; p < end;) {
            uint8_t mask = topic[p++];
            for (int bit = 0; bit < 8 && p < end; bit++, mask >>= 1) {
                if (mask & 1) {
                    uint16_t code = get_le16(&topic[p]);
                    p += 2;
                    for (int n = 3 + (code >> 12); n > 0; n--) out.push_back(out[out.size() - (code & 0xFFF) - 1]);
                } else {
                    out.push_back(topic[p++]);
                }
            }
        }
        blocks.push_back(out);
    }
    return blocks;
}

struct LinkRead { uint32_t pos; uint8_t type; Bytes data1, data2; uint32_t prev, next; };

// Follows the chain of topic links from TOPICPOS 12.
std::vector<LinkRead> Links(const std::vector<Bytes>& blocks)
{
    Bytes all;
    std::vector<size_t> base;
    for (const Bytes& b : blocks) {
        base.push_back(all.size());
        all.insert(all.end(), b.begin(), b.end());
    }
    std::vector<LinkRead> links;
    for (uint32_t pos = 12; pos != 0xFFFFFFFF && links.size() < 10000;) {
        size_t block = (pos - 12) >> 14, off = (pos - 12) & 0x3FFF;
        if (block >= blocks.size()) {
            ADD_FAILURE() << "link outside the topic blocks";
            break;
        }
        size_t at = base[block] + off;
        uint32_t size = U32(all, at), len2 = U32(all, at + 4), len1 = U32(all, at + 16);
        EXPECT_EQ(size, len1 + len2);
        links.push_back({pos, all[at + 20], Bytes(all.begin() + at + 21, all.begin() + at + len1),
                         Bytes(all.begin() + at + len1, all.begin() + at + size), U32(all, at + 8), U32(all, at + 12)});
        pos = links.back().next;
    }
    return links;
}

// TopicLength of a display record: after the compressed long TopicSize.
unsigned TopicLength(const Bytes& data1)
{
    size_t p = (data1[0] & 1) ? 4 : 2;
    return (data1[p] & 1) ? get_le16(&data1[p]) / 2 : data1[p] / 2;
}

// The TOPICOFFSET of every topic header, counted as a viewer counts it.
std::vector<uint32_t> TopicOffsets(const std::vector<LinkRead>& links)
{
    std::vector<uint32_t> out;
    uint32_t block = ~0u, count = 0;
    for (const LinkRead& l : links) {
        uint32_t b = (l.pos - 12) >> 14;
        if (b != block) block = b, count = 0;
        if (l.type == 0x02) out.push_back(block * 0x8000 + count);
        if (l.type == 0x20) count += TopicLength(l.data1);
    }
    return out;
}

hlp::HelpDoc ManyTopics(int count)
{
    hlp::HelpDoc doc;
    doc.title = "T";
    for (int i = 0; i < count; i++) {
        hlp::Topic t;
        t.context = "topic_" + std::to_string(i);
        t.title = "Title " + std::to_string(i);
        t.paragraphs.push_back({hlp::kFontBody, {{hlp::RunKind::Text, std::string(200 + 37 * (i % 7), 'a' + i % 26), ""}}});
        t.paragraphs.push_back({hlp::kFontBody,
                                {{hlp::RunKind::Text, "see ", ""}, {hlp::RunKind::Jump, "first", "topic_0"},
                                 {hlp::RunKind::LineBreak, "", ""}, {hlp::RunKind::Tab, "", ""}}});
        doc.topics.push_back(t);
    }
    return doc;
}

bool Identity(const std::string& in, std::string* out) { return *out = in, true; }

// ---- Tests ----

TEST(HlpWrite, ContextHashAgreesWithTheViewersLetterCode)
{
    // Letters (either case) 17.., digits 1-9 as themselves, '0' as 10,
    // '.' 12, '_' 13, each step hash * 43.
    auto reference = [](const std::string& s) {
        uint32_t h = 0;
        for (char c : s)
            h = h * 43 + (isalpha((unsigned char)c) ? (toupper(c) - 'A' + 17) : c == '0' ? 10 : c == '.' ? 12
                          : c == '_' ? 13 : c - '0');
        return h;
    };
    for (const char* id : {"contents", "CONTENTS", "tree", "a", "Z9", "x_0.y", "errors_and_more_1234567890"}) {
        EXPECT_TRUE(hlp::ValidContextId(id)) << id;
        EXPECT_EQ(hlp::ContextHash(id), reference(id)) << id;
    }
    EXPECT_EQ(hlp::ContextHash(""), 1u);
    for (const char* bad : {"", "a b", "a-b", "\xc3\xde"}) EXPECT_FALSE(hlp::ValidContextId(bad)) << bad;
}

TEST(HlpWrite, BTreeOverSeveralLeavesIsSearchableAndChained)
{
    // Directory pages are 1 KB: forty long names need several leaves.
    std::vector<hlp::BTreeEntry> entries;
    for (int i = 0; i < 40; i++) {
        char name[64];
        snprintf(name, sizeof name, "|file_%03d_with_a_rather_long_name", i);
        Bytes key(name, name + strlen(name) + 1), data(4);
        put_le32(data.data(), (uint32_t)i);
        entries.push_back({key, data});
    }
    Bytes tree;
    std::vector<hlp::LeafStart> leaves;
    std::string error;
    ASSERT_TRUE(hlp::BuildBTree({"z4", 1024, true}, entries, &tree, &leaves, &error)) << error;
    ASSERT_GT(leaves.size(), 1u);
    EXPECT_EQ(U16(tree, 32), 2);                       // one index level
    EXPECT_EQ(U16(tree, 2) & 0x0400, 0x0400);          // directory flag
    std::vector<Bytes> read = LeafEntries(tree, NameAndLong);
    ASSERT_EQ(read.size(), entries.size());
    for (size_t i = 0; i < entries.size(); i++) {
        const char* name = (const char*)entries[i].key.data();
        EXPECT_EQ(std::string((const char*)read[i].data()), name);
        const uint8_t* found = Search(tree, [&](const uint8_t* p, bool leaf, size_t* size) {
            *size = strlen((const char*)p) + 1 + (leaf ? 4 : 2);
            return strcmp((const char*)p, name);
        });
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(get_le32(found + strlen(name) + 1), i);
    }
    for (size_t l = 0; l < leaves.size(); l++) EXPECT_EQ(leaves[l].page, l);
    EXPECT_EQ(leaves[0].first_entry, 0u);

    entries.push_back({Bytes(2000, 'x'), Bytes(4)});
    EXPECT_FALSE(hlp::BuildBTree({"z4", 1024, true}, entries, &tree, nullptr, &error));
    Bytes image;
    EXPECT_FALSE(hlp::BuildFileSystem({{"|FONT", {}}, {"|FONT", {}}}, &image, &error));   // a name twice
}

TEST(HlpWrite, TopicLinksChainAcrossBlocksWithTheirOffsetsAndRecords)
{
    hlp::HelpDoc doc = ManyTopics(60);   // about 20 KB of links: six blocks
    hlp::TopicLayout layout;
    std::string error;
    ASSERT_TRUE(hlp::BuildTopicFile(doc, &layout, &error)) << error;
    std::vector<Bytes> blocks = TopicBlocks(layout.file);
    ASSERT_GE(blocks.size(), 4u);
    for (size_t b = 0; b + 1 < blocks.size(); b++) EXPECT_EQ(blocks[b].size(), hlp::kBlockData) << b;

    std::vector<LinkRead> links = Links(blocks);
    ASSERT_EQ(links.size(), doc.topics.size() * 3);
    std::vector<uint32_t> header_pos;
    for (size_t i = 0; i < links.size(); i++) {
        EXPECT_EQ(links[i].prev, i ? links[i - 1].pos : 0xFFFFFFFF) << i;
        if (links[i].type == 0x02) header_pos.push_back(links[i].pos);
    }
    EXPECT_EQ(header_pos, layout.topic_pos);
    EXPECT_EQ(TopicOffsets(links), layout.topic_offset);

    // Block headers: the first link that starts in each block.
    std::map<size_t, uint32_t> first;
    for (const LinkRead& l : links) first.emplace((l.pos - 12) >> 14, l.pos);
    for (size_t b = 0; b < blocks.size(); b++)
        EXPECT_EQ(U32(layout.file, b * hlp::kTopicBlockSize + 4), first.count(b) ? first[b] : 0xFFFFFFFF) << b;

    // Topic headers: title, browse sequence, next topic.
    for (size_t t = 0, i = 0; i < links.size(); i++) {
        if (links[i].type != 0x02) continue;
        const Bytes& h = links[i].data1;
        EXPECT_EQ(std::string((const char*)links[i].data2.data()), doc.topics[t].title);
        EXPECT_EQ(U32(h, 4), t ? layout.topic_offset[t - 1] : 0xFFFFFFFF);
        EXPECT_EQ(U32(h, 8), t + 1 < doc.topics.size() ? layout.topic_offset[t + 1] : 0xFFFFFFFF);
        EXPECT_EQ(U32(h, 24), t + 1 < doc.topics.size() ? layout.topic_pos[t + 1] : 0xFFFFFFFF);
        t++;
    }

    // A paragraph record pairs every string with a command.
    const LinkRead& jump = links[2];   // "see " {first} line break, tab
    ASSERT_EQ(jump.type, 0x20);
    EXPECT_EQ(TopicLength(jump.data1), jump.data2.size());

    // Formatting after TopicSize, TopicLength and the paragraph info.
    const Bytes& f = jump.data1;
    size_t p = 2 + 1 + 4 + 2 + 1;   // long, short, 4 unknown bytes, bits, spacing below
    std::vector<uint8_t> commands;
    for (uint8_t c; p < f.size(); p += c == 0x80 ? 3 : c == 0xE3 ? 5 : 1) {
        commands.push_back(c = f[p]);
        if (c == 0xE3) {
            EXPECT_EQ(U32(f, p + 1), hlp::ContextHash("topic_0"));
        }
    }
    EXPECT_EQ(commands, (std::vector<uint8_t>{0x80, 0xE3, 0x89, 0x81, 0x83, 0x82, 0xFF}));
    EXPECT_EQ(std::count(jump.data2.begin(), jump.data2.end(), 0), (long)commands.size());
    EXPECT_EQ(std::string(jump.data2.begin(), jump.data2.end()), std::string("\0see \0first\0\0\0\0\0", 16));
}

TEST(HlpWrite, RefusesWhatTheFormatCannotHold)
{
    struct Case { const char* what; std::function<void(hlp::HelpDoc&)> change; } cases[] = {
        {"jump to nowhere", [](hlp::HelpDoc& d) { d.topics[1].paragraphs[1].runs[1].target = "nowhere"; }},
        {"sizes past the two-byte fields", [](hlp::HelpDoc& d) { d.topics[0].paragraphs[0].runs[0].text.assign(0x4000, 'x'); }},
        {"undefined font", [](hlp::HelpDoc& d) { d.topics[0].paragraphs[0].font = hlp::kFontCount; }},
        {"NUL in a text", [](hlp::HelpDoc& d) { d.topics[0].paragraphs[0].runs[0].text = std::string("a\0b", 3); }},
        {"NUL in a keyword", [](hlp::HelpDoc& d) { d.topics[1].keywords = {std::string("a\0b", 3)}; }},
        {"missing contents topic", [](hlp::HelpDoc& d) { d.contents = "missing"; }},
        {"title beyond a |SYSTEM record", [](hlp::HelpDoc& d) { d.title.assign(0x2000, 'x'); }},
    };
    Bytes image;
    std::string error;
    ASSERT_TRUE(hlp::WriteHelpFile(ManyTopics(2), &image, &error)) << error;
    for (const Case& c : cases) {
        hlp::HelpDoc doc = ManyTopics(2);
        c.change(doc);
        error.clear();
        EXPECT_FALSE(hlp::WriteHelpFile(doc, &image, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

TEST(HlpWrite, KeywordOrderFoldsAsciiButNotTrailBytes)
{
    struct Case { const char* a; const char* b; int sign; };
    const Case cases[] = {
        {"abc", "ABC", 0}, {"Tree", "toc", 1}, {"ab", "abc", -1},
        {"\x83\x41", "\x83\x61", -1},        // two katakana whose trail bytes are 'A' and 'a'
        {"\x83\x41Z", "\x83\x41z", 0},       // after a whole character, letters fold again
        {"\xc3\xde", "\xc3\xdf", -1},        // half-width katakana are single bytes
    };
    for (const Case& c : cases) {
        int r = hlp::CompareKeywords(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " / " << c.b;
    }
}

TEST(HlpWrite, IndexContextAndSystemLeadToTheirTopics)
{
    hlp::HelpDoc doc = ManyTopics(30);
    doc.contents = "topic_3";
    doc.topics[5].context = "errors";   // its hash is negative as a signed number
    doc.topics[6].context = "t5";
    const std::string tree_key = "\xc3\xde\xa8\xda\xb8\xc4\xd8\xa5\xc2\xd8\xb0";   // the tree window's key word
    doc.topics[21].keywords = {tree_key, "Index"};
    doc.topics[7].keywords = {"index", "zeta"};   // same keyword, another case
    Bytes image;
    std::string error;
    ASSERT_TRUE(hlp::WriteHelpFile(doc, &image, &error)) << error;
    std::map<std::string, Bytes> files = Open(image);
    for (const char* name : {"|SYSTEM", "|TOPIC", "|FONT", "|CONTEXT", "|TTLBTREE", "|KWBTREE", "|KWDATA", "|KWMAP"})
        EXPECT_TRUE(files.count(name)) << name;
    std::vector<uint32_t> offsets = TopicOffsets(Links(TopicBlocks(files["|TOPIC"])));
    ASSERT_EQ(offsets.size(), doc.topics.size());

    // |SYSTEM: 3.1 header, then records; contents and charset.
    const Bytes& sys = files["|SYSTEM"];
    EXPECT_EQ(U16(sys, 0), 0x036C);
    EXPECT_EQ(U16(sys, 2), 21);
    std::map<uint16_t, Bytes> records;
    for (size_t p = 12; p + 4 <= sys.size(); p += 4 + U16(sys, p + 2))
        records[U16(sys, p)] = Bytes(sys.begin() + p + 4, sys.begin() + p + 4 + U16(sys, p + 2));
    EXPECT_EQ(U32(records[3], 0), offsets[3]);
    EXPECT_EQ(records[11].at(0), 128);
    EXPECT_EQ(std::string((const char*)records[1].data()), "T");

    // |CONTEXT: every topic's hash, searched as a signed number.
    const Bytes& ctx = files["|CONTEXT"];
    for (size_t t = 0; t < doc.topics.size(); t++) {
        int32_t key = (int32_t)hlp::ContextHash(doc.topics[t].context);
        const uint8_t* found = Search(ctx, [&](const uint8_t* p, bool leaf, size_t* size) {
            *size = leaf ? 8 : 6;
            int32_t v = (int32_t)get_le32(p);
            return v < key ? -1 : v > key ? 1 : 0;
        });
        ASSERT_NE(found, nullptr) << t;
        EXPECT_EQ(get_le32(found + 4), offsets[t]) << t;
    }
    EXPECT_EQ(LeafEntries(files["|TTLBTREE"], [](const uint8_t* p) { return 4 + strlen((const char*)p + 4) + 1; }).size(),
              doc.topics.size());

    // Keywords: sorted, once each, with their topics in |KWDATA.
    std::map<std::string, std::vector<uint32_t>> index;
    std::string previous;
    for (const Bytes& e : LeafEntries(files["|KWBTREE"], KeywordEntry)) {
        std::string word((const char*)e.data());
        EXPECT_LT(hlp::CompareKeywords(previous, word), 0) << word;
        previous = word;
        uint16_t count = U16(e, word.size() + 1);
        uint32_t at = U32(e, word.size() + 3);
        for (uint16_t i = 0; i < count; i++) index[word].push_back(U32(files["|KWDATA"], at + 4 * i));
    }
    EXPECT_EQ(index.size(), 3u);
    EXPECT_EQ(index[tree_key], std::vector<uint32_t>{offsets[21]});
    EXPECT_EQ(index["index"], (std::vector<uint32_t>{offsets[7], offsets[21]}));   // first spelling kept
    EXPECT_EQ(files["|KWMAP"].size(), 6u);
    EXPECT_EQ(U32(files["|KWMAP"], 0), 0u);
}

TEST(HlpWrite, SourceBuildsParagraphsJumpsAndKeywords)
{
    const char* source =
        "# comment\n@title Help\n@topic first First topic\n@keyword alpha\n"
        "line one {second|go} {{x}\nline\ttwo\n\n= Heading\n! fixed 1\n! fixed 2\n"
        "@topic second Second\r\nbody\r\n";
    hlp::HelpDoc doc;
    std::string error;
    ASSERT_TRUE(hlp::ParseHelpSource(source, Identity, &doc, &error)) << error;
    ASSERT_EQ(doc.topics.size(), 2u);
    const hlp::Topic& t = doc.topics[0];
    EXPECT_EQ(t.keywords, std::vector<std::string>{"alpha"});
    ASSERT_EQ(t.paragraphs.size(), 4u);   // title heading, body, heading, fixed
    // Each run as kind:text:target.
    auto runs = [](const hlp::Paragraph& p) {
        std::string out;
        for (const hlp::Run& r : p.runs) out += std::to_string((int)r.kind) + ":" + r.text + ":" + r.target + "|";
        return out;
    };
    EXPECT_EQ(runs(t.paragraphs[0]), "0:First topic:|");
    EXPECT_EQ(runs(t.paragraphs[1]), "0:line one :|3:go:second|0: {x}:|1::|0:line:|2::|0:two:|");
    EXPECT_EQ(runs(t.paragraphs[3]), "0:fixed 1:|1::|0:fixed 2:|");
    EXPECT_EQ(t.paragraphs[3].font, hlp::kFontFixed);
    EXPECT_EQ(runs(doc.topics[1].paragraphs[1]), "0:body:|");
}

TEST(HlpWrite, SourceFaultsNameTheirLine)
{
    struct Case { std::string source; const char* error; };
    const Case cases[] = {
        {std::string("@title T\n@topic a A\nx\0y\n", 24), "line 3"},
        {"@title T\ntext first\n", "line 2"},
        {"@title T\n@topic a A\n@bogus\n", "line 3: unknown directive"},
        {"@title T\n@topic a A\n{a text}\n", "line 3: jump"},
        {"@title T\n@topic a A\n{b c|x}\n", "line 3: bad context id"},
        {"@title T\n@topic a A\n@topic a B\n", "line 3: topic \"a\" twice"},
        {"@title T\n@topic bad-id A\n", "line 2: bad context id"},
        {"@title T\n@topic a\n", "line 2: topic without a title"},
        {"@title T\n", "no @topic"},
        {"@topic a A\n", "no @title"},
    };
    for (const Case& c : cases) {
        hlp::HelpDoc doc;
        std::string error;
        EXPECT_FALSE(hlp::ParseHelpSource(c.source, Identity, &doc, &error)) << c.source;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    hlp::HelpDoc doc;
    std::string error;
    auto refuse = [](const std::string& in, std::string* out) { *out = in; return in.find('~') == std::string::npos; };
    EXPECT_FALSE(hlp::ParseHelpSource("@title T\n@topic a A\nx~\n", refuse, &doc, &error));
    EXPECT_NE(error.find("line 3"), std::string::npos);
}

}  // namespace
