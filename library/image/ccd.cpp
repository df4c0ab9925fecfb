// CloneCD .ccd: INI text; keys are case-insensitive; values decimal or 0x
// hexadecimal. Entry times are the binary values of the Q subcode's BCD
// fields, except the disc type in A0's PSEC and C0's ATIP bytes, which are
// stored as the bytes themselves.
#include "ccd.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "mmc.h"

namespace {

enum { kMaxBcd = 99, kMaxTrack = 99 };

std::string Upper(const char* p, size_t n)
{
    std::string s(p, n);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    return s;
}

std::string Trim(const char* p, size_t n)
{
    while (n && (*p == ' ' || *p == '\t')) ++p, --n;
    while (n && (p[n - 1] == ' ' || p[n - 1] == '\t' || p[n - 1] == '\r')) --n;
    return std::string(p, n);
}

// A decimal (optionally negative) or 0x hexadecimal value within +-10^9.
bool Number(const std::string& s, long* value)
{
    size_t i = 0;
    bool negative = false, hex = false;
    if (i < s.size() && s[i] == '-') negative = true, ++i;
    if (s.size() > i + 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) hex = true, i += 2;
    if (i >= s.size() || s.size() - i > 9) return false;
    long v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
              : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return false;
        v = v * (hex ? 16 : 10) + d;
    }
    *value = negative ? -v : v;
    return true;
}

struct Field {
    const char* key;
    size_t offset;
};
const Field kEntryFields[] = {
    {"SESSION", offsetof(CcdEntry, session)}, {"POINT", offsetof(CcdEntry, point)},
    {"ADR", offsetof(CcdEntry, adr)},         {"CONTROL", offsetof(CcdEntry, control)},
    {"TRACKNO", offsetof(CcdEntry, track_no)}, {"AMIN", offsetof(CcdEntry, amin)},
    {"ASEC", offsetof(CcdEntry, asec)},       {"AFRAME", offsetof(CcdEntry, aframe)},
    {"ZERO", offsetof(CcdEntry, zero)},       {"PMIN", offsetof(CcdEntry, pmin)},
    {"PSEC", offsetof(CcdEntry, psec)},       {"PFRAME", offsetof(CcdEntry, pframe)},
};

enum Section { kOther, kDiscSection, kEntrySection, kTrackSection };

}  // namespace

bool ParseCcd(const char* text, size_t len, const char* name, CcdSheet* ccd, char* err, size_t err_len)
{
    if (err_len) err[0] = 0;
    ccd->entry_count = -1;
    ccd->session_count = 0;
    ccd->entries.clear();
    for (CcdTrack& t : ccd->tracks) t = CcdTrack{-1, -1, -1};
    Section section = kOther;
    long number = 0;
    bool signature = false;
    int line = 0;
    for (size_t pos = 0; pos < len;) {
        const char* p = text + pos;
        const char* nl = (const char*)memchr(p, '\n', len - pos);
        size_t n = nl ? (size_t)(nl - p) : len - pos;
        pos += n + 1;
        ++line;
        std::string s = Trim(p, n);
        if (s.empty() || s[0] == ';') continue;
        if (s[0] == '[') {
            if (s.back() != ']') return DiscFail(err, err_len, name, line, "a section name without its ]");
            std::string head = Upper(s.data() + 1, s.size() - 2);
            section = kOther;
            if (head == "CLONECD") signature = true;
            else if (head == "DISC") section = kDiscSection;
            else if (head.compare(0, 6, "ENTRY ") == 0 || head.compare(0, 6, "TRACK ") == 0) {
                bool entry = head[0] == 'E';
                if (!Number(head.substr(6), &number))
                    return DiscFail(err, err_len, name, line, "a section number that is not a number");
                if (entry) {
                    if (ccd->entry_count < 0)
                        return DiscFail(err, err_len, name, line, "[Entry] before [Disc] says how many entries");
                    if (number < 0 || number >= ccd->entry_count)
                        return DiscFail(err, err_len, name, line, "entry %ld is out of range (TocEntries=%d)", number,
                                        ccd->entry_count);
                    CcdEntry& e = ccd->entries[(size_t)number];
                    if (e.line) return DiscFail(err, err_len, name, line, "entry %ld is given twice", number);
                    e.line = line;
                    section = kEntrySection;
                } else {
                    if (number < 1 || number > kMaxTrack)
                        return DiscFail(err, err_len, name, line, "track %ld is out of range", number);
                    section = kTrackSection;
                }
            }
            continue;
        }
        size_t eq = s.find('=');
        if (eq == std::string::npos) continue;  // lines this reader has no use for
        std::string key = Upper(s.data(), eq);
        key = Trim(key.data(), key.size());
        std::string value = Trim(s.data() + eq + 1, s.size() - eq - 1);
        long v = 0;
        bool numeric = Number(value, &v);
        if (section == kDiscSection && (key == "TOCENTRIES" || key == "SESSIONS")) {
            if (!numeric || v < 1 || v > (key == "SESSIONS" ? (long)kMaxTrack : (long)kCcdMaxEntries))
                return DiscFail(err, err_len, name, line, "%s=%s is out of range", key.c_str(), value.c_str());
            if (key == "SESSIONS") {
                ccd->session_count = (int)v;
            } else {
                if (ccd->entry_count >= 0) return DiscFail(err, err_len, name, line, "TocEntries is given twice");
                ccd->entry_count = (int)v;
                ccd->entries.assign((size_t)v, CcdEntry{});
            }
        } else if (section == kEntrySection) {
            for (const Field& f : kEntryFields) {
                if (key != f.key) continue;
                if (!numeric || v < 0 || v > 255)
                    return DiscFail(err, err_len, name, line, "%s=%s is not a byte", key.c_str(), value.c_str());
                *(int*)((char*)&ccd->entries[(size_t)number] + f.offset) = (int)v;
            }
        } else if (section == kTrackSection) {
            CcdTrack& t = ccd->tracks[number];
            if (key == "MODE") {
                if (!numeric || v < 0 || v > 2) return DiscFail(err, err_len, name, line, "MODE=%s is unknown", value.c_str());
                t.mode = (int)v;
            } else if (key == "INDEX 0" || key == "INDEX 1") {
                if (!numeric || v < 0 || v > kMaxLeadout)
                    return DiscFail(err, err_len, name, line, "%s=%s is out of range", key.c_str(), value.c_str());
                (key == "INDEX 0" ? t.index0 : t.index1) = (int32_t)v;
            }
        }
    }
    if (!signature) return DiscFail(err, err_len, name, 0, "no [CloneCD] section: not a CloneCD file");
    if (ccd->entry_count < 0) return DiscFail(err, err_len, name, 0, "no TocEntries in [Disc]");
    for (size_t i = 0; i < ccd->entries.size(); ++i)
        if (!ccd->entries[i].line) return DiscFail(err, err_len, name, 0, "[Entry %u] is missing", (unsigned)i);
    return true;
}

