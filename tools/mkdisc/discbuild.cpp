// Disc image builder. See discbuild.h for the script.
#include "discbuild.h"

#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "bytes.h"

namespace {

enum {
    kBlockSize = 2048,
    kFramesPerSecond = 75,
    kFramesPerMinute = 4500,
    kPregapBlocks = 150,
    kFirstSessionGap = 11400,   // lead-out 6750 + lead-in 4500 + pregap 150
    kLaterSessionGap = 6900,    // lead-out 2250 + lead-in 4500 + pregap 150
    kMaxDiscBlocks = 449850,    // 99:59:74 less the first pregap
    kMaxFileSize = 64 * 1024 * 1024,
    kMaxIdentifier = 207,       // 33 + 207 + 1 + 14 = 255, the largest record
    kMaxDepth = 64,
    kMaxCount = 10000,
    kXaRecordSize = 14,
    kPvdBlock = 16,
    kSamplesPerBlock = kRawSectorSize / 4,
};

enum {
    kXaDirectory = 0x8000, kXaForm2 = 0x1000, kXaForm1 = 0x0800, kXaReadExecute = 0x0555,
    kFlagHidden = 0x01, kFlagDirectory = 0x02,
};

bool Fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}

// ---------------------------------------------------------------------------
// Script

std::vector<std::string> Tokenize(const std::string& line)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= line.size())
            break;
        std::string token;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            if (line[i] == '"') {
                ++i;
                while (i < line.size() && line[i] != '"')
                    token += line[i++];
                if (i < line.size())
                    ++i;
            } else {
                token += line[i++];
            }
        }
        tokens.push_back(token);
    }
    return tokens;
}

bool ParseNumber(const std::string& text, long long max, long long* value)
{
    if (text.empty() || text.size() > 18)
        return false;
    char* end = nullptr;
    long long v = strtoll(text.c_str(), &end, 0);
    if (*end || v < 0 || v > max)
        return false;
    *value = v;
    return true;
}

std::string Resolve(const std::string& base_dir, const std::string& path)
{
    if (path.empty() || path[0] == '/' || base_dir.empty())
        return path;
    return base_dir + "/" + path;
}

bool ValidPath(const std::string& path)
{
    if (path.size() < 2 || path[0] != '/' || path.back() == '/')
        return false;
    int depth = 0;
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        size_t n = end - start;
        if (n == 0 || n > kMaxIdentifier - 2 || ++depth > kMaxDepth)
            return false;
        std::string part = path.substr(start, n);
        if (part == "." || part == ".." || part.find('\0') != std::string::npos)
            return false;
        start = end + 1;
    }
    return true;
}

// Splits "key=value"; a bare word has an empty value and has_value false.
void SplitOption(const std::string& token, std::string* key, std::string* value, bool* has_value)
{
    size_t eq = token.find('=');
    *has_value = eq != std::string::npos;
    *key = token.substr(0, eq);
    *value = *has_value ? token.substr(eq + 1) : std::string();
}

std::string NumberedPath(const std::string& path, long long index)
{
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < slash)
        dot = path.size();
    char number[16];
    snprintf(number, sizeof number, "%04lld", index);
    return path.substr(0, dot) + number + path.substr(dot);
}

bool ParseDate(const std::vector<std::string>& t, DiscDate* date)
{
    if (t.size() != 3)
        return false;
    int y, mo, d, h, mi, s;
    char tail;
    if (sscanf(t[1].c_str(), "%d-%d-%d%c", &y, &mo, &d, &tail) != 3 ||
        sscanf(t[2].c_str(), "%d:%d:%d%c", &h, &mi, &s, &tail) != 3)
        return false;
    if (y < 1900 || y > 2155 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        s < 0 || s > 59)
        return false;
    *date = DiscDate{y, mo, d, h, mi, s};
    return true;
}

struct LineContext {
    DiscPlan* plan;
    const std::string* base_dir;
    std::string* error;
};

bool ParseTrackLine(const std::vector<std::string>& t, DiscSessionSpec* session, const std::string& base_dir,
                    std::string* why)
{
    DiscTrackSpec track;
    size_t first_option = 1;
    if (t[0] == "track") {
        if (t.size() < 2 || (t[1] != "mode1" && t[1] != "mode2"))
            return Fail(why, "track needs mode1 or mode2");
        if (!session->tracks.empty())
            return Fail(why, "the data track must be the first track of its session");
        track.kind = t[1] == "mode1" ? kTrackMode1 : kTrackMode2;
        first_option = 2;
    } else {
        track.kind = kTrackAudio;
    }
    for (size_t i = first_option; i < t.size(); ++i) {
        std::string key, value;
        bool has_value;
        long long n = 0;
        SplitOption(t[i], &key, &value, &has_value);
        if (key == "gap" && (value == "stored" || value == "cue")) {
            track.pregap_stored = value == "stored";
            track.pregap_given = true;
        } else if (track.kind != kTrackAudio) {
            return Fail(why, "unknown track option " + t[i]);
        } else if (key == "seconds" && ParseNumber(value, kMaxDiscBlocks / kFramesPerSecond, &n)) {
            track.blocks = (int32_t)(n * kFramesPerSecond);
        } else if (key == "blocks" && ParseNumber(value, kMaxDiscBlocks, &n)) {
            track.blocks = (int32_t)n;
        } else if (key == "pcm" && has_value && !value.empty()) {
            track.pcm = Resolve(base_dir, value);
        } else if (key == "tone" && ParseNumber(value, 20000, &n)) {
            track.tone_hz = (int)n;
        } else if (key == "pregap" && ParseNumber(value, kMaxDiscBlocks, &n)) {
            track.pregap = (int32_t)n;
        } else {
            return Fail(why, "bad audio option " + t[i]);
        }
    }
    if (track.kind == kTrackAudio && track.blocks == 0 && track.pcm.empty())
        return Fail(why, "audio needs seconds=, blocks= or pcm=");
    session->tracks.push_back(track);
    return true;
}

