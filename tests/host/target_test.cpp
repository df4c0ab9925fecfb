// SCSI target: commands and sense data, READ TOC bytes laid out by hand,
// reads at each block length, transfer lengths that do not match, eject.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "cdb.h"
#include "external_tools.h"
#include "sectorcheck.h"
#include "target.h"

namespace {

// Session 1: track 1 MODE1/2048 (20 blocks), track 2 AUDIO (10 blocks).
// Session 2: track 3 MODE2/2352 (3 Form 1 blocks, 2 Form 2 blocks) at 30 + 11400.
class TargetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = MakeTempDir("target");
        ASSERT_FALSE(dir_.empty());
        dir_ += "/";
        data_.resize(20 * 2048);
        for (size_t i = 0; i < data_.size(); ++i) data_[i] = (uint8_t)(i * 13 + i / 2048);
        xa_.resize(5 * 2352);
        std::vector<uint8_t> user(2352, 0x3C);
        for (int i = 0; i < 5; ++i) {
            uint8_t sub[4] = {0, 0, (uint8_t)(i < 3 ? 0x08 : 0x20), 0};
            BuildRawSector(&xa_[i * 2352], 11430 + i, i < 3 ? kSectorMode2Form1 : kSectorMode2Form2, user.data(), sub);
        }
        const std::vector<uint8_t> audio(10 * 2352, 0xA5);
        ASSERT_TRUE(WriteFileBytes(dir_ + "a.bin", data_.data(), data_.size()) &&
                    WriteFileBytes(dir_ + "b.bin", audio.data(), audio.size()) &&
                    WriteFileBytes(dir_ + "c.bin", xa_.data(), xa_.size()) &&
                    WriteFileText(dir_ + "disc.cue",
                                  "FILE a.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
                                  "FILE b.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"
                                  "REM SESSION 02\nFILE c.bin BINARY\nTRACK 03 MODE2/2352\nINDEX 01 00:00:00\n"));
        char err[256];
        ASSERT_TRUE(DiscOpen((dir_ + "disc.cue").c_str(), &disc_, err, sizeof err)) << err;
        TargetInit(&target_, &disc_);
    }
    void TearDown() override
    {
        DiscClose(&disc_);
        RemoveTempDir(dir_.substr(0, dir_.size() - 1));
    }
    int Run(std::vector<uint8_t> cdb, uint8_t* data, uint32_t len)
    {
        memset(sense_, 0xEE, sizeof sense_);
        return TargetExecute(&target_, cdb.data(), (uint32_t)cdb.size(), data, len, sense_, 24);
    }
    int SetBlock(uint32_t length)
    {
        uint8_t list[12] = {0, 0, 0, 8, 0, 0, 0, 0, 0, (uint8_t)(length >> 16), (uint8_t)(length >> 8), (uint8_t)length};
        return Run({0x15, 0x10, 0, 0, 12, 0}, list, sizeof list);
    }
    std::string dir_;
    std::vector<uint8_t> data_, xa_;
    Disc disc_;
    Target target_;
    uint8_t sense_[32];
};

std::vector<uint8_t> Read10(uint32_t lba, uint16_t count)
{
    uint8_t cdb[kCdbAreaSize];
    return std::vector<uint8_t>(cdb, cdb + BuildRead10(cdb, (int32_t)lba, count));
}

