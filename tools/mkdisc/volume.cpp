// ISO 9660 layout of a session's volume: directories and files sorted by
// identifier, path tables in breadth-first order, the primary descriptor and
// its terminator; directories are written anew in every session, files keep
// the extents of the session that recorded them.
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "bytes.h"
#include "discbuild_internal.h"
#include "iso9660.h"

using namespace discbuild;

namespace {

// A directory record's identifier is followed by a pad byte when its length is even.
size_t PadByte(size_t id_len) { return (id_len & 1) ? 0 : 1; }

std::string Identifier(const Node& n)
{
    if (n.is_dir || n.name.find(';') != std::string::npos)
        return n.name;
    return n.name + ";1";
}

uint32_t RecordLength(size_t id_len, bool xa)
{
    return (uint32_t)(kRecName + id_len + PadByte(id_len) + (xa ? kXaRecordSize : 0));
}

void PutBoth16(uint8_t* p, uint32_t v) { put_le16(p, v); put_be16(p + 2, v); }
void PutBoth32(uint8_t* p, uint32_t v) { put_le32(p, v); put_be32(p + 4, v); }

void PutText(uint8_t* p, size_t field, const std::string& text)
{
    memset(p, ' ', field);
    memcpy(p, text.data(), std::min(field, text.size()));
}

// Years since 1900, month, day, hour, minute, second, offset from GMT.
void PutRecordDate(uint8_t* p, const DiscDate& d)
{
    p[0] = (uint8_t)(d.year - 1900); p[1] = (uint8_t)d.month; p[2] = (uint8_t)d.day;
    p[3] = (uint8_t)d.hour; p[4] = (uint8_t)d.minute; p[5] = (uint8_t)d.second; p[6] = 0;
}

void PutVolumeDate(uint8_t* p, const DiscDate* d)
{
    char text[20];
    if (d)
        snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d00", d->year, d->month, d->day, d->hour, d->minute,
                 d->second);
    else
        snprintf(text, sizeof text, "%s", "0000000000000000");
    memcpy(p, text, kVolumeDateSize - 1);
    p[kVolumeDateSize - 1] = 0;  // offset from GMT
}

struct RecordFields {
    int32_t extent;
    uint32_t size;
    uint8_t flags;
    const std::string* id;      // null: kSelfIdentifier or kParentIdentifier by dot_id
    uint8_t dot_id;
    bool xa;
    uint16_t xa_attr;
    uint8_t file_number;
};

uint32_t PutRecord(uint8_t* p, const RecordFields& f, const DiscDate& date)
{
    size_t id_len = f.id ? f.id->size() : 1;
    uint32_t len = RecordLength(id_len, f.xa);
    memset(p, 0, len);
    p[kRecLength] = (uint8_t)len;
    PutBoth32(p + kRecExtent, (uint32_t)f.extent);
    PutBoth32(p + kRecDataLength, f.size);
    PutRecordDate(p + kRecDate, date);
    p[kRecFlags] = f.flags;
    PutBoth16(p + kRecVolumeSequence, 1);
    p[kRecNameLength] = (uint8_t)id_len;
    if (f.id)
        memcpy(p + kRecName, f.id->data(), id_len);
    else
        p[kRecName] = f.dot_id;
    if (f.xa)
        PutXaRecord(p + kRecName + id_len + PadByte(id_len), f.xa_attr, f.file_number);
    return len;
}

int FindChild(const Volume& v, int dir, const std::string& name)
{
    for (int c : v.nodes[(size_t)dir].children)
        if (v.nodes[(size_t)c].name == name)
            return c;
    return -1;
}

uint8_t FileFlags(const Node& n)
{
    return (uint8_t)((n.is_dir ? kFileDirectory : 0) | (n.plan && n.plan->hidden ? kFileHidden : 0));
}

uint16_t NodeXaAttributes(const Node& n) { return XaAttributes(n.is_dir, n.plan && n.plan->form2); }

// Data length recorded for a file: Form 2 files count 2048 bytes a block, as XA does.
uint32_t RecordedSize(const Node& n)
{
    if (n.is_dir)
        return n.dir_size;
    return n.plan->form2 ? n.blocks * kIsoBlockSize : n.file_size;
}

