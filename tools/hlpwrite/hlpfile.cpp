// WinHelp 3.1 file writer. Every multi-byte field of the format is
// little-endian.
#include "hlpfile.h"

#include <algorithm>
#include <cstring>

#include "bytes.h"

namespace hlp {
namespace {

constexpr uint32_t kFileMagic = 0x00035F3F;
constexpr uint16_t kBTreeMagic = 0x293B;
constexpr uint16_t kSystemMagic = 0x036C;
constexpr uint16_t kVersionMinor31 = 21;       // files of the 3.1 help compiler
constexpr uint16_t kSystemFlagsLz77Blocks4k = 4;
constexpr uint32_t kNone = 0xFFFFFFFF;         // TOPICPOS/TOPICOFFSET "no such link"

constexpr size_t kFileHeaderSize = 9;          // ReservedSpace, UsedSpace, FileFlags
constexpr uint8_t kFileFlags = 4;
constexpr size_t kLeafHeaderSize = 8;          // Unused, NEntries, PreviousPage, NextPage
constexpr size_t kIndexHeaderSize = 6;         // Unused, NEntries, PreviousPage

constexpr size_t kBlockHeaderSize = 12;        // TOPICBLOCKHEADER
constexpr uint32_t kDecompressSize = 0x4000;   // TOPICPOS: block number above 14 bits
constexpr uint32_t kOffsetBlock = 0x8000;      // TOPICOFFSET: block number above 15 bits
constexpr size_t kLinkHeaderSize = 21;         // TOPICLINK up to and with RecordType
constexpr size_t kTopicHeaderSize = 28;        // TOPICHEADER of HC31
constexpr uint8_t kLinkTopicHeader = 0x02;
constexpr uint8_t kLinkDisplay = 0x20;

// Character formatting commands of a display record.
constexpr uint8_t kCmdFont = 0x80;
constexpr uint8_t kCmdLineBreak = 0x81;
constexpr uint8_t kCmdParagraphEnd = 0x82;
constexpr uint8_t kCmdTab = 0x83;
constexpr uint8_t kCmdHotspotEnd = 0x89;
constexpr uint8_t kCmdJump = 0xE3;            // topic jump by context hash, green underline
constexpr uint8_t kCmdEnd = 0xFF;

// Paragraph info: "space below follows", in half points as a compressed short.
constexpr uint16_t kParaSpacingBelow = 0x0004;
constexpr int kSpacingBelow = 6;

// Compressed fields of display records take this many bits, so the writer
// keeps each record's sizes below the two-byte limit.
constexpr uint32_t kCompressedLimit = 0x4000;

constexpr uint8_t kShiftJisCharset = 128;
constexpr size_t kMaxSystemText = 0x1000;

// SYSTEM record types.
constexpr uint16_t kSysTitle = 1;
constexpr uint16_t kSysContents = 3;
constexpr uint16_t kSysConfig = 4;
constexpr uint16_t kSysCharset = 11;

struct Writer {
    Bytes& b;
    void u8(uint32_t v) { b.push_back((uint8_t)v); }
    void u16(uint32_t v) { size_t n = b.size(); b.resize(n + 2); put_le16(&b[n], v); }
    void u32(uint32_t v) { size_t n = b.size(); b.resize(n + 4); put_le32(&b[n], v); }
    void str(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
    void strz(const std::string& s) { str(s); b.push_back(0); }
    void bytes(const Bytes& v) { b.insert(b.end(), v.begin(), v.end()); }
};

Bytes Le32(uint32_t v)
{
    Bytes b(4);
    put_le32(b.data(), v);
    return b;
}

Bytes StringKey(const std::string& s)
{
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

// The hash table of the 3.1 help compiler, indexed by byte.
const uint8_t kHashTable[256] = {
    0x00, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
    0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF,
    0xF0, 0x0B, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0x0C, 0xFF,
    0x0A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0D,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F,
    0x80, 0x81, 0x82, 0x83, 0x0B, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F,
    0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F,
    0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
};

bool IsLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// ---- Topic records ----

// Compressed unsigned short: one byte for values below 128, else two.
void PutCompressedU16(Writer& w, uint32_t v)
{
    if (v < 0x80) w.u8(v * 2);
    else w.u16(v * 2 + 1);
}

// Compressed signed long in its two-byte form (callers keep |v| < 0x4000).
void PutCompressedLong(Writer& w, uint32_t v) { w.u16(v * 2 + 0x8000); }

// Compressed signed short in its one-byte form (-64..63).
void PutCompressedShort(Writer& w, int v) { w.u8((uint32_t)(v + 64) * 2); }

// LinkData1 (after the TOPICLINK header) and LinkData2 of one paragraph.
struct ParagraphRecord {
    Bytes data1;
    Bytes data2;
};

bool BuildParagraph(const Paragraph& para, const std::vector<std::string>& contexts,
                    ParagraphRecord* rec, std::string* error)
{
    // Viewers index their font table with the number unchecked, and a NUL
    // inside a text would shift every later string against its command.
    if (para.font >= kFontCount) {
        *error = "no font " + std::to_string(para.font);
        return false;
    }
    for (const Run& run : para.runs)
        if (run.text.find('\0') != std::string::npos) {
            *error = "NUL inside a text";
            return false;
        }
    Bytes format, text;
    Writer f{format}, t{text};
    // Every command follows one NUL-terminated string of LinkData2.
    auto command = [&](uint8_t cmd) { t.u8(0); f.u8(cmd); };
    f.u8(kCmdFont);
    f.u16(para.font);
    t.u8(0);
    for (const Run& run : para.runs) {
        switch (run.kind) {
        case RunKind::Text: t.str(run.text); break;
        case RunKind::LineBreak: command(kCmdLineBreak); break;
        case RunKind::Tab: command(kCmdTab); break;
        case RunKind::Jump:
            if (std::find(contexts.begin(), contexts.end(), run.target) == contexts.end()) {
                *error = "jump to unknown topic \"" + run.target + "\"";
                return false;
            }
            command(kCmdJump);
            f.u32(ContextHash(run.target));
            t.str(run.text);
            command(kCmdHotspotEnd);
            break;
        }
    }
    command(kCmdParagraphEnd);
    command(kCmdEnd);
    if (text.size() >= kCompressedLimit || format.size() >= kCompressedLimit) {
        *error = "paragraph too long";
        return false;
    }
    Writer d{rec->data1};
    PutCompressedLong(d, (uint32_t)text.size());   // TopicSize
    PutCompressedU16(d, (uint32_t)text.size());    // TopicLength: characters and NULs
    d.u8(0);                                       // unknownUnsignedChar
    d.u8(0x80);                                    // unknownBiasedChar (biased zero)
    d.u16(0);                                      // id
    d.u16(kParaSpacingBelow);
    PutCompressedShort(d, kSpacingBelow);
    d.bytes(format);
    rec->data2 = std::move(text);
    return true;
}

struct Link {
    uint8_t type;
    Bytes data1;         // after the 21-byte header
    Bytes data2;
    uint32_t start = 0;  // position in the link stream
    uint32_t length = 0; // TopicLength of display records
};

uint32_t TopicPos(uint32_t stream_pos)
{
    return (stream_pos / kBlockData) * kDecompressSize + kBlockHeaderSize + stream_pos % kBlockData;
}

}  // namespace

// ---- Public pieces ----

uint32_t ContextHash(const std::string& context)
{
    if (context.empty()) return 1;
    uint32_t hash = 0;
    for (unsigned char c : context) hash = hash * 43 + (uint32_t)(int32_t)(int8_t)kHashTable[c];
    return hash;
}

bool ValidContextId(const std::string& context)
{
    if (context.empty() || context.size() > 255) return false;
    for (unsigned char c : context)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
              c == '_' || c == '.'))
            return false;
    return true;
}

int CompareKeywords(const std::string& a, const std::string& b)
{
    size_t n = std::min(a.size(), b.size());
    bool trail = false;   // the previous byte was a lead byte
    for (size_t i = 0; i < n; i++) {
        uint8_t x = (uint8_t)a[i], y = (uint8_t)b[i];
        if (!trail) {
            if (x >= 'A' && x <= 'Z') x = (uint8_t)(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z') y = (uint8_t)(y - 'A' + 'a');
        }
        if (x != y) return x < y ? -1 : 1;
        trail = !trail && IsLeadByte(x);
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool BuildBTree(const BTreeLayout& layout, const std::vector<BTreeEntry>& entries, Bytes* out,
                std::vector<LeafStart>* leaves, std::string* error)
{
    const size_t page_size = layout.page_size;
    std::vector<Bytes> pages;
    std::vector<size_t> first_of_page;
    size_t used = page_size;   // forces a first page
    for (size_t i = 0; i < entries.size(); i++) {
        size_t size = entries[i].key.size() + entries[i].data.size();
        if (kLeafHeaderSize + size > page_size) {
            *error = "B+ tree entry larger than a page";
            return false;
        }
        if (used + size > page_size) {
            pages.emplace_back(kLeafHeaderSize, 0);
            first_of_page.push_back(i);
            used = kLeafHeaderSize;
        }
        Bytes& page = pages.back();
        page.insert(page.end(), entries[i].key.begin(), entries[i].key.end());
        page.insert(page.end(), entries[i].data.begin(), entries[i].data.end());
        used += size;
    }
    if (pages.empty()) {   // an empty tree still has its one leaf
        pages.emplace_back(kLeafHeaderSize, 0);
        first_of_page.push_back(0);
    }
    const size_t leaf_count = pages.size();
    for (size_t p = 0; p < leaf_count; p++) {
        size_t next_first = p + 1 < leaf_count ? first_of_page[p + 1] : entries.size();
        Bytes& page = pages[p];
        put_le16(&page[0], (uint32_t)(page_size - page.size()));          // Unused
        put_le16(&page[2], (uint32_t)(next_first - first_of_page[p]));    // NEntries
        put_le16(&page[4], p == 0 ? 0xFFFF : (uint32_t)(p - 1));          // PreviousPage
        put_le16(&page[6], p + 1 == leaf_count ? 0xFFFF : (uint32_t)(p + 1));
        page.resize(page_size, 0);
    }
    uint16_t root = 0, levels = 1;
    if (leaf_count > 1) {
        // One index page: the first leaf as PreviousPage, then the first key
        // of every further leaf with its page number.
        Bytes index(kIndexHeaderSize, 0);
        Writer w{index};
        for (size_t p = 1; p < leaf_count; p++) {
            w.bytes(entries[first_of_page[p]].key);
            w.u16((uint32_t)p);
        }
        if (index.size() > page_size || leaf_count >= 0xFFFF) {
            *error = "B+ tree needs more than one index page";
            return false;
        }
        put_le16(&index[0], (uint32_t)(page_size - index.size()));
        put_le16(&index[2], (uint32_t)(leaf_count - 1));
        put_le16(&index[4], 0);
        index.resize(page_size, 0);
        pages.push_back(index);
        root = (uint16_t)leaf_count;
        levels = 2;
    }
    out->clear();
    Writer w{*out};
    w.u16(kBTreeMagic);
    w.u16(layout.directory ? 0x0402 : 0x0002);
    w.u16(layout.page_size);
    char structure[16] = {};
    strncpy(structure, layout.structure, sizeof structure - 1);
    out->insert(out->end(), structure, structure + sizeof structure);
    w.u16(0);                          // MustBeZero
    w.u16(0);                          // PageSplits
    w.u16(root);
    w.u16(0xFFFF);                     // MustBeNegOne
    w.u16((uint32_t)pages.size());
    w.u16(levels);
    w.u32((uint32_t)entries.size());
    for (const Bytes& page : pages) w.bytes(page);
    if (leaves) {
        leaves->clear();
        for (size_t p = 0; p < leaf_count; p++)
            leaves->push_back({(uint32_t)first_of_page[p], (uint16_t)p});
    }
    return true;
}

bool BuildFileSystem(std::vector<InternalFile> files, Bytes* out, std::string* error)
{
    std::sort(files.begin(), files.end(),
              [](const InternalFile& a, const InternalFile& b) { return a.name < b.name; });
    for (size_t i = 1; i < files.size(); i++)
        if (files[i].name == files[i - 1].name) {
            *error = "internal file \"" + files[i].name + "\" twice";
            return false;
        }
    out->assign(16, 0);
    Writer w{*out};
    std::vector<BTreeEntry> directory;
    for (const InternalFile& file : files) {
        directory.push_back({StringKey(file.name), Le32((uint32_t)out->size())});
        w.u32((uint32_t)(file.content.size() + kFileHeaderSize));   // ReservedSpace
        w.u32((uint32_t)file.content.size());                       // UsedSpace
        w.u8(kFileFlags);
        w.bytes(file.content);
    }
    Bytes tree;
    if (!BuildBTree({"z4", 1024, true}, directory, &tree, nullptr, error)) return false;
    uint32_t directory_start = (uint32_t)out->size();
    w.u32((uint32_t)(tree.size() + kFileHeaderSize));
    w.u32((uint32_t)tree.size());
    w.u8(kFileFlags);
    w.bytes(tree);
    put_le32(&(*out)[0], kFileMagic);
    put_le32(&(*out)[4], directory_start);
    put_le32(&(*out)[8], kNone);            // no free list
    put_le32(&(*out)[12], (uint32_t)out->size());
    return true;
}

bool BuildTopicFile(const HelpDoc& doc, TopicLayout* layout, std::string* error)
{
    std::vector<std::string> contexts;
    for (const Topic& topic : doc.topics) contexts.push_back(topic.context);

    // Links in file order, and the index of each topic's header link.
    std::vector<Link> links;
    std::vector<size_t> header_link;
    for (const Topic& topic : doc.topics) {
        header_link.push_back(links.size());
        Link header{kLinkTopicHeader, Bytes(kTopicHeaderSize, 0), StringKey(topic.title)};
        links.push_back(header);
        for (const Paragraph& para : topic.paragraphs) {
            ParagraphRecord rec;
            if (!BuildParagraph(para, contexts, &rec, error)) {
                *error = "topic \"" + topic.context + "\": " + *error;
                return false;
            }
            Link link{kLinkDisplay, std::move(rec.data1), std::move(rec.data2)};
            link.length = (uint32_t)link.data2.size();
            links.push_back(std::move(link));
        }
    }
    uint32_t pos = 0;
    for (Link& link : links) {
        link.start = pos;
        pos += (uint32_t)(kLinkHeaderSize + link.data1.size() + link.data2.size());
    }

    // TOPICOFFSET: block of the link, plus the TopicLength of the display
    // records that start earlier in the same block.
    auto offset_of = [&](size_t link_index) {
        uint32_t block = links[link_index].start / kBlockData, count = 0;
        for (size_t i = link_index; i-- > 0 && links[i].start / kBlockData == block;)
            count += links[i].length;
        return block * kOffsetBlock + count;
    };
    layout->topic_pos.clear();
    layout->topic_offset.clear();
    for (size_t t = 0; t < doc.topics.size(); t++) {
        layout->topic_pos.push_back(TopicPos(links[header_link[t]].start));
        layout->topic_offset.push_back(offset_of(header_link[t]));
    }

    Bytes stream;
    Writer s{stream};
    for (size_t t = 0, i = 0; i < links.size(); i++) {
        Link& link = links[i];
        if (link.type == kLinkTopicHeader) {
            size_t end = t + 1 < doc.topics.size() ? header_link[t + 1] : links.size();
            uint32_t topic_size = 0;
            for (size_t j = i; j < end; j++)
                topic_size += (uint32_t)(kLinkHeaderSize + links[j].data1.size() + links[j].data2.size());
            uint8_t* h = link.data1.data();
            put_le32(h + 0, topic_size);
            // One browse sequence through all topics in file order.
            put_le32(h + 4, t > 0 ? layout->topic_offset[t - 1] : kNone);
            put_le32(h + 8, t + 1 < doc.topics.size() ? layout->topic_offset[t + 1] : kNone);
            put_le32(h + 12, (uint32_t)t);
            put_le32(h + 16, kNone);                                            // NonScroll
            put_le32(h + 20, i + 1 < end ? TopicPos(links[i + 1].start) : kNone);   // Scroll
            put_le32(h + 24, t + 1 < doc.topics.size() ? layout->topic_pos[t + 1] : kNone);
            t++;
        }
        uint32_t block_size = (uint32_t)(kLinkHeaderSize + link.data1.size() + link.data2.size());
        s.u32(block_size);
        s.u32((uint32_t)link.data2.size());
        s.u32(i > 0 ? TopicPos(links[i - 1].start) : kNone);
        s.u32(i + 1 < links.size() ? TopicPos(links[i + 1].start) : kNone);
        s.u32((uint32_t)(kLinkHeaderSize + link.data1.size()));
        s.u8(link.type);
        s.bytes(link.data1);
        s.bytes(link.data2);
    }
    // Readers take at least 0x44 bytes of the last block; zeros after the
    // last link are never reached through the chain.
    stream.resize(stream.size() + 64, 0);

    // Blocks: header, then the block's share of the stream as LZ77 with
    // literal bytes only (a zero flag byte before every eight bytes).
    layout->file.clear();
    Writer f{layout->file};
    const uint32_t blocks = (uint32_t)((stream.size() + kBlockData - 1) / kBlockData);
    for (uint32_t b = 0; b < blocks; b++) {
        const uint32_t begin = b * kBlockData;
        const uint32_t end = std::min<uint32_t>(begin + kBlockData, (uint32_t)stream.size());
        uint32_t last_link = kNone, first_link = kNone, last_header = kNone;
        for (const Link& link : links) {
            if (link.start < begin) {
                last_link = TopicPos(link.start);
                if (link.type == kLinkTopicHeader) last_header = TopicPos(link.start);
            } else if (link.start < end && first_link == kNone) {
                first_link = TopicPos(link.start);
            }
        }
        f.u32(last_link);
        f.u32(first_link);
        f.u32(last_header);
        for (uint32_t p = begin; p < end; p += 8) {
            f.u8(0);
            for (uint32_t q = p; q < end && q < p + 8; q++) f.u8(stream[q]);
        }
    }
    return true;
}

bool WriteHelpFile(const HelpDoc& doc, Bytes* out, std::string* error)
{
    if (doc.topics.empty()) {
        *error = "no topics";
        return false;
    }
    // |SYSTEM records carry 16-bit sizes.
    if (doc.title.size() >= kMaxSystemText) {
        *error = "title too long";
        return false;
    }
    // Titles and keywords are stored NUL-terminated.
    auto has_nul = [](const std::string& s) { return s.find('\0') != std::string::npos; };
    bool nul = has_nul(doc.title);
    for (const Topic& topic : doc.topics) {
        nul = nul || has_nul(topic.title);
        for (const std::string& word : topic.keywords) nul = nul || has_nul(word);
    }
    if (nul) {
        *error = "NUL inside a title or keyword";
        return false;
    }
    // Context ids, unique by hash (the |CONTEXT key).
    std::vector<std::pair<uint32_t, size_t>> hashes;
    for (size_t t = 0; t < doc.topics.size(); t++) {
        const std::string& id = doc.topics[t].context;
        if (!ValidContextId(id)) {
            *error = "bad context id \"" + id + "\"";
            return false;
        }
        hashes.push_back({ContextHash(id), t});
    }
    // The tree is searched by the hash as a signed 32-bit number.
    std::sort(hashes.begin(), hashes.end(), [](const auto& a, const auto& b) {
        return (int32_t)a.first < (int32_t)b.first;
    });
    for (size_t i = 1; i < hashes.size(); i++)
        if (hashes[i].first == hashes[i - 1].first) {
            *error = "context ids \"" + doc.topics[hashes[i - 1].second].context + "\" and \"" +
                     doc.topics[hashes[i].second].context + "\" share a hash";
            return false;
        }
    size_t contents = 0;
    if (!doc.contents.empty()) {
        auto it = std::find_if(doc.topics.begin(), doc.topics.end(),
                               [&](const Topic& t) { return t.context == doc.contents; });
        if (it == doc.topics.end()) {
            *error = "contents topic \"" + doc.contents + "\" not defined";
            return false;
        }
        contents = (size_t)(it - doc.topics.begin());
    }

    TopicLayout layout;
    if (!BuildTopicFile(doc, &layout, error)) return false;
    std::vector<InternalFile> files;
    files.push_back({"|TOPIC", layout.file});

    Bytes system;
    {
        Writer w{system};
        w.u16(kSystemMagic);
        w.u16(kVersionMinor31);
        w.u16(1);                          // Major
        w.u32(0);                          // GenDate: left 0 for reproducible builds
        w.u16(kSystemFlagsLz77Blocks4k);
        auto record = [&](uint16_t type, const Bytes& data) {
            w.u16(type);
            w.u16((uint32_t)data.size());
            w.bytes(data);
        };
        record(kSysTitle, StringKey(doc.title));
        record(kSysContents, Le32(layout.topic_offset[contents]));
        record(kSysConfig, StringKey("BrowseButtons()"));
        record(kSysCharset, Bytes{kShiftJisCharset, 0});
    }
    files.push_back({"|SYSTEM", system});

    Bytes font;
    {
        static const char* const kFaces[] = {"MS PGothic", "MS Gothic"};
        constexpr size_t kFaceSize = 32;
        struct Descriptor { uint8_t attributes, half_points, family, face, rgb[3]; };
        // Families: 1 modern, 3 swiss.
        static const Descriptor kFonts[kFontCount] = {
            {0, 20, 3, 0, {0, 0, 0}},       // body
            {1, 28, 3, 0, {0, 0, 0x80}},    // heading: bold, navy
            {0, 20, 1, 1, {0, 0, 0}},       // fixed pitch
        };
        Writer w{font};
        const size_t faces = sizeof kFaces / sizeof kFaces[0];
        w.u16((uint32_t)faces);
        w.u16(kFontCount);
        w.u16(8);
        w.u16((uint32_t)(8 + faces * kFaceSize));
        for (const char* face : kFaces) {
            Bytes name(kFaceSize, 0);
            memcpy(name.data(), face, strlen(face));
            w.bytes(name);
        }
        for (const Descriptor& d : kFonts) {
            w.u8(d.attributes);
            w.u8(d.half_points);
            w.u8(d.family);
            w.u16(d.face);
            w.u8(d.rgb[0]); w.u8(d.rgb[1]); w.u8(d.rgb[2]);
            w.u8(0xFF); w.u8(0xFF); w.u8(0xFF);   // background, unused
        }
    }
    files.push_back({"|FONT", font});

    std::vector<BTreeEntry> context;
    for (const auto& h : hashes) context.push_back({Le32(h.first), Le32(layout.topic_offset[h.second])});
    Bytes context_tree;
    if (!BuildBTree({"L4", 2048, false}, context, &context_tree, nullptr, error)) return false;
    files.push_back({"|CONTEXT", context_tree});

    std::vector<BTreeEntry> titles;
    for (size_t t = 0; t < doc.topics.size(); t++)
        titles.push_back({Le32(layout.topic_offset[t]), StringKey(doc.topics[t].title)});
    Bytes title_tree;
    if (!BuildBTree({"Lz", 2048, false}, titles, &title_tree, nullptr, error)) return false;
    files.push_back({"|TTLBTREE", title_tree});

    // Keyword index: each keyword once, with the offsets of its topics in
    // |KWDATA.
    struct Keyword { std::string word; std::vector<uint32_t> offsets; };
    std::vector<Keyword> keywords;
    for (size_t t = 0; t < doc.topics.size(); t++)
        for (const std::string& word : doc.topics[t].keywords) {
            if (word.empty()) continue;
            auto it = std::find_if(keywords.begin(), keywords.end(), [&](const Keyword& k) {
                return CompareKeywords(k.word, word) == 0;
            });
            if (it == keywords.end()) it = keywords.insert(keywords.end(), {word, {}});
            if (std::find(it->offsets.begin(), it->offsets.end(), layout.topic_offset[t]) == it->offsets.end())
                it->offsets.push_back(layout.topic_offset[t]);
        }
    std::stable_sort(keywords.begin(), keywords.end(), [](const Keyword& a, const Keyword& b) {
        return CompareKeywords(a.word, b.word) < 0;
    });
    Bytes kwdata;
    std::vector<BTreeEntry> kwentries;
    for (const Keyword& k : keywords) {
        if (k.offsets.size() > 0x7FFF) {
            *error = "keyword used by too many topics";
            return false;
        }
        Bytes data(6);
        put_le16(&data[0], (uint32_t)k.offsets.size());
        put_le32(&data[2], (uint32_t)kwdata.size());
        for (uint32_t offset : k.offsets) Writer{kwdata}.u32(offset);
        kwentries.push_back({StringKey(k.word), data});
    }
    Bytes kwtree;
    std::vector<LeafStart> leaves;
    if (!BuildBTree({"F24", 2048, false}, kwentries, &kwtree, &leaves, error)) return false;
    Bytes kwmap;
    Writer m{kwmap};
    for (const LeafStart& leaf : leaves) {
        m.u32(leaf.first_entry);
        m.u16(leaf.page);
    }
    files.push_back({"|KWBTREE", kwtree});
    files.push_back({"|KWDATA", kwdata});
    files.push_back({"|KWMAP", kwmap});

    return BuildFileSystem(std::move(files), out, error);
}

}  // namespace hlp
