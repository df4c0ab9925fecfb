// Nero .nrg reader. The chunk chain is read into memory (it is small, and
// refused past kNrgMaxChain bytes) and walked front to back: each chunk's
// size is checked against what is left before the footer, so the walk ends
// and no chunk reaches past the chain; track data must lie before it.
#include "nrg.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "bytes.h"
#include "mmc.h"

namespace {

enum {
    kChunkHeader = 8, kCueSize = 8, kDaoHeader = 22, kDaoEntryV1 = 30, kDaoEntryV2 = 42, kEtnEntryV1 = 20,
    kEtnEntryV2 = 28, kLeadoutTrack = 0xAA, kMaxTracks = 99,
    kDaoFirst = 20, kDaoLast = 21, kDaoSectorSize = 12, kDaoMode = 14, kDaoOffsets = 18,
};

uint64_t GetBe64(const uint8_t* p) { return (uint64_t)get_be32(p) << 32 | get_be32(p + 4); }

struct ModeInfo {
    int nrg;
    CueMode mode;
    uint32_t size;
    uint8_t xa_form;
    bool sub;
};
const ModeInfo kModes[] = {
    {kNrgMode1, kCueMode1_2048, kUserDataSize, 0, false},
    {kNrgMode2Form1, kCueMode2_2336, kUserDataSize, 1, false},
    {kNrgMode2, kCueMode2_2336, kMode2DataSize, 0, false},
    {kNrgMode1Raw, kCueMode1_2352, kRawSectorSize, 0, false},
    {kNrgMode2Raw, kCueMode2_2352, kRawSectorSize, 0, false},
    {kNrgAudio, kCueAudio, kRawSectorSize, 0, false},
    {kNrgMode1Sub, kCueMode1_2352, kRawSectorSize + kDiscSubchannelSize, 0, true},
    {kNrgAudioSub, kCueAudio, kRawSectorSize + kDiscSubchannelSize, 0, true},
    {kNrgMode2Sub, kCueMode2_2352, kRawSectorSize + kDiscSubchannelSize, 0, true},
};

struct Cue {
    int track, index;
    int32_t lba;
    uint8_t control;
};

struct Entry {
    int number, session;
    const ModeInfo* mode;
    uint64_t index0, index1, end;  // byte offsets in the image
    int32_t tao_start;             // -1 for disc-at-once entries
};

const Cue* FindCue(const std::vector<Cue>& cues, int track, int index)
{
    for (const Cue& c : cues)
        if (c.track == track && c.index == index) return &c;
    return nullptr;
}

}  // namespace