bool ParseEntryLine(const std::vector<std::string>& t, DiscSessionSpec* session, const std::string& base_dir,
                    std::string* why)
{
    if (t.size() < 2 || !ValidPath(t[1]))
        return Fail(why, "bad path");
    DiscEntrySpec entry;
    entry.path = t[1];
    entry.is_dir = t[0] == "dir";
    long long count = 0;
    bool size_given = false;
    for (size_t i = 2; i < t.size(); ++i) {
        std::string key, value;
        bool has_value;
        long long n = 0;
        SplitOption(t[i], &key, &value, &has_value);
        if (key == "hidden" && !has_value) {
            entry.hidden = true;
        } else if (entry.is_dir) {
            return Fail(why, "unknown dir option " + t[i]);
        } else if (key == "form2" && !has_value) {
            entry.form2 = true;
        } else if (key == "size" && ParseNumber(value, kMaxFileSize, &n)) {
            entry.size = (uint32_t)n;
            size_given = true;
        } else if (key == "text" && has_value && value.size() <= kMaxFileSize) {
            entry.text = value;
            entry.has_text = true;
        } else if (key == "src" && has_value && !value.empty()) {
            entry.source = Resolve(base_dir, value);
        } else if (key == "filenum" && ParseNumber(value, 255, &n)) {
            entry.file_number = (uint8_t)n;
        } else if (key == "channel" && ParseNumber(value, 31, &n)) {
            entry.channel = (uint8_t)n;
        } else if (key == "count" && ParseNumber(value, kMaxCount, &n) && n > 0) {
            count = n;
        } else {
            return Fail(why, "bad file option " + t[i]);
        }
    }
    if (entry.has_text && !size_given)
        entry.size = (uint32_t)entry.text.size();
    if (count == 0) {
        session->entries.push_back(entry);
        return true;
    }
    for (long long i = 1; i <= count; ++i) {
        DiscEntrySpec numbered = entry;
        numbered.path = NumberedPath(entry.path, i);
        if (!ValidPath(numbered.path))
            return Fail(why, "bad path");
        session->entries.push_back(numbered);
    }
    return true;
}

bool ParseHostileLine(const std::vector<std::string>& t, DiscSessionSpec* session, std::string* why)
{
    static const struct { const char* kind; bool needs_path; int32_t default_blocks; } kKinds[] = {
        {"bad-root", false, 0},        {"root-zero", false, 0},       {"overclaim", false, 1000},
        {"truncate", false, 10},       {"dir-loop", true, 0},         {"dir-unreadable", true, 0},
        {"record-overrun", true, 0},   {"name-overrun", true, 0},
    };
    if (t.size() < 2)
        return Fail(why, "hostile needs a kind");
    for (const auto& k : kKinds) {
        if (t[1] != k.kind)
            continue;
        DiscHostileSpec h;
        h.kind = k.kind;
        h.blocks = k.default_blocks;
        size_t i = 2;
        if (k.needs_path) {
            if (t.size() < 3 || !ValidPath(t[2]))
                return Fail(why, "hostile " + t[1] + " needs a path");
            h.path = t[2];
            i = 3;
        }
        for (; i < t.size(); ++i) {
            long long n = 0;
            if (t[i].compare(0, 7, "blocks=") != 0 || !ParseNumber(t[i].substr(7), kMaxDiscBlocks, &n))
                return Fail(why, "bad hostile option " + t[i]);
            h.blocks = (int32_t)n;
        }
        session->hostile.push_back(h);
        return true;
    }
    return Fail(why, "unknown hostile kind " + t[1]);
}

