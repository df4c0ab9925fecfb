// CHD images: header, hunk map and track metadata, and the hunks decoded on
// demand through a small cache.
#include "chd.h"

#include <string.h>

#include <algorithm>
#include <new>
#include <set>

#include "bytes.h"
#include "chdcodec.h"
#include "mmc.h"

namespace {

const char kChdTag[8] = {'M', 'C', 'o', 'm', 'p', 'r', 'H', 'D'};

enum : uint32_t {
    kMetaTrack2 = CHD_FOURCC('C', 'H', 'T', '2'),
    kMetaTrack = CHD_FOURCC('C', 'H', 'T', 'R'),
    kMetaOldCd = CHD_FOURCC('C', 'H', 'C', 'D'),
    kMetaGdRom = CHD_FOURCC('C', 'H', 'G', 'D'),
    kMaxTrackText = 1024,
    kCacheBytes = 1 << 20,
};

// Codes of the map's Huffman-coded hunk kinds: the stored kinds, then runs
// and the short forms of references, which the map decoder expands.
enum {
    kMapRunSmall = 7, kMapRunLarge, kMapSelf0, kMapSelf1, kMapParentSelf, kMapParent0, kMapParent1, kMapCodes = 16,
    kMapMaxBits = 8,
};

uint64_t GetBe48(const uint8_t* p) { return (uint64_t)get_be16(p) << 32 | get_be32(p + 2); }
uint64_t GetBe64(const uint8_t* p) { return (uint64_t)get_be32(p) << 32 | get_be32(p + 4); }

// Most significant bit first; reading past the end gives zero bits and
// marks the stream overrun.
struct BitReader {
    const uint8_t* data;
    size_t len;
    size_t pos = 0;  // in bits

