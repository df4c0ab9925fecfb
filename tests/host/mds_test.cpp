// Alcohol images: the builder's .mds/.mdf of each layout serve what its
// BIN/CUE serves, Debian's mdf2iso extracts the same data track, and
// descriptors whose fields point anywhere are refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "external_tools.h"
#include "image_compare.h"
#include "mds.h"

namespace {

struct MdsFiles : ::testing::Test {
    std::string dir = MakeTempDir("mds") + "/";
    void TearDown() override { RemoveTempDir(dir.substr(0, dir.size() - 1)); }
};

TEST_F(MdsFiles, BuiltLayoutsServeWhatTheirCueServes)
{
    struct Case { const char* script; int mode1, mode2; bool sub; } cases[] = {
        {kLayoutSingle, kUserDataSize, kRawSectorSize, false}, {kLayoutSingle, kRawSectorSize, kRawSectorSize, true},
        {kLayoutMixed, kRawSectorSize, kMode2DataSize, false}, {kLayoutMixed, kRawSectorSize, kRawSectorSize, true},
        {kLayoutMulti, kRawSectorSize, kRawSectorSize, false},
    };
    for (const Case& c : cases) {
        DiscWriteOptions o;
        o.mode1_size = c.mode1, o.mode2_size = c.mode2, o.subchannel = c.sub;
        std::string error;
        ASSERT_TRUE(WriteLayoutPair(c.script, dir, "mds", o, &error)) << error;
        EXPECT_EQ("", CompareImages(dir + "cue/x.cue", dir + "mds/x.mds")) << c.script << c.mode1 << c.mode2 << c.sub;
        EXPECT_EQ("", CompareImages(dir + "cue/x.cue", dir + "mds/x.mdf")) << "the .mdf finds its .mds";
    }
    std::string error, out;
    ASSERT_TRUE(WriteLayoutPair(kLayoutSingle, dir, "mds", DiscWriteOptions(), &error)) << error;
    if (ToolAvailable("mdf2iso")) {
        EXPECT_EQ(0, RunCommand("mdf2iso " + ShellQuote(dir + "mds/x.mdf") + " " + ShellQuote(dir + "y.iso"), &out));
        EXPECT_EQ("", CompareImages(dir + "mds/x.mds", dir + "y.iso"));
    }
}

TEST_F(MdsFiles, HostileDescriptorsAreRefused)
{
    std::string error;
    ASSERT_TRUE(WriteLayoutPair(kLayoutMixed, dir, "mds", DiscWriteOptions(), &error)) << error;
    std::vector<uint8_t> good;
    ASSERT_TRUE(ReadFileBytes(dir + "mds/x.mds", &good));
    const size_t session = get_le32(&good[0x50]), blocks = get_le32(&good[session + 0x14]);
    const size_t track1 = blocks + 3 * kMdsTrackSize, track2 = track1 + kMdsTrackSize;  // after A0, A1, A2
    const size_t extra = get_le32(&good[track1 + 0x0C]), footer = get_le32(&good[track1 + 0x34]);
    struct Case { size_t at; int width; uint32_t value; const char* message; } cases[] = {
        {0, 1, 'X', "no MEDIA DESCRIPTOR"},
        {0x14, 2, 0, "0 sessions"},
        {0x14, 2, 60, "the session blocks lie outside"},
        {0x50, 4, 0xFFFFFFF0u, "the session blocks lie outside"},
        {session + 0x0A, 1, 250, "the track blocks of session 1 lie outside"},
        {session + 0x14, 4, 0x7FFFFFFF, "the track blocks of session 1 lie outside"},
        {track1 + 0x0C, 4, 0xFFFFFFFCu, "the extra block of track 1 lies outside"},
        {track1 + 0x34, 4, (uint32_t)good.size() - 4, "the footer of track 1 lies outside"},
        {footer, 4, (uint32_t)good.size() - 1, "name of track 1 is not a name"},  // empty
        {track1 + 0x10, 2, 2340, "stores 2340-byte sectors"},
        {track1, 1, 0xA3, "unknown mode 0x3"},
        {extra + 4, 4, 0xFFFFFFFFu, "track 1 lies outside the disc"},
        {extra + 4, 4, 400000, "track 2 lies outside the disc"},       // track 1 runs over track 2
        {track2 + 0x04, 1, 1, "track 1 is out of order"},
        {track2 + 0x24, 4, 500000, "track 2 lies outside the disc"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        for (int i = 0; i < c.width; ++i) bad[c.at + (size_t)i] = (uint8_t)(c.value >> (8 * i));
        ASSERT_TRUE(WriteFileBytes(dir + "mds/bad.mds", bad.data(), bad.size()));
        ASSERT_TRUE(WriteFileBytes(dir + "mds/bad.mdf", "x", 1));
        Disc disc;
        char err[256];
        EXPECT_FALSE(DiscOpen((dir + "mds/bad.mds").c_str(), &disc, err, sizeof err)) << c.message;
        EXPECT_NE(std::string::npos, std::string(err).find(c.message)) << err;
        EXPECT_NE(std::string::npos, std::string(err).find("bad.mds")) << err;
        DiscClose(&disc);
    }
    // A missing data file is named; a cut-short one is served as far as it goes.
    ASSERT_TRUE(WriteFileBytes(dir + "mds/alone.mds", good.data(), good.size()));
    Disc disc;
    char err[256];
    EXPECT_FALSE(DiscOpen((dir + "mds/alone.mds").c_str(), &disc, err, sizeof err));
    EXPECT_NE(std::string::npos, std::string(err).find("alone.mdf")) << err;
    ASSERT_EQ(0, truncate((dir + "mds/x.mdf").c_str(), 10 * kRawSectorSize));
    ASSERT_TRUE(DiscOpen((dir + "mds/x.mds").c_str(), &disc, err, sizeof err)) << err;
    uint8_t raw[kRawSectorSize];
    SectorType type;
    EXPECT_EQ(kDiscReadOk, DiscReadRaw(disc, 9, raw, &type));
    EXPECT_EQ(kDiscReadIoError, DiscReadRaw(disc, 10, raw, &type));
    DiscClose(&disc);
}

}  // namespace