bool ParseLine(const std::vector<std::string>& t, const std::string& raw_rest, DiscPlan* plan,
               const std::string& base_dir, std::string* why)
{
    static const struct { const char* word; std::string DiscPlan::*field; } kTextFields[] = {
        {"volume", &DiscPlan::volume_id},       {"system", &DiscPlan::system_id},
        {"volume-set", &DiscPlan::volume_set_id}, {"publisher", &DiscPlan::publisher_id},
        {"preparer", &DiscPlan::preparer_id},   {"application", &DiscPlan::application_id},
        {"copyright", &DiscPlan::copyright_id}, {"abstract", &DiscPlan::abstract_id},
        {"bibliographic", &DiscPlan::bibliographic_id},
    };
    for (const auto& f : kTextFields) {
        if (t[0] == f.word) {
            std::string value = raw_rest;
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            plan->*f.field = value;
            return true;
        }
    }
    DiscSessionSpec* session = &plan->sessions.back();
    if (t[0] == "session") {
        if (t.size() != 1)
            return Fail(why, "session takes no options");
        if (!session->tracks.empty() || !session->entries.empty() || plan->sessions.size() > 1)
            plan->sessions.push_back(DiscSessionSpec());
        return true;
    }
    if (t[0] == "date")
        return ParseDate(t, &plan->date) || Fail(why, "date needs YYYY-MM-DD HH:MM:SS");
    if (t[0] == "xa") {
        if (t.size() != 2 || (t[1] != "on" && t[1] != "off"))
            return Fail(why, "xa needs on or off");
        plan->xa = t[1] == "on";
        return true;
    }
    if (t[0] == "track" || t[0] == "audio")
        return ParseTrackLine(t, session, base_dir, why);
    if (t[0] == "dir" || t[0] == "file")
        return ParseEntryLine(t, session, base_dir, why);
    if (t[0] == "hostile")
        return ParseHostileLine(t, session, why);
    if (t[0] == "damage")
        return ParseDamageLine(t, &plan->damage, why);
    return Fail(why, "unknown statement " + t[0]);
}

// ---------------------------------------------------------------------------
// Volume

struct Node {
    std::string name;           // path component
    bool is_dir = false;
    int parent = -1;
    std::vector<int> children;
    const DiscEntrySpec* plan = nullptr;  // files and declared directories
    int session = 0;            // 0-based session that recorded the file
    int32_t extent = -1;        // files: fixed once written
    uint32_t blocks = 0;
    uint32_t file_size = 0;     // bytes written for a file
    // per-volume, directories
    int number = 0;             // path table number
    uint32_t dir_size = 0;
    std::string path;
};

std::string Identifier(const Node& n)
{
    if (n.is_dir || n.name.find(';') != std::string::npos)
        return n.name;
    return n.name + ";1";
}

uint32_t RecordLength(size_t id_len, bool xa)
{
    return (uint32_t)(33 + id_len + ((id_len & 1) ? 0 : 1) + (xa ? kXaRecordSize : 0));
}

void PutBoth16(uint8_t* p, uint32_t v) { put_le16(p, v); put_be16(p + 2, v); }
void PutBoth32(uint8_t* p, uint32_t v) { put_le32(p, v); put_be32(p + 4, v); }

void PutText(uint8_t* p, size_t field, const std::string& text)
{
    memset(p, ' ', field);
    memcpy(p, text.data(), std::min(field, text.size()));
}

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
    memcpy(p, text, 16);
    p[16] = 0;
}

struct RecordFields {
    int32_t extent;
    uint32_t size;
    uint8_t flags;
    const std::string* id;      // null: "." (0x00) or ".." (0x01) by dot_id
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
    p[0] = (uint8_t)len;
    PutBoth32(p + 2, (uint32_t)f.extent);
    PutBoth32(p + 10, f.size);
    PutRecordDate(p + 18, date);
    p[25] = f.flags;
    PutBoth16(p + 28, 1);  // volume sequence number
    p[32] = (uint8_t)id_len;
    if (f.id)
        memcpy(p + 33, f.id->data(), id_len);
    else
        p[33] = f.dot_id;
    if (f.xa) {
        uint8_t* su = p + 33 + id_len + ((id_len & 1) ? 0 : 1);
        put_be16(su + 4, f.xa_attr);  // group and user id stay 0
        su[6] = 'X';
        su[7] = 'A';
        su[8] = f.file_number;
    }
    return len;
}

struct Volume {
    std::vector<Node> nodes;    // node 0 is the root
};

int FindChild(const Volume& v, int dir, const std::string& name)
{
    for (int c : v.nodes[(size_t)dir].children)
        if (v.nodes[(size_t)c].name == name)
            return c;
    return -1;
}

// Adds the path's directories and the entry; a later file of the same path replaces the earlier.
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

uint8_t FileFlags(const Node& n)
{
    return (uint8_t)((n.is_dir ? kFlagDirectory : 0) | (n.plan && n.plan->hidden ? kFlagHidden : 0));
}

uint16_t XaAttributes(const Node& n)
{
    if (n.is_dir)
        return kXaDirectory | kXaForm1 | kXaReadExecute;
    return (uint16_t)((n.plan && n.plan->form2 ? kXaForm2 : kXaForm1) | kXaReadExecute);
}

uint32_t FileUserSize(const DiscEntrySpec& e) { return e.form2 ? kForm2UserSize : kForm1UserSize; }

// Data length recorded for a file: Form 2 files count 2048 bytes a block, as XA does.
uint32_t RecordedSize(const Node& n)
{
    if (n.is_dir)
        return n.dir_size;
    return n.plan->form2 ? n.blocks * kBlockSize : n.file_size;
}

struct HostileSet {
    const std::vector<DiscHostileSpec>* list;
    const DiscHostileSpec* Find(const char* kind, const std::string& path = std::string()) const
    {
        for (const DiscHostileSpec& h : *list)
            if (h.kind == kind && h.path == path)
                return &h;
        return nullptr;
    }
};

// Record-overrun: a record header in the last 40 bytes of a block, claiming 100.
enum { kOverrunTail = 40, kOverrunLength = 100 };