    int Bit(size_t at) const { return at / 8 < len ? (data[at / 8] >> (7 - at % 8)) & 1 : 0; }
    uint64_t Peek(int bits) const
    {
        uint64_t v = 0;
        for (int i = 0; i < bits; ++i) v = v << 1 | (uint64_t)Bit(pos + (size_t)i);
        return v;
    }
    uint64_t Read(int bits)
    {
        uint64_t v = Peek(bits);
        pos += (size_t)bits;
        return v;
    }
    bool Overrun() const { return pos > len * 8; }
};

// The kinds' Huffman code: 16 code lengths (4 bits each, 1 escaping a
// repeat), canonical codes handed out from the longest length down, and a
// lookup on the next 8 bits. 0: no code there.
struct MapCode {
    uint16_t lookup[1 << kMapMaxBits];  // symbol << 4 | length
};

bool ImportMapCode(BitReader* br, MapCode* code)
{
    uint8_t lengths[kMapCodes];
    int n = 0;
    while (n < kMapCodes) {
        int bits = (int)br->Read(4);
        if (bits != 1) {
            lengths[n++] = (uint8_t)bits;
            continue;
        }
        bits = (int)br->Read(4);
        int repeat = bits == 1 ? 1 : (int)br->Read(4) + 3;
        if (n + repeat > kMapCodes) return false;
        while (repeat--) lengths[n++] = (uint8_t)bits;
    }
    uint32_t start[33] = {};
    for (uint8_t l : lengths) {
        if (l > kMapMaxBits) return false;
        start[l]++;
    }
    uint32_t next = 0;
    for (int l = 32; l > 0; --l) {
        uint32_t sum = next + start[l];
        if (l != 1 && (sum & 1)) return false;
        start[l] = next;
        next = sum >> 1;
    }
    memset(code->lookup, 0, sizeof code->lookup);
    for (int s = 0; s < kMapCodes; ++s) {
        int l = lengths[s];
        if (!l) continue;
        uint32_t bits = start[l]++, shift = (uint32_t)(kMapMaxBits - l);
        uint32_t first = bits << shift, last = ((bits + 1) << shift) - 1;
        if (last >= (1u << kMapMaxBits)) return false;
        for (uint32_t i = first; i <= last; ++i) code->lookup[i] = (uint16_t)(s << 4 | l);
    }
    return !br->Overrun();
}

int DecodeKind(BitReader* br, const MapCode& code)
{
    uint16_t e = code.lookup[br->Peek(kMapMaxBits)];
    if (!e) return -1;
    br->pos += e & 0xF;
    return e >> 4;
}

// The 12 bytes a hunk's entry takes in the expanded map, which the map's
// CRC covers: kind, 24-bit length, 48-bit offset, CRC.
uint16_t CrcEntry(const ChdHunk& e, uint16_t crc)
{
    uint8_t b[12];
    b[0] = e.kind;
    put_be24(b + 1, e.length);
    put_be16(b + 4, (uint32_t)(e.offset >> 32));
    put_be32(b + 6, (uint32_t)e.offset);
    put_be16(b + 10, e.crc);
    return ChdCrc16(b, sizeof b, crc);
}

bool DecodeCompressedMap(const ChdHeader& h, const uint8_t* map, size_t len, size_t count,
                         std::vector<ChdHunk>* hunks, char* err, size_t err_len)
{
    if (len < kChdMapHeaderSize) return DiscFailText(err, err_len, "the hunk map is cut short");
    uint32_t map_bytes = get_be32(map);
    uint64_t offset = GetBe48(map + 4);
    uint16_t map_crc = get_be16(map + 10);
    int length_bits = map[12], self_bits = map[13], parent_bits = map[14];
    if (map_bytes > len - kChdMapHeaderSize)
        return DiscFailText(err, err_len, "the hunk map runs past the end of the file");
    if (length_bits > 24 || self_bits > 32 || parent_bits > 48)
        return DiscFailText(err, err_len, "the hunk map's field widths (%d, %d, %d bits) are impossible", length_bits,
                    self_bits, parent_bits);
    BitReader br{map + kChdMapHeaderSize, map_bytes};
    MapCode code;
    if (!ImportMapCode(&br, &code)) return DiscFailText(err, err_len, "the hunk map's code table is damaged");

    hunks->assign(count, ChdHunk{});
    uint8_t last = 0;
    size_t repeat = 0;
    for (size_t i = 0; i < count; ++i) {
        if (repeat) {
            (*hunks)[i].kind = last;
            --repeat;
            continue;
        }
        int k = DecodeKind(&br, code);
        if (k == kMapRunSmall || k == kMapRunLarge) {
            int a = DecodeKind(&br, code), b = k == kMapRunLarge ? DecodeKind(&br, code) : 0;
            if (a < 0 || b < 0) return DiscFailText(err, err_len, "the hunk map is damaged at hunk %u", (unsigned)i);
            // This hunk and repeat more take the last kind.
            repeat = k == kMapRunSmall ? 2 + (size_t)a : 2 + 16 + ((size_t)a << 4) + (size_t)b;
            (*hunks)[i].kind = last;
        } else if (k < 0 || k > kMapParent1) {
            return DiscFailText(err, err_len, "the hunk map is damaged at hunk %u", (unsigned)i);
        } else {
            (*hunks)[i].kind = last = (uint8_t)k;
        }
    }

    const uint64_t units_per_hunk = h.hunk_bytes / h.unit_bytes;
    uint64_t last_self = 0, last_parent = 0;
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < count; ++i) {
        ChdHunk& e = (*hunks)[i];
        switch (e.kind) {
        case kChdHunkCodec0: case kChdHunkCodec1: case kChdHunkCodec2: case kChdHunkCodec3:
        case kChdHunkRaw:
            e.length = e.kind == kChdHunkRaw ? h.hunk_bytes : (uint32_t)br.Read(length_bits);
            e.offset = offset;
            e.crc = (uint16_t)br.Read(16);
            offset = (offset + e.length) & 0xFFFFFFFFFFFFull;
            break;
        case kChdHunkSelf: e.offset = last_self = br.Read(self_bits); break;
        case kChdHunkParent: e.offset = last_parent = br.Read(parent_bits); break;
        case kMapSelf1: ++last_self; /* fall through */
        case kMapSelf0: e.kind = kChdHunkSelf, e.offset = last_self; break;
        case kMapParentSelf: e.kind = kChdHunkParent, e.offset = last_parent = i * units_per_hunk; break;
        case kMapParent1: last_parent += units_per_hunk; /* fall through */
        case kMapParent0: e.kind = kChdHunkParent, e.offset = last_parent; break;
        default: return DiscFailText(err, err_len, "the hunk map is damaged at hunk %u", (unsigned)i);
        }
        e.offset &= 0xFFFFFFFFFFFFull;
        crc = CrcEntry(e, crc);
    }
    if (br.Overrun()) return DiscFailText(err, err_len, "the hunk map is cut short");
    if (crc != map_crc) return DiscFailText(err, err_len, "the hunk map's CRC is wrong");
    for (ChdHunk& e : *hunks) e.has_crc = e.kind <= kChdHunkRaw;
    return true;
}