// Records of a file: several when it is recorded in extents of a given size.
uint32_t RecordCount(const Node& n)
{
    if (n.is_dir || !n.plan || n.plan->extent_blocks == 0)
        return 1;
    uint32_t blocks = (n.plan->size + kIsoBlockSize - 1) / kIsoBlockSize;
    return std::max<uint32_t>(1, (blocks + n.plan->extent_blocks - 1) / n.plan->extent_blocks);
}

// Record-overrun: a record header in the last 40 bytes of a block, claiming 100.
// Name-overrun: a name length 40 bytes past the record's end.
enum { kOverrunTail = 40, kOverrunLength = 100, kNameOverrun = 40 };

// Record bytes of a directory's children laid into blocks (records never straddle).
uint32_t DirectorySize(const Volume& v, int dir, bool xa, bool overrun)
{
    uint32_t used = 2 * RecordLength(1, xa), blocks = 1;
    for (int c : v.nodes[(size_t)dir].children) {
        uint32_t len = RecordLength(Identifier(v.nodes[(size_t)c]).size(), xa);
        for (uint32_t k = 0; k < RecordCount(v.nodes[(size_t)c]); ++k) {
            if (used + len > kIsoBlockSize) {
                ++blocks;
                used = 0;
            }
            used += len;
        }
    }
    if (overrun && used > kIsoBlockSize - kOverrunTail)
        ++blocks;
    return blocks * kIsoBlockSize;
}

struct Output {
    std::vector<BuiltBlock>* blocks;
    int32_t track_start;
    bool mode2;
};

BuiltBlock* BlockAt(Output& out, int32_t lba)
{
    size_t index = (size_t)(lba - out.track_start);
    if (out.blocks->size() <= index) {
        size_t old = out.blocks->size();
        out.blocks->resize(index + 1);
        for (size_t i = old; i <= index; ++i) {
            BuiltBlock& b = (*out.blocks)[i];
            b.type = out.mode2 ? kSectorMode2Form1 : kSectorMode1;
            SetEmptySubheader(&b, out.mode2);
            memset(b.data, 0, sizeof b.data);
        }
    }
    return &(*out.blocks)[index];
}

void MarkLast(Output& out, int32_t lba)
{
    if (out.mode2)
        MarkFileEnd(BlockAt(out, lba));
}

// A file's contents: its text, its host file, or the generated pattern.
bool FileContents(const DiscEntrySpec& e, std::vector<uint8_t>* bytes, std::string* error)
{
    bytes->assign(e.size, 0);
    if (e.has_text) {
        memcpy(bytes->data(), e.text.data(), std::min<size_t>(e.size, e.text.size()));
        return true;
    }
    if (!e.source.empty()) {
        std::vector<uint8_t> data;
        bool truncate = e.size != 0;
        if (!ReadHostFile(e.source, truncate ? (size_t)e.size : (size_t)kMaxFileSize, truncate, &data, error))
            return false;
        size_t n = data.size();
        if (e.size == 0)
            bytes->assign(data.begin(), data.end());
        else
            memcpy(bytes->data(), data.data(), std::min<size_t>(n, e.size));
        return true;
    }
    for (uint32_t i = 0; i < e.size; ++i)
        (*bytes)[i] = DiscPatternByte(e.path, i);
    return true;
}

bool WriteFiles(VolumeJob& job, Output& out, int32_t* next, std::string* error)
{
    for (Node& n : job.volume->nodes) {
        if (n.is_dir || n.session != job.session || n.extent >= 0)
            continue;
        std::vector<uint8_t> bytes;
        if (!FileContents(*n.plan, &bytes, error))
            return false;
        uint32_t unit = FileUserSize(n.plan->form2);
        n.file_size = (uint32_t)bytes.size();
        n.blocks = (uint32_t)((bytes.size() + unit - 1) / unit);
        n.extent = *next;
        if ((int64_t)*next + n.blocks > kMaxDiscBlocks)
            return Fail(error, "the disc is full");
        for (uint32_t b = 0; b < n.blocks; ++b) {
            BuiltBlock* block = BlockAt(out, n.extent + (int32_t)b);
            size_t from = (size_t)b * unit;
            memcpy(block->data, bytes.data() + from, std::min<size_t>(unit, bytes.size() - from));
            block->type = n.plan->form2 ? kSectorMode2Form2 : block->type;
            SetFileSubheader(block, *n.plan);
        }
        if (n.blocks)
            MarkLast(out, n.extent + (int32_t)n.blocks - 1);
        *next += (int32_t)n.blocks;
    }
    return true;
}