// Record bytes of a directory's children laid into blocks (records never straddle).
uint32_t DirectorySize(const Volume& v, int dir, bool xa, bool overrun)
{
    uint32_t used = 2 * RecordLength(1, xa), blocks = 1;
    for (int c : v.nodes[(size_t)dir].children) {
        uint32_t len = RecordLength(Identifier(v.nodes[(size_t)c]).size(), xa);
        if (used + len > kBlockSize) {
            ++blocks;
            used = 0;
        }
        used += len;
    }
    if (overrun && used > kBlockSize - kOverrunTail)
        ++blocks;
    return blocks * kBlockSize;
}

struct Output {
    std::vector<DiscBlock>* blocks;
    int32_t track_start;
    bool mode2;
};

DiscBlock* BlockAt(Output& out, int32_t lba)
{
    size_t index = (size_t)(lba - out.track_start);
    if (out.blocks->size() <= index) {
        size_t old = out.blocks->size();
        out.blocks->resize(index + 1);
        for (size_t i = old; i <= index; ++i) {
            DiscBlock& b = (*out.blocks)[i];
            b.type = out.mode2 ? kSectorMode2Form1 : kSectorMode1;
            memset(b.subheader, 0, 4);
            b.subheader[2] = out.mode2 ? kSubmodeData : 0;
            memset(b.data, 0, sizeof b.data);
        }
    }
    return &(*out.blocks)[index];
}

void MarkLast(Output& out, int32_t lba)
{
    if (out.mode2)
        BlockAt(out, lba)->subheader[2] |= kSubmodeEor | kSubmodeEof;
}

// Reads a host file of at most limit bytes (or its first limit bytes when truncate).
bool ReadHostFile(const std::string& path, size_t limit, bool truncate, std::vector<uint8_t>* bytes,
                  std::string* error)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return Fail(error, "cannot open " + path);
    bytes->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (bytes->size() + n > limit) {
            if (!truncate) {
                fclose(f);
                return Fail(error, path + " is too large");
            }
            n = limit - bytes->size();
        }
        bytes->insert(bytes->end(), buffer, buffer + n);
        if (bytes->size() == limit && truncate)
            break;
    }
    bool ok = !ferror(f);
    fclose(f);
    return ok || Fail(error, "cannot read " + path);
}

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

struct VolumeJob {
    const DiscPlan* plan;
    Volume* volume;
    int session;                // 0-based
    int32_t start;              // track start LBN
    bool xa;
    bool mode2;
    HostileSet hostile;
    std::vector<DiscBlock>* blocks;
    Disc* disc;
};

bool WriteFiles(VolumeJob& job, Output& out, int32_t* next, std::string* error)
{
    for (Node& n : job.volume->nodes) {
        if (n.is_dir || n.session != job.session || n.extent >= 0)
            continue;
        std::vector<uint8_t> bytes;
        if (!FileContents(*n.plan, &bytes, error))
            return false;
        uint32_t unit = FileUserSize(*n.plan);
        n.file_size = (uint32_t)bytes.size();
        n.blocks = (uint32_t)((bytes.size() + unit - 1) / unit);
        n.extent = *next;
        if ((int64_t)*next + n.blocks > kMaxDiscBlocks)
            return Fail(error, "the disc is full");
        for (uint32_t b = 0; b < n.blocks; ++b) {
            DiscBlock* block = BlockAt(out, n.extent + (int32_t)b);
            size_t from = (size_t)b * unit;
            memcpy(block->data, bytes.data() + from, std::min<size_t>(unit, bytes.size() - from));
            block->type = n.plan->form2 ? kSectorMode2Form2 : block->type;
            block->subheader[0] = n.plan->file_number;
            block->subheader[1] = n.plan->channel;
            block->subheader[2] = (uint8_t)(kSubmodeData | (n.plan->form2 ? kSubmodeForm2 : 0));
        }
        if (n.blocks)
            MarkLast(out, n.extent + (int32_t)n.blocks - 1);
        *next += (int32_t)n.blocks;
    }
    return true;
}