bool DiscFromNrgChain(const uint8_t* chain, size_t len, uint64_t chain_offset, bool v2, const char* name, Disc* disc,
                      char* err, size_t err_len)
{
    (void)v2;  // the chunk names say which field widths follow
    std::vector<Cue> cues;
    std::vector<Entry> entries;
    std::vector<uint32_t> session_tracks;
    int dao_chunks = 0;
    size_t pos = 0;
    for (int chunks = 0; pos < len; ++chunks) {
        if (chunks == kNrgMaxChunks) return DiscFail(err, err_len, name, 0, "more than %d chunks", kNrgMaxChunks);
        if (len - pos < kChunkHeader)
            return DiscFail(err, err_len, name, 0, "a chunk at offset %llu runs into the footer",
                        (unsigned long long)(chain_offset + pos));
        const uint8_t* c = chain + pos;
        uint32_t size = get_be32(c + 4);
        char id[5] = {(char)c[0], (char)c[1], (char)c[2], (char)c[3], 0};
        for (char& ch : id)
            if (ch && (ch < 0x20 || ch > 0x7E)) ch = '?';
        if (size > len - pos - kChunkHeader)
            return DiscFail(err, err_len, name, 0, "chunk %s at offset %llu runs into the footer (%u bytes)", id,
                        (unsigned long long)(chain_offset + pos), size);
        const uint8_t* d = c + kChunkHeader;
        pos += kChunkHeader + size;
        if (!strcmp(id, "END!")) break;
        bool cuex = !strcmp(id, "CUEX"), daox = !strcmp(id, "DAOX"), etn2 = !strcmp(id, "ETN2");
        if (cuex || !strcmp(id, "CUES")) {
            if (size % kCueSize) return DiscFail(err, err_len, name, 0, "chunk %s is not a list of cue points", id);
            for (uint32_t i = 0; i < size; i += kCueSize) {
                const uint8_t* p = d + i;
                int32_t lba = cuex ? (int32_t)get_be32(p + 4)
                                   : from_bcd(p[5]) * kFramesPerMinute + from_bcd(p[6]) * kFramesPerSecond +
                                         from_bcd(p[7]) - kPregapBlocks;
                cues.push_back(Cue{p[1] == kLeadoutTrack ? kLeadoutTrack : from_bcd(p[1]), from_bcd(p[2]), lba,
                                   (uint8_t)(p[0] & 0x0F)});
            }
        } else if (daox || !strcmp(id, "DAOI")) {
            size_t esz = daox ? kDaoEntryV2 : kDaoEntryV1;
            if (size < kDaoHeader) return DiscFail(err, err_len, name, 0, "chunk %s is too short", id);
            int first = d[kDaoFirst], last = d[kDaoLast];
            if (first < 1 || last < first || last > kMaxTracks || (size_t)(last - first + 1) > (size - kDaoHeader) / esz)
                return DiscFail(err, err_len, name, 0, "chunk %s names tracks %d to %d, more than it holds", id, first, last);
            ++dao_chunks;
            for (int t = first; t <= last; ++t) {
                const uint8_t* e = d + kDaoHeader + (size_t)(t - first) * esz;
                const ModeInfo* mode = nullptr;
                for (const ModeInfo& m : kModes)
                    if (m.nrg == e[kDaoMode]) mode = &m;
                if (!mode) return DiscFail(err, err_len, name, 0, "track %d has the unknown mode 0x%02X", t, e[kDaoMode]);
                if (get_be16(e + kDaoSectorSize) != mode->size)
                    return DiscFail(err, err_len, name, 0, "track %d stores %u-byte sectors, which its mode does not", t,
                                get_be16(e + kDaoSectorSize));
                const uint8_t* o = e + kDaoOffsets;
                Entry en{t, dao_chunks, mode, 0, 0, 0, -1};
                en.index0 = daox ? GetBe64(o) : get_be32(o);
                en.index1 = daox ? GetBe64(o + 8) : get_be32(o + 4);
                en.end = daox ? GetBe64(o + 16) : get_be32(o + 8);
                entries.push_back(en);
            }
        } else if (etn2 || !strcmp(id, "ETNF")) {
            size_t esz = etn2 ? kEtnEntryV2 : kEtnEntryV1;
            if (size % esz) return DiscFail(err, err_len, name, 0, "chunk %s is not a list of tracks", id);
            for (uint32_t i = 0; i < size; i += (uint32_t)esz) {
                const uint8_t* e = d + i;
                uint64_t offset = etn2 ? GetBe64(e) : get_be32(e), bytes = etn2 ? GetBe64(e + 8) : get_be32(e + 4);
                const uint8_t* rest = e + (etn2 ? 16 : 8);
                const ModeInfo* mode = nullptr;
                for (const ModeInfo& m : kModes)
                    if ((uint32_t)m.nrg == get_be32(rest)) mode = &m;
                int number = (int)entries.size() + 1;
                if (!mode) return DiscFail(err, err_len, name, 0, "track %d has the unknown mode 0x%X", number, get_be32(rest));
                if (bytes > UINT64_MAX - offset) return DiscFail(err, err_len, name, 0, "track %d ends past any file", number);
                entries.push_back(Entry{number, 1, mode, offset, offset, offset + bytes, (int32_t)get_be32(rest + 4)});
            }
        } else if (!strcmp(id, "SINF")) {
            if (size < 4) return DiscFail(err, err_len, name, 0, "chunk SINF is too short");
            session_tracks.push_back(get_be32(d));
        }
    }
    if (entries.empty()) return DiscFail(err, err_len, name, 0, "the chunks describe no track");
    if (entries.size() > kMaxTracks) return DiscFail(err, err_len, name, 0, "more than 99 tracks");
    // Sessions: SINF counts tracks in order; without them each DAO chunk is one.
    uint64_t listed = 0;
    for (uint32_t n : session_tracks) listed += n;
    if (listed == entries.size() && !session_tracks.empty()) {
        size_t i = 0;
        for (size_t s = 0; s < session_tracks.size(); ++s)
            for (uint32_t k = 0; k < session_tracks[s]; ++k) entries[i++].session = (int)s + 1;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const ModeInfo& m = *e.mode;
        if (i && (e.number <= entries[i - 1].number || e.session < entries[i - 1].session))
            return DiscFail(err, err_len, name, 0, "track %d is out of order", e.number);
        if (e.index0 > e.index1 || e.index1 >= e.end || e.end > chain_offset)
            return DiscFail(err, err_len, name, 0, "the data of track %d lies outside the image data", e.number);
        const Cue* c1 = FindCue(cues, e.number, 1);
        const Cue* c0 = FindCue(cues, e.number, 0);
        if (!c1 && e.tao_start < 0) return DiscFail(err, err_len, name, 0, "track %d has no cue point", e.number);
        int64_t start = c1 ? c1->lba : e.tao_start;
        uint64_t before = (e.index1 - e.index0) / m.size, length = (e.end - e.index1 + m.size - 1) / m.size;
        const DiscTrack* prev = disc->tracks.empty() ? nullptr : &disc->tracks.back();
        int32_t floor = prev ? prev->end : 0;
        if (start < floor + (prev && prev->session != e.session) || start > kMaxLeadout ||
            length > (uint64_t)(kMaxLeadout - start) || before > (uint64_t)start + kPregapBlocks)
            return DiscFail(err, err_len, name, 0, "track %d lies outside the disc (block %lld)", e.number, (long long)start);
        DiscTrack t{};
        t.number = e.number;
        t.session = e.session;
        t.mode = m.mode;
        t.xa_form = m.xa_form;
        t.stride = m.size;
        t.control = c1 ? c1->control : (uint8_t)(m.mode == kCueAudio ? 0 : kControlDataTrack);
        t.start = (int32_t)start;
        t.end = (int32_t)(start + (int64_t)length);
        t.stored_first = (int32_t)(start - (int64_t)before);
        t.stored_count = (int32_t)(before + length);
        t.file = 0;
        t.file_offset = e.index0;
        int64_t pregap_start = c0 && c0->lba <= start ? c0->lba : t.stored_first;
        t.pregap_start = (int32_t)std::max<int64_t>(std::max<int64_t>(floor, 0), pregap_start);
        if (prev && prev->session == e.session && t.pregap_start > floor)
            disc->tracks.back().end = t.pregap_start;  // blocks between the tracks: the earlier one's postgap
        if (m.sub) {
            t.has_sub = true;
            t.sub_offset = e.index0 + kRawSectorSize;
            t.sub_stride = m.size;
        }
        disc->tracks.push_back(t);
    }
    DiscFinishSessions(disc);
    return true;
}