RecordFields ChildRecord(const VolumeJob& job, const Node& c)
{
    RecordFields f{c.extent, RecordedSize(c), FileFlags(c), nullptr, 0, job.xa, NodeXaAttributes(c),
                   c.is_dir ? (uint8_t)0 : c.plan->file_number};
    const Node& parent = job.volume->nodes[(size_t)c.parent];
    if (c.is_dir && job.hostile.Find("dir-loop", c.path)) {
        f.extent = parent.extent;
        f.size = parent.dir_size;
    }
    if (c.is_dir && job.hostile.Find("dir-unreadable", c.path))
        f.extent = job.start + (int32_t)job.blocks->size() + 1000;
    return f;
}

void WriteDirectory(VolumeJob& job, Output& out, int dir)
{
    const Volume& v = *job.volume;
    const Node& d = v.nodes[(size_t)dir];
    const Node& parent = v.nodes[(size_t)(dir == 0 ? 0 : d.parent)];
    const DiscDate& date = job.plan->date;
    int32_t lba = d.extent;
    uint32_t used = 0;
    RecordFields self{d.extent, d.dir_size, kFileDirectory, nullptr, kSelfIdentifier, job.xa, NodeXaAttributes(d), 0};
    used += PutRecord(BlockAt(out, lba)->data, self, date);
    RecordFields up{parent.extent, parent.dir_size, kFileDirectory, nullptr, kParentIdentifier, job.xa,
                    NodeXaAttributes(parent), 0};
    used += PutRecord(BlockAt(out, lba)->data + used, up, date);
    for (int ci : d.children) {
        const Node& c = v.nodes[(size_t)ci];
        std::string id = Identifier(c);
        uint32_t len = RecordLength(id.size(), job.xa);
        uint32_t count = RecordCount(c);
        for (uint32_t k = 0; k < count; ++k) {
            if (used + len > kIsoBlockSize) {
                ++lba;
                used = 0;
            }
            RecordFields f = ChildRecord(job, c);
            f.id = &id;
            if (count > 1) {
                // All records but the last carry the multi-extent flag.
                uint32_t span = c.plan->extent_blocks * kIsoBlockSize;
                f.extent += (int32_t)(k * c.plan->extent_blocks);
                f.size = k + 1 < count ? span : f.size - k * span;
                f.flags = (uint8_t)(f.flags | (k + 1 < count ? kFileMultiExtent : 0));
            }
            uint8_t* p = BlockAt(out, lba)->data + used;
            PutRecord(p, f, date);
            if (job.hostile.Find("name-overrun", c.path))
                p[kRecNameLength] = (uint8_t)std::min<uint32_t>(255, len - kRecName + kNameOverrun);
            used += len;
        }
    }
    int32_t last = d.extent + (int32_t)(d.dir_size / kIsoBlockSize) - 1;
    if (job.hostile.Find("record-overrun", d.path.empty() ? "/" : d.path)) {
        if (used > kIsoBlockSize - kOverrunTail)
            lba = last;
        uint8_t* p = BlockAt(out, lba)->data + (kIsoBlockSize - kOverrunTail);
        std::string id = "OVERRUN.DAT;1";
        RecordFields f{d.extent, kIsoBlockSize, 0, &id, 0, false, 0, 0};
        uint8_t record[64];
        PutRecord(record, f, date);
        memcpy(p, record, kOverrunTail);
        p[kRecLength] = kOverrunLength;
    }
    BlockAt(out, last);
    MarkLast(out, last);
}

void PutPathTables(const VolumeJob& job, Output& out, const std::vector<int>& order, int32_t l_table,
                   int32_t m_table)
{
    std::vector<uint8_t> l, m;
    for (int i : order) {
        const Node& n = job.volume->nodes[(size_t)i];
        std::string id = i == 0 ? std::string(1, '\0') : n.name;
        size_t at = l.size();
        size_t len = kPathRecName + id.size() + (id.size() & 1);
        l.resize(at + len, 0);
        m.resize(at + len, 0);
        int parent_number = i == 0 ? 1 : job.volume->nodes[(size_t)n.parent].number;
        for (int big = 0; big < 2; ++big) {
            uint8_t* p = (big ? m.data() : l.data()) + at;
            p[kPathRecNameLength] = (uint8_t)id.size();
            if (big) {
                put_be32(p + kPathRecExtent, (uint32_t)n.extent);
                put_be16(p + kPathRecParent, (uint32_t)parent_number);
            } else {
                put_le32(p + kPathRecExtent, (uint32_t)n.extent);
                put_le16(p + kPathRecParent, (uint32_t)parent_number);
            }
            memcpy(p + kPathRecName, id.data(), id.size());
        }
    }
    for (int big = 0; big < 2; ++big) {
        const std::vector<uint8_t>& t = big ? m : l;
        int32_t at = big ? m_table : l_table;
        for (size_t off = 0; off < t.size(); off += kIsoBlockSize)
            memcpy(BlockAt(out, at + (int32_t)(off / kIsoBlockSize))->data, t.data() + off,
                   std::min<size_t>(kIsoBlockSize, t.size() - off));
    }
}

