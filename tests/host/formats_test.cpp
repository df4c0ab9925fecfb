// The image formats besides BIN/CUE. Every one the builder writes serves,
// for each layout and sector size, what the BIN/CUE of the same layout
// serves (READ TOC formats 0 and 2 and every raw block), also when opened by
// its data file's name, and each format's outside tool reads the data we
// serve. Then, per format, what hand-made and hostile descriptors do.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>  // mkfifo
#include <unistd.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "ccd.h"
#include "cdrtoc.h"
#include "image_compare.h"
#include "mds.h"
#include "nrg.h"
#include "toc.h"

namespace {

TEST_F(FormatFiles, BuiltLayoutsServeWhatTheirCueServes)
{
    const int k1 = kUserDataSize, k2 = kMode2DataSize, kRaw = kRawSectorSize;
    const char *single = kLayoutSingle, *mixed = kLayoutMixed, *multi = kLayoutMulti;
    struct Case { const char *ext, *script; int mode1, mode2; bool sub, old; } cases[] = {
        {"toc", single, k1, kRaw, 0, 0}, {"toc", single, kRaw, kRaw, 1, 0}, {"toc", mixed, kRaw, k2, 0, 0},
        {"toc", mixed, kRaw, kRaw, 1, 0}, {"ccd", single, kRaw, kRaw, 0, 0}, {"ccd", single, kRaw, kRaw, 1, 0},
        {"ccd", mixed, kRaw, kRaw, 0, 0}, {"ccd", mixed, kRaw, kRaw, 1, 0}, {"ccd", multi, kRaw, kRaw, 0, 0},
        {"ccd", multi, kRaw, kRaw, 1, 0}, {"mds", single, k1, kRaw, 0, 0}, {"mds", single, kRaw, kRaw, 1, 0},
        {"mds", mixed, kRaw, k2, 0, 0}, {"mds", mixed, kRaw, kRaw, 1, 0}, {"mds", multi, kRaw, kRaw, 0, 0},
        {"nrg", single, k1, kRaw, 0, 0}, {"nrg", single, kRaw, kRaw, 1, 0}, {"nrg", mixed, kRaw, k2, 0, 0},
        {"nrg", mixed, kRaw, kRaw, 1, 1}, {"nrg", multi, kRaw, kRaw, 0, 0}, {"nrg", multi, k1, k2, 0, 1},
    };
    int row = 0;
    for (const Case& c : cases) {
        DiscWriteOptions o;
        o.mode1_size = c.mode1, o.mode2_size = c.mode2, o.subchannel = c.sub, o.nrg_old = c.old;
        const std::string at = dir + std::to_string(row++) + "/", image = at + c.ext + "/x." + c.ext;
        std::string error;
        ASSERT_TRUE(WriteLayoutPair(c.script, at, c.ext, o, &error)) << error;
        EXPECT_EQ("", CompareImages(at + "cue/x.cue", image)) << row;
        // The data file opens the image too; a renamed .nrg is told by its footer.
        const std::string ext = c.ext, data = ext == "ccd" ? "img" : ext == "mds" ? "mdf" : "bin";
        const std::string alias = at + ext + "/x." + data;
        if (ext == "toc") continue;
        if (ext == "nrg") {
            ASSERT_EQ(0, rename(image.c_str(), alias.c_str()));
        }
        EXPECT_EQ("", CompareImages(at + "cue/x.cue", alias)) << row;
    }
    std::string error;
    EXPECT_FALSE(MakeDiscImage(kLayoutMulti, dir + "m.toc", DiscWriteOptions(), &error));
    EXPECT_NE(std::string::npos, error.find("one session"));
}

TEST_F(FormatFiles, OutsideToolsReadWhatWeServe)
{
    // toc2cue keeps the big-endian audio of the .bin under its cue sheet; the
    // others extract the data track. nrg2iso copies all that follows the
    // stored pregap, chunk list included: cut to the data track's size.
    struct Case { const char *tool, *ext, *input, *output, *script; int mode1, mode2; bool swap, cut; } cases[] = {
        {"toc2cue", "toc", "x.toc", "y.cue", kLayoutMixed, kRawSectorSize, kMode2DataSize, true, false},
        {"ccd2iso", "ccd", "x.img", "y.iso", kLayoutSingle, kRawSectorSize, kRawSectorSize, false, false},
        {"mdf2iso", "mds", "x.mdf", "y.iso", kLayoutSingle, kRawSectorSize, kRawSectorSize, false, false},
        {"nrg2iso", "nrg", "x.nrg", "y.iso", kLayoutSingle, kUserDataSize, kRawSectorSize, false, true},
    };
    for (const Case& c : cases) {
        if (!ToolAvailable(c.tool)) continue;
        DiscWriteOptions o;
        o.mode1_size = c.mode1, o.mode2_size = c.mode2;
        const std::string at = dir + c.tool + "/" + c.ext + "/";
        std::string error, out;
        ASSERT_TRUE(WriteLayoutPair(c.script, dir + c.tool, c.ext, o, &error)) << error;
        ASSERT_EQ(0, RunCommand(std::string(c.tool) + " " + ShellQuote(at + c.input) + " " + ShellQuote(at + c.output), &out))
            << out;
        std::vector<uint8_t> bin;  // the cue's .bin: the data track's 2048-byte blocks
        ASSERT_TRUE(!c.cut || (ReadFileBytes(dir + c.tool + "/cue/x.bin", &bin) &&
                               truncate((at + c.output).c_str(), (off_t)bin.size()) == 0));
        EXPECT_EQ("", CompareImages(at + "x." + c.ext, at + c.output, c.swap)) << c.tool << out;
    }
}

// cdrdao TOC images: hand-written TOCs lay out their pieces, and broken ones
// are refused or served in part.
TEST_F(FormatFiles, TocPiecesGapsAndModesLayOut)
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
    // Per track: pregap start, start, end, first stored block, stored blocks, file offset, control.
    // Track 4: 3 x 2324 bytes in blocks of 2324 + 96, so 3 blocks, the last partial.
    std::vector<std::vector<int64_t>> tracks;
    for (const DiscTrack& t : disc.tracks)
        tracks.push_back({t.pregap_start, t.start, t.end, t.stored_first, t.stored_count, (int64_t)t.file_offset, t.control});
    EXPECT_EQ((std::vector<std::vector<int64_t>>{
                  {0, 0, 10, 0, 10, 0, 4}, {10, 12, 18, 13, 4, 4, 2}, {18, 20, 24, 20, 4, 2048, 4}, {24, 24, 27, 24, 3, 0, 4}}),
              tracks);
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

TEST_F(FormatFiles, BrokenTocsAreRefusedOrServedInPart)
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
        {"TRACK MODE1\nDATAFILE \"d.bin\" 999999999999999\n", "past 99:59:74"},
        {"TRACK MODE1\nZERO 00:00:05\nDATAFILE \"d.bin\"\nSTART 00:01:00\n", "line 4: the pregap is longer"},
        {"TRACK MODE3\n", "line 1: unknown track mode"},
        {"TRACK MODE1\nDATAFILE \"fifo\"\n", "cannot open \"fifo\" (not a regular file)"},  // would block
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileText(dir + "bad.toc", c.text));
        EXPECT_EQ("", Refusal(dir + "bad.toc", c.message)) << c.message;
    }
    // A data file shorter than the TOC says: its blocks are served, the rest fail.
    ASSERT_TRUE(WriteFileText(dir + "short.toc", "TRACK MODE1\nDATAFILE \"d.bin\" 00:00:20\n"));
    EXPECT_EQ("0" + std::string(10, '2') + "1", ReadResults(dir + "short.toc", 9, 20));
}

