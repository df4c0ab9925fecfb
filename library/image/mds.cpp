// Alcohol .mds reader. Every offset is checked against the descriptor's
// size before it is followed; the data file is read on demand like a BIN.
// A later track's pregap is stored before its INDEX 01 where the file has
// room for it between the tracks; a session's first pregap is not stored.
#include "mds.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "bytes.h"

namespace {

enum {
    kSignatureSize = 16,
    kHeaderSessions = 0x14, kHeaderSessionOffset = 0x50,
    kSessionNumber = 0x08, kSessionBlocks = 0x0A, kSessionTrackOffset = 0x14,
    kTrackMode = 0x00, kTrackSubchannel = 0x01, kTrackAdrControl = 0x02, kTrackPoint = 0x04,
    kTrackExtraOffset = 0x0C, kTrackSectorSize = 0x10, kTrackStart = 0x24, kTrackFileOffset = 0x28,
    kTrackFiles = 0x30, kTrackFooterOffset = 0x34,
    kFooterName = 0x00, kFooterWide = 0x04,
    kMaxName = 1024, kMaxSessions = 99,
};

const char kSignature[] = "MEDIA DESCRIPTOR";

bool Fits(uint64_t offset, uint64_t count, uint64_t size, size_t len) { return offset <= len && count <= (len - offset) / size; }

// The data file's name at offset: ASCII or UTF-16LE, ended by a zero.
bool ReadName(const uint8_t* data, size_t len, uint64_t offset, bool wide, std::string* name)
{
    name->clear();
    size_t unit = wide ? 2 : 1;
    for (uint64_t p = offset; p + unit <= len; p += unit) {
        unsigned c = wide ? get_le16(data + p) : data[p];
        if (c == 0) return !name->empty();
        if (c < 0x20 || c > 0x7E || name->size() >= kMaxName) return false;  // names outside ASCII are not read
        *name += (char)c;
    }
    return false;
}

}  // namespace

bool LooksLikeMds(const char* head, size_t len) { return len >= kSignatureSize && memcmp(head, kSignature, kSignatureSize) == 0; }

bool ParseMds(const uint8_t* data, size_t len, const char* name, std::vector<MdsTrack>* tracks, char* err,
              size_t err_len)
{
    tracks->clear();
    if (len < kMdsHeaderSize || !LooksLikeMds((const char*)data, len))
        return DiscFail(err, err_len, name, 0, "not an Alcohol descriptor (no MEDIA DESCRIPTOR header)");
    unsigned sessions = get_le16(data + kHeaderSessions);
    uint32_t session_offset = get_le32(data + kHeaderSessionOffset);
    if (sessions < 1 || sessions > kMaxSessions) return DiscFail(err, err_len, name, 0, "%u sessions", sessions);
    if (!Fits(session_offset, sessions, kMdsSessionSize, len))
        return DiscFail(err, err_len, name, 0, "the session blocks lie outside the file");
    for (unsigned s = 0; s < sessions; ++s) {
        const uint8_t* sb = data + session_offset + (size_t)s * kMdsSessionSize;
        int session = get_le16(sb + kSessionNumber);
        unsigned blocks = sb[kSessionBlocks];
        uint32_t track_offset = get_le32(sb + kSessionTrackOffset);
        if (session < 1 || session > kMaxSessions) return DiscFail(err, err_len, name, 0, "session block %u names session %d", s + 1, session);
        if (!Fits(track_offset, blocks, kMdsTrackSize, len))
            return DiscFail(err, err_len, name, 0, "the track blocks of session %d lie outside the file", session);
        for (unsigned b = 0; b < blocks; ++b) {
            const uint8_t* tb = data + track_offset + (size_t)b * kMdsTrackSize;
            int point = tb[kTrackPoint];
            if (point < 1 || point > 99) continue;  // lead-in points: the TOC follows from the tracks
            MdsTrack t;
            t.session = session;
            t.number = point;
            t.mode = tb[kTrackMode] & 0x0F;
            t.subchannel = tb[kTrackSubchannel];
            t.control = tb[kTrackAdrControl] & 0x0F;
            t.sector_size = get_le16(tb + kTrackSectorSize);
            t.start = (int32_t)get_le32(tb + kTrackStart);
            t.offset = (uint64_t)get_le32(tb + kTrackFileOffset) | (uint64_t)get_le32(tb + kTrackFileOffset + 4) << 32;
            uint32_t extra = get_le32(tb + kTrackExtraOffset), footer = get_le32(tb + kTrackFooterOffset);
            if (!Fits(extra, 1, kMdsExtraSize, len))
                return DiscFail(err, err_len, name, 0, "the extra block of track %d lies outside the file", point);
            t.pregap = (int32_t)get_le32(data + extra);
            t.length = (int32_t)get_le32(data + extra + 4);
            if (get_le32(tb + kTrackFiles) < 1 || !Fits(footer, 1, kMdsFooterSize, len))
                return DiscFail(err, err_len, name, 0, "the footer of track %d lies outside the file", point);
            if (!ReadName(data, len, get_le32(data + footer + kFooterName), get_le32(data + footer + kFooterWide) != 0,
                          &t.file))
                return DiscFail(err, err_len, name, 0, "the data file name of track %d is not a name", point);
            tracks->push_back(t);
        }
    }
    if (tracks->empty()) return DiscFail(err, err_len, name, 0, "no track");
    return true;
}

