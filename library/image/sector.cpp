// ECMA-130 sector synthesis: sync, header, subheader, EDC, RSPC P/Q.
#include "sector.h"

#include <string.h>

#include "bytes.h"

namespace {

// EDC polynomial x^32+x^31+x^16+x^15+x^4+x^3+x+1, bit-reversed for LSB-first processing.
const uint32_t kEdcPolyReflected = 0xD8018001u;

// t[0] is the byte table; t[k][x] carries x through k more zero bytes, so
// that eight bytes are folded in one step (slicing by 8).
struct EdcTable {
    uint32_t t[8][256];
    constexpr EdcTable() : t()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ kEdcPolyReflected : c >> 1;
            t[0][i] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (uint32_t i = 0; i < 256; ++i)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
};
constexpr EdcTable kEdcTable;

// GF(2^8) with the field polynomial x^8+x^4+x^3+x^2+1 (ECMA-130 Annex A).
// mul_alpha[x] = x * alpha; div_1a[x * (1 + alpha)] = x.
struct GfTables {
    uint8_t mul_alpha[256];
    uint8_t div_1a[256];
    constexpr GfTables() : mul_alpha(), div_1a()
    {
        for (int i = 0; i < 256; ++i) {
            int m = (i << 1) ^ ((i & 0x80) ? 0x11D : 0);
            mul_alpha[i] = (uint8_t)m;
            div_1a[(i ^ m) & 0xFF] = (uint8_t)i;
        }
    }
};
constexpr GfTables kGf;

// Eight GF(2^8) symbols at once, each multiplied by alpha.
inline uint64_t MulAlpha8(uint64_t x)
{
    uint64_t high = x & 0x8080808080808080ull;
    return ((x & 0x7F7F7F7F7F7F7F7Full) << 1) ^ ((high >> 7) * 0x1D);
}

// RSPC code words over the 2 x 1170-byte planes starting at the header.
// Each vector has data symbols d0..d(n-1) and two parity symbols with weights
// alpha and 1 in the check row [alpha^(n+1) ... alpha 1] and the row of ones.
// Symbol i of vector v lies at word (v * start_mult + i * word_step) modulo
// the wrap length in words. All vectors advance together, symbol by symbol:
// symbol i of every vector (both planes) is gathered into one row and folded
// into the sums eight bytes at a time.
enum { kMaxVectors = 43, kLanes = (2 * kMaxVectors + 7) / 8 };
void ComputeParity(const uint8_t* base, int vectors, int length, int start_mult, int word_step,
                   int wrap_words, uint8_t* parity)
{
    uint64_t s0[kLanes] = {}, s1[kLanes] = {};
    uint8_t row[kLanes * 8] = {};
    const int lanes = (2 * vectors + 7) / 8;
    int first = 0;  // word of symbol i of vector 0
    for (int i = 0; i < length; ++i) {
        if (start_mult == 1 && first + vectors <= wrap_words) {
            memcpy(row, base + 2 * first, 2 * vectors);
        } else {
            // The vectors' words wrap at most once: gather up to the wrap, then after it.
            int before = (wrap_words - first + start_mult - 1) / start_mult;
            if (before > vectors)
                before = vectors;
            int word = first;
            for (int v = 0; v < before; ++v, word += start_mult)
                memcpy(row + 2 * v, base + 2 * word, 2);
            word -= wrap_words;
            for (int v = before; v < vectors; ++v, word += start_mult)
                memcpy(row + 2 * v, base + 2 * word, 2);
        }
        for (int l = 0; l < lanes; ++l) {
            uint64_t d;
            memcpy(&d, row + 8 * l, 8);
            s0[l] ^= d;
            s1[l] = MulAlpha8(s1[l] ^ d);  // Horner: sum of d_i * alpha^(length - i)
        }
        first += word_step;
        if (first >= wrap_words)
            first -= wrap_words;
    }
    uint8_t sum0[kLanes * 8], sum1[kLanes * 8];
    memcpy(sum0, s0, sizeof sum0);
    memcpy(sum1, s1, sizeof sum1);
    for (int major = 0; major < vectors * 2; ++major) {
        uint8_t p0 = kGf.div_1a[sum0[major] ^ kGf.mul_alpha[sum1[major]]];  // weights alpha^(length + 1 - i)
        parity[major] = p0;
        parity[major + vectors * 2] = (uint8_t)(p0 ^ sum0[major]);
    }
}

void PutEdc(uint8_t* raw, int from, int to)
{
    put_le32(raw + to, ComputeEdc(raw + from, (uint32_t)(to - from)));
}

void BuildForm1(uint8_t* raw)
{
    PutEdc(raw, kDataOffset, kForm1EdcOffset);
    // The header takes no part in the parity of a Form 1 sector.
    uint8_t header[kHeaderSize];
    memcpy(header, raw + kHeaderOffset, kHeaderSize);
    memset(raw + kHeaderOffset, 0, kHeaderSize);
    ComputeEccPQ(raw);
    memcpy(raw + kHeaderOffset, header, kHeaderSize);
}

}  // namespace

