// Writing the built disc: an .iso of 2048-byte blocks, or a cue sheet and
// its BIN files with each track stored as its mode asks; and the raw sector
// of any block, as a drive would read it.
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "bytes.h"
#include "cdrtoc.h"
#include "discbuild_internal.h"

using namespace discbuild;

namespace {

const char* CueMode(TrackKind kind, const DiscWriteOptions& o)
{
    if (kind == kTrackAudio)
        return "AUDIO";
    if (kind == kTrackMode1)
        return o.mode1_size == kUserDataSize ? "MODE1/2048" : "MODE1/2352";
    return o.mode2_size == kMode2DataSize ? "MODE2/2336" : "MODE2/2352";
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
             (int)(frames / kFramesPerSecond % kSecondsPerMinute), (int)(frames % kFramesPerSecond));
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
bool StoredBlock(const BuiltTrack& t, size_t index, const DiscWriteOptions& o, const BuiltDisc& disc, uint8_t* out,
                 int* size, std::string* error)
{
    const BuiltBlock& b = t.blocks[index];
    int32_t lba = t.start - (t.pregap_stored ? t.pregap : 0) + (int32_t)index;
    uint8_t raw[kRawSectorSize];
    BuildRawSector(raw, lba, b.type, b.data, b.subheader);
    *size = StoredSize(t.kind, o);
    if (*size == kRawSectorSize)
        return ApplyDamage(disc.damage, lba, raw, error) && (memcpy(out, raw, kRawSectorSize), true);
    else if (*size == kMode2DataSize)
        memcpy(out, raw + kDataOffset, kMode2DataSize);
    else
        memcpy(out, b.data, kUserDataSize);
    return disc.damage.empty() || Fail(error, "damage needs sectors stored whole (2352 bytes)");
}

bool WriteBlocks(FILE* f, const BuiltTrack& t, const DiscWriteOptions& o, const BuiltDisc& disc, int32_t skip_tail,
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

bool WriteIso(const BuiltDisc& disc, const std::string& path, std::string* error)
{
    if (disc.tracks.size() != 1 || disc.tracks[0].kind != kTrackMode1)
        return Fail(error, "an .iso holds a single Mode 1 track; write a .cue for this disc");
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return Fail(error, "cannot create " + path);
    DiscWriteOptions o;
    o.mode1_size = kUserDataSize;
    bool ok = WriteBlocks(f, disc.tracks[0], o, disc, disc.truncate_blocks, error);
    if (fclose(f) != 0 || !ok)
        return ok ? Fail(error, "cannot write " + path) : false;
    return true;
}

bool WriteCue(const BuiltDisc& disc, const std::string& path, const DiscWriteOptions& o, std::string* error)
{
    if ((o.mode1_size != kUserDataSize && o.mode1_size != kRawSectorSize) ||
        (o.mode2_size != kMode2DataSize && o.mode2_size != kRawSectorSize))
        return Fail(error, "Mode 1 tracks are stored in 2048 or 2352 bytes, Mode 2 in 2336 or 2352");
    std::string stem = path.substr(0, path.size() - 4);
    bool split = o.split;
    for (const BuiltTrack& t : disc.tracks)
        split = split || StoredSize(t.kind, o) != StoredSize(disc.tracks[0].kind, o);
    std::string cue;
    FILE* bin = nullptr;
    int64_t file_blocks = 0;
    bool ok = true;
    int session = 0;
    for (size_t i = 0; i < disc.tracks.size() && ok; ++i) {
        const BuiltTrack& t = disc.tracks[i];
        if (i == 0 || split) {
            if (bin && fclose(bin) != 0)
                ok = false;
            char suffix[16];
            snprintf(suffix, sizeof suffix, split ? "-%02d.bin" : ".bin", t.number);
            std::string bin_path = stem + suffix;
            bin = fopen(bin_path.c_str(), "wb");
            if (!bin)
                return Fail(error, "cannot create " + bin_path);
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


// The 96 subchannel bytes stored after a sector: a pattern of the block,
// since nothing reads them yet but a test that they are kept.
void SubchannelBytes(int32_t lba, uint8_t* out)
{
    for (int i = 0; i < kCdrSubchannelSize; ++i) out[i] = (uint8_t)(lba * 3 + i);
}

// Stored blocks of a track as another format keeps them: audio samples
// big-endian where it asks, and subchannel data after each sector.
bool WriteFormatBlocks(FILE* f, const BuiltTrack& t, const DiscWriteOptions& o, const BuiltDisc& disc,
                       int32_t skip_tail, bool big_endian_audio, std::string* error)
{
    uint8_t buffer[kRawSectorSize + kCdrSubchannelSize];
    int size = 0;
    size_t count = t.blocks.size() - (size_t)std::min<int32_t>(skip_tail, (int32_t)t.blocks.size());
    int32_t first = t.start - (t.pregap_stored ? t.pregap : 0);
    for (size_t i = 0; i < count; ++i) {
        if (!StoredBlock(t, i, o, disc, buffer, &size, error))
            return false;
        if (t.kind == kTrackAudio && big_endian_audio)
            for (int b = 0; b < size; b += 2) std::swap(buffer[b], buffer[b + 1]);
        if (o.subchannel) {
            SubchannelBytes(first + (int32_t)i, buffer + size);
            size += kCdrSubchannelSize;
        }
        if (fwrite(buffer, 1, (size_t)size, f) != (size_t)size)
            return Fail(error, "cannot write the image");
    }
    return true;
}

bool CheckSizes(const DiscWriteOptions& o, std::string* error)
{
    if ((o.mode1_size != kUserDataSize && o.mode1_size != kRawSectorSize) ||
        (o.mode2_size != kMode2DataSize && o.mode2_size != kRawSectorSize))
        return Fail(error, "Mode 1 tracks are stored in 2048 or 2352 bytes, Mode 2 in 2336 or 2352");
    return true;
}

bool WriteText(const std::string& path, const std::string& text, std::string* error)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return Fail(error, "cannot create " + path);
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    if (fclose(f) != 0 || !ok)
        return Fail(error, "cannot write " + path);
    return true;
}

// cdrdao TOC: one session, every track's data in one .bin as cdrdao's
// read-cd writes it (FILE for audio with big-endian samples, DATAFILE for
// data, byte offsets after '#', a stored pregap marked by START).
bool WriteCdrToc(const BuiltDisc& disc, const std::string& path, const DiscWriteOptions& o, std::string* error)
{
    if (!CheckSizes(o, error))
        return false;
    if (disc.session_start.size() > 1)
        return Fail(error, "a cdrdao TOC file describes one session");
    std::string stem = path.substr(0, path.size() - 4), bin_path = stem + ".bin";
    bool mode2 = false, data = false;
    for (const BuiltTrack& t : disc.tracks) {
        mode2 = mode2 || t.kind == kTrackMode2;
        data = data || t.kind != kTrackAudio;
    }
    std::string toc = mode2 ? "CD_ROM_XA\n\n" : data ? "CD_ROM\n\n" : "CD_DA\n\n";
    FILE* bin = fopen(bin_path.c_str(), "wb");
    if (!bin)
        return Fail(error, "cannot create " + bin_path);
    bool ok = true;
    uint64_t offset = 0;
    for (size_t i = 0; i < disc.tracks.size() && ok; ++i) {
        const BuiltTrack& t = disc.tracks[i];
        const char* mode = t.kind == kTrackAudio ? "AUDIO"
                           : t.kind == kTrackMode1 ? (o.mode1_size == kUserDataSize ? "MODE1" : "MODE1_RAW")
                           : (o.mode2_size == kMode2DataSize ? "MODE2_FORM_MIX" : "MODE2_RAW");
        int stride = StoredSize(t.kind, o) + (o.subchannel ? kCdrSubchannelSize : 0);
        bool last = i + 1 == disc.tracks.size();
        int32_t stored = (int32_t)t.blocks.size() - (last ? std::min<int32_t>(disc.truncate_blocks, (int32_t)t.blocks.size()) : 0);
        char line[160], msf[16];
        snprintf(line, sizeof line, "// Track %d\nTRACK %s%s\n", t.number, mode, o.subchannel ? " RW_RAW" : "");
        toc += line;
        if (t.pregap > 0 && !t.pregap_stored) {
            // PREGAP is SILENCE in an audio track, which cannot go with a
            // DATAFILE: there the gap is ZERO blocks before START.
            MsfText(msf, sizeof msf, t.pregap);
            snprintf(line, sizeof line, t.kind == kTrackAudio && o.subchannel ? "ZERO AUDIO RW_RAW %s\nSTART\n"
                                                                             : "PREGAP %s\n", msf);
            toc += line;
        }
        MsfText(msf, sizeof msf, stored);
        // cdrdao takes audio with subchannel data only from a DATAFILE.
        if (t.kind == kTrackAudio && !o.subchannel)
            snprintf(line, sizeof line, "FILE \"%s\" #%llu 0 %s\n", BaseName(bin_path).c_str(),
                     (unsigned long long)offset, msf);
        else
            snprintf(line, sizeof line, "DATAFILE \"%s\" #%llu %s // length in bytes: %llu\n",
                     BaseName(bin_path).c_str(), (unsigned long long)offset, msf,
                     (unsigned long long)stored * (unsigned long long)stride);
        toc += line;
        if (t.pregap > 0 && t.pregap_stored) {
            MsfText(msf, sizeof msf, t.pregap);
            snprintf(line, sizeof line, "START %s\n", msf);
            toc += line;
        }
        toc += "\n";
        ok = WriteFormatBlocks(bin, t, o, disc, last ? disc.truncate_blocks : 0, true, error);
        offset += (uint64_t)stored * (uint64_t)stride;
    }
    if (fclose(bin) != 0 || !ok)
        return error->empty() ? Fail(error, "cannot write " + bin_path) : false;
    return WriteText(path, toc, error);
}

// One [Entry N] of a .ccd: the lead-in's Q subcode as CloneCD records it,
// the times as binary numbers, the disc type in A0's PSEC as its byte.
struct CcdEntryText {
    int session, point, adr, control, amin, asec, aframe, zero, pmin, psec, pframe;
};

void AppendCcdEntry(std::string* out, int index, const CcdEntryText& e)
{
    char text[400];
    int plba = e.pmin * kFramesPerMinute + e.psec * kFramesPerSecond + e.pframe - kPregapBlocks;
    int alba = e.amin * kFramesPerMinute + e.asec * kFramesPerSecond + e.aframe - kPregapBlocks;
    snprintf(text, sizeof text,
             "[Entry %d]\r\nSession=%d\r\nPoint=0x%02x\r\nADR=0x%02x\r\nControl=0x%02x\r\nTrackNo=0\r\n"
             "AMin=%d\r\nASec=%d\r\nAFrame=%d\r\nALBA=%d\r\nZero=%d\r\nPMin=%d\r\nPSec=%d\r\nPFrame=%d\r\n"
             "PLBA=%d\r\n",
             index, e.session, e.point, e.adr, e.control, e.amin, e.asec, e.aframe, alba, e.zero, e.pmin, e.psec,
             e.pframe, plba);
    *out += text;
}

void Msf(int32_t lba, int* m, int* s, int* f)
{
    int32_t frames = lba + kPregapBlocks;
    *m = frames / kFramesPerMinute;
    *s = frames / kFramesPerSecond % kSecondsPerMinute;
    *f = frames % kFramesPerSecond;
}

// CloneCD: NAME.ccd with the full TOC of every session, NAME.img with the
// raw sectors of each session's tracks one after another (pregaps inside a
// session included, the areas between sessions left out), NAME.sub with 96
// bytes of subchannel data a block when asked for.
bool WriteCcd(const BuiltDisc& disc, const std::string& path, const DiscWriteOptions& o, std::string* error)
{
    std::string stem = path.substr(0, path.size() - 4);
    std::vector<CcdEntryText> entries;
    size_t sessions = disc.session_start.size();
    for (size_t s = 0; s < sessions; ++s) {
        const BuiltTrack *first = nullptr, *last = nullptr;
        bool xa = false;
        for (const BuiltTrack& t : disc.tracks)
            if (t.session == (int)s + 1) {
                first = first ? first : &t;
                last = &t;
                xa = xa || t.kind == kTrackMode2;
            }
        if (!first)
            return Fail(error, "a session without tracks");
        int session = (int)s + 1;
        auto control = [](const BuiltTrack* t) { return t->kind == kTrackAudio ? 0 : 4; };
        int m, sec, f;
        entries.push_back({session, 0xA0, 1, control(first), 0, 0, 0, 0, first->number, xa ? 0x20 : 0, 0});
        entries.push_back({session, 0xA1, 1, control(last), 0, 0, 0, 0, last->number, 0, 0});
        Msf(disc.session_leadout[s], &m, &sec, &f);
        entries.push_back({session, 0xA2, 1, control(last), 0, 0, 0, 0, m, sec, f});
        for (const BuiltTrack& t : disc.tracks)
            if (t.session == session) {
                Msf(t.start, &m, &sec, &f);
                entries.push_back({session, t.number, 1, control(&t), 0, 0, 0, 0, m, sec, f});
            }
        if (sessions > 1 && s + 1 < sessions) {
            // B0: the next program area after this lead-out and the next lead-in;
            // the last possible lead-out of an 80-minute disc.
            Msf(disc.session_leadout[s] + (s == 0 ? kLeadoutFirstSession : kLeadoutLaterSession) + kLeadinBlocks, &m,
                &sec, &f);
            entries.push_back({session, 0xB0, 5, control(first), m, sec, f, s == 0 ? 2 : 1, 79, 59, 74});
        }
        if (sessions > 1 && s == 0)
            entries.push_back({session, 0xC0, 5, control(first), 0, 0, 0, 0, 97, 26, 66});
    }
    char line[160];
    std::string ccd = "[CloneCD]\r\nVersion=3\r\n[Disc]\r\n";
    snprintf(line, sizeof line, "TocEntries=%zu\r\nSessions=%zu\r\nDataTracksScrambled=0\r\nCDTextLength=0\r\n",
             entries.size(), sessions);
    ccd += line;
    for (size_t s = 0; s < sessions; ++s) {
        const BuiltTrack* first = nullptr;
        for (const BuiltTrack& t : disc.tracks)
            if (!first && t.session == (int)s + 1) first = &t;
        snprintf(line, sizeof line, "[Session %zu]\r\nPreGapMode=%d\r\nPreGapSubC=0\r\n", s + 1,
                 first->kind == kTrackAudio ? 0 : first->kind == kTrackMode1 ? 1 : 2);
        ccd += line;
    }
    for (size_t i = 0; i < entries.size(); ++i) AppendCcdEntry(&ccd, (int)i, entries[i]);
    for (const BuiltTrack& t : disc.tracks) {
        snprintf(line, sizeof line, "[TRACK %d]\r\nMODE=%d\r\n", t.number,
                 t.kind == kTrackAudio ? 0 : t.kind == kTrackMode1 ? 1 : 2);
        ccd += line;
        if (t.pregap > 0 && (t.number > 1 && disc.tracks[(size_t)t.number - 2].session == t.session)) {
            snprintf(line, sizeof line, "INDEX 0=%d\r\n", t.start - t.pregap);
            ccd += line;
        }
        snprintf(line, sizeof line, "INDEX 1=%d\r\n", t.start);
        ccd += line;
    }
    FILE* img = fopen((stem + ".img").c_str(), "wb");
    FILE* sub = o.subchannel ? fopen((stem + ".sub").c_str(), "wb") : nullptr;
    bool ok = img && (sub || !o.subchannel);
    for (size_t s = 0; s < sessions && ok; ++s) {
        int32_t end = disc.session_leadout[s] - (s + 1 == sessions ? disc.truncate_blocks : 0);
        for (int32_t lba = disc.session_start[s]; lba < end && ok; ++lba) {
            uint8_t raw[kRawSectorSize], subchannel[kCdrSubchannelSize];
            ok = ReadDiscSector(disc, lba, raw) && fwrite(raw, 1, sizeof raw, img) == sizeof raw;
            SubchannelBytes(lba, subchannel);
            if (ok && sub) ok = fwrite(subchannel, 1, sizeof subchannel, sub) == sizeof subchannel;
        }
    }
    if (img && fclose(img) != 0) ok = false;
    if (sub && fclose(sub) != 0) ok = false;
    if (!ok)
        return Fail(error, "cannot write " + stem + ".img");
    return WriteText(path, ccd, error);
}

// A block as a format stores it: raw sectors cut to their size (2048: the
// Mode 1 user data, 2336: after the header), and subchannel bytes after.
size_t FormatBlock(const BuiltDisc& disc, int32_t lba, int size, bool subchannel, uint8_t* out,
                   TrackKind kind = kTrackMode1)
{
    uint8_t raw[kRawSectorSize];
    if (!ReadDiscSector(disc, lba, raw))  // a pregap no track holds: the track's empty sectors
        BuildRawSector(raw, lba, kind == kTrackAudio ? kSectorAudio : kind == kTrackMode2 ? kSectorMode2Form1 : kSectorMode1,
                       nullptr, nullptr);
    memcpy(out, size == kRawSectorSize ? raw : raw + kDataOffset, (size_t)size);
    if (subchannel) SubchannelBytes(lba, out + size);
    return (size_t)size + (subchannel ? kCdrSubchannelSize : 0);
}

// Alcohol: NAME.mds (header, one session block each, the lead-in points A0,
// A1, A2 and the tracks as 80-byte blocks, an 8-byte extra block per track
// with its pregap and length, a footer naming "*.mdf") and NAME.mdf with the
// tracks' blocks from INDEX 01 (a later track's pregap included, a session's
// first pregap not).
bool WriteMds(const BuiltDisc& disc, const std::string& path, const DiscWriteOptions& o, std::string* error)
{
    if (!CheckSizes(o, error))
        return false;
    enum { kHeader = 88, kSession = 24, kBlock = 80, kExtra = 8, kFooter = 16 };
    size_t sessions = disc.session_start.size(), tracks = disc.tracks.size();
    size_t blocks = tracks + 3 * sessions;
    size_t extra_at = kHeader + kSession * sessions + kBlock * blocks, footer_at = extra_at + kExtra * tracks;
    std::vector<uint8_t> mds(footer_at + kFooter + 6, 0);
    memcpy(&mds[0], "MEDIA DESCRIPTOR", 16);
    mds[16] = 1, mds[17] = 5;
    put_le16(&mds[0x14], (uint32_t)sessions);
    put_le32(&mds[0x50], kHeader);
    put_le32(&mds[footer_at], (uint32_t)(footer_at + kFooter));  // the name follows the footer
    memcpy(&mds[footer_at + kFooter], "*.mdf", 5);
    std::string mdf_path = path.substr(0, path.size() - 4) + ".mdf";
    FILE* mdf = fopen(mdf_path.c_str(), "wb");
    if (!mdf)
        return Fail(error, "cannot create " + mdf_path);
    size_t block = 0, track_index = 0;
    uint64_t offset = 0;
    bool ok = true;
    for (size_t s = 0; s < sessions; ++s) {
        std::vector<const BuiltTrack*> in;
        for (const BuiltTrack& t : disc.tracks)
            if (t.session == (int)s + 1) in.push_back(&t);
        if (in.empty())
            return fclose(mdf), Fail(error, "a session without tracks");
        uint8_t* sb = &mds[kHeader + kSession * s];
        put_le32(sb, (uint32_t)(disc.session_start[s] - kPregapBlocks));
        put_le32(sb + 4, (uint32_t)disc.session_leadout[s]);
        put_le16(sb + 8, (uint32_t)s + 1);
        sb[10] = (uint8_t)(in.size() + 3);
        sb[11] = 3;
        put_le16(sb + 12, (uint32_t)in.front()->number);
        put_le16(sb + 14, (uint32_t)in.back()->number);
        put_le32(sb + 20, (uint32_t)(kHeader + kSession * sessions + kBlock * block));
        auto control = [](const BuiltTrack* t) { return t->kind == kTrackAudio ? 0 : 4; };
        bool xa = false;
        for (const BuiltTrack* t : in) xa = xa || t->kind == kTrackMode2;
        int m, sec, f;
        Msf(disc.session_leadout[s], &m, &sec, &f);
        const int lead_in[3][4] = {{0xA0, in.front()->number, xa ? 0x20 : 0, 0}, {0xA1, in.back()->number, 0, 0},
                                   {0xA2, m, sec, f}};
        for (const auto& p : lead_in) {
            uint8_t* b = &mds[kHeader + kSession * sessions + kBlock * block++];
            b[2] = (uint8_t)(0x10 | control(p[0] == 0xA0 ? in.front() : in.back()));
            b[4] = (uint8_t)p[0], b[9] = (uint8_t)p[1], b[10] = (uint8_t)p[2], b[11] = (uint8_t)p[3];
        }
        for (size_t i = 0; i < in.size() && ok; ++i) {
            const BuiltTrack& t = *in[i];
            int size = StoredSize(t.kind, o);
            if (o.subchannel && size != kRawSectorSize)
                return fclose(mdf), Fail(error, "subchannel data goes with 2352-byte sectors");
            int32_t first = i == 0 ? t.start : t.start - t.pregap;
            int32_t end = i + 1 < in.size() ? in[i + 1]->start - in[i + 1]->pregap : disc.session_leadout[s];
            uint8_t* b = &mds[kHeader + kSession * sessions + kBlock * block++];
            b[0] = t.kind == kTrackAudio ? 0xA9 : t.kind == kTrackMode1 ? 0xAA : 0xAC;
            b[1] = o.subchannel ? 0x08 : 0;
            b[2] = (uint8_t)(0x10 | control(&t));
            b[4] = (uint8_t)t.number;
            Msf(t.start, &m, &sec, &f);
            b[9] = (uint8_t)m, b[10] = (uint8_t)sec, b[11] = (uint8_t)f;
            put_le32(b + 12, (uint32_t)(extra_at + kExtra * track_index));
            put_le16(b + 16, (uint32_t)(size + (o.subchannel ? kCdrSubchannelSize : 0)));
            put_le32(b + 36, (uint32_t)t.start);
            uint64_t start_offset = offset + (uint64_t)(t.start - first) * (uint64_t)(size + (o.subchannel ? kCdrSubchannelSize : 0));
            put_le32(b + 40, (uint32_t)start_offset);
            put_le32(b + 44, (uint32_t)(start_offset >> 32));
            put_le32(b + 48, 1);
            put_le32(b + 52, (uint32_t)footer_at);
            uint8_t* e = &mds[extra_at + kExtra * track_index++];
            put_le32(e, (uint32_t)(i == 0 ? kPregapBlocks : t.pregap));
            put_le32(e + 4, (uint32_t)(end - t.start));
            bool last = s + 1 == sessions && i + 1 == in.size();
            for (int32_t lba = first; lba < end - (last ? disc.truncate_blocks : 0) && ok; ++lba) {
                uint8_t buffer[kRawSectorSize + kCdrSubchannelSize];
                size_t n = FormatBlock(disc, lba, size, o.subchannel, buffer);
                ok = fwrite(buffer, 1, n, mdf) == n;
                offset += n;
            }
        }
    }
    if (fclose(mdf) != 0 || !ok)
        return Fail(error, "cannot write " + mdf_path);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return Fail(error, "cannot create " + path);
    ok = fwrite(mds.data(), 1, mds.size(), f) == mds.size();
    if (fclose(f) != 0 || !ok)
        return Fail(error, "cannot write " + path);
    return true;
}

void PutBe(std::vector<uint8_t>* out, uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) out->push_back((uint8_t)(v >> (8 * i)));
}

void PutChunk(std::vector<uint8_t>* out, const char* id, const std::vector<uint8_t>& data)
{
    out->insert(out->end(), id, id + 4);
    PutBe(out, data.size(), 4);
    out->insert(out->end(), data.begin(), data.end());
}

// Nero: the blocks of every track from its INDEX 00 (a session's first
// track with its 150-block pregap, track 1's lying before block 0), then the
// chunks: per session CUEX (cue points), DAOX (tracks: sector size, mode,
// offsets of INDEX 00, INDEX 01 and the end) and SINF (track count), then
// MTYP and END!, and the footer "NER5" with the first chunk's offset. The
// old layout has CUES (BCD times), DAOI and SINF with 32-bit fields and the
// footer "NERO".
bool WriteNrg(const BuiltDisc& disc, const std::string& path, const DiscWriteOptions& o, std::string* error)
{
    if (!CheckSizes(o, error))
        return false;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return Fail(error, "cannot create " + path);
    bool v2 = !o.nrg_old, ok = true;
    std::vector<uint8_t> chunks;
    uint64_t offset = 0;
    for (size_t s = 0; s < disc.session_start.size() && ok; ++s) {
        std::vector<const BuiltTrack*> in;
        for (const BuiltTrack& t : disc.tracks)
            if (t.session == (int)s + 1) in.push_back(&t);
        if (in.empty())
            return fclose(f), Fail(error, "a session without tracks");
        std::vector<uint8_t> cues, dao;
        auto cue = [&](uint8_t control, int track, int index, int32_t lba) {
            cues.push_back((uint8_t)(0x10 | control));
            cues.push_back(track == 0xAA ? 0xAA : to_bcd(track));
            cues.push_back(to_bcd(index));
            cues.push_back(0);
            if (v2) {
                PutBe(&cues, (uint32_t)lba, 4);
                return;
            }
            int m, sec, fr;
            Msf(lba, &m, &sec, &fr);
            cues.push_back(0), cues.push_back(to_bcd(m)), cues.push_back(to_bcd(sec)), cues.push_back(to_bcd(fr));
        };
        auto control = [](const BuiltTrack* t) { return (uint8_t)(t->kind == kTrackAudio ? 0 : 4); };
        bool xa = false, data = false;
        for (const BuiltTrack* t : in) xa = xa || t->kind == kTrackMode2, data = data || t->kind != kTrackAudio;
        PutBe(&dao, 0, 4);  // the chunk size again, little-endian: filled below
        dao.insert(dao.end(), 14, 0);  // UPC/EAN
        PutBe(&dao, xa ? 0x2001 : data ? 0x0001 : 0x0000, 2);
        dao.push_back((uint8_t)in.front()->number);
        dao.push_back((uint8_t)in.back()->number);
        cue(control(in.front()), 0, 0, in.front()->start - kPregapBlocks);
        for (size_t i = 0; i < in.size() && ok; ++i) {
            const BuiltTrack& t = *in[i];
            int size = StoredSize(t.kind, o);
            if (o.subchannel && size != kRawSectorSize)
                return fclose(f), Fail(error, "subchannel data goes with 2352-byte sectors");
            int stride = size + (o.subchannel ? kCdrSubchannelSize : 0);
            int32_t first = t.start - (i == 0 ? (int32_t)kPregapBlocks : t.pregap);
            int32_t end = i + 1 < in.size() ? in[i + 1]->start - in[i + 1]->pregap : disc.session_leadout[s];
            bool last = s + 1 == disc.session_start.size() && i + 1 == in.size();
            cue(control(&t), t.number, 0, first);
            cue(control(&t), t.number, 1, t.start);
            dao.insert(dao.end(), 12, 0);  // ISRC
            PutBe(&dao, (uint32_t)stride, 2);
            int mode = t.kind == kTrackAudio ? (o.subchannel ? 0x10 : 0x07)
                       : t.kind == kTrackMode1 ? (o.subchannel ? 0x0F : size == kUserDataSize ? 0x00 : 0x05)
                       : (o.subchannel ? 0x11 : size == kMode2DataSize ? 0x03 : 0x06);
            dao.push_back((uint8_t)mode);
            dao.push_back(0), dao.push_back(0), dao.push_back(1);
            PutBe(&dao, offset, v2 ? 8 : 4);
            PutBe(&dao, offset + (uint64_t)(t.start - first) * (uint64_t)stride, v2 ? 8 : 4);
            PutBe(&dao, offset + (uint64_t)(end - first) * (uint64_t)stride, v2 ? 8 : 4);
            for (int32_t lba = first; lba < end - (last ? disc.truncate_blocks : 0) && ok; ++lba) {
                uint8_t buffer[kRawSectorSize + kCdrSubchannelSize];
                size_t n = FormatBlock(disc, lba, size, o.subchannel, buffer, t.kind);
                ok = fwrite(buffer, 1, n, f) == n;
            }
            offset += (uint64_t)(end - first) * (uint64_t)stride;
        }
        cue(control(in.back()), 0xAA, 1, disc.session_leadout[s]);
        put_le32(&dao[0], (uint32_t)(dao.size() + 8));
        PutChunk(&chunks, v2 ? "CUEX" : "CUES", cues);
        PutChunk(&chunks, v2 ? "DAOX" : "DAOI", dao);
        std::vector<uint8_t> sinf;
        PutBe(&sinf, in.size(), 4);
        PutChunk(&chunks, "SINF", sinf);
    }
    std::vector<uint8_t> mtyp;
    PutBe(&mtyp, 1, 4);
    PutChunk(&chunks, "MTYP", mtyp);
    PutChunk(&chunks, "END!", {});
    chunks.insert(chunks.end(), v2 ? "NER5" : "NERO", (v2 ? "NER5" : "NERO") + 4);
    PutBe(&chunks, offset, v2 ? 8 : 4);
    ok = ok && fwrite(chunks.data(), 1, chunks.size(), f) == chunks.size();
    if (fclose(f) != 0 || !ok)
        return Fail(error, "cannot write " + path);
    return true;
}

}  // namespace

bool WriteDiscImage(const BuiltDisc& disc, const std::string& path, const DiscWriteOptions& options, std::string* error)
{
    if (EndsWith(path, ".iso"))
        return WriteIso(disc, path, error);
    if (options.subchannel && (EndsWith(path, ".iso") || EndsWith(path, ".cue")))
        return Fail(error, "subchannel data is written with .toc, .ccd, .mds and .nrg images only");
    if (EndsWith(path, ".nrg"))
        return WriteNrg(disc, path, options, error);
    if (EndsWith(path, ".mds"))
        return WriteMds(disc, path, options, error);
    if (EndsWith(path, ".ccd"))
        return WriteCcd(disc, path, options, error);
    if (EndsWith(path, ".cue"))
        return WriteCue(disc, path, options, error);
    if (EndsWith(path, ".toc"))
        return WriteCdrToc(disc, path, options, error);
    return Fail(error, "the image name must end in .iso, .cue, .toc, .ccd, .mds or .nrg");
}

bool ReadDiscSector(const BuiltDisc& disc, int32_t lba, uint8_t* raw2352)
{
    for (const BuiltTrack& t : disc.tracks) {
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
        const BuiltBlock& b = t.blocks[(size_t)(lba - stored_first)];
        BuildRawSector(raw2352, lba, b.type, b.data, b.subheader);
        std::string ignored;
        ApplyDamage(disc.damage, lba, raw2352, &ignored);
        return true;
    }
    return false;
}
