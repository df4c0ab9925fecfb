// Sector synthesis: the header, the check rules and the forms.
#include "sector.h"

#include <string.h>

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "bytes.h"

namespace {

TEST(SectorHeader, AddressesInBcd)
{
    struct Case { int32_t lba; uint8_t m, s, f; } cases[] = {
        {16, 0x00, 0x02, 0x16}, {449849, 0x99, 0x59, 0x74}, {-151, 0x99, 0x59, 0x74},
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
    for (size_t i = 0; i < n; ++i)
        v[i] = (uint8_t)((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    return v;
}

TEST(CheckSector, RejectsAFlippedByteInEachRegion)
{
    const uint8_t sub_form1[4] = {1, 0, kSubmodeData, 0};
    const uint8_t sub_form2[4] = {1, 2, kSubmodeData | kSubmodeForm2, 0};
    std::vector<uint8_t> user = Pattern(kRawSectorSize, 3);
    struct Case { SectorType type; const uint8_t* sub; std::vector<int> offsets; } cases[] = {
        // sync, minute, mode, data, EDC, reserved, P, Q
        {kSectorMode1, nullptr, {5, 12, 15, 16, 1000, 2063, 2064, 2070, 2076, 2247, 2248, 2351}},
        // sync, mode, subheader, its copy, data, EDC, P, Q
        {kSectorMode2Form1, sub_form1, {0, 15, 16, 18, 22, 24, 2071, 2072, 2076, 2248, 2351}},
        {kSectorMode2Form2, sub_form2, {11, 15, 17, 18, 23, 24, 1500, 2347, 2348, 2351}},
    };
    uint8_t raw[kRawSectorSize];
    for (const Case& c : cases) {
        BuildRawSector(raw, 1234, c.type, user.data(), c.sub);
        ASSERT_TRUE(CheckSector(raw)) << c.type;
        // A flipped bit in each region; then a non-BCD address, which fails
        // even where the header lies outside the EDC (XA).
        std::vector<std::pair<int, int>> damage;
        for (int offset : c.offsets) damage.push_back({offset, raw[offset] ^ 0x01});
        for (int offset : {12, 13, 14}) damage.push_back({offset, 0x7A});
        for (const auto& d : damage) {
            uint8_t damaged[kRawSectorSize];
            memcpy(damaged, raw, sizeof damaged);
            damaged[d.first] = (uint8_t)d.second;
            EXPECT_FALSE(CheckSector(damaged)) << "type " << c.type << " offset " << d.first;
        }
    }
}

TEST(CheckSector, AcceptsSectorsWithoutCheckData)
{
    uint8_t raw[kRawSectorSize];
    BuildRawSector(raw, 20, kSectorMode0, nullptr, nullptr);
    EXPECT_TRUE(CheckSector(raw));
    raw[100] = 1;
    EXPECT_FALSE(CheckSector(raw));

    // Formless Mode 2 whose would-be subheader copies differ carries no EDC.
    std::vector<uint8_t> user = Pattern(kMode2DataSize, 9);
    BuildRawSector(raw, 20, kSectorMode2Formless, user.data(), nullptr);
    EXPECT_EQ(memcmp(raw + 16, user.data(), kMode2DataSize), 0);
    EXPECT_TRUE(CheckSector(raw));

    // A Form 2 sector whose EDC is left zero is legal.
    const uint8_t sub[4] = {0, 0, kSubmodeForm2, 0};
    BuildRawSector(raw, 20, kSectorMode2Form2, user.data(), sub);
    memset(raw + kForm2EdcOffset, 0, 4);
    EXPECT_TRUE(CheckSector(raw));
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
    EXPECT_TRUE(CheckSector(raw));

    // A Form 2 request always carries the Form 2 bit in both copies.
    std::vector<uint8_t> user2 = Pattern(kForm2UserDataSize, 6);
    BuildRawSector(raw, 0, kSectorMode2Form2, user2.data(), nullptr);
    EXPECT_EQ(raw[18], kSubmodeForm2);
    EXPECT_EQ(raw[22], kSubmodeForm2);
    EXPECT_EQ(memcmp(raw + 24, user2.data(), kForm2UserDataSize), 0);
}

}  // namespace