uint32_t ComputeEdc(const uint8_t* data, uint32_t len)
{
    const auto& t = kEdcTable.t;
    uint32_t edc = 0;
    uint32_t i = 0;
    for (; i + 8 <= len; i += 8) {
        uint32_t lo = edc ^ get_le32(data + i), hi = get_le32(data + i + 4);
        edc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; i < len; ++i)
        edc = (edc >> 8) ^ t[0][(edc ^ data[i]) & 0xFF];
    return edc;
}

void ComputeEccPQ(uint8_t* raw2352)
{
    uint8_t* base = raw2352 + kHeaderOffset;
    // P: 43 columns of 24 words (rows of 43 words), 86 vectors over both planes.
    ComputeParity(base, 43, 24, 1, 43, 1118 * 2, raw2352 + kEccPOffset);
    // Q: 26 diagonals of 43 words stepping 44 words, over data and P (1118 words).
    ComputeParity(base, 26, 43, 43, 44, 1118, raw2352 + kEccQOffset);
}

void WriteSectorHeader(uint8_t* raw2352, int32_t lba, uint8_t mode)
{
    memcpy(raw2352, kSyncPattern, kSyncSize);
    EncodeSectorAddress(lba, raw2352 + kHeaderOffset);
    raw2352[kModeOffset] = mode;
}

void EncodeSectorAddress(int32_t lba, uint8_t bcd_msf[3])
{
    int64_t address = (int64_t)lba + kPregapBlocks;
    if (address < 0)
        address = address % kCdTimeWrapFrames + kCdTimeWrapFrames;  // any 32-bit LBA stays in 0..99:59:74
    int minutes = (int)((address / kFramesPerMinute) % 100);
    int seconds = (int)((address / kFramesPerSecond) % 60);
    int frames = (int)(address % kFramesPerSecond);
    bcd_msf[0] = to_bcd(minutes);
    bcd_msf[1] = to_bcd(seconds);
    bcd_msf[2] = to_bcd(frames);
}

void BuildRawSector(uint8_t* raw2352, int32_t lba, SectorType type, const uint8_t* user, const uint8_t* subheader4)
{
    if (type == kSectorAudio) {
        if (user)
            memcpy(raw2352, user, kRawSectorSize);
        else
            memset(raw2352, 0, kRawSectorSize);
        return;
    }
    memset(raw2352, 0, kRawSectorSize);
    switch (type) {
    case kSectorMode0:
        WriteSectorHeader(raw2352, lba, 0);
        return;
    case kSectorMode1:
        WriteSectorHeader(raw2352, lba, 1);
        if (user)
            memcpy(raw2352 + 16, user, kUserDataSize);
        PutEdc(raw2352, 0, kMode1EdcOffset);
        ComputeEccPQ(raw2352);
        return;
    case kSectorMode2Formless:
        WriteSectorHeader(raw2352, lba, 2);
        if (user)
            memcpy(raw2352 + 16, user, kMode2DataSize);
        return;
    default:
        break;
    }
    // Mode 2 Form 1 or Form 2.
    WriteSectorHeader(raw2352, lba, 2);
    uint8_t sub[4] = {0, 0, 0, 0};
    if (subheader4)
        memcpy(sub, subheader4, 4);
    if (type == kSectorMode2Form2)
        sub[2] |= kSubmodeForm2;
    memcpy(raw2352 + kDataOffset, sub, 4);
    memcpy(raw2352 + kDataOffset + 4, sub, 4);
    uint8_t* data = raw2352 + kDataOffset + kSubheaderSize;
    if (sub[2] & kSubmodeForm2) {
        if (user)
            memcpy(data, user, type == kSectorMode2Form2 ? kForm2UserDataSize : kUserDataSize);
        PutEdc(raw2352, kDataOffset, kForm2EdcOffset);
    } else {
        if (user)
            memcpy(data, user, kUserDataSize);
        BuildForm1(raw2352);
    }
}

void BuildMode2FromStored(uint8_t* raw2352, int32_t lba, const uint8_t* stored2336)
{
    WriteSectorHeader(raw2352, lba, 2);
    memcpy(raw2352 + 16, stored2336, kMode2DataSize);
}