// Type, standard identifier and version: the head of every volume descriptor.
void PutDescriptorHeader(uint8_t* p, uint8_t type)
{
    p[kPvdType] = type;
    memcpy(p + kPvdStandardId, kIsoStandardId, sizeof kIsoStandardId - 1);
    p[kPvdVersion] = 1;
}

void PutPrimaryDescriptor(const VolumeJob& job, Output& out, int32_t volume_end, uint32_t path_table_size,
                          int32_t l_table, int32_t m_table)
{
    // Identifiers, padded with spaces to their fields.
    static const struct { int at, size; std::string DiscPlan::*text; } kTexts[] = {
        {kPvdSystemId, 32, &DiscPlan::system_id},          {kPvdVolumeId, 32, &DiscPlan::volume_id},
        {kPvdVolumeSetId, 128, &DiscPlan::volume_set_id},  {kPvdPublisherId, 128, &DiscPlan::publisher_id},
        {kPvdPreparerId, 128, &DiscPlan::preparer_id},     {kPvdApplicationId, 128, &DiscPlan::application_id},
        {kPvdCopyrightFileId, 37, &DiscPlan::copyright_id}, {kPvdAbstractFileId, 37, &DiscPlan::abstract_id},
        {kPvdBibliographicFileId, 37, &DiscPlan::bibliographic_id},
    };
    const DiscPlan& s = *job.plan;
    const Node& root = job.volume->nodes[0];
    uint8_t* p = BlockAt(out, job.start + kVolumeDescriptorLbn)->data;
    PutDescriptorHeader(p, kPvdTypePrimary);
    for (const auto& f : kTexts)
        PutText(p + f.at, (size_t)f.size, s.*f.text);
    int32_t space = volume_end;
    if (const DiscHostileSpec* h = job.hostile.Find("overclaim"))
        space += h->blocks;
    PutBoth32(p + kPvdVolumeSpaceSize, (uint32_t)space);
    PutBoth16(p + kPvdVolumeSetSize, 1);
    PutBoth16(p + kPvdVolumeSequence, 1);
    PutBoth16(p + kPvdLogicalBlockSize, kIsoBlockSize);
    PutBoth32(p + kPvdPathTableSize, path_table_size);
    put_le32(p + kPvdTypeLPathTable, (uint32_t)l_table);
    put_be32(p + kPvdTypeMPathTable, (uint32_t)m_table);
    RecordFields r{root.extent, root.dir_size, kFileDirectory, nullptr, kSelfIdentifier, false, 0, 0};
    if (job.hostile.Find("bad-root"))
        r.extent = space + 100;
    if (job.hostile.Find("root-zero"))
        r.extent = 0;
    PutRecord(p + kPvdRootRecord, r, s.date);
    PutVolumeDate(p + kPvdCreationDate, &s.date);
    PutVolumeDate(p + kPvdModificationDate, &s.date);
    PutVolumeDate(p + kPvdExpirationDate, nullptr);
    PutVolumeDate(p + kPvdEffectiveDate, &s.date);
    p[kPvdFileStructureVersion] = 1;
    if (job.xa)
        memcpy(p + kPvdXaSignature, kXaSignature, sizeof kXaSignature - 1);
    PutDescriptorHeader(BlockAt(out, job.start + kVolumeDescriptorLbn + 1)->data, kPvdTypeTerminator);
    MarkLast(out, job.start + kVolumeDescriptorLbn + 1);
}

}  // namespace

