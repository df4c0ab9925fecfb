// cdrdao TOC images: the builder's .toc of each layout serves what its
// BIN/CUE serves, cdrdao's toc2cue agrees, hand-written TOCs lay out their
// pieces, and broken ones are refused or served in part.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "cdrtoc.h"
#include "discbuild.h"
#include "external_tools.h"
#include "image_compare.h"

namespace {

struct TocFiles : ::testing::Test {
    std::string dir = MakeTempDir("cdrtoc") + "/";
    void TearDown() override { RemoveTempDir(dir.substr(0, dir.size() - 1)); }
};

TEST_F(TocFiles, BuiltLayoutsServeWhatTheirCueServes)
{
    struct Case { const char* script; int mode1, mode2; bool sub; } cases[] = {
        {kLayoutSingle, kUserDataSize, kRawSectorSize, false}, {kLayoutSingle, kRawSectorSize, kRawSectorSize, true},
        {kLayoutMixed, kRawSectorSize, kMode2DataSize, false}, {kLayoutMixed, kRawSectorSize, kRawSectorSize, true},
    };
    for (const Case& c : cases) {
        DiscWriteOptions o;
        o.mode1_size = c.mode1, o.mode2_size = c.mode2, o.subchannel = c.sub;
        std::string error;
        ASSERT_TRUE(WriteLayoutPair(c.script, dir, "toc", o, &error)) << error;
        EXPECT_EQ("", CompareImages(dir + "cue/x.cue", dir + "toc/x.toc")) << c.script << c.mode1 << c.mode2 << c.sub;
        if (ToolAvailable("cdrdao")) {
            // cdrdao reads the file without complaint and puts each track where we do.
            std::string out;
            RunCommand("cdrdao show-toc " + ShellQuote(dir + "toc/x.toc"), &out);
            EXPECT_EQ(std::string::npos, out.find("ERROR")) << out;
            Disc disc;
            char err[256];
            ASSERT_TRUE(DiscOpen((dir + "toc/x.toc").c_str(), &disc, err, sizeof err)) << err;
            size_t track = 0;
            for (size_t p = out.find("START "); p != std::string::npos; p = out.find("START ", p + 1), ++track) {
                if (track < disc.tracks.size()) {
                    EXPECT_EQ(disc.tracks[track].start, atoi(out.c_str() + out.find('(', p) + 1)) << out;
                }
            }
            EXPECT_EQ(disc.tracks.size(), track) << out;
            DiscClose(&disc);
        }
        if (ToolAvailable("toc2cue") && !c.sub) {
            // toc2cue keeps the big-endian audio of the .bin under a cue sheet.
            std::string out;
            EXPECT_EQ(0, RunCommand("toc2cue " + ShellQuote(dir + "toc/x.toc") + " " + ShellQuote(dir + "toc/y.cue"), &out));
            ImageCompareOptions swapped;
            swapped.swap_audio = true;
            EXPECT_EQ("", CompareImages(dir + "toc/x.toc", dir + "toc/y.cue", swapped)) << out;
        }
    }
    std::string error;
    EXPECT_FALSE(MakeDiscImage(kLayoutMulti, dir + "m.toc", DiscWriteOptions(), &error));
    EXPECT_NE(std::string::npos, error.find("one session"));
}

TEST_F(TocFiles, PiecesGapsAndModesLayOut)
{
    std::vector<uint8_t> data(10 * kUserDataSize, 0x11), audio(4 + 4 * kRawSectorSize), form2(3 * kForm2UserDataSize, 0x22);
    for (size_t i = 0; i < audio.size(); ++i) audio[i] = (uint8_t)i;
    ASSERT_TRUE(WriteFileBytes(dir + "d.bin", data.data(), data.size()));
    ASSERT_TRUE(WriteFileBytes(dir + "a.raw", audio.data(), audio.size()));
    ASSERT_TRUE(WriteFileBytes(dir + "f2.bin", form2.data(), form2.size()));
    // Named .img: recognised by its text.
    ASSERT_TRUE(WriteFileText(dir + "disc.img",
                              "// made by hand\nCD_ROM_XA\nCATALOG \"0000000000000\"\nCD_TEXT { LANGUAGE_MAP { 0 : EN } }\n"
                              "TRACK MODE1\nDATAFILE \"d.bin\" 00:00:10\n"
                              "TRACK AUDIO\nCOPY\nSILENCE 00:00:03\nFILE \"a.raw\" #4 0 00:00:04 START 00:00:02\n"
                              "SILENCE 588\nTRACK MODE2_FORM1\nPREGAP 00:00:02\nDATAFILE \"d.bin\" #2048 8192\n"
                              "TRACK MODE2_FORM2 RW\nDATAFILE \"f2.bin\"\nINDEX 00:00:01\n"));
    Disc disc;
    char err[256];
    ASSERT_TRUE(DiscOpen((dir + "disc.img").c_str(), &disc, err, sizeof err)) << err;
    struct Expect { int32_t pregap_start, start, end, stored_first, stored_count; uint64_t offset; uint8_t control; } expect[] = {
        {0, 0, 10, 0, 10, 0, 4}, {10, 12, 18, 13, 4, 4, 2}, {18, 20, 24, 20, 4, 2048, 4},
        {24, 24, 27, 24, 3, 0, 4},  // 3 x 2324 bytes in blocks of 2324 + 96: 3 blocks, the last partial
    };
    ASSERT_EQ(4u, disc.tracks.size());
    for (int i = 0; i < 4; ++i) {
        const DiscTrack& t = disc.tracks[i];
        const Expect& e = expect[i];
        EXPECT_EQ(e.pregap_start, t.pregap_start) << i;
        EXPECT_EQ(e.start, t.start) << i;
        EXPECT_EQ(e.end, t.end) << i;
        EXPECT_EQ(e.stored_first, t.stored_first) << i;
        EXPECT_EQ(e.stored_count, t.stored_count) << i;
        EXPECT_EQ(e.offset, t.file_offset) << i;
        EXPECT_EQ(e.control, t.control) << i;
    }
    EXPECT_TRUE(disc.sessions[0].xa);
    EXPECT_TRUE(disc.tracks[3].has_sub && disc.tracks[3].sub_stride == kForm2UserDataSize + kCdrSubchannelSize);
    uint8_t raw[kRawSectorSize];
    SectorType type;
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 13, raw, &type));  // big-endian samples turned around
    EXPECT_EQ(kSectorAudio, type);
    EXPECT_EQ(5, raw[0]);
    EXPECT_EQ(4, raw[1]);
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 21, raw, &type));
    EXPECT_EQ(kSectorMode2Form1, type);
    EXPECT_EQ(kSubmodeData, raw[kSubmodeOffset]);
    EXPECT_EQ(0x11, raw[kXaUserDataOffset]);
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 25, raw, &type));
    EXPECT_EQ(kSectorMode2Form2, type);
    EXPECT_EQ(0x22, raw[kXaUserDataOffset]);
    DiscClose(&disc);
}