// CloneCD images: the recorded full TOC is answered as recorded, and broken
// descriptors are refused or served in part.
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

TEST_F(FormatFiles, CcdRecordedTocIsAnsweredAsRecorded)
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

TEST_F(FormatFiles, BrokenCcdsAreRefusedOrServedInPart)
{
    std::vector<uint8_t> img(10 * kRawSectorSize, 0x44);
    ASSERT_TRUE(WriteFileBytes(dir + "b.img", img.data(), img.size()));
    struct Case { std::string text, message; } cases[] = {
        {Sheet(4), "entry 4 is out of range (TocEntries=4)"},
        {Sheet(6), "[Entry 5] is missing"},
        {Sheet(5, Entry(2, 1, 0xA2, 1, 4, 0, 2, 20)), "entry 2 is given twice"},
        {"[CloneCD]\n[Disc]\nTocEntries=99999\n", "TOCENTRIES=99999 is out of range"},
        {"[CloneCD]\n[Disc]\nTocEntries=2\n" + Entry(0, 1, 1, 1, 4, 0, 3, 0) + Entry(1, 1, 0xA2, 1, 4, 0, 2, 50),
         "track 1 starts outside its session"},
        {"[CloneCD]\n[Disc]\nTocEntries=1\n[Entry 0]\nPMin=300\n", "PMIN=300 is not a byte"},
        {"[CloneCD]\n[TRACK 100]\n", "track 100 is out of range"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileText(dir + "b.ccd", c.text));
        EXPECT_EQ("", Refusal(dir + "b.ccd", c.message)) << c.message;
    }
    // No .img: refused; an .img shorter than the lead-out: its blocks served, the rest fail.
    ASSERT_TRUE(WriteFileText(dir + "none.ccd", Sheet()));
    EXPECT_EQ("", Refusal(dir + "none.ccd", "none.img"));
    ASSERT_TRUE(WriteFileText(dir + "b.ccd", Sheet()));
    EXPECT_EQ("0" + std::string(10, '2') + "1", ReadResults(dir + "b.ccd", 9, 20));
}