// A copy names the hunk it repeats, earlier or later, which may itself be a
// copy. Each chain is walked once and every copy on it replaced by the hunk
// at its end; a chain that leaves the map or comes back on itself marks its
// copies bad.
void ResolveCopies(std::vector<ChdHunk>* hunks)
{
    const size_t count = hunks->size();
    std::vector<uint8_t> state(count, 0);  // 1: on the chain being walked, 2: resolved
    std::vector<size_t> chain;
    for (size_t i = 0; i < count; ++i) {
        if ((*hunks)[i].kind != kChdHunkSelf || state[i]) continue;
        chain.clear();
        size_t at = i;
        ChdHunk end{};
        end.kind = kChdHunkBadCopy;
        while (true) {
            chain.push_back(at);
            state[at] = 1;
            uint64_t next = (*hunks)[at].offset;
            if (next >= count || state[next] == 1) break;
            if (state[next] == 2 || (*hunks)[next].kind != kChdHunkSelf) {
                end = (*hunks)[next];
                break;
            }
            at = (size_t)next;
        }
        for (size_t n : chain) {
            (*hunks)[n] = end;
            state[n] = 2;
        }
    }
}

struct TrackType {
    const char* name;
    CueMode mode;
    uint8_t xa_form;
};
const TrackType kTrackTypes[] = {
    // Each frame starts with as many sector bytes as the mode stores.
    {"MODE1", kCueMode1_2048, 0},       {"MODE1_RAW", kCueMode1_2352, 0}, {"MODE2", kCueMode2_2336, 0},
    {"MODE2_FORM1", kCueMode2_2336, 1}, {"MODE2_FORM2", kCueMode2_2336, 2}, {"MODE2_FORM_MIX", kCueMode2_2336, 0},
    {"MODE2_RAW", kCueMode2_2352, 0},   {"AUDIO", kCueAudio, 0},
};

const TrackType* FindTrackType(const char* name)
{
    for (const TrackType& t : kTrackTypes)
        if (!strcmp(t.name, name)) return &t;
    return nullptr;
}

// The text after "KEY:" up to the next blank, into out (never past out_len).
bool Field(const std::string& text, const char* key, char* out, size_t out_len)
{
    std::string k = std::string(key) + ":";
    size_t at = 0;
    while ((at = text.find(k, at)) != std::string::npos && at && text[at - 1] != ' ') ++at;
    if (at == std::string::npos) return false;
    at += k.size();
    size_t end = text.find(' ', at);
    std::string v = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (v.empty() || v.size() >= out_len) return false;
    memcpy(out, v.c_str(), v.size() + 1);
    return true;
}