TEST_F(TocFiles, BrokenTocsAreRefusedOrServedInPart)
{
    std::vector<uint8_t> data(10 * kUserDataSize, 0x33);
    ASSERT_TRUE(WriteFileBytes(dir + "d.bin", data.data(), data.size()));
    ASSERT_EQ(0, mkfifo((dir + "fifo").c_str(), 0600));
    std::string many;
    for (int i = 0; i < 100; ++i) many += "TRACK MODE1 DATAFILE \"d.bin\"\n";
    struct Case { std::string text, message; } cases[] = {
        {"TRACK MODE1\nDATAFILE \"gone.bin\"\n", "line 2: cannot open \"gone.bin\""},
        {"TRACK MODE1\nDATAFILE \"d.bin\" #99999999\n", "line 2: the data starts past the end"},
        {"TRACK MODE1\nDATAFILE \"d.bin\n", "line 2: unterminated string"},
        {many, "line 100: more than 99 tracks"},
        {"TRACK MODE1\nZERO 00:00:05\nDATAFILE \"d.bin\"\nSTART 00:01:00\n", "line 4: the pregap is longer"},
        {"TRACK MODE1\nDATAFILE \"d.bin\" 4096\nZERO 1\nDATAFILE \"d.bin\" #4096\n", "line 4: track 01 takes its data from several"},
        {"TRACK MODE1\nZERO 999:59:74\nDATAFILE \"d.bin\"\n", "past 99:59:74"},
        {"TRACK MODE1\nDATAFILE \"d.bin\" 999999999999999\n", "past 99:59:74"},
        {"TRACK MODE3\n", "line 1: unknown track mode"},
        {"CD_TEXT { { }\nTRACK AUDIO\n", "closing }"},
        {"TRACK AUDIO\nFILE \"a.wav\" 0\n", "WAVE audio"},
        {"TRACK MODE1\nFIFO \"/dev/zero\" 100\n", "FIFO"},
        {"TRACK MODE1\nSTART 00:00:01\n", "the pregap is longer"},
        {"TRACK MODE1\nDATAFILE \"fifo\"\n", "cannot open \"fifo\" (not a regular file)"},  // would block
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileText(dir + "bad.toc", c.text));
        Disc disc;
        char err[256];
        EXPECT_FALSE(DiscOpen((dir + "bad.toc").c_str(), &disc, err, sizeof err)) << c.message;
        EXPECT_NE(std::string::npos, std::string(err).find(c.message)) << err;
        EXPECT_NE(std::string::npos, std::string(err).find("bad.toc")) << err;
    }
    // A data file shorter than the TOC says: its blocks are served, the rest fail.
    ASSERT_TRUE(WriteFileText(dir + "short.toc", "TRACK MODE1\nDATAFILE \"d.bin\" 00:00:20\n"));
    Disc disc;
    char err[256];
    ASSERT_TRUE(DiscOpen((dir + "short.toc").c_str(), &disc, err, sizeof err)) << err;
    uint8_t raw[kRawSectorSize];
    SectorType type;
    EXPECT_EQ(20, DiscLeadout(disc));
    EXPECT_EQ(kDiscReadOk, DiscReadRaw(disc, 9, raw, &type));
    EXPECT_EQ(kDiscReadIoError, DiscReadRaw(disc, 10, raw, &type));
    DiscClose(&disc);
}

}  // namespace