RecordFields ChildRecord(const VolumeJob& job, const Node& c)
{
    RecordFields f{c.extent, RecordedSize(c), FileFlags(c), nullptr, 0, job.xa, XaAttributes(c),
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
    RecordFields self{d.extent, d.dir_size, kFlagDirectory, nullptr, 0, job.xa, XaAttributes(d), 0};
    used += PutRecord(BlockAt(out, lba)->data, self, date);
    RecordFields up{parent.extent, parent.dir_size, kFlagDirectory, nullptr, 1, job.xa, XaAttributes(parent), 0};
    used += PutRecord(BlockAt(out, lba)->data + used, up, date);
    for (int ci : d.children) {
        const Node& c = v.nodes[(size_t)ci];
        std::string id = Identifier(c);
        uint32_t len = RecordLength(id.size(), job.xa);
        if (used + len > kBlockSize) {
            ++lba;
            used = 0;
        }
        RecordFields f = ChildRecord(job, c);
        f.id = &id;
        uint8_t* p = BlockAt(out, lba)->data + used;
        PutRecord(p, f, date);
        if (job.hostile.Find("name-overrun", c.path))
            p[32] = (uint8_t)std::min<uint32_t>(255, len - 33 + 40);
        used += len;
    }
    int32_t last = d.extent + (int32_t)(d.dir_size / kBlockSize) - 1;
    if (job.hostile.Find("record-overrun", d.path.empty() ? "/" : d.path)) {
        if (used > kBlockSize - kOverrunTail)
            lba = last;
        uint8_t* p = BlockAt(out, lba)->data + (kBlockSize - kOverrunTail);
        std::string id = "OVERRUN.DAT;1";
        RecordFields f{d.extent, kBlockSize, 0, &id, 0, false, 0, 0};
        uint8_t record[64];
        PutRecord(record, f, date);
        memcpy(p, record, kOverrunTail);
        p[0] = kOverrunLength;
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
        size_t len = 8 + id.size() + (id.size() & 1);
        l.resize(at + len, 0);
        m.resize(at + len, 0);
        int parent_number = i == 0 ? 1 : job.volume->nodes[(size_t)n.parent].number;
        for (int big = 0; big < 2; ++big) {
            uint8_t* p = (big ? m.data() : l.data()) + at;
            p[0] = (uint8_t)id.size();
            if (big) {
                put_be32(p + 2, (uint32_t)n.extent);
                put_be16(p + 6, (uint32_t)parent_number);
            } else {
                put_le32(p + 2, (uint32_t)n.extent);
                put_le16(p + 6, (uint32_t)parent_number);
            }
            memcpy(p + 8, id.data(), id.size());
        }
    }
    for (int big = 0; big < 2; ++big) {
        const std::vector<uint8_t>& t = big ? m : l;
        int32_t at = big ? m_table : l_table;
        for (size_t off = 0; off < t.size(); off += kBlockSize)
            memcpy(BlockAt(out, at + (int32_t)(off / kBlockSize))->data, t.data() + off,
                   std::min<size_t>(kBlockSize, t.size() - off));
    }
}

void PutPrimaryDescriptor(const VolumeJob& job, Output& out, int32_t volume_end, uint32_t path_table_size,
                          int32_t l_table, int32_t m_table)
{
    const DiscPlan& s = *job.plan;
    const Node& root = job.volume->nodes[0];
    uint8_t* p = BlockAt(out, job.start + kPvdBlock)->data;
    p[0] = 1;
    memcpy(p + 1, "CD001", 5);
    p[6] = 1;
    PutText(p + 8, 32, s.system_id);
    PutText(p + 40, 32, s.volume_id);
    int32_t space = volume_end;
    if (const DiscHostileSpec* h = job.hostile.Find("overclaim"))
        space += h->blocks;
    PutBoth32(p + 80, (uint32_t)space);
    PutBoth16(p + 120, 1);
    PutBoth16(p + 124, 1);
    PutBoth16(p + 128, kBlockSize);
    PutBoth32(p + 132, path_table_size);
    put_le32(p + 140, (uint32_t)l_table);
    put_be32(p + 148, (uint32_t)m_table);
    RecordFields r{root.extent, root.dir_size, kFlagDirectory, nullptr, 0, false, 0, 0};
    if (job.hostile.Find("bad-root"))
        r.extent = space + 100;
    if (job.hostile.Find("root-zero"))
        r.extent = 0;
    PutRecord(p + 156, r, s.date);
    PutText(p + 190, 128, s.volume_set_id);
    PutText(p + 318, 128, s.publisher_id);
    PutText(p + 446, 128, s.preparer_id);
    PutText(p + 574, 128, s.application_id);
    PutText(p + 702, 37, s.copyright_id);
    PutText(p + 739, 37, s.abstract_id);
    PutText(p + 776, 37, s.bibliographic_id);
    PutVolumeDate(p + 813, &s.date);
    PutVolumeDate(p + 830, &s.date);
    PutVolumeDate(p + 847, nullptr);
    PutVolumeDate(p + 864, &s.date);
    p[881] = 1;
    if (job.xa)
        memcpy(p + 1024, "CD-XA001", 8);
    uint8_t* t = BlockAt(out, job.start + kPvdBlock + 1)->data;
    t[0] = 255;
    memcpy(t + 1, "CD001", 5);
    t[6] = 1;
    MarkLast(out, job.start + kPvdBlock + 1);
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
        path_table_size += (uint32_t)(8 + id_len + (id_len & 1));
        n.dir_size = DirectorySize(v, order[i], job.xa,
                                   job.hostile.Find("record-overrun", i == 0 ? "/" : n.path) != nullptr);
    }
    if (order.size() > 65535)
        return Fail(error, "too many directories");
    int32_t table_blocks = (int32_t)((path_table_size + kBlockSize - 1) / kBlockSize);
    int32_t l_table = job.start + kPvdBlock + 2;
    int32_t m_table = l_table + table_blocks;
    int32_t next = m_table + table_blocks;
    for (int i : order) {
        v.nodes[(size_t)i].extent = next;
        next += (int32_t)(v.nodes[(size_t)i].dir_size / kBlockSize);
    }
    BlockAt(out, next - 1);
    if (!WriteFiles(job, out, &next, error))
        return false;
    BlockAt(out, std::max(next, job.start + kPvdBlock + 2) - 1);
    int32_t volume_end = job.start + (int32_t)job.blocks->size();
    for (int i : order)
        WriteDirectory(job, out, i);
    PutPathTables(job, out, order, l_table, m_table);
    PutPrimaryDescriptor(job, out, volume_end, path_table_size, l_table, m_table);
    for (const Node& n : v.nodes) {
        DiscEntry e;
        e.session = job.session + 1;
        e.path = &n == &v.nodes[0] ? "/" : n.path;
        e.is_dir = n.is_dir;
        e.extent = n.extent;
        e.size = RecordedSize(n);
        job.disc->entries.push_back(e);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Audio

bool AudioBlocks(const DiscTrackSpec& t, std::vector<DiscBlock>* blocks, std::string* error)
{
    std::vector<uint8_t> pcm;
    if (!t.pcm.empty()) {
        bool truncate = t.blocks != 0;
        size_t limit = (size_t)(truncate ? t.blocks : kMaxDiscBlocks) * kRawSectorSize;
        if (!ReadHostFile(t.pcm, limit, truncate, &pcm, error))
            return false;
    }
    int32_t count = t.blocks ? t.blocks : (int32_t)((pcm.size() + kRawSectorSize - 1) / kRawSectorSize);
    if (count <= 0)
        return Fail(error, "empty audio track");
    pcm.resize((size_t)count * kRawSectorSize, 0);
    if (t.pcm.empty() && t.tone_hz > 0) {
        const double kTwoPi = 6.283185307179586;
        for (size_t s = 0; s < pcm.size() / 4; ++s) {
            int v = (int)lround(8000.0 * sin(kTwoPi * t.tone_hz * (double)s / 44100.0));
            put_le16(&pcm[s * 4], (uint32_t)(uint16_t)v);
            put_le16(&pcm[s * 4 + 2], (uint32_t)(uint16_t)v);
        }
    }
    size_t at = blocks->size();
    blocks->resize(at + (size_t)count);
    for (int32_t i = 0; i < count; ++i) {
        DiscBlock& b = (*blocks)[at + (size_t)i];
        b.type = kSectorAudio;
        memset(b.subheader, 0, 4);
        memcpy(b.data, &pcm[(size_t)i * kRawSectorSize], kRawSectorSize);
    }
    return true;
}

void ZeroBlocks(std::vector<DiscBlock>* blocks, int32_t count, TrackKind kind)
{
    DiscBlock b;
    b.type = kind == kTrackAudio ? kSectorAudio : kind == kTrackMode2 ? kSectorMode2Form1 : kSectorMode1;
    memset(b.subheader, 0, 4);
    if (kind == kTrackMode2)
        b.subheader[2] = kSubmodeData;
    memset(b.data, 0, sizeof b.data);
    blocks->insert(blocks->begin(), (size_t)count, b);
}

const char* CueMode(TrackKind kind, const DiscWriteOptions& o)
{
    if (kind == kTrackAudio)
        return "AUDIO";
    if (kind == kTrackMode1)
        return o.mode1_size == kBlockSize ? "MODE1/2048" : "MODE1/2352";
    return o.mode2_size == kMode2Size ? "MODE2/2336" : "MODE2/2352";
}

int StoredSize(TrackKind kind, const DiscWriteOptions& o)
{
    if (kind == kTrackAudio)
        return kRawSectorSize;
    return kind == kTrackMode1 ? o.mode1_size : o.mode2_size;
}

void MsfText(char* out, size_t size, int32_t frames)
{
    snprintf(out, size, "%02d:%02d:%02d", (int)(frames / kFramesPerMinute),
             (int)(frames / kFramesPerSecond % 60), (int)(frames % kFramesPerSecond));
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWith(const std::string& s, const char* tail)
{
    size_t n = strlen(tail);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower((unsigned char)s[s.size() - n + i]) != tail[i])
            return false;
    return true;
}

// The bytes of one stored block as a track of that kind stores them.
bool StoredBlock(const DiscTrack& t, size_t index, const DiscWriteOptions& o, const Disc& disc, uint8_t* out,
                 int* size, std::string* error)
{
    const DiscBlock& b = t.blocks[index];
    int32_t lba = t.start - (t.pregap_stored ? t.pregap : 0) + (int32_t)index;
    uint8_t raw[kRawSectorSize];
    BuildRawSector(raw, lba, b.type, b.data, b.subheader);
    *size = StoredSize(t.kind, o);
    if (*size == kRawSectorSize)
        return ApplyDamage(disc.damage, lba, raw, error) && (memcpy(out, raw, kRawSectorSize), true);
    else if (*size == kMode2Size)
        memcpy(out, raw + 16, kMode2Size);
    else
        memcpy(out, b.data, kBlockSize);
    return disc.damage.empty() || Fail(error, "damage needs sectors stored whole (2352 bytes)");
}

bool WriteBlocks(FILE* f, const DiscTrack& t, const DiscWriteOptions& o, const Disc& disc, int32_t skip_tail,
                 std::string* error)
{
    uint8_t buffer[kRawSectorSize];
    int size = 0;
    size_t count = t.blocks.size() - (size_t)std::min<int32_t>(skip_tail, (int32_t)t.blocks.size());
    for (size_t i = 0; i < count; ++i) {
        if (!StoredBlock(t, i, o, disc, buffer, &size, error))
            return false;
        if (fwrite(buffer, 1, (size_t)size, f) != (size_t)size)
            return Fail(error, "cannot write the image");
    }
    return true;
}

bool WriteIso(const Disc& disc, const std::string& path, std::string* error)
{
    if (disc.tracks.size() != 1 || disc.tracks[0].kind != kTrackMode1)
        return Fail(error, "an .iso holds a single Mode 1 track; write a .cue for this disc");
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return Fail(error, "cannot create " + path);
    DiscWriteOptions o;
    o.mode1_size = kBlockSize;
    bool ok = WriteBlocks(f, disc.tracks[0], o, disc, disc.truncate_blocks, error);
    if (fclose(f) != 0 || !ok)
        return ok ? Fail(error, "cannot write " + path) : false;
    return true;
}

bool WriteCue(const Disc& disc, const std::string& path, const DiscWriteOptions& o, std::string* error)
{
    if ((o.mode1_size != kBlockSize && o.mode1_size != kRawSectorSize) ||
        (o.mode2_size != kMode2Size && o.mode2_size != kRawSectorSize))
        return Fail(error, "Mode 1 tracks are stored in 2048 or 2352 bytes, Mode 2 in 2336 or 2352");
    std::string stem = path.substr(0, path.size() - 4);
    bool split = o.split;
    for (const DiscTrack& t : disc.tracks)
        split = split || StoredSize(t.kind, o) != StoredSize(disc.tracks[0].kind, o);
    std::string cue;
    FILE* bin = nullptr;
    int64_t file_blocks = 0;
    bool ok = true;
    int session = 0;
    for (size_t i = 0; i < disc.tracks.size() && ok; ++i) {
        const DiscTrack& t = disc.tracks[i];
        if (i == 0 || split) {
            if (bin && fclose(bin) != 0)
                ok = false;
            char suffix[16];
            snprintf(suffix, sizeof suffix, split ? "-%02d.bin" : ".bin", t.number);
            std::string bin_path = stem + suffix;
            bin = fopen(bin_path.c_str(), "wb");
            if (!bin) {
                return Fail(error, "cannot create " + bin_path);
            }
            cue += "FILE \"" + BaseName(bin_path) + "\" BINARY\r\n";
            file_blocks = 0;
        }
        char line[96], msf[16];
        if (disc.session_start.size() > 1 && t.session != session) {
            session = t.session;
            snprintf(line, sizeof line, "  REM SESSION %02d\r\n", session);
            cue += line;
        }
        snprintf(line, sizeof line, "  TRACK %02d %s\r\n", t.number, CueMode(t.kind, o));
        cue += line;
        if (t.pregap > 0 && !t.pregap_stored) {
            MsfText(msf, sizeof msf, t.pregap);
            snprintf(line, sizeof line, "    PREGAP %s\r\n", msf);
            cue += line;
        }
        if (t.pregap > 0 && t.pregap_stored) {
            MsfText(msf, sizeof msf, (int32_t)file_blocks);
            snprintf(line, sizeof line, "    INDEX 00 %s\r\n", msf);
            cue += line;
        }
        MsfText(msf, sizeof msf, (int32_t)(file_blocks + (t.pregap_stored ? t.pregap : 0)));
        snprintf(line, sizeof line, "    INDEX 01 %s\r\n", msf);
        cue += line;
        bool last = i + 1 == disc.tracks.size();
        ok = WriteBlocks(bin, t, o, disc, last ? disc.truncate_blocks : 0, error);
        file_blocks += (int64_t)t.blocks.size();
    }
    if (bin && fclose(bin) != 0)
        ok = false;
    if (!ok)
        return error->empty() ? Fail(error, "cannot write the image beside " + path) : false;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return Fail(error, "cannot create " + path);
    ok = fwrite(cue.data(), 1, cue.size(), f) == cue.size();
    if (fclose(f) != 0 || !ok)
        return Fail(error, "cannot write " + path);
    return true;
}

}  // namespace

uint8_t DiscPatternByte(const std::string& path, uint32_t offset)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : path)
        h = (h ^ c) * 16777619u;
    uint32_t block = offset / kBlockSize;
    return (uint8_t)((offset * 7u + block * 13u + h) & 0xFF);
}