bool NumberField(const std::string& text, const char* key, int32_t max, int32_t* out)
{
    char v[16];
    if (!Field(text, key, v, sizeof v)) return false;
    int64_t n = 0;
    for (const char* p = v; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        n = n * 10 + (*p - '0');
        if (n > max) return false;
    }
    *out = (int32_t)n;
    return true;
}

}  // namespace

struct ChdFile {
    DiscFile file;  // the image, as disc->files[0] has it (or a parent's own)
    bool owns_file;
    ChdFile* parent;
    ChdHeader header;
    std::vector<ChdHunk> hunks;
    ChdCodecs* codecs;
    std::vector<uint8_t> compressed;
    struct Slot {
        size_t hunk;
        uint64_t used;  // for least-recently-used replacement; 0: empty
        std::vector<uint8_t> data;
    };
    std::vector<Slot> cache;
    uint64_t clock;
    char problem[384];
};

uint16_t ChdCrc16(const uint8_t* data, size_t len, uint16_t crc)
{
    struct Table {
        uint16_t v[256];
        Table()
        {
            for (int i = 0; i < 256; ++i) {
                uint16_t c = (uint16_t)(i << 8);
                for (int b = 0; b < 8; ++b) c = (uint16_t)(c & 0x8000 ? c << 1 ^ 0x1021 : c << 1);
                v[i] = c;
            }
        }
    };
    static const Table table;
    for (size_t i = 0; i < len; ++i) crc = (uint16_t)(crc << 8 ^ table.v[(crc >> 8 ^ data[i]) & 0xFF]);
    return crc;
}

bool LooksLikeChd(const char* head, size_t len)
{
    return len >= sizeof kChdTag && !memcmp(head, kChdTag, sizeof kChdTag);
}

bool ChdParseHeader(const uint8_t* p, size_t len, ChdHeader* h, char* err, size_t err_len)
{
    if (len < 16 || memcmp(p, kChdTag, sizeof kChdTag)) return DiscFailText(err, err_len, "not a CHD file");
    uint32_t version = get_be32(p + 12);
    if (version != 5) return DiscFailText(err, err_len, "CHD version %u; only version 5 can be read", version);
    if (len < kChdHeaderSize || get_be32(p + 8) < kChdHeaderSize)
        return DiscFailText(err, err_len, "the CHD header is cut short");
    *h = ChdHeader{};
    for (int i = 0; i < 4; ++i) h->codecs[i] = get_be32(p + 16 + 4 * i);
    h->logical_bytes = GetBe64(p + 32);
    h->map_offset = GetBe64(p + 40);
    h->meta_offset = GetBe64(p + 48);
    h->hunk_bytes = get_be32(p + 56);
    h->unit_bytes = get_be32(p + 60);
    memcpy(h->parent_sha1, p + 104, sizeof h->parent_sha1);
    for (uint8_t b : h->parent_sha1) h->has_parent |= b != 0;
    if (h->unit_bytes != kChdFrameSize || !h->hunk_bytes || h->hunk_bytes % kChdFrameSize ||
        h->hunk_bytes > kChdMaxHunkBytes)
        return DiscFailText(err, err_len, "not a CD: hunks of %u bytes in units of %u, not whole frames of %d",
                            h->hunk_bytes, h->unit_bytes, kChdFrameSize);
    // Every frame of a full disc, with each of 99 tracks padded.
    if (h->logical_bytes > (uint64_t)(kMaxLeadout + kCueMaxTracks * kChdTrackPadding) * kChdFrameSize)
        return DiscFailText(err, err_len, "%llu bytes of data: more than a CD holds",
                            (unsigned long long)h->logical_bytes);
    return true;
}