bool DiscFromMds(const std::vector<MdsTrack>& tracks, const char* path, Disc* disc, char* err, size_t err_len)
{
    std::string base = DiscBaseDir(path), stem(path);
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot >= base.size()) stem.resize(dot);
    std::vector<std::string> names;
    uint64_t prev_end_offset = 0;
    int prev_file = -1;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const MdsTrack& m = tracks[i];
        // "*.mdf": the descriptor's own name with the data file's extension.
        std::string name = m.file.compare(0, 2, "*.") == 0 ? stem + m.file.substr(1) : DiscResolveName(base.c_str(), m.file);
        size_t file = std::find(names.begin(), names.end(), name) - names.begin();
        if (file == names.size()) {
            char why[128];
            if (!DiscAddFile(disc, name, why, sizeof why))
                return DiscFail(err, err_len, path, 0, "cannot open its data file \"%s\" (%s)", name.c_str(), why);
            names.push_back(name);
        }
        DiscTrack t{};
        t.number = m.number;
        t.session = m.session;
        t.control = m.control;
        bool sub = m.sector_size == kRawSectorSize + kDiscSubchannelSize;
        switch (m.mode) {
        case kMdsModeAudio: t.mode = kCueAudio; break;
        case kMdsMode1: t.mode = m.sector_size == kUserDataSize ? kCueMode1_2048 : kCueMode1_2352; break;
        case kMdsMode2:
        case kMdsMode2Form1:
        case kMdsMode2Form2:
            t.mode = m.sector_size == kMode2DataSize ? kCueMode2_2336 : kCueMode2_2352;
            if (m.sector_size == kUserDataSize) t.mode = kCueMode2_2336, t.xa_form = 1;
            break;
        default: return DiscFail(err, err_len, path, 0, "track %d has the unknown mode 0x%X", m.number, m.mode);
        }
        uint32_t expect = t.xa_form ? (uint32_t)kUserDataSize : CueModeSectorSize(t.mode);
        if (m.sector_size != expect && !(sub && expect == kRawSectorSize))
            return DiscFail(err, err_len, path, 0, "track %d stores %u-byte sectors, which its mode does not", m.number,
                        m.sector_size);
        t.stride = m.sector_size;
        if (sub && m.subchannel == kMdsSubchannelInterleaved) {
            t.has_sub = true;
            t.sub_file = (int)file;
            t.sub_stride = m.sector_size;
        }
        const DiscTrack* prev = disc->tracks.empty() ? nullptr : &disc->tracks.back();
        bool session_first = !prev || prev->session != m.session;
        if (prev && (m.number <= prev->number || m.session < prev->session))
            return DiscFail(err, err_len, path, 0, "track %d is out of order", m.number);
        int32_t floor = prev ? prev->end : 0;
        if (m.pregap < 0 || m.length < 1 || m.start < floor + (prev && session_first) || m.start > kMaxLeadout ||
            m.length > kMaxLeadout - m.start)
            return DiscFail(err, err_len, path, 0, "track %d lies outside the disc (start %d, pregap %d, length %d)", m.number,
                        m.start, m.pregap, m.length);
        t.start = m.start;
        t.pregap_start = std::max(floor, m.start - std::min(m.pregap, m.start));
        if (!session_first && t.pregap_start > floor)
            return DiscFail(err, err_len, path, 0, "blocks %d to %d lie in no track", floor, t.pregap_start - 1);
        t.end = m.start + m.length;
        // The blocks stored before INDEX 01: as many of the pregap as the file
        // has between the previous track and this one.
        int32_t stored_before = 0;
        if (!session_first && (int)file == prev_file && m.offset >= prev_end_offset)
            stored_before = (int32_t)std::min<uint64_t>((m.offset - prev_end_offset) / m.sector_size,
                                                        (uint64_t)(m.start - t.pregap_start));
        t.file = (int)file;
        t.stored_first = m.start - stored_before;
        t.stored_count = stored_before + m.length;
        t.file_offset = m.offset - (uint64_t)stored_before * m.sector_size;
        t.sub_offset = t.file_offset + kRawSectorSize;
        prev_end_offset = m.offset + (uint64_t)m.length * m.sector_size;
        prev_file = (int)file;
        disc->tracks.push_back(t);
    }
    DiscFinishSessions(disc);
    return true;
}

bool DiscOpenMds(const char* path, Disc* disc, char* err, size_t err_len)
{
    FILE* fp = fopen(path, "rb");
    if (!fp) return DiscFail(err, err_len, path, 0, "cannot open the file");
    std::vector<uint8_t> data(kMdsMaxSize + 1);
    size_t len = fread(data.data(), 1, data.size(), fp);
    bool read_error = ferror(fp) != 0;
    fclose(fp);
    if (read_error) return DiscFail(err, err_len, path, 0, "cannot read the file");
    if (len > kMdsMaxSize) return DiscFail(err, err_len, path, 0, "too large for an Alcohol descriptor");
    std::vector<MdsTrack> tracks;
    return ParseMds(data.data(), len, path, &tracks, err, err_len) && DiscFromMds(tracks, path, disc, err, err_len);
}