bool LooksLikeCcd(const char* text, size_t len)
{
    static const char kSignature[] = "[CLONECD]";
    size_t i = 0;
    if (len >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) i = 3;
    while (i < len && (text[i] == ' ' || text[i] == '\r' || text[i] == '\n' || text[i] == '\t')) ++i;
    return len - i >= sizeof kSignature - 1 && Upper(text + i, sizeof kSignature - 1) == kSignature;
}

namespace {

int32_t EntryLba(int m, int s, int f) { return m * kFramesPerMinute + s * kFramesPerSecond + f - kPregapBlocks; }

// The entry as READ TOC format 2 returns it.
bool Descriptor(const CcdEntry& e, uint8_t* d)
{
    bool raw_psec = e.point == kPointFirstTrack, raw_atime = e.point == kPointFirstLeadIn;
    int bcd[] = {raw_atime ? 0 : e.amin, raw_atime ? 0 : e.asec, raw_atime ? 0 : e.aframe, e.pmin,
                 raw_psec ? 0 : e.psec, e.pframe};
    for (int v : bcd)
        if (v > kMaxBcd) return false;
    d[0] = (uint8_t)e.session;
    d[1] = (uint8_t)((e.adr << 4) | (e.control & 0x0F));
    d[2] = (uint8_t)e.track_no;
    d[3] = (uint8_t)e.point;
    d[4] = raw_atime ? (uint8_t)e.amin : to_bcd(e.amin);
    d[5] = raw_atime ? (uint8_t)e.asec : to_bcd(e.asec);
    d[6] = raw_atime ? (uint8_t)e.aframe : to_bcd(e.aframe);
    d[7] = (uint8_t)e.zero;
    d[8] = to_bcd(e.pmin);
    d[9] = raw_psec ? (uint8_t)e.psec : to_bcd(e.psec);
    d[10] = to_bcd(e.pframe);
    return true;
}

}  // namespace

