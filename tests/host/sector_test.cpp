// Sector synthesis and its check: the header, the check rules and the forms.
#include "sector.h"

#include <string.h>

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "bytes.h"
#include "sectorcheck.h"

namespace {

TEST(SectorHeader, AddressesInBcd)
{
    struct Case { int32_t lba; uint8_t m, s, f; } cases[] = {
        {-151, 0x99, 0x59, 0x74}, {INT32_MIN, 0x81, 0x26, 0x52},  // far before the lead-in: still a valid BCD address
    };
    const uint8_t sync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    for (const Case& c : cases) {
        uint8_t raw[kRawSectorSize] = {};
        WriteSectorHeader(raw, c.lba, 1);
        EXPECT_EQ(memcmp(raw, sync, 12), 0);
        const uint8_t header[4] = {c.m, c.s, c.f, 1};
        EXPECT_EQ(memcmp(raw + 12, header, 4), 0) << c.lba;
    }
}

std::vector<uint8_t> Pattern(size_t n, unsigned seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = (uint8_t)((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    return v;
}

// Every kind of sector the virtual drive synthesises checks clean, and each
// damaged part is named alone, whatever else the damage touches by design
// (the EDC and ECC of Mode 1 cover sync, header and EDC).
TEST(CheckRawSector, NamesEachDamagedPart)
{
    const uint8_t f1[4] = {1, 0, kSubmodeData, 0}, f2[4] = {1, 2, kSubmodeData | kSubmodeForm2, 0};
    enum { kLbn = 1234, kNone = -1, kClearForm2Edc = -2, kWrongAddress = -3 };
    const unsigned kPQ = kFaultEccP | kFaultEccQ;
    struct Case { SectorType type; const uint8_t* sub; int flip; unsigned faults; const char* status; } cases[] = {
        {kSectorMode1, nullptr, kNone, 0, "EDC OK  ECC OK"},
        {kSectorMode2Form2, f2, kClearForm2Edc, 0, "EDC --"},
        {kSectorMode0, nullptr, 100, kFaultZeroData, "ZERO NG  EDC --"},
        {kSectorMode1, nullptr, 5, kFaultSync | kFaultEdc, "SYNC NG  EDC NG  ECC OK"},
        {kSectorMode1, nullptr, kWrongAddress, kFaultAddress, "HDR NG  EDC OK  ECC OK"},
        {kSectorMode1, nullptr, 15, kFaultMode, "HDR NG  EDC --"},
        {kSectorMode1, nullptr, 1000, kFaultEdc | kPQ, "EDC NG  ECC NG (P Q)"},
        {kSectorMode1, nullptr, 2070, kFaultReserved | kPQ, "ZERO NG  EDC OK  ECC NG (P Q)"},
        {kSectorMode1, nullptr, 2100, kFaultEccP, "EDC OK  ECC NG (P)"},
        {kSectorMode1, nullptr, 2300, kFaultEccQ, "EDC OK  ECC NG (Q)"},
        {kSectorMode2Form1, f1, 22, kFaultSubheader, "SUB NG  EDC OK  ECC OK"},
        {kSectorMode2Form2, f2, 2000, kFaultEdc, "EDC NG"},
    };
    std::vector<uint8_t> user = Pattern(kRawSectorSize, 3);
    for (const Case& c : cases) {
        uint8_t raw[kRawSectorSize];
        BuildRawSector(raw, c.flip == kWrongAddress ? kLbn + 1 : kLbn, c.type, user.data(), c.sub);
        if (c.flip == kClearForm2Edc)
            memset(raw + kForm2EdcOffset, 0, 4);
        else if (c.flip >= 0)
            raw[c.flip] ^= c.flip == 15 ? 0x07 : 0x01;
        SectorCheck check = CheckRawSector(raw, kLbn, 0);
        char status[64];
        FormatCheckStatus(check, status, sizeof status);
        EXPECT_EQ(c.faults, check.faults) << "type " << c.type << " byte " << c.flip;
        EXPECT_STREQ(c.status, status) << "type " << c.type << " byte " << c.flip;
    }
}

TEST(CheckRawSector, FaultTextAndUnjudgedSync)
{
    uint8_t raw[kRawSectorSize];
    BuildRawSector(raw, 20, kSectorMode1, nullptr, nullptr);
    raw[2000] ^= 0x80;
    char text[64];
    FormatCheckFaults(CheckRawSector(raw, 20, 0), text, sizeof text);
    EXPECT_STREQ("EDC, ECC P, ECC Q", text);
    // A 2340-byte read returns no sync: whatever fills bytes 0-11 is not judged.
    BuildRawSector(raw, 20, kSectorMode2Form2, nullptr, nullptr);
    memset(raw, 0xEE, kSyncSize);
    EXPECT_EQ(0u, CheckRawSector(raw, 20, kCheckIgnoreSync).faults);
    EXPECT_EQ((unsigned)kFaultSync, CheckRawSector(raw, 20, 0).faults);
}

TEST(BuildRawSector, FormFollowsTheSubheaderWithinTheCallersBuffer)
{
    // Exactly 2048 bytes: a Form 1 request whose submode says Form 2 reads no further.
    std::vector<uint8_t> user = Pattern(kUserDataSize, 5);
    const uint8_t sub[4] = {0, 0, kSubmodeForm2, 0};
    uint8_t raw[kRawSectorSize];
    BuildRawSector(raw, 0, kSectorMode2Form1, user.data(), sub);
    EXPECT_EQ(memcmp(raw + 24, user.data(), kUserDataSize), 0);
    EXPECT_EQ(raw[24 + kUserDataSize], 0);
    EXPECT_EQ(get_le32(raw + kForm2EdcOffset), ComputeEdc(raw + 16, 8 + kForm2UserDataSize));
    EXPECT_EQ(0u, CheckRawSector(raw, 0, 0).faults);
}

}  // namespace