bool ParseDiscScript(const std::string& text, const std::string& base_dir, DiscPlan* plan, std::string* error)
{
    *plan = DiscPlan();
    plan->sessions.push_back(DiscSessionSpec());
    size_t start = 0;
    int line_number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++line_number;
        size_t hash = line.find('#');
        if (hash != std::string::npos && line.find('"') > hash)
            line.resize(hash);
        std::vector<std::string> tokens = Tokenize(line);
        if (tokens.empty())
            continue;
        size_t word_end = line.find(tokens[0]) + tokens[0].size();
        std::string rest = line.substr(word_end);
        rest.erase(0, rest.find_first_not_of(" \t"));
        while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r'))
            rest.pop_back();
        std::string why;
        if (!ParseLine(tokens, rest, plan, base_dir, &why))
            return Fail(error, "line " + std::to_string(line_number) + ": " + why);
    }
    return true;
}

bool BuildDisc(const DiscPlan& plan, Disc* disc, std::string* error)
{
    *disc = Disc();
    disc->damage = plan.damage;
    Volume volume;
    volume.nodes.push_back(Node());
    volume.nodes[0].is_dir = true;
    int32_t next_start = 0;
    int track_number = 0;
    for (size_t s = 0; s < plan.sessions.size(); ++s) {
        const DiscSessionSpec& ss = plan.sessions[s];
        std::vector<DiscTrackSpec> tracks = ss.tracks;
        if (!ss.entries.empty() && (tracks.empty() || tracks[0].kind == kTrackAudio)) {
            DiscTrackSpec data;
            bool form2 = false;
            for (const DiscEntrySpec& e : ss.entries)
                form2 = form2 || e.form2;
            data.kind = plan.xa == 1 || form2 ? kTrackMode2 : kTrackMode1;
            tracks.insert(tracks.begin(), data);
        }
        if (tracks.empty())
            return Fail(error, "session " + std::to_string(s + 1) + " is empty");
        for (const DiscEntrySpec& e : ss.entries)
            if (!AddEntry(&volume, e, (int)s, error))
                return false;
        if (s > 0)
            next_start += s == 1 ? kFirstSessionGap : kLaterSessionGap;
        disc->session_start.push_back(next_start);
        for (size_t ti = 0; ti < tracks.size(); ++ti) {
            const DiscTrackSpec& ts = tracks[ti];
            DiscTrack t;
            t.number = ++track_number;
            t.session = (int)s + 1;
            t.kind = ts.kind;
            if (ti == 0) {
                // The pregap of a session's first track lies inside the session gap.
                t.pregap = (s > 0 && ts.pregap_given && ts.pregap_stored) ? kPregapBlocks : 0;
                t.pregap_stored = t.pregap > 0;
            } else {
                t.pregap = ts.pregap >= 0 ? ts.pregap : kPregapBlocks;
                t.pregap_stored = ts.pregap_stored;
                next_start += t.pregap;
            }
            t.start = next_start;
            if (ts.kind == kTrackAudio) {
                if (!AudioBlocks(ts, &t.blocks, error))
                    return false;
            } else {
                if (ts.kind == kTrackMode1)
                    for (const DiscEntrySpec& e : ss.entries)
                        if (e.form2)
                            return Fail(error, e.path + ": Form 2 files need a Mode 2 track");
                VolumeJob job{&plan, &volume, (int)s, t.start, plan.xa == 1 || (plan.xa < 0 && ts.kind == kTrackMode2),
                              ts.kind == kTrackMode2, HostileSet{&ss.hostile}, &t.blocks, disc};
                for (const DiscHostileSpec& h : ss.hostile)
                    if (h.kind == "truncate")
                        disc->truncate_blocks = h.blocks;
                if (!BuildVolume(job, error))
                    return false;
            }
            if (t.pregap_stored)
                ZeroBlocks(&t.blocks, t.pregap, t.kind);
            next_start += t.Length();
            if (next_start > kMaxDiscBlocks)
                return Fail(error, "the disc is full");
            if (track_number > 99)
                return Fail(error, "more than 99 tracks");
            disc->tracks.push_back(std::move(t));
        }
        disc->session_leadout.push_back(next_start);
    }
    for (const DiscSessionSpec& ss : plan.sessions)
        for (const DiscHostileSpec& h : ss.hostile)
            if (!h.path.empty()) {
                const DiscEntry* e = FindDiscEntry(*disc, h.path);
                if (!e)
                    return Fail(error, "hostile " + h.kind + ": no entry " + h.path);
                if (h.kind != "name-overrun" && !e->is_dir)
                    return Fail(error, "hostile " + h.kind + ": " + h.path + " is not a directory");
            }
    return true;
}