bool HasNrgFooter(const char* path)
{
    FILE* fp = fopen(path, "rb");
    if (!fp) return false;
    uint8_t tail[12];
    bool ok = fseek(fp, -12, SEEK_END) == 0 && fread(tail, 1, 12, fp) == 12;
    fclose(fp);
    return ok && (memcmp(tail, "NER5", 4) == 0 || memcmp(tail + 4, "NERO", 4) == 0);
}

bool DiscOpenNrg(const char* path, Disc* disc, char* err, size_t err_len)
{
    char why[128];
    if (!DiscAddFile(disc, path, why, sizeof why)) return DiscFail(err, err_len, path, 0, "cannot open the file (%s)", why);
    const DiscFile& f = disc->files[0];
    uint8_t tail[12];
    if (f.size < sizeof tail || !DiscReadAt(f, f.size - sizeof tail, tail, sizeof tail))
        return DiscFail(err, err_len, path, 0, "too short for a Nero image");
    bool v2 = memcmp(tail, "NER5", 4) == 0;
    if (!v2 && memcmp(tail + 4, "NERO", 4) != 0) return DiscFail(err, err_len, path, 0, "no Nero footer (NER5 or NERO) at its end");
    uint64_t footer = f.size - (v2 ? 12 : 8);
    uint64_t first = v2 ? GetBe64(tail + 4) : get_be32(tail + 8);
    if (first >= footer) return DiscFail(err, err_len, path, 0, "the footer points past the chunk list (offset %llu)", (unsigned long long)first);
    if (footer - first > kNrgMaxChain) return DiscFail(err, err_len, path, 0, "the chunk list is too large");
    std::vector<uint8_t> chain((size_t)(footer - first));
    if (!DiscReadAt(f, first, chain.data(), chain.size()))
        return DiscFail(err, err_len, path, 0, "cannot read the chunk list");
    return DiscFromNrgChain(chain.data(), chain.size(), first, v2, path, disc, err, err_len);
}