namespace discbuild {

const DiscHostileSpec* HostileSet::Find(const char* kind, const std::string& path) const
{
    for (const DiscHostileSpec& h : *list)
        if (h.kind == kind && h.path == path)
            return &h;
    return nullptr;
}

bool AddEntry(Volume* v, const DiscEntrySpec& e, int session, std::string* error)
{
    int dir = 0;
    size_t start = 1;
    while (true) {
        size_t end = e.path.find('/', start);
        bool last = end == std::string::npos;
        std::string name = e.path.substr(start, last ? std::string::npos : end - start);
        int child = FindChild(*v, dir, name);
        if (last) {
            if (child >= 0 && v->nodes[(size_t)child].is_dir != e.is_dir)
                return Fail(error, e.path + ": a file and a directory of the same name");
            if (child < 0) {
                child = (int)v->nodes.size();
                v->nodes.push_back(Node());
                v->nodes[(size_t)dir].children.push_back(child);
            } else if (e.is_dir) {
                v->nodes[(size_t)child].plan = &e;
                return true;
            }
            Node& n = v->nodes[(size_t)child];
            n.name = name;
            n.is_dir = e.is_dir;
            n.parent = dir;
            n.plan = &e;
            n.session = session;
            n.extent = -1;
            n.path = e.path;
            return true;
        }
        if (child >= 0 && !v->nodes[(size_t)child].is_dir)
            return Fail(error, e.path + ": " + name + " is a file");
        if (child < 0) {
            child = (int)v->nodes.size();
            Node n;
            n.name = name;
            n.is_dir = true;
            n.parent = dir;
            n.session = session;
            n.path = e.path.substr(0, end);
            v->nodes.push_back(n);
            v->nodes[(size_t)dir].children.push_back(child);
        }
        dir = child;
        start = end + 1;
    }
}

bool BuildVolume(VolumeJob& job, std::string* error)
{
    Volume& v = *job.volume;
    Output out{job.blocks, job.start, job.mode2};
    // Children sorted by identifier; directories numbered breadth-first, which is path table order.
    for (Node& n : v.nodes)
        std::sort(n.children.begin(), n.children.end(),
                  [&v](int a, int b) { return Identifier(v.nodes[(size_t)a]) < Identifier(v.nodes[(size_t)b]); });
    std::vector<int> order{0};
    for (size_t i = 0; i < order.size(); ++i)
        for (int c : v.nodes[(size_t)order[i]].children)
            if (v.nodes[(size_t)c].is_dir)
                order.push_back(c);
    uint32_t path_table_size = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        Node& n = v.nodes[(size_t)order[i]];
        n.number = (int)i + 1;
        size_t id_len = i == 0 ? 1 : n.name.size();
        path_table_size += (uint32_t)(kPathRecName + id_len + (id_len & 1));
        n.dir_size = DirectorySize(v, order[i], job.xa,
                                   job.hostile.Find("record-overrun", i == 0 ? "/" : n.path) != nullptr);
    }
    if (order.size() > 65535)
        return Fail(error, "too many directories");
    int32_t table_blocks = (int32_t)((path_table_size + kIsoBlockSize - 1) / kIsoBlockSize);
    int32_t l_table = job.start + kVolumeDescriptorLbn + 2;
    int32_t m_table = l_table + table_blocks;
    int32_t next = m_table + table_blocks;
    for (int i : order) {
        v.nodes[(size_t)i].extent = next;
        next += (int32_t)(v.nodes[(size_t)i].dir_size / kIsoBlockSize);
    }
    BlockAt(out, next - 1);
    if (!WriteFiles(job, out, &next, error))
        return false;
    BlockAt(out, std::max(next, job.start + kVolumeDescriptorLbn + 2) - 1);
    int32_t volume_end = job.start + (int32_t)job.blocks->size();
    for (int i : order)
        WriteDirectory(job, out, i);
    PutPathTables(job, out, order, l_table, m_table);
    PutPrimaryDescriptor(job, out, volume_end, path_table_size, l_table, m_table);
    for (const Node& n : v.nodes) {
        BuiltEntry e;
        e.session = job.session + 1;
        e.path = &n == &v.nodes[0] ? "/" : n.path;
        e.is_dir = n.is_dir;
        e.extent = n.extent;
        e.size = RecordedSize(n);
        job.disc->entries.push_back(e);
    }
    return true;
}

}  // namespace discbuild

uint8_t DiscPatternByte(const std::string& path, uint32_t offset)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : path)
        h = (h ^ c) * 16777619u;
    uint32_t block = offset / kIsoBlockSize;
    return (uint8_t)((offset * 7u + block * 13u + h) & 0xFF);
}