TEST_F(TargetTest, CommandsAndTheirSense)
{
    // Every failure here is ILLEGAL REQUEST; asc 0: the command succeeds.
    struct Case {
        const char* what;
        uint32_t block;  // block length set first
        std::vector<uint8_t> cdb;
        uint32_t data_len;
        uint8_t asc;
    } cases[] = {
        {"unknown opcode", 2048, {0x12, 0, 0, 0, 36, 0}, 36, 0x20},
        {"read 0 blocks", 2048, Read10(0, 0), 0, 0},
        {"buffer smaller than the blocks", 2048, Read10(0, 2), 4095, 0x24},
        {"read audio at 2048", 2048, Read10(20, 1), 2048, 0x64},
        {"read the lead-out", 2048, Read10(30, 1), 2048, 0x21},
        {"mode select 2336", 2048, {0x15, 0x10, 0, 0, 12, 0}, 12, 0x26},
        {"mode select list longer than buffer", 2048, {0x15, 0x10, 0, 0, 200, 0}, 12, 0x24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TargetInit(&target_, &disc_);
        ASSERT_EQ(0, SetBlock(c.block));
        std::vector<uint8_t> data(c.data_len + 1, 0xCD);  // one guard byte
        std::vector<uint8_t> cdb = c.cdb;
        uint8_t list[12] = {0, 0, 0, 8, 0, 0, 0, 0, 0, 0x00, 0x09, 0x20};
        if (cdb[0] == 0x15) memcpy(data.data(), list, sizeof list);
        EXPECT_EQ(c.asc ? 2 : 0, Run(cdb, data.data(), c.data_len));
        EXPECT_EQ(0xCD, data[c.data_len]);
        if (c.asc) {
            // Fixed format: response code, sense key, additional length, ASC, ASCQ.
            EXPECT_EQ(0x70, sense_[0] & 0x7F);
            EXPECT_EQ((std::vector<uint8_t>{5, 10, c.asc, 0}),
                      (std::vector<uint8_t>{sense_[2], sense_[7], sense_[12], sense_[13]}));
        } else {
            EXPECT_EQ(std::vector<uint8_t>(24, 0), std::vector<uint8_t>(sense_, sense_ + 24));
        }
        EXPECT_EQ(0xEE, sense_[24]);  // sense writes stop at the length given
    }
}

TEST_F(TargetTest, ReadsAtEachBlockLength)
{
    std::vector<uint8_t> buf(2 * 2352);
    ASSERT_EQ(0, Run(Read10(3, 2), buf.data(), 2 * 2048));
    EXPECT_EQ(0, memcmp(buf.data(), &data_[3 * 2048], 2 * 2048));

    // 2352-byte reads: vcd_readback_test; 2340: isoinfo_compare_test.
    ASSERT_EQ(0, SetBlock(2048));
    ASSERT_EQ(0, Run(Read10(11430, 1), buf.data(), 2048));
    EXPECT_EQ(0, memcmp(buf.data(), &xa_[24], 2048));

    // A read that meets an unreadable block reports it in the information field.
    ASSERT_EQ(2, Run(Read10(18, 3), buf.data(), 3 * 2048));
    EXPECT_EQ(0, memcmp(sense_, "\xF0\x00\x05\x00\x00\x00\x14", 7));  // valid, LBA 20
}

TEST_F(TargetTest, CapacityLastSessionAndTrackToc)
{
    std::vector<uint8_t> buf(4096, 0xCD);
    ASSERT_EQ(0, Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, buf.data(), 8));
    const uint8_t cap[8] = {0x00, 0x00, 0x2C, 0xAA, /* last LBA 11434 */ 0x00, 0x00, 0x08, 0x00 /* 2048 */};
    EXPECT_EQ(0, memcmp(buf.data(), cap, 8));
    int32_t lba = 0;
    ASSERT_TRUE(TargetLastSessionStart(&target_, &lba));
    EXPECT_EQ(11430, lba);

    ASSERT_EQ(0, Run({0x43, 2, 0, 0, 0, 0, 1, 0x10, 0, 0x00}, buf.data(), 4096));
    const uint8_t want[] = {
        0x00, 0x22, 0x01, 0x03,                          // length 34, tracks 1-3
        0x00, 0x14, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,  // track 1 data at 00:02:00
        0x00, 0x10, 0x02, 0x00, 0x00, 0x00, 0x02, 0x14,  // track 2 audio at 00:02:20
        0x00, 0x14, 0x03, 0x00, 0x00, 0x02, 0x22, 0x1E,  // track 3 at 11430 + 150 = 02:34:30
        0x00, 0x14, 0xAA, 0x00, 0x00, 0x02, 0x22, 0x23,  // lead-out 02:34:35
    };
    EXPECT_EQ(0, memcmp(buf.data(), want, sizeof want));
    EXPECT_EQ(0xCD, buf[sizeof want]);
}