bool ChdDecodeMap(const ChdHeader& h, const uint8_t* map, size_t len, std::vector<ChdHunk>* hunks, char* err,
                  size_t err_len)
{
    size_t count = (size_t)((h.logical_bytes + h.hunk_bytes - 1) / h.hunk_bytes);
    if (h.codecs[0]) {
        if (!DecodeCompressedMap(h, map, len, count, hunks, err, err_len)) return false;
    } else {
        if (len / 4 < count) return DiscFailText(err, err_len, "the hunk map is cut short");
        hunks->assign(count, ChdHunk{});
        for (size_t i = 0; i < count; ++i) {
            ChdHunk& e = (*hunks)[i];
            uint64_t at = get_be32(map + 4 * i);
            if (at) {
                e.kind = kChdHunkRaw, e.offset = at * h.hunk_bytes, e.length = h.hunk_bytes;
            } else if (h.has_parent) {
                e.kind = kChdHunkParent, e.offset = i * (uint64_t)(h.hunk_bytes / h.unit_bytes);
            } else {
                e.kind = kChdHunkZero;
            }
        }
    }
    ResolveCopies(hunks);
    return true;
}

bool ChdParseTrack(const char* text, size_t len, ChdTrack* t, char* err, size_t err_len)
{
    std::string s(text, strnlen(text, len));
    *t = ChdTrack{};
    char pgtype[20] = "";
    if (!NumberField(s, "TRACK", kCueMaxTracks, &t->number) || t->number < 1 ||
        !Field(s, "TYPE", t->type, sizeof t->type) || !Field(s, "SUBTYPE", t->subtype, sizeof t->subtype) ||
        !NumberField(s, "FRAMES", kMaxLeadout, &t->frames) || t->frames < 1)
        return DiscFailText(err, err_len, "a track entry is damaged: \"%.80s\"", s.c_str());
    // CHTR has no gaps; in CHT2 they are all there.
    if (s.find("PREGAP:") != std::string::npos &&
        (!NumberField(s, "PREGAP", kMaxLeadout, &t->pregap) || !Field(s, "PGTYPE", pgtype, sizeof pgtype) ||
         !NumberField(s, "POSTGAP", kMaxLeadout, &t->postgap)))
        return DiscFailText(err, err_len, "track %d's gaps are damaged: \"%.80s\"", t->number, s.c_str());
    t->pregap_stored = pgtype[0] == 'V';
    if (!FindTrackType(t->type))
        return DiscFailText(err, err_len, "track %d has the unknown type %s", t->number, t->type);
    if (t->pregap_stored && t->pregap >= t->frames)
        return DiscFailText(err, err_len, "track %d's stored pregap is longer than the track", t->number);
    return true;
}

bool DiscFromChdTracks(const std::vector<ChdTrack>& tracks, int file, Disc* disc, char* err, size_t err_len)
{
    int64_t cursor = 0;   // the previous track's end
    uint64_t frame = 0;   // the track's first frame in the CHD
    for (size_t i = 0; i < tracks.size(); ++i) {
        const ChdTrack& c = tracks[i];
        if (c.number != (int)i + 1)
            return DiscFailText(err, err_len, "track %d follows track %u", c.number, (unsigned)i);
        const TrackType* type = FindTrackType(c.type);
        int32_t stored_pregap = c.pregap_stored ? c.pregap : 0;
        DiscTrack t{};
        t.number = c.number;
        t.session = 1;
        t.mode = type->mode;
        t.xa_form = type->xa_form;
        t.control = type->mode == kCueAudio ? 0 : kControlDataTrack;
        t.swap_audio = type->mode == kCueAudio;
        // Track 1's pregap lies before block 0, where nothing is read.
        int64_t start = i ? cursor + c.pregap : 0;
        int64_t stored_first = start - stored_pregap;
        int64_t end = stored_first + c.frames + c.postgap;
        if (end > kMaxLeadout)
            return DiscFailText(err, err_len, "track %d would end past 99:59:74 (block %lld)", c.number,
                                (long long)end);
        t.pregap_start = (int32_t)cursor;
        t.start = (int32_t)start;
        t.end = (int32_t)end;
        t.file = file;
        t.stored_first = (int32_t)stored_first;
        t.stored_count = c.frames;
        t.file_offset = frame * kChdFrameSize;
        t.stride = kChdFrameSize;
        if (strcmp(c.subtype, "NONE")) {
            t.has_sub = true;
            t.sub_file = file;
            t.sub_offset = t.file_offset + kChdSectorBytes;
            t.sub_stride = kChdFrameSize;
        }
        disc->tracks.push_back(t);
        cursor = end;
        frame += ((uint64_t)c.frames + kChdTrackPadding - 1) / kChdTrackPadding * kChdTrackPadding;
    }
    if (disc->tracks.empty()) return DiscFailText(err, err_len, "it holds no CD tracks");
    DiscFinishSessions(disc);
    return true;
}

