#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "cdb.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The CDB area pre-filled with a marker: bytes past the command stay untouched.
struct CdbArea {
    uint8_t bytes[kCdbAreaSize];
    CdbArea() { memset(bytes, 0xEE, sizeof bytes); }
    Bytes Sent(int len) const { return Bytes(bytes, bytes + len); }
    bool RestUntouched(int len) const { return Bytes(bytes + len, bytes + kCdbAreaSize) == Bytes(kCdbAreaSize - len, 0xEE); }
};

}  // namespace

TEST(Cdb, EachCommandsBytes)
{
    struct Case { const char* what; int (*build)(uint8_t* cdb); Bytes want; } cases[] = {
        {"START STOP UNIT", BuildEject, {0x1B, 0x00, 0x00, 0x00, 0x02, 0x00}},
        {"READ(10) of 65536 blocks", [](uint8_t* c) { return BuildRead10(c, 0x12345678, 65536); },
         {0x28, 0, 0x12, 0x34, 0x56, 0x78, 0, 0x00, 0x00, 0}},
    };
    for (const Case& c : cases) {
        CdbArea a;
        const int len = (int)c.want.size();
        ASSERT_EQ(c.build(a.bytes), len) << c.what;
        EXPECT_EQ(a.Sent(len), c.want) << c.what;
        EXPECT_TRUE(a.RestUntouched(len)) << c.what;
    }
    // The transfer length agrees with the 16-bit count the CDB carries.
    EXPECT_EQ(Read10DataLength(65537, 2340), 2340u);
    EXPECT_EQ(Read10DataLength(1, -1), 0u);
}

TEST(Cdb, ModeSelectCarriesOnlyTheThreeBlockLengths)
{
    // params empty: refused, nothing written
    struct Case { int32_t block_len; Bytes params; } cases[] = {
        // Header: descriptor length 8; descriptor: density 0, no block count, block length.
        {2048, {0, 0, 0, 8, 0, 0, 0, 0, 0, 0x00, 0x08, 0x00}},
        {2336, {}}, {INT32_MIN, {}},
    };
    for (const Case& c : cases) {
        const bool accepted = !c.params.empty();
        CdbArea a;
        uint8_t params[kModeParamListSize];
        memset(params, 0xEE, sizeof params);
        EXPECT_EQ(IsSupportedBlockLength(c.block_len), accepted) << c.block_len;
        ASSERT_EQ(BuildModeSelect(a.bytes, params, c.block_len), accepted ? 6 : 0) << c.block_len;
        if (accepted) {
            EXPECT_EQ(a.Sent(6), (Bytes{0x15, 0x10, 0x00, 0x00, 0x0C, 0x00}));
        }
        EXPECT_TRUE(a.RestUntouched(accepted ? 6 : 0));
        EXPECT_EQ(Bytes(params, params + kModeParamListSize), accepted ? c.params : Bytes(12, 0xEE)) << c.block_len;
    }
}

TEST(Cdb, ParseReplies)
{
    struct Case { uint8_t resp[8]; int32_t last_lbn, block_len; } cases[] = {
        // Bytes 0 and 4 are not read: a last LBA of 0x01000000 or more loses its top byte.
        {{0x01, 0x00, 0x00, 0x05, 0x00, 0x00, 0x09, 0x30}, 5, 2352},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFF, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        int32_t last = -7, len = -7;
        ParseReadCapacity(c.resp, &last, &len);
        EXPECT_EQ(last, c.last_lbn);
        EXPECT_EQ(len, c.block_len);
    }
    // CDROM_TOC_SESSION_DATA: the first track descriptor's address is bytes 8-11.
    uint8_t out[12] = {0, 10, 1, 2, 0, 0x14, 3, 0, 0x80, 0x00, 0x2E, 0xE0};
    EXPECT_EQ(ParseLastSession(out, 12), (int32_t)0x80002EE0);
    EXPECT_EQ(ParseLastSession(out, 11), -1);
}
