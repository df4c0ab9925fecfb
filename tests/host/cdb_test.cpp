#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "cdb.h"

namespace {

// The CDB area pre-filled with a marker so that bytes past the command's
// length can be checked as untouched.
struct CdbArea {
    uint8_t bytes[kCdbAreaSize];
    CdbArea() { memset(bytes, 0xEE, sizeof bytes); }
    std::vector<uint8_t> Sent(int len) const { return std::vector<uint8_t>(bytes, bytes + len); }
    bool RestUntouched(int len) const
    {
        for (int i = len; i < kCdbAreaSize; ++i)
            if (bytes[i] != 0xEE)
                return false;
        return true;
    }
};

using Bytes = std::vector<uint8_t>;

}  // namespace

TEST(Cdb, SixByteCommands)
{
    CdbArea a;
    ASSERT_EQ(BuildTestUnitReady(a.bytes), 6);
    EXPECT_EQ(a.Sent(6), (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(a.RestUntouched(6));

    CdbArea e;
    ASSERT_EQ(BuildEject(e.bytes), 6);
    EXPECT_EQ(e.Sent(6), (Bytes{0x1B, 0x00, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_TRUE(e.RestUntouched(6));
}

TEST(Cdb, ReadCapacity)
{
    CdbArea a;
    ASSERT_EQ(BuildReadCapacity(a.bytes), 10);
    EXPECT_EQ(a.Sent(10), (Bytes{0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(a.RestUntouched(10));
}

TEST(Cdb, ReadToc)
{
    struct Case {
        uint32_t alloc_len, format;
        Bytes want;
    } cases[] = {
        {4096, 2, {0x43, 0x02, 0, 0, 0, 0, 0x01, 0x10, 0x00, 0x80}},  // full TOC
        {4096, 0, {0x43, 0x02, 0, 0, 0, 0, 0x01, 0x10, 0x00, 0x00}},  // track TOC
        {65535, 3, {0x43, 0x02, 0, 0, 0, 0, 0x01, 0xFF, 0xFF, 0xC0}},
        {0, 1, {0x43, 0x02, 0, 0, 0, 0, 0x01, 0x00, 0x00, 0x40}},
        // Only the low 16 bits of the length and the low 2 bits of the format fit.
        {0x12345, 6, {0x43, 0x02, 0, 0, 0, 0, 0x01, 0x23, 0x45, 0x80}},
    };
    for (const Case& c : cases) {
        CdbArea a;
        ASSERT_EQ(BuildReadToc(a.bytes, c.alloc_len, c.format), 10);
        EXPECT_EQ(a.Sent(10), c.want) << c.alloc_len << " format " << c.format;
        EXPECT_TRUE(a.RestUntouched(10));
    }
}

TEST(Cdb, Read10)
{
    struct Case {
        int32_t lbn;
        uint32_t blocks;
        Bytes want;
    } cases[] = {
        {16, 1, {0x28, 0, 0x00, 0x00, 0x00, 0x10, 0, 0x00, 0x01, 0}},
        {-1, 1, {0x28, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0x00, 0x01, 0}},
        {-150, 2, {0x28, 0, 0xFF, 0xFF, 0xFF, 0x6A, 0, 0x00, 0x02, 0}},
        {0x12345678, 0xFFFF, {0x28, 0, 0x12, 0x34, 0x56, 0x78, 0, 0xFF, 0xFF, 0}},
        {INT32_MIN, 0, {0x28, 0, 0x80, 0x00, 0x00, 0x00, 0, 0x00, 0x00, 0}},
        {0, 65536, {0x28, 0, 0x00, 0x00, 0x00, 0x00, 0, 0x00, 0x00, 0}},   // low 16 bits only
        {0, 65537, {0x28, 0, 0x00, 0x00, 0x00, 0x00, 0, 0x00, 0x01, 0}},
    };
    for (const Case& c : cases) {
        CdbArea a;
        ASSERT_EQ(BuildRead10(a.bytes, c.lbn, c.blocks), 10);
        EXPECT_EQ(a.Sent(10), c.want) << c.lbn << " x " << c.blocks;
        EXPECT_TRUE(a.RestUntouched(10));
    }
}

TEST(Cdb, Read10DataLength)
{
    EXPECT_EQ(Read10DataLength(1, 2340), 2340u);
    EXPECT_EQ(Read10DataLength(65535, 2352), 65535u * 2352u);
    EXPECT_EQ(Read10DataLength(65536, 2048), 0u);  // the CDB says 0 blocks
    EXPECT_EQ(Read10DataLength(65537, 2340), 2340u);
    EXPECT_EQ(Read10DataLength(1, -1), 0u);
}

TEST(Cdb, ModeSelectForEachBlockLength)
{
    struct Case {
        int32_t block_len;
        uint8_t b9, b10, b11;
    } cases[] = {
        {2048, 0x00, 0x08, 0x00},
        {2340, 0x00, 0x09, 0x24},
        {2352, 0x00, 0x09, 0x30},
    };
    for (const Case& c : cases) {
        CdbArea a;
        uint8_t params[kModeParamListSize];
        memset(params, 0xEE, sizeof params);
        ASSERT_TRUE(IsSupportedBlockLength(c.block_len));
        ASSERT_EQ(BuildModeSelect(a.bytes, params, c.block_len), 6);
        EXPECT_EQ(a.Sent(6), (Bytes{0x15, 0x10, 0x00, 0x00, 0x0C, 0x00}));
        EXPECT_TRUE(a.RestUntouched(6));
        // Header: data length, medium type, device-specific, descriptor length 8;
        // descriptor: density 0, 3 bytes of block count, reserved, block length.
        EXPECT_EQ(Bytes(params, params + kModeParamListSize),
                  (Bytes{0, 0, 0, 8, 0, 0, 0, 0, 0, c.b9, c.b10, c.b11}))
            << c.block_len;
    }
}

TEST(Cdb, ModeSelectRefusesOtherLengths)
{
    for (int32_t len : {0, -1, 512, 2047, 2336, 2353, 4096, INT32_MIN, INT32_MAX}) {
        EXPECT_FALSE(IsSupportedBlockLength(len)) << len;
        CdbArea a;
        uint8_t params[kModeParamListSize];
        memset(params, 0xEE, sizeof params);
        EXPECT_EQ(BuildModeSelect(a.bytes, params, len), 0) << len;
        EXPECT_TRUE(a.RestUntouched(0));
        for (uint8_t b : params)
            EXPECT_EQ(b, 0xEE);
    }
}

TEST(Cdb, ParseReadCapacity)
{
    struct Case {
        uint8_t resp[8];
        int32_t last_lbn, block_len;
    } cases[] = {
        {{0x00, 0x04, 0xD2, 0xB7, 0x00, 0x00, 0x08, 0x00}, 316087, 2048},
        // Bytes 0 and 4 are not read: a last LBA of 0x01000000 or more loses its top byte.
        {{0x01, 0x00, 0x00, 0x05, 0x00, 0x00, 0x09, 0x30}, 5, 2352},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFF, 0xFFFFFF},
        {{0, 0, 0, 0, 0, 0, 0, 0}, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t last = -7, len = -7;
        ParseReadCapacity(c.resp, &last, &len);
        EXPECT_EQ(last, c.last_lbn);
        EXPECT_EQ(len, c.block_len);
    }
}

TEST(Cdb, ParseLastSession)
{
    uint8_t out[kLastSessionResponseSize] = {};
    // CDROM_TOC_SESSION_DATA: length, first and last session, then the first
    // track descriptor whose address is bytes 8-11.
    out[8] = 0x00; out[9] = 0x00; out[10] = 0x2E; out[11] = 0xE0;
    EXPECT_EQ(ParseLastSession(out, sizeof out), 12000);
    EXPECT_EQ(ParseLastSession(out, 12), 12000);
    EXPECT_EQ(ParseLastSession(out, 11), -1);
    EXPECT_EQ(ParseLastSession(out, 0), -1);
    EXPECT_EQ(ParseLastSession(nullptr, 100), -1);
    out[8] = 0x80;
    EXPECT_EQ(ParseLastSession(out, 12), (int32_t)0x80002EE0);
}