namespace {

bool ReadMetadata(const DiscFile& f, const ChdHeader& h, std::vector<ChdTrack>* tracks, char* err, size_t err_len)
{
    uint64_t at = h.meta_offset;
    std::set<uint64_t> seen;
    while (at) {
        uint8_t e[kChdMetaHeaderSize];
        if (!seen.insert(at).second || seen.size() > kChdMaxMetaEntries)
            return DiscFailText(err, err_len, "the metadata chain does not end");
        if (at > f.size || f.size - at < sizeof e || !DiscReadAt(f, at, e, sizeof e))
            return DiscFailText(err, err_len, "a metadata entry lies outside the file (offset %llu)",
                                (unsigned long long)at);
        uint32_t tag = get_be32(e), len = get_be24(e + 5);
        if (tag == kMetaTrack2 || tag == kMetaTrack) {
            char text[kMaxTrackText + 1] = {};
            if (len > kMaxTrackText || f.size - at - sizeof e < len || !DiscReadAt(f, at + sizeof e, text, len))
                return DiscFailText(err, err_len, "a track entry lies outside the file (offset %llu)",
                                    (unsigned long long)at);
            ChdTrack t;
            if (!ChdParseTrack(text, len, &t, err, err_len)) return false;
            if (tracks->size() == kCueMaxTracks)
                return DiscFailText(err, err_len, "more than %d tracks", kCueMaxTracks);
            tracks->push_back(t);
        } else if (tag == kMetaGdRom) {
            return DiscFailText(err, err_len, "it holds a GD-ROM, not a CD");
        } else if (tag == kMetaOldCd) {
            return DiscFailText(err, err_len,
                                "its tracks are described in the old binary form (CHCD), which is not read");
        }
        at = GetBe64(e + 8);
    }
    return true;
}

// The hunk decoded, from the cache or the file; null with chd->problem set.
const uint8_t* LoadHunk(ChdFile* chd, size_t n)
{
    for (ChdFile::Slot& s : chd->cache)
        if (s.used && s.hunk == n) {
            s.used = ++chd->clock;
            return s.data.data();
        }
    ChdFile::Slot* slot = &chd->cache[0];
    for (ChdFile::Slot& s : chd->cache)
        if (s.used < slot->used) slot = &s;
    slot->used = 0;
    const ChdHeader& h = chd->header;
    const ChdHunk& e = chd->hunks[n];
    uint8_t* out = slot->data.data();
    char why[256] = "";
    bool ok = false;
    if (e.kind == kChdHunkZero) {
        memset(out, 0, h.hunk_bytes);
        ok = true;
    } else if (e.kind == kChdHunkParent && chd->parent) {
        ok = e.offset <= UINT64_MAX / h.unit_bytes &&
             ChdRead(chd->parent, e.offset * h.unit_bytes, out, h.hunk_bytes);
        if (!ok) snprintf(why, sizeof why, "in its parent, %.200s", chd->parent->problem);
    } else if (e.kind == kChdHunkParent) {
        char sha1[41];
        for (int i = 0; i < 20; ++i) snprintf(sha1 + 2 * i, 3, "%02x", h.parent_sha1[i]);
        snprintf(why, sizeof why, "its data is in the parent CHD with SHA-1 %s, which is not in its folder", sha1);
    } else if (e.kind == kChdHunkBadCopy) {
        snprintf(why, sizeof why, "it is marked as a copy of a hunk that does not come before it");
    } else if (e.offset > chd->file.size || e.length > chd->file.size - e.offset) {
        snprintf(why, sizeof why, "its data lies outside the file (offset %llu, %u bytes)",
                 (unsigned long long)e.offset, e.length);
    } else if (e.kind == kChdHunkRaw) {
        ok = DiscReadAt(chd->file, e.offset, out, h.hunk_bytes);
        if (!ok) snprintf(why, sizeof why, "its data cannot be read");
    } else {
        uint32_t codec = h.codecs[e.kind];
        char tag[5] = {(char)(codec >> 24), (char)(codec >> 16), (char)(codec >> 8), (char)codec, 0};
        for (char& c : tag)
            if (c && (c < 0x20 || c > 0x7E)) c = '?';
        chd->compressed.resize(e.length);
        if (!codec)
            snprintf(why, sizeof why, "it names codec %d, which the header leaves empty", e.kind);
        else if (!ChdCodecKnown(codec))
            snprintf(why, sizeof why, "it is compressed with \"%s\", a codec that is not supported", tag);
        else if (!DiscReadAt(chd->file, e.offset, chd->compressed.data(), e.length))
            snprintf(why, sizeof why, "its data cannot be read");
        else
            ok = ChdDecodeHunk(chd->codecs, codec, chd->compressed.data(), e.length, out, h.hunk_bytes, why,
                               sizeof why);
    }
    if (ok && e.has_crc && ChdCrc16(out, h.hunk_bytes) != e.crc) {
        snprintf(why, sizeof why, "its CRC is wrong");
        ok = false;
    }
    if (!ok) {
        snprintf(chd->problem, sizeof chd->problem, "hunk %u of %s: %s", (unsigned)n, chd->file.path.c_str(), why);
        return nullptr;
    }
    slot->hunk = n;
    slot->used = ++chd->clock;
    return out;
}

}  // namespace