// Offset of the chunk named id in a Nero image, or 0.
size_t FindChunk(const std::vector<uint8_t>& image, const char* id)
{
    size_t chain = (size_t)(((uint64_t)get_be32(&image[image.size() - 8]) << 32) | get_be32(&image[image.size() - 4]));
    for (size_t p = chain; p + 8 <= image.size(); p += 8 + get_be32(&image[p + 4]))
        if (memcmp(&image[p], id, 4) == 0) return p;
    return 0;
}

// Alcohol descriptors (little-endian) and Nero chunk lists (big-endian)
// whose fields overrun, overflow, loop or point anywhere are refused; a
// missing .mdf is named and a short one served as far as it goes.
TEST_F(FormatFiles, HostileMdsAndNrgAreRefused)
{
    std::string error;
    ASSERT_TRUE(WriteLayoutPair(kLayoutMixed, dir, "mds", DiscWriteOptions(), &error)) << error;
    ASSERT_TRUE(WriteLayoutPair(kLayoutMixed, dir, "nrg", DiscWriteOptions(), &error)) << error;
    std::vector<uint8_t> mds, nrg;
    ASSERT_TRUE(ReadFileBytes(dir + "mds/x.mds", &mds) && ReadFileBytes(dir + "nrg/x.nrg", &nrg));
    const size_t session = get_le32(&mds[0x50]), blocks = get_le32(&mds[session + 0x14]);
    const size_t track1 = blocks + 3 * kMdsTrackSize, track2 = track1 + kMdsTrackSize;  // after A0, A1, A2
    const size_t extra = get_le32(&mds[track1 + 0x0C]);
    const size_t end = nrg.size(), cuex = FindChunk(nrg, "CUEX"), daox = FindChunk(nrg, "DAOX");
    const size_t dao1 = daox + 8 + 22, chain = cuex;
    struct Case { bool nero; size_t at; int width; uint64_t value; const char* message; } cases[] = {
        {false, 0, 1, 'X', "no MEDIA DESCRIPTOR"},
        {false, 0x50, 4, 0xFFFFFFF0u, "the session blocks lie outside"},
        {false, session + 0x14, 4, 0x7FFFFFFF, "the track blocks of session 1 lie outside"},
        {false, track1 + 0x34, 4, mds.size() - 4, "the footer of track 1 lies outside"},
        {false, track1, 1, 0xA3, "unknown mode 0x3"},
        {false, extra + 4, 4, 400000, "track 2 lies outside the disc"},  // track 1 runs over track 2
        {false, track2 + 0x04, 1, 1, "track 1 is out of order"},
        {true, end - 12, 4, 0x41424344, "no Nero footer"},
        {true, end - 8, 8, 0xFFFFFFFFFFFFFFF0ull, "points past the chunk list"},
        {true, cuex + 4, 4, 0xFFFFFFF8u, "chunk CUEX at offset"},  // would wrap a 32-bit walk
        {true, daox + 4, 4, 10, "chunk DAOX is too short"},
        {true, daox + 8 + 21, 1, 99, "names tracks 1 to 99, more than it holds"},
        {true, dao1 + 14, 1, 0x55, "unknown mode 0x55"},
        {true, dao1 + 18 + 16, 8, chain + 1, "the data of track 1 lies outside the image data"},  // into the chunks
        {true, cuex + 8 + 16 + 1, 1, 0x42, "track 1 has no cue point"},  // INDEX 01 of track 1 renamed
        {true, cuex + 8 + 16 + 4, 4, 0x7FFFFFF0, "track 1 lies outside the disc"},
    };
    ASSERT_TRUE(WriteFileBytes(dir + "mds/bad.mdf", "x", 1));
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = c.nero ? nrg : mds;
        for (int i = 0; i < c.width; ++i) bad[c.at + (size_t)(c.nero ? c.width - 1 - i : i)] = (uint8_t)(c.value >> (8 * i));
        const std::string path = dir + (c.nero ? "bad.nrg" : "mds/bad.mds");
        ASSERT_TRUE(WriteFileBytes(path, bad.data(), bad.size()));
        EXPECT_EQ("", Refusal(path, c.message)) << c.message;
    }
    ASSERT_TRUE(WriteFileBytes(dir + "mds/alone.mds", mds.data(), mds.size()));
    EXPECT_EQ("", Refusal(dir + "mds/alone.mds", "alone.mdf"));
    ASSERT_EQ(0, truncate((dir + "mds/x.mdf").c_str(), 10 * kRawSectorSize));
    EXPECT_EQ("02", ReadResults(dir + "mds/x.mds", 9, 10));
    // A chain of more chunks than any image has: refused, not walked for ever.
    std::vector<uint8_t> many(nrg.begin(), nrg.begin() + (long)chain);
    for (int i = 0; i < 2000; ++i) many.insert(many.end(), {'M', 'T', 'Y', 'P', 0, 0, 0, 0});
    const uint8_t footer[12] = {'N', 'E', 'R', '5', 0, 0, 0, 0, (uint8_t)(chain >> 24), (uint8_t)(chain >> 16),
                                (uint8_t)(chain >> 8), (uint8_t)chain};
    many.insert(many.end(), footer, footer + sizeof footer);
    ASSERT_TRUE(WriteFileBytes(dir + "many.nrg", many.data(), many.size()));
    EXPECT_EQ("", Refusal(dir + "many.nrg", "more than 1024 chunks"));
}