bool DiscFromCcd(const CcdSheet& ccd, const char* name, Disc* disc, char* err, size_t err_len)
{
    struct Start {
        int number, session;
        uint8_t control;
        int32_t lba;
        int line;
    };
    std::vector<Start> starts;
    std::vector<int32_t> leadouts(100, -1);  // by session
    for (size_t i = 0; i < ccd.entries.size(); ++i) {
        const CcdEntry& e = ccd.entries[i];
        uint8_t d[kFullDescriptorSize];
        if (e.session < 1 || e.session > kMaxTrack)
            return DiscFail(err, err_len, name, e.line, "entry %u names session %d", (unsigned)i, e.session);
        if (!Descriptor(e, d))
            return DiscFail(err, err_len, name, e.line, "entry %u holds a time that is not a BCD value", (unsigned)i);
        disc->recorded_toc.insert(disc->recorded_toc.end(), d, d + sizeof d);
        if (e.adr != kAdrPosition) continue;
        int32_t lba = EntryLba(e.pmin, e.psec, e.pframe);
        if (e.point >= 1 && e.point <= kMaxTrack)
            starts.push_back(Start{e.point, e.session, (uint8_t)e.control, lba, e.line});
        else if (e.point == kPointLeadout)
            leadouts[(size_t)e.session] = lba;
    }
    std::stable_sort(starts.begin(), starts.end(), [](const Start& a, const Start& b) { return a.number < b.number; });
    if (starts.empty()) return DiscFail(err, err_len, name, 0, "the entries name no track");
    const DiscFile& img = disc->files[0];
    int64_t gaps = 0;  // blocks between sessions, not stored in the .img
    for (size_t i = 0; i < starts.size(); ++i) {
        const Start& s = starts[i];
        bool session_first = i == 0 || starts[i - 1].session != s.session;
        int32_t leadout = leadouts[(size_t)s.session];
        if (leadout < 0) return DiscFail(err, err_len, name, s.line, "session %d has no lead-out (A2) entry", s.session);
        if (i && (s.number == starts[i - 1].number || s.session < starts[i - 1].session))
            return DiscFail(err, err_len, name, s.line, "track %d is out of order", s.number);
        int32_t floor = i == 0 ? 0 : disc->tracks.back().end;
        if (s.lba < floor + (session_first && i ? 1 : 0) || leadout <= s.lba || leadout > kMaxLeadout)
            return DiscFail(err, err_len, name, s.line, "track %d starts outside its session", s.number);
        if (session_first) gaps += s.lba - floor;
        DiscTrack t{};
        t.number = s.number;
        t.session = s.session;
        t.control = s.control;
        const CcdTrack& info = ccd.tracks[s.number];
        t.mode = info.mode == 0 || (info.mode < 0 && !(s.control & kControlDataTrack)) ? kCueAudio
                 : info.mode == 2 ? kCueMode2_2352 : kCueMode1_2352;
        t.start = s.lba;
        // INDEX 0 inside the session marks a pregap stored before the track.
        bool stored_pregap = !session_first && info.index0 > disc->tracks.back().start && info.index0 < s.lba;
        t.pregap_start = session_first ? std::max(floor, s.lba - (int32_t)kPregapBlocks) : stored_pregap ? info.index0 : s.lba;
        if (!session_first && !disc->tracks.empty() && disc->tracks.back().end > t.pregap_start) {
            DiscTrack& prev = disc->tracks.back();  // its stored blocks end where this pregap begins
            prev.end = t.pregap_start;
            prev.stored_count = prev.end - prev.stored_first;
        }
        t.stored_first = session_first ? s.lba : t.pregap_start;
        bool last_in_session = i + 1 == starts.size() || starts[i + 1].session != s.session;
        int32_t next = last_in_session ? leadout : std::min(starts[i + 1].lba, leadout);
        if (next <= s.lba) return DiscFail(err, err_len, name, s.line, "track %d has no blocks", s.number);
        t.end = next;
        t.stored_count = t.end - t.stored_first;
        t.file = 0;
        t.file_offset = (uint64_t)(t.stored_first - gaps) * kRawSectorSize;
        if (disc->files.size() > 1) {
            t.has_sub = true;
            t.sub_file = 1;
            t.sub_offset = (uint64_t)(t.stored_first - gaps) * kDiscSubchannelSize;
            t.sub_stride = kDiscSubchannelSize;
        }
        disc->tracks.push_back(t);
    }
    if (disc->tracks[0].file_offset >= img.size)
        return DiscFail(err, err_len, name, 0, "\"%s\" holds no block of the first track", img.path.c_str());
    DiscFinishSessions(disc);
    return true;
}

bool DiscOpenCcd(const char* path, Disc* disc, char* err, size_t err_len)
{
    FILE* fp = fopen(path, "rb");
    if (!fp) return DiscFail(err, err_len, path, 0, "cannot open the file");
    std::vector<char> text(kCcdMaxText + 1);
    size_t len = fread(text.data(), 1, text.size(), fp);
    bool read_error = ferror(fp) != 0;
    fclose(fp);
    if (read_error || len == 0 || len > kCcdMaxText)
        return DiscFail(err, err_len, path, 0, "%s",
                        read_error ? "cannot read the file" : len ? "too large for a .ccd file" : "the file is empty");
    CcdSheet ccd;
    if (!ParseCcd(text.data(), len, path, &ccd, err, err_len)) return false;
    // The data files share the descriptor's name: NAME.img and NAME.sub.
    std::string stem(path);
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos && stem.find_first_of("/\\", dot) == std::string::npos) stem.resize(dot);
    char why[128];
    if (!DiscAddFile(disc, stem + ".img", why, sizeof why))
        return DiscFail(err, err_len, path, 0, "cannot open its image \"%s.img\" (%s)", stem.c_str(), why);
    if (disc->files[0].size == 0) return DiscFail(err, err_len, path, 0, "its image \"%s.img\" is empty", stem.c_str());
    DiscAddFile(disc, stem + ".sub", why, sizeof why);  // optional
    return DiscFromCcd(ccd, path, disc, err, err_len);
}