bool ChdRead(ChdFile* chd, uint64_t offset, void* buf, size_t len)
{
    uint8_t* dst = static_cast<uint8_t*>(buf);
    const uint32_t hb = chd->header.hunk_bytes;
    if (offset > chd->header.logical_bytes || len > chd->header.logical_bytes - offset) {
        snprintf(chd->problem, sizeof chd->problem, "%s: the block lies past the end of its data",
                 chd->file.path.c_str());
        return false;
    }
    while (len) {
        const uint8_t* hunk = LoadHunk(chd, (size_t)(offset / hb));
        if (!hunk) return false;
        size_t at = (size_t)(offset % hb), n = std::min<size_t>(len, hb - at);
        memcpy(dst, hunk + at, n);
        dst += n, offset += n, len -= n;
    }
    return true;
}

const char* ChdProblem(const ChdFile* chd) { return chd->problem; }

void ChdClose(ChdFile* chd)
{
    if (!chd) return;
    ChdClose(chd->parent);
    if (chd->owns_file) fclose(chd->file.fp);
    ChdCodecsDestroy(chd->codecs);
    delete chd;
}

namespace {

// Header, map, decoders and cache of an open file; null with the reason.
ChdFile* OpenChdFile(const DiscFile& f, bool owns_file, char* why, size_t why_len)
{
    ChdFile* chd = new (std::nothrow) ChdFile();
    if (!chd) return DiscFailText(why, why_len, "not enough memory"), nullptr;
    chd->file = DiscFile{f.path, f.fp, f.size};
    chd->owns_file = owns_file;
    ChdHeader& h = chd->header;
    uint8_t head[kChdHeaderSize] = {};
    size_t got = (size_t)std::min<uint64_t>(f.size, sizeof head);
    // The map: 4 bytes a hunk without codecs, else its header says its length.
    uint64_t count = 0, map_len = 0;
    std::vector<uint8_t> map;
    bool ok = DiscReadAt(f, 0, head, got) ? ChdParseHeader(head, got, &h, why, why_len)
                                          : DiscFailText(why, why_len, "cannot read the file");
    if (ok) {
        count = (h.logical_bytes + h.hunk_bytes - 1) / h.hunk_bytes;
        map_len = h.codecs[0] ? (uint64_t)kChdMapHeaderSize : count * 4;
        ok = h.map_offset <= f.size && f.size - h.map_offset >= map_len;
        if (ok) map.resize((size_t)map_len);
        ok = (ok && DiscReadAt(f, h.map_offset, map.data(), map.size())) ||
             DiscFailText(why, why_len, "the hunk map lies outside the file");
    }
    if (ok && h.codecs[0]) {
        uint64_t more = get_be32(map.data());
        ok = f.size - h.map_offset - map_len >= more ||
             DiscFailText(why, why_len, "the hunk map runs past the end of the file");
        if (ok) map.resize((size_t)(map_len + more));
        ok = ok && (DiscReadAt(f, h.map_offset + map_len, map.data() + map_len, (size_t)more) ||
                    DiscFailText(why, why_len, "cannot read the hunk map"));
    }
    ok = ok && ChdDecodeMap(h, map.data(), map.size(), &chd->hunks, why, why_len);
    if (ok) chd->codecs = ChdCodecsCreate();
    ok = ok && (chd->codecs || DiscFailText(why, why_len, "not enough memory"));
    if (!ok) {
        ChdClose(chd);
        return nullptr;
    }
    size_t slots = std::max<size_t>(2, std::min<size_t>(16, kCacheBytes / h.hunk_bytes));
    chd->cache.resize(slots);
    for (ChdFile::Slot& s : chd->cache) s.data.resize(h.hunk_bytes);
    return chd;
}

// A file made against a parent keeps only what differs from it: the parent
// is the CHD beside it whose SHA-1 the header names, looked for among the
// folder's .chd files (and in turn its own parent, a few levels deep).
void FindParent(ChdFile* chd, const std::string& dir, int depth)
{
    if (!chd->header.has_parent || depth >= kChdMaxParents) return;
    for (const std::string& name : DiscListFolder(dir, ".chd")) {
        DiscFile f{dir + name, nullptr, 0};
        Disc probe;
        char why[256];
        if (!DiscAddFile(&probe, f.path, why, sizeof why)) continue;
        f = probe.files[0];
        probe.files.clear();  // the parent keeps the file open
        uint8_t head[kChdHeaderSize];
        bool match = f.size >= sizeof head && DiscReadAt(f, 0, head, sizeof head) &&
                     !memcmp(head + kChdSha1Offset, chd->header.parent_sha1, sizeof chd->header.parent_sha1);
        if (!match) {
            fclose(f.fp);
            continue;
        }
        ChdFile* parent = OpenChdFile(f, true, why, sizeof why);  // which closes the file if it fails
        if (!parent) continue;
        chd->parent = parent;
        FindParent(parent, dir, depth + 1);
        return;
    }
}

}  // namespace

bool DiscOpenChd(const char* path, Disc* disc, char* err, size_t err_len)
{
    char why[256] = "";
    if (!DiscAddFile(disc, path, why, sizeof why))
        return DiscFail(err, err_len, path, 0, "cannot open the file (%s)", why);
    DiscFile& f = disc->files[0];
    f.chd = OpenChdFile(f, false, why, sizeof why);
    if (!f.chd) return DiscFail(err, err_len, path, 0, "%s", why);
    std::vector<ChdTrack> tracks;
    if (!ReadMetadata(f, f.chd->header, &tracks, why, sizeof why) ||
        !DiscFromChdTracks(tracks, 0, disc, why, sizeof why))
        return DiscFail(err, err_len, path, 0, "%s", why);
    FindParent(f.chd, DiscBaseDir(path), 0);
    return true;
}
