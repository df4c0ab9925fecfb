// Disc model: image files to tracks and sessions, and blocks to sectors.
#include "disc.h"

#include <errno.h>
#include <stdarg.h>
#include <string.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <dirent.h>
#include <unistd.h>
#endif

#include <algorithm>

#include "mmc.h"
#include "ccd.h"
#include "chd.h"
#include "cdrtoc.h"
#include "mds.h"
#include "nrg.h"

namespace {

bool SeekRead(FILE* fp, uint64_t offset, void* buf, size_t len)
{
#ifdef _WIN32
    if (_fseeki64(fp, (long long)offset, SEEK_SET) != 0) return false;
    return fread(buf, 1, len, fp) == len;
#else
    // One positioned read per sector: no seek, no stdio buffer.
    uint8_t* p = static_cast<uint8_t*>(buf);
    while (len) {
        ssize_t n = pread(fileno(fp), p, len, (off_t)offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        offset += (uint64_t)n;
        len -= (size_t)n;
    }
    return true;
#endif
}

bool FileSize(FILE* fp, uint64_t* size)
{
#ifdef _WIN32
    if (_fseeki64(fp, 0, SEEK_END) != 0) return false;
    long long n = _ftelli64(fp);
#else
    if (fseeko(fp, 0, SEEK_END) != 0) return false;
    long long n = (long long)ftello(fp);
#endif
    if (n < 0) return false;
    *size = (uint64_t)n;
    return true;
}

// Opens a file for unbuffered reading: each sector is one read.
FILE* OpenFile(const std::string& path, uint64_t* size, int* error)
{
    FILE* fp = fopen(path.c_str(), "rb");
    if (!fp) {
        *error = errno;
        return nullptr;
    }
    setvbuf(fp, nullptr, _IONBF, 0);
    if (!FileSize(fp, size)) {
        *error = errno ? errno : EIO;
        fclose(fp);
        return nullptr;
    }
    return fp;
}

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

bool IsAbsolute(const std::string& name)
{
    if (name.empty()) return false;
    if (name[0] == '/' || name[0] == '\\') return true;
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

std::string ResolveName(const char* base_dir, std::string name)
{
#ifndef _WIN32
    std::replace(name.begin(), name.end(), '\\', '/');  // sheets written on Windows
#endif
    return IsAbsolute(name) ? name : std::string(base_dir) + name;
}

bool EndsWithNoCase(const char* s, const char* suffix)
{
    size_t n = strlen(s), m = strlen(suffix);
    if (m > n) return false;
    for (size_t i = 0; i < m; ++i) {
        char c = s[n - m + i];
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

uint8_t TrackControl(CueMode mode, uint8_t flags)
{
    return (uint8_t)((mode == kCueAudio ? 0 : kControlDataTrack) | (flags & 0x0F));
}

bool IsMode2(CueMode mode) { return mode == kCueMode2_2336 || mode == kCueMode2_2352; }

void FinishSessions(Disc* disc)
{
    disc->sessions.clear();
    for (int i = 0; i < (int)disc->tracks.size(); ++i) {
        const DiscTrack& t = disc->tracks[i];
        if (disc->sessions.empty() || disc->sessions.back().number != t.session)
            disc->sessions.push_back(DiscSession{t.session, i, i, t.end, false});
        DiscSession& s = disc->sessions.back();
        s.last_track = i;
        s.leadout = t.end;
        if (IsMode2(t.mode)) s.xa = true;
    }
}

// A file cut short (a broken download, a damaged copy) ends in a partial
// block: it stays part of the disc, and reading it fails as an unreadable
// block does, so every whole block can still be examined.
// Stored bytes of a track: from the file, or from a CHD's decoded data.
bool ReadStored(const DiscFile& file, uint64_t offset, void* buf, size_t len)
{
    return file.chd ? ChdRead(file.chd, offset, buf, len) : SeekRead(file.fp, offset, buf, len);
}

uint64_t BlocksWithPartial(uint64_t bytes, uint32_t sector) { return bytes / sector + (bytes % sector != 0); }

// One track covering a whole file of raw or user-data sectors.
bool SingleTrack(Disc* disc, const char* path, CueMode mode, uint64_t size, char* err, size_t err_len)
{
    uint64_t blocks = BlocksWithPartial(size, CueModeSectorSize(mode));
    if (blocks > kMaxLeadout)
        return DiscFailText(err, err_len,
                            "%s: too large for a CD image: %llu blocks, more than a disc ending at 99:59:74 holds",
                            path, (unsigned long long)blocks);
    DiscTrack t{};
    t.number = 1;
    t.session = 1;
    t.mode = mode;
    t.control = TrackControl(mode, 0);
    t.end = (int32_t)blocks;
    t.stored_count = (int32_t)blocks;
    disc->tracks.push_back(t);
    FinishSessions(disc);
    return true;
}

bool OpenPlain(const char* path, Disc* disc, char* err, size_t err_len)
{
    uint64_t size = 0;
    int error = 0;
    FILE* fp = OpenFile(path, &size, &error);
    if (!fp) return DiscFailText(err, err_len, "%s: cannot open the file (%s)", path, strerror(error));
    disc->files.push_back(DiscFile{path, fp, size});
    if (size == 0) return DiscFailText(err, err_len, "%s: the file is empty", path);

    uint8_t head[16] = {};
    bool raw = size >= kRawSectorSize && SeekRead(fp, 0, head, sizeof head) && memcmp(head, kSyncPattern, kSyncSize) == 0;
    bool iso_name = EndsWithNoCase(path, ".iso");
    if (raw) {
        uint8_t mode = head[kModeOffset];
        if (mode != 1 && mode != 2)
            return DiscFailText(err, err_len, "%s: the first sector has the unknown mode %u", path, mode);
        return SingleTrack(disc, path, mode == 1 ? kCueMode1_2352 : kCueMode2_2352, size, err, err_len);
    }
    if (iso_name || (size % kRawSectorSize != 0 && size % kUserDataSize == 0))
        return SingleTrack(disc, path, kCueMode1_2048, size, err, err_len);
    // Raw sectors without a sync pattern: CD-DA.
    return SingleTrack(disc, path, kCueAudio, size, err, err_len);
}

bool OpenCue(const char* path, Disc* disc, char* err, size_t err_len)
{
    FILE* fp = fopen(path, "rb");
    if (!fp) return DiscFailText(err, err_len, "%s: cannot open the file (%s)", path, strerror(errno));
    DiscFileId sheet_id;
    bool known = DiscFileIdentity(fp, &sheet_id);
    std::vector<char> text(kCueMaxText + 1);
    size_t len = fread(text.data(), 1, text.size(), fp);
    bool read_error = ferror(fp) != 0;
    fclose(fp);
    if (read_error) return DiscFailText(err, err_len, "%s: cannot read the file", path);
    if (len == 0) return DiscFailText(err, err_len, "%s: the file is empty", path);
    if (len > kCueMaxText) return DiscFailText(err, err_len, "%s: too large for a cue sheet", path);
    CueSheet sheet;
    if (!ParseCue(text.data(), len, path, &sheet, err, err_len)) return false;
    std::string base(path);
    size_t cut = base.size();
    while (cut > 0 && !IsSeparator(base[cut - 1])) --cut;
    base.resize(cut);
    return DiscFromCue(sheet, path, base.c_str(), known ? &sheet_id : nullptr, disc, err, err_len);
}

// Descriptor files under another extension are told by their first bytes.
bool HeadIs(const char* path, bool (*looks_like)(const char*, size_t))
{
    FILE* fp = fopen(path, "rb");
    if (!fp) return false;
    char head[512];
    size_t n = fread(head, 1, sizeof head, fp);
    fclose(fp);
    return looks_like(head, n);
}

// A data file opened by itself (CloneCD .img, Alcohol .mdf): the
// descriptor beside it says what it holds. Empty when there is none.
std::string DescriptorBeside(const char* path, const char* data_ext, const char* descriptor_ext)
{
    if (!EndsWithNoCase(path, data_ext)) return std::string();
    std::string s(path);
    s = s.substr(0, s.size() - strlen(data_ext)) + descriptor_ext;
    FILE* fp = fopen(s.c_str(), "rb");
    if (!fp) return std::string();
    fclose(fp);
    return s;
}

}  // namespace

#ifndef _WIN32
std::vector<std::string> DiscListFolder(const std::string& dir, const char* suffix)
{
    std::vector<std::string> names;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    while (dirent* e = d ? readdir(d) : nullptr)
        if (EndsWithNoCase(e->d_name, suffix)) names.push_back(e->d_name);
    if (d) closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool DiscFileIdentity(FILE* fp, DiscFileId* id)
{
    struct stat st;
    if (fstat(fileno(fp), &st) != 0) return false;
    id->volume = (uint64_t)st.st_dev;
    id->file = (uint64_t)st.st_ino;
    return true;
}
#endif

bool DiscFromCue(const CueSheet& sheet, const char* cue_name, const char* base_dir, const DiscFileId* sheet_id,
                 Disc* disc, char* err, size_t err_len)
{
    for (const CueFile& f : sheet.files) {
        std::string full = ResolveName(base_dir, f.name);
        uint64_t size = 0;
        int error = 0;
        FILE* fp = OpenFile(full, &size, &error);
        if (!fp)
            return DiscFailText(err, err_len, "%s, line %d: cannot open \"%s\" (%s)", cue_name, f.line, f.name.c_str(),
                        strerror(error));
        disc->files.push_back(DiscFile{full, fp, size});
        // The sheet's own text would be served as sectors.
        DiscFileId id;
        if (sheet_id && DiscFileIdentity(fp, &id) && id.volume == sheet_id->volume && id.file == sheet_id->file)
            return DiscFailText(err, err_len, "%s, line %d: \"%s\" is this cue sheet, not a data file", cue_name,
                                f.line, f.name.c_str());
        if (size == 0)
            return DiscFailText(err, err_len, "%s, line %d: \"%s\" is empty", cue_name, f.line, f.name.c_str());
    }

    int64_t cursor = 0;  // end of the previous track
    uint64_t offset = 0;  // byte offset of the current track's first index in its file
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        const CueTrack& c = sheet.tracks[i];
        const CueTrack* prev = i ? &sheet.tracks[i - 1] : nullptr;
        const CueTrack* next = i + 1 < sheet.tracks.size() ? &sheet.tracks[i + 1] : nullptr;
        const DiscFile& file = disc->files[c.file];
        uint32_t sector = CueModeSectorSize(c.mode);
        int32_t first_index = c.index0 >= 0 ? c.index0 : c.index1;
        if (prev && prev->file == c.file) {
            int32_t prev_first = prev->index0 >= 0 ? prev->index0 : prev->index1;
            offset += (uint64_t)(first_index - prev_first) * CueModeSectorSize(prev->mode);
        } else {
            offset = (uint64_t)first_index * sector;
        }
        int32_t lead = c.index1 - first_index;  // INDEX 00 part stored in the file
        uint64_t index1_offset = offset + (uint64_t)lead * sector;
        if (index1_offset >= file.size)
            return DiscFailText(err, err_len, "%s, line %d: INDEX 01 of track %02d lies past the end of \"%s\"",
                                cue_name, c.index1_line, c.number, sheet.files[c.file].name.c_str());
        uint64_t stored;
        int stored_line;  // the line that says where the stored blocks end
        if (next && next->file == c.file) {
            stored = (uint64_t)((next->index0 >= 0 ? next->index0 : next->index1) - first_index);
            stored_line = next->index0 >= 0 ? next->line : next->index1_line;
            if (offset + stored * sector > file.size)
                return DiscFailText(err, err_len, "%s, line %d: track %02d starts past the end of \"%s\"", cue_name,
                            stored_line, next->number, sheet.files[c.file].name.c_str());
        } else {
            stored = BlocksWithPartial(file.size - offset, sector);
            stored_line = sheet.files[c.file].line;
        }

        int64_t start;
        int64_t floor = 0;  // first block the pregap may take
        bool session_first = !prev || prev->session != c.session;
        if (!prev) {
            start = 0;
        } else if (session_first) {
            const DiscSession& s = disc->sessions.back();
            int64_t leadout = s.number == 1 ? kLeadoutFirstSession : kLeadoutLaterSession;
            floor = cursor + leadout + kLeadinBlocks;
            start = floor + kPregapBlocks;
        } else {
            start = cursor + c.pregap + lead;
            floor = cursor;
        }
        int64_t stored_first = start - lead;
        int64_t end = stored_first + (int64_t)stored + c.postgap;
        // The track's parts in disc order: the first line whose blocks carry
        // the disc past its latest lead-out is named.
        const struct { int64_t end; int line; } parts[] = {
            {stored_first, session_first ? c.line : c.pregap_line},
            {stored_first + (int64_t)stored, stored_line},
            {end, c.postgap_line},
        };
        for (const auto& part : parts)
            if (part.end > kMaxLeadout)
                return DiscFailText(err, err_len,
                                    "%s, line %d: the disc would end past 99:59:74 (lead-out at block %lld)", cue_name,
                                    part.line, (long long)part.end);
        DiscTrack t{};
        t.number = c.number;
        t.session = c.session;
        t.mode = c.mode;
        t.control = TrackControl(c.mode, c.flags);
        // A session's first track always has its full pregap before INDEX 01
        // (track 1's lies before block 0 and cannot be read).
        t.pregap_start = (int32_t)(session_first ? floor : stored_first - c.pregap);
        t.start = (int32_t)start;
        t.end = (int32_t)end;
        t.file = c.file;
        t.stored_first = (int32_t)stored_first;
        t.stored_count = (int32_t)stored;
        t.file_offset = offset;
        disc->tracks.push_back(t);
        FinishSessions(disc);
        cursor = end;
    }
    return true;
}

bool DiscOpen(const char* path, Disc* disc, char* err, size_t err_len)
{
    DiscClose(disc);
    if (err_len) err[0] = 0;
    bool ok;
    if (EndsWithNoCase(path, ".cue"))
        ok = OpenCue(path, disc, err, err_len);
    else if (EndsWithNoCase(path, ".chd") || HeadIs(path, LooksLikeChd))
        ok = DiscOpenChd(path, disc, err, err_len);
    else if (EndsWithNoCase(path, ".toc") || HeadIs(path, LooksLikeCdrToc))
        ok = DiscOpenCdrToc(path, disc, err, err_len);
    else if (EndsWithNoCase(path, ".ccd") || HeadIs(path, LooksLikeCcd))
        ok = DiscOpenCcd(path, disc, err, err_len);
    else if (!DescriptorBeside(path, ".img", ".ccd").empty())
        ok = DiscOpenCcd(DescriptorBeside(path, ".img", ".ccd").c_str(), disc, err, err_len);
    else if (EndsWithNoCase(path, ".mds") || HeadIs(path, LooksLikeMds))
        ok = DiscOpenMds(path, disc, err, err_len);
    else if (!DescriptorBeside(path, ".mdf", ".mds").empty())
        ok = DiscOpenMds(DescriptorBeside(path, ".mdf", ".mds").c_str(), disc, err, err_len);
    else if (EndsWithNoCase(path, ".nrg") || HasNrgFooter(path))
        ok = DiscOpenNrg(path, disc, err, err_len);
    else
        ok = OpenPlain(path, disc, err, err_len);
    if (!ok) DiscClose(disc);
    return ok;
}

void DiscClose(Disc* disc)
{
    for (DiscFile& f : disc->files) {
        ChdClose(f.chd);
        if (f.fp) fclose(f.fp);
    }
    disc->files.clear();
    disc->tracks.clear();
    disc->sessions.clear();
    disc->recorded_toc.clear();
}

int32_t DiscLeadout(const Disc& disc) { return disc.sessions.empty() ? 0 : disc.sessions.back().leadout; }

const DiscTrack* DiscFindTrack(const Disc& disc, int32_t lba)
{
    auto it = std::upper_bound(disc.tracks.begin(), disc.tracks.end(), lba,
                               [](int32_t a, const DiscTrack& t) { return a < t.pregap_start; });
    if (it == disc.tracks.begin()) return nullptr;
    const DiscTrack& t = *(it - 1);
    return lba >= 0 && lba < t.end ? &t : nullptr;
}

DiscReadResult DiscReadRaw(const Disc& disc, int32_t lba, uint8_t* raw, SectorType* type)
{
    const DiscTrack* t = DiscFindTrack(disc, lba);
    if (!t) return kDiscReadOutOfRange;
    bool stored = lba >= t->stored_first && lba - t->stored_first < t->stored_count;
    if (!stored) {
        // Pregap and postgap blocks: the track's empty sectors.
        switch (t->mode) {
        case kCueAudio: *type = kSectorAudio; break;
        case kCueMode1_2048:
        case kCueMode1_2352: *type = kSectorMode1; break;
        default: *type = kSectorMode2Form1; break;
        }
        BuildRawSector(raw, lba, *type, nullptr, nullptr);
        return kDiscReadOk;
    }
    uint64_t offset = t->file_offset + (uint64_t)(lba - t->stored_first) * DiscStride(*t);
    const DiscFile& file = disc.files[t->file];
    uint8_t stored_data[kMode2DataSize];
    if (t->xa_form) {
        // Mode 2 user data without its subheader: a plain data subheader.
        bool form2 = t->xa_form == 2;
        uint8_t subheader[kSubheaderCopySize] = {0, 0, (uint8_t)(form2 ? kSubmodeForm2 : kSubmodeData), 0};
        *type = form2 ? kSectorMode2Form2 : kSectorMode2Form1;
        if (!ReadStored(file, offset, stored_data, form2 ? kForm2UserDataSize : kUserDataSize)) return kDiscReadIoError;
        BuildRawSector(raw, lba, *type, stored_data, subheader);
        return kDiscReadOk;
    }
    switch (t->mode) {
    case kCueAudio:
        if (!ReadStored(file, offset, raw, kRawSectorSize)) return kDiscReadIoError;
        if (t->swap_audio)
            for (int i = 0; i < kRawSectorSize; i += 2) std::swap(raw[i], raw[i + 1]);
        *type = kSectorAudio;
        return kDiscReadOk;
    case kCueMode1_2048:
        if (!ReadStored(file, offset, stored_data, kUserDataSize)) return kDiscReadIoError;
        *type = kSectorMode1;
        BuildRawSector(raw, lba, kSectorMode1, stored_data, nullptr);
        return kDiscReadOk;
    case kCueMode2_2336:
        if (!ReadStored(file, offset, stored_data, kMode2DataSize)) return kDiscReadIoError;
        BuildMode2FromStored(raw, lba, stored_data);
        if (t->formless) {
            *type = kSectorMode2Formless;
            return kDiscReadOk;
        }
        break;
    case kCueMode1_2352:
    case kCueMode2_2352:
        if (!ReadStored(file, offset, raw, kRawSectorSize)) return kDiscReadIoError;
        break;
    }
    // Raw data sectors: the stored mode byte and subheader say what they are.
    switch (raw[kModeOffset]) {
    case 0: *type = kSectorMode0; break;
    case 1: *type = kSectorMode1; break;
    case 2:
        *type = raw[kSubmodeOffset] & kSubmodeForm2 ? kSectorMode2Form2 : kSectorMode2Form1;
        break;
    default: *type = t->mode == kCueMode1_2352 ? kSectorMode1 : kSectorMode2Form1; break;
    }
    return kDiscReadOk;
}

void DiscReadProblem(const Disc& disc, int32_t lba, char* text, size_t text_len)
{
    const DiscTrack* t = DiscFindTrack(disc, lba);
    if (!text_len) return;
    if (!t || t->file < 0 || t->file >= (int)disc.files.size()) {
        snprintf(text, text_len, "block %d lies outside every track", lba);
        return;
    }
    const DiscFile& f = disc.files[t->file];
    uint64_t end = t->file_offset + (uint64_t)(lba - t->stored_first + 1) * DiscStride(*t);
    if (f.chd)
        snprintf(text, text_len, "%s", ChdProblem(f.chd));
    else if (end > f.size)
        snprintf(text, text_len, "%s ends inside block %d", f.path.c_str(), lba);
    else
        snprintf(text, text_len, "%s cannot be read at block %d", f.path.c_str(), lba);
}

uint32_t DiscStride(const DiscTrack& t)
{
    if (t.stride) return t.stride;
    if (t.xa_form) return t.xa_form == 2 ? kForm2UserDataSize : kUserDataSize;
    return CueModeSectorSize(t.mode);
}

bool DiscAddFile(Disc* disc, const std::string& path, char* err, size_t err_len)
{
    // A name from a descriptor may be a pipe or a device, whose open or
    // read would wait for ever: only regular files hold sectors.
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return DiscFailText(err, err_len, "not a regular file");
    uint64_t size = 0;
    int error = 0;
    FILE* fp = OpenFile(path, &size, &error);
    if (!fp) return DiscFailText(err, err_len, "%s", strerror(error));
    disc->files.push_back(DiscFile{path, fp, size});
    return true;
}

std::string DiscResolveName(const char* base_dir, const std::string& name) { return ResolveName(base_dir, name); }

std::string DiscBaseDir(const char* path)
{
    std::string base(path);
    size_t cut = base.size();
    while (cut > 0 && !IsSeparator(base[cut - 1])) --cut;
    base.resize(cut);
    return base;
}

void DiscFinishSessions(Disc* disc) { FinishSessions(disc); }

bool DiscEndsWithNoCase(const char* s, const char* suffix) { return EndsWithNoCase(s, suffix); }

bool DiscFailText(char* err, size_t err_len, const char* fmt, ...)
{
    if (err_len) {
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(err, err_len, fmt, ap);
        va_end(ap);
    }
    return false;
}

bool DiscFail(char* err, size_t err_len, const char* name, int line, const char* fmt, ...)
{
    int n = line > 0 ? snprintf(err, err_len, "%s, line %d: ", name, line) : snprintf(err, err_len, "%s: ", name);
    if (n >= 0 && (size_t)n < err_len) {
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(err + n, err_len - (size_t)n, fmt, ap);
        va_end(ap);
    }
    return false;
}

bool DiscReadAt(const DiscFile& file, uint64_t offset, void* buf, size_t len) { return SeekRead(file.fp, offset, buf, len); }
