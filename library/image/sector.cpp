// ECMA-130 sector synthesis: sync, header, subheader, EDC, RSPC P/Q.
#include "sector.h"

#include <string.h>

#include "bytes.h"

namespace {

// EDC polynomial x^32+x^31+x^16+x^15+x^4+x^3+x+1, bit-reversed for LSB-first processing.
const uint32_t kEdcPolyReflected = 0xD8018001u;

struct EdcTable {
    uint32_t v[256];
    constexpr EdcTable() : v()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ kEdcPolyReflected : c >> 1;
            v[i] = c;
        }
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

// RSPC code words over the 2 x 1170-byte planes starting at the header.
// Each vector has data symbols d0..d(n-1) and two parity symbols with weights
// alpha and 1 in the check row [alpha^(n+1) ... alpha 1] and the row of ones.
// Vector v of a plane starts at word start(v) and steps word_step words,
// modulo the wrap length in words.
void ComputeParity(const uint8_t* base, int vectors, int length, int start_mult, int word_step,
                   int wrap_words, uint8_t* parity)
{
    for (int major = 0; major < vectors * 2; ++major) {
        int plane = major & 1;
        int word = (major >> 1) * start_mult;
        uint8_t s0 = 0, s1 = 0;
        for (int i = 0; i < length; ++i) {
            uint8_t d = base[2 * word + plane];
            s0 ^= d;
            s1 = kGf.mul_alpha[s1 ^ d];  // Horner: sum of d_i * alpha^(length - i)
            word += word_step;
            if (word >= wrap_words)
                word -= wrap_words;
        }
        s1 = kGf.mul_alpha[s1];  // weights alpha^(length + 1 - i)
        uint8_t p0 = kGf.div_1a[s0 ^ s1];
        parity[major] = p0;
        parity[major + vectors * 2] = (uint8_t)(p0 ^ s0);
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

bool EccMatches(const uint8_t* raw, bool zero_header)
{
    uint8_t copy[kRawSectorSize];
    memcpy(copy, raw, kRawSectorSize);
    if (zero_header)
        memset(copy + kHeaderOffset, 0, kHeaderSize);
    ComputeEccPQ(copy);
    return memcmp(copy + kEccPOffset, raw + kEccPOffset, kEccPSize + kEccQSize) == 0;
}

bool EdcMatches(const uint8_t* raw, int from, int to)
{
    return ComputeEdc(raw + from, (uint32_t)(to - from)) == get_le32(raw + to);
}

bool AllZero(const uint8_t* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

bool ValidBcd(uint8_t b, int limit)
{
    return (b >> 4) <= 9 && (b & 0x0F) <= 9 && from_bcd(b) < limit;
}

// An XA sector with equal subheader copies: Form 1 or Form 2 by its submode.
bool CheckXaSector(const uint8_t* raw)
{
    if (raw[kSubmodeOffset] & kSubmodeForm2)
        return get_le32(raw + kForm2EdcOffset) == 0 || EdcMatches(raw, kDataOffset, kForm2EdcOffset);
    return EdcMatches(raw, kDataOffset, kForm1EdcOffset) && EccMatches(raw, true);
}

}  // namespace

uint32_t ComputeEdc(const uint8_t* data, uint32_t len)
{
    uint32_t edc = 0;
    for (uint32_t i = 0; i < len; ++i)
        edc = (edc >> 8) ^ kEdcTable.v[(edc ^ data[i]) & 0xFF];
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
    int64_t address = (int64_t)lba + kPregapBlocks;
    if (address < 0)
        address += kCdTimeWrapFrames;
    int minutes = (int)((address / kFramesPerMinute) % 100);
    int seconds = (int)((address / kFramesPerSecond) % 60);
    int frames = (int)(address % kFramesPerSecond);
    raw2352[kHeaderOffset] = to_bcd(minutes);
    raw2352[kHeaderOffset + 1] = to_bcd(seconds);
    raw2352[kHeaderOffset + 2] = to_bcd(frames);
    raw2352[kModeOffset] = mode;
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

bool CheckSector(const uint8_t* raw2352)
{
    if (memcmp(raw2352, kSyncPattern, kSyncSize) != 0)
        return false;
    const uint8_t* h = raw2352 + kHeaderOffset;
    if (!ValidBcd(h[0], 100) || !ValidBcd(h[1], 60) || !ValidBcd(h[2], kFramesPerSecond))
        return false;
    switch (raw2352[kModeOffset]) {
    case 0:
        return AllZero(raw2352 + 16, kRawSectorSize - 16);
    case 1:
        return EdcMatches(raw2352, 0, kMode1EdcOffset) && AllZero(raw2352 + kMode1ZeroOffset, 8) &&
               EccMatches(raw2352, false);
    case 2:
        break;
    default:
        return false;
    }
    const uint8_t* sub = raw2352 + kDataOffset;
    if (memcmp(sub, sub + 4, 4) == 0)
        return CheckXaSector(raw2352);
    // Copies differ: formless Mode 2 carries no check data, unless either copy
    // makes the sector a valid XA sector, in which case the other is damaged.
    uint8_t copy[kRawSectorSize];
    for (int which = 0; which < 2; ++which) {
        memcpy(copy, raw2352, kRawSectorSize);
        memcpy(copy + kDataOffset + 4 * (1 - which), sub + 4 * which, 4);
        if (CheckXaSector(copy))
            return false;
    }
    return true;
}