// Nero track-at-once images list their tracks in ETN2 with start blocks and
// byte ranges, without cue points.
TEST_F(FormatFiles, NrgTrackAtOnceTracksLayOut)
{
    std::vector<uint8_t> image(3 * kUserDataSize + 2 * kRawSectorSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = (uint8_t)(i / 7);
    const uint64_t chain = image.size();
    auto be = [&](uint64_t v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) image.push_back((uint8_t)(v >> (8 * i)));
    };
    image.insert(image.end(), {'E', 'T', 'N', '2'});
    be(2 * 28, 4), be(0, 8), be(3 * kUserDataSize, 8), be(kNrgMode1, 4), be(0, 4), be(0, 4);
    be(3 * kUserDataSize, 8), be(2 * kRawSectorSize, 8), be(kNrgAudio, 4), be(3, 4), be(0, 4);
    image.insert(image.end(), {'E', 'N', 'D', '!', 0, 0, 0, 0, 'N', 'E', 'R', '5'});
    be(chain, 8);
    ASSERT_TRUE(WriteFileBytes(dir + "tao.nrg", image.data(), image.size()));
    Disc disc;
    char err[256];
    ASSERT_TRUE(DiscOpen((dir + "tao.nrg").c_str(), &disc, err, sizeof err)) << err;
    ASSERT_EQ(2u, disc.tracks.size());
    EXPECT_EQ(3, disc.tracks[1].start);
    EXPECT_EQ(5, DiscLeadout(disc));
    EXPECT_EQ(0, disc.tracks[1].control);
    uint8_t raw[kRawSectorSize];
    SectorType type;
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 1, raw, &type));
    EXPECT_EQ(0, memcmp(raw + kDataOffset, &image[kUserDataSize], kUserDataSize));
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 4, raw, &type));
    EXPECT_EQ(0, memcmp(raw, &image[3 * kUserDataSize + kRawSectorSize], kRawSectorSize));
    DiscClose(&disc);
}

}  // namespace