bool WriteDiscImage(const Disc& disc, const std::string& path, const DiscWriteOptions& options, std::string* error)
{
    if (EndsWith(path, ".iso"))
        return WriteIso(disc, path, error);
    if (EndsWith(path, ".cue"))
        return WriteCue(disc, path, options, error);
    return Fail(error, "the image name must end in .iso or .cue");
}

bool MakeDiscImage(const std::string& script, const std::string& path, const DiscWriteOptions& options,
                   std::string* error)
{
    DiscPlan plan;
    Disc disc;
    return ParseDiscScript(script, std::string(), &plan, error) && BuildDisc(plan, &disc, error) &&
           WriteDiscImage(disc, path, options, error);
}

bool ReadDiscSector(const Disc& disc, int32_t lba, uint8_t* raw2352)
{
    for (const DiscTrack& t : disc.tracks) {
        int32_t first = t.start - t.pregap;
        if (lba < first || lba >= t.start + t.Length())
            continue;
        int32_t stored_first = t.start - (t.pregap_stored ? t.pregap : 0);
        if (lba < stored_first) {
            SectorType type = t.kind == kTrackAudio ? kSectorAudio
                              : t.kind == kTrackMode2 ? kSectorMode2Form1 : kSectorMode1;
            BuildRawSector(raw2352, lba, type, nullptr, nullptr);
            return true;
        }
        const DiscBlock& b = t.blocks[(size_t)(lba - stored_first)];
        BuildRawSector(raw2352, lba, b.type, b.data, b.subheader);
        std::string ignored;
        ApplyDamage(disc.damage, lba, raw2352, &ignored);
        return true;
    }
    return false;
}

const DiscEntry* FindDiscEntry(const Disc& disc, const std::string& path, int session)
{
    int wanted = session;
    if (wanted == 0)
        for (const DiscEntry& e : disc.entries)
            wanted = std::max(wanted, e.session);
    for (const DiscEntry& e : disc.entries)
        if (e.session == wanted && e.path == path)
            return &e;
    return nullptr;
}
