// CloneCD images: the builder's .ccd/.img/.sub of each layout serve what
// its BIN/CUE serves, the recorded full TOC is answered as recorded, and
// broken descriptors are refused or served in part.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ccd.h"
#include "external_tools.h"
#include "image_compare.h"
#include "toc.h"

namespace {

struct CcdFiles : ::testing::Test {
    std::string dir = MakeTempDir("ccd") + "/";
    void TearDown() override { RemoveTempDir(dir.substr(0, dir.size() - 1)); }
};

TEST_F(CcdFiles, BuiltLayoutsServeWhatTheirCueServes)
{
    for (const char* script : {kLayoutSingle, kLayoutMixed, kLayoutMulti}) {
        for (bool sub : {false, true}) {
            DiscWriteOptions o;
            o.subchannel = sub;
            std::string error;
            unlink((dir + "ccd/x.sub").c_str());
            ASSERT_TRUE(WriteLayoutPair(script, dir, "ccd", o, &error)) << error;
            EXPECT_EQ("", CompareImages(dir + "cue/x.cue", dir + "ccd/x.ccd")) << script << sub;
            Disc disc;
            char err[256];
            ASSERT_TRUE(DiscOpen((dir + "ccd/x.img").c_str(), &disc, err, sizeof err)) << err;  // finds its .ccd
            EXPECT_FALSE(disc.recorded_toc.empty());
            EXPECT_EQ(sub, disc.tracks.back().has_sub);
            DiscClose(&disc);
        }
    }
    // Debian's ccd2iso extracts the data track our reader serves.
    std::string error, out;
    ASSERT_TRUE(WriteLayoutPair(kLayoutSingle, dir, "ccd", DiscWriteOptions(), &error)) << error;
    if (ToolAvailable("ccd2iso")) {
        EXPECT_EQ(0, RunCommand("ccd2iso " + ShellQuote(dir + "ccd/x.img") + " " + ShellQuote(dir + "y.iso"), &out));
        EXPECT_EQ("", CompareImages(dir + "ccd/x.ccd", dir + "y.iso"));
    }
}

std::string Entry(int n, int session, int point, int adr, int control, int pmin, int psec, int pframe)
{
    char text[200];
    snprintf(text, sizeof text,
             "[Entry %d]\nSession=%d\nPoint=0x%x\nADR=0x%02x\nControl=0x%02x\nTrackNo=0\nAMin=0\nASec=0\n"
             "AFrame=0\nZero=0\nPMin=%d\nPSec=%d\nPFrame=%d\n",
             n, session, point, adr, control, pmin, psec, pframe);
    return text;
}

// A single-session disc of one 20-block data track, with a C0 entry the
// drive would not report: answered as recorded.
std::string Sheet(int entries = 5, const std::string& extra = "")
{
    return "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=" + std::to_string(entries) + "\nSessions=1\n" +
           Entry(0, 1, 0xA0, 1, 4, 1, 0x20, 0) + Entry(1, 1, 0xA1, 1, 4, 1, 0, 0) + Entry(2, 1, 0xA2, 1, 4, 0, 2, 20) +
           Entry(3, 1, 1, 1, 4, 0, 2, 0) + Entry(4, 1, 0xC0, 5, 4, 97, 26, 66) + extra + "[TRACK 1]\nMODE=2\nINDEX 1=0\n";
}

TEST_F(CcdFiles, RecordedTocIsAnsweredAsRecorded)
{
    std::vector<uint8_t> img(20 * kRawSectorSize);
    for (int i = 0; i < 20; ++i) BuildRawSector(&img[(size_t)i * kRawSectorSize], i, kSectorMode2Form1, nullptr, nullptr);
    ASSERT_TRUE(WriteFileBytes(dir + "r.img", img.data(), img.size()));
    ASSERT_TRUE(WriteFileText(dir + "r.ccd", Sheet()));
    Disc disc;
    char err[256];
    ASSERT_TRUE(DiscOpen((dir + "r.ccd").c_str(), &disc, err, sizeof err)) << err;
    std::vector<uint8_t> toc;
    ASSERT_TRUE(BuildTocResponse(disc, kTocFormatFull, true, 0, &toc));
    const uint8_t expect[] = {
        0x00, 0x39, 1, 1,                                   // 4 + 5 x 11 bytes
        1, 0x14, 0, 0xA0, 0, 0, 0, 0, 0x01, 0x20, 0x00,     // first track 1, disc type 0x20 as a byte
        1, 0x14, 0, 0xA1, 0, 0, 0, 0, 0x01, 0x00, 0x00,
        1, 0x14, 0, 0xA2, 0, 0, 0, 0, 0x00, 0x02, 0x20,     // lead-out 00:02:20 in BCD
        1, 0x14, 0, 0x01, 0, 0, 0, 0, 0x00, 0x02, 0x00,
        1, 0x54, 0, 0xC0, 0, 0, 0, 0, 0x97, 0x26, 0x66,
    };
    EXPECT_EQ(std::vector<uint8_t>(expect, expect + sizeof expect), toc);
    EXPECT_EQ(20, DiscLeadout(disc));
    EXPECT_TRUE(disc.sessions[0].xa);
    DiscClose(&disc);
}

TEST_F(CcdFiles, BrokenDescriptorsAreRefusedOrServedInPart)
{
    std::vector<uint8_t> img(10 * kRawSectorSize, 0x44);
    ASSERT_TRUE(WriteFileBytes(dir + "b.img", img.data(), img.size()));
    struct Case { std::string text, message; } cases[] = {
        {Sheet(4), "entry 4 is out of range (TocEntries=4)"},
        {Sheet(6), "[Entry 5] is missing"},
        {Sheet(5, Entry(2, 1, 0xA2, 1, 4, 0, 2, 20)), "entry 2 is given twice"},
        {"[CloneCD]\n[Disc]\nTocEntries=99999\n", "TOCENTRIES=99999 is out of range"},
        {"[Disc]\nTocEntries=1\n" + Entry(0, 1, 1, 1, 4, 0, 2, 0), "not a CloneCD file"},
        {"[CloneCD]\n[Entry 0]\nSession=1\n", "before [Disc]"},
        {"[CloneCD]\n[Disc]\nTocEntries=1\n" + Entry(0, 1, 1, 1, 4, 0, 2, 0), "session 1 has no lead-out"},
        {"[CloneCD]\n[Disc]\nTocEntries=2\n" + Entry(0, 1, 1, 1, 4, 0, 2, 0) + Entry(1, 1, 0xA2, 1, 4, 120, 2, 0),
         "not a BCD value"},
        {"[CloneCD]\n[Disc]\nTocEntries=2\n" + Entry(0, 1, 1, 1, 4, 0, 3, 0) + Entry(1, 1, 0xA2, 1, 4, 0, 2, 50),
         "track 1 starts outside its session"},
        {"[CloneCD]\n[Disc]\nTocEntries=2\n" + Entry(0, 0, 1, 1, 4, 0, 2, 0) + Entry(1, 1, 0xA2, 1, 4, 0, 2, 50),
         "names session 0"},
        {"[CloneCD]\n[Disc]\nTocEntries=1\n[Entry 0]\nPMin=300\n", "PMIN=300 is not a byte"},
        {"[CloneCD]\n[TRACK 100]\n", "track 100 is out of range"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileText(dir + "b.ccd", c.text));
        Disc disc;
        char err[256];
        EXPECT_FALSE(DiscOpen((dir + "b.ccd").c_str(), &disc, err, sizeof err)) << c.message;
        EXPECT_NE(std::string::npos, std::string(err).find(c.message)) << err;
        EXPECT_NE(std::string::npos, std::string(err).find("b.ccd")) << err;
    }
    // No .img: refused; an .img shorter than the lead-out: its blocks served, the rest fail.
    ASSERT_TRUE(WriteFileText(dir + "none.ccd", Sheet()));
    Disc disc;
    char err[256];
    EXPECT_FALSE(DiscOpen((dir + "none.ccd").c_str(), &disc, err, sizeof err));
    EXPECT_NE(std::string::npos, std::string(err).find("none.img")) << err;
    ASSERT_TRUE(WriteFileText(dir + "b.ccd", Sheet()));
    ASSERT_TRUE(DiscOpen((dir + "b.ccd").c_str(), &disc, err, sizeof err)) << err;
    uint8_t raw[kRawSectorSize];
    SectorType type;
    EXPECT_EQ(kDiscReadOk, DiscReadRaw(disc, 9, raw, &type));
    EXPECT_EQ(kDiscReadIoError, DiscReadRaw(disc, 10, raw, &type));
    EXPECT_EQ(kDiscReadOutOfRange, DiscReadRaw(disc, 20, raw, &type));
    DiscClose(&disc);
}

}  // namespace