TEST_F(TargetTest, FullTocOfTwoSessionsInBcd)
{
    std::vector<uint8_t> buf(4096, 0xCD);
    ASSERT_EQ(0, Run({0x43, 2, 0, 0, 0, 0, 1, 0x10, 0, 0x80}, buf.data(), 4096));
    const uint8_t want[] = {
        0x00, 0x7B, 0x01, 0x02,  // 11 descriptors, sessions 1-2
        // session ADR/CTL TNO POINT MIN SEC FRAME ZERO PMIN PSEC PFRAME
        0x01, 0x14, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,  // first track 1, CD-ROM
        0x01, 0x10, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,  // last track 2
        0x01, 0x10, 0x00, 0xA2, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x30,  // lead-out 00:02:30
        0x01, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00,
        0x01, 0x10, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x20,
        0x01, 0x54, 0x00, 0xB0, 0x02, 0x32, 0x30, 0x02, 0x79, 0x59, 0x74,  // next area 02:32:30
        0x01, 0x54, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x97, 0x26, 0x66,
        0x02, 0x14, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x03, 0x20, 0x00,  // first track 3, CD-ROM XA
        0x02, 0x14, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00,
        0x02, 0x14, 0x00, 0xA2, 0x00, 0x00, 0x00, 0x00, 0x02, 0x34, 0x35,
        0x02, 0x14, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x02, 0x34, 0x30,
    };
    ASSERT_EQ(0, memcmp(buf.data(), want, sizeof want));
    EXPECT_EQ(0xCD, buf[sizeof want]);
}

// A cut image keeps its partial last block: capacity and lead-out count it,
// every whole block reads, the partial one is an unrecoverable read error.
TEST_F(TargetTest, CutImagesServeEveryWholeBlock)
{
    std::vector<uint8_t> raw(3 * 2352);
    for (int i = 0; i < 3; ++i) BuildRawSector(&raw[i * 2352], i, kSectorMode1, &data_[i * 2048], nullptr);
    struct Case { const char* name; std::vector<uint8_t> bytes; int32_t blocks; } cases[] = {
        {"cut.iso", {data_.begin(), data_.begin() + 3 * 2048 + 1000}, 4},
        {"cut.bin", {raw.begin(), raw.end() - 1000}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir_ + c.name;
        ASSERT_TRUE(WriteFileBytes(path, c.bytes.data(), c.bytes.size()));
        Disc disc;
        char err[256];
        ASSERT_TRUE(DiscOpen(path.c_str(), &disc, err, sizeof err)) << err;
        TargetInit(&target_, &disc);
        std::vector<uint8_t> buf(4096);
        ASSERT_EQ(0, Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, buf.data(), 8));
        EXPECT_EQ(c.blocks - 1, (int32_t)(buf[2] << 8 | buf[3]));
        ASSERT_EQ(0, Run({0x43, 0, 0, 0, 0, 0, 1, 0x10, 0, 0}, buf.data(), 4096));
        EXPECT_EQ(c.blocks, (int32_t)(buf[18] << 8 | buf[19]));  // lead-out address
        ASSERT_EQ(0, Run(Read10(c.blocks - 2, 1), buf.data(), 2048));
        EXPECT_EQ(0, memcmp(buf.data(), &data_[(c.blocks - 2) * 2048], 2048));
        ASSERT_EQ(2, Run(Read10(c.blocks - 1, 1), buf.data(), 2048));
        EXPECT_EQ((std::vector<uint8_t>{0xF0, 3, (uint8_t)(c.blocks - 1), 0x11, 0}),
                  (std::vector<uint8_t>{sense_[0], sense_[2], sense_[6], sense_[12], sense_[13]}));
        DiscClose(&disc);
    }
    TargetInit(&target_, &disc_);
}

// The longest disc a TOC can describe: READ CAPACITY and the full TOC's
// lead-out (99:59:74) agree.
TEST_F(TargetTest, LongestDiscTocAndCapacityAgree)
{
    ASSERT_TRUE(WriteFileText(dir_ + "long.cue", "FILE b.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                                 "POSTGAP 99:57:64\n"));
    Disc disc;
    char err[256];
    ASSERT_TRUE(DiscOpen((dir_ + "long.cue").c_str(), &disc, err, sizeof err)) << err;
    TargetInit(&target_, &disc);
    std::vector<uint8_t> buf(4096);
    ASSERT_EQ(0, Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, buf.data(), 8));
    ASSERT_EQ(0, Run({0x43, 2, 0, 0, 0, 0, 1, 0x10, 0, 0x80}, buf.data() + 8, 4088));
    EXPECT_EQ(0, memcmp(buf.data(), "\x00\x06\xDD\x38", 4));          // last LBA 449848
    EXPECT_EQ(0, memcmp(&buf[8 + 4 + 2 * 11 + 8], "\x99\x59\x74", 3));  // A2 in BCD
    DiscClose(&disc);
    TargetInit(&target_, &disc_);
}

}  // namespace
