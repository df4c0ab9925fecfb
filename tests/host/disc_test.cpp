// Disc model: block layout of cue sheets (gaps, several files, sessions),
// raw reads of every kind of track, and refusing broken images.
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "disc.h"
#include "sectorcheck.h"
#include "external_tools.h"

namespace {

// A fresh folder for each test's images, removed afterwards.
struct DiscFiles : ::testing::Test {
    std::string dir = MakeTempDir("disc") + "/";
    void TearDown() override { RemoveTempDir(dir.substr(0, dir.size() - 1)); }
    void Write(const char* name, const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(WriteFileBytes(dir + name, bytes.data(), bytes.size()));
    }
    void WriteText(const char* name, const std::string& text) { ASSERT_TRUE(WriteFileText(dir + name, text)); }
};

// blocks of size bytes; each byte tells its block (seed + block) and position.
std::vector<uint8_t> Pattern(int blocks, uint32_t size, int seed)
{
    std::vector<uint8_t> v((size_t)blocks * size);
    for (size_t i = 0; i < v.size(); ++i) v[i] = (uint8_t)((i / size) * 7 + seed + i % 251);
    return v;
}

// Raw sectors as a drive returns them, so that a 2352 track reads back byte for byte.
std::vector<uint8_t> RawSectors(int blocks, int32_t first_lba, SectorType type)
{
    std::vector<uint8_t> v((size_t)blocks * kRawSectorSize);
    std::vector<uint8_t> user = Pattern(1, kRawSectorSize, first_lba);
    for (int i = 0; i < blocks; ++i) {
        uint8_t sub[4] = {1, 0, (uint8_t)(type == kSectorMode2Form2 ? 0x20 : 0x08), 0};
        user[0] = (uint8_t)i;
        BuildRawSector(&v[(size_t)i * kRawSectorSize], first_lba + i, type, user.data(), sub);
    }
    return v;
}

struct OpenDisc {
    Disc disc;
    char error[512];
    bool ok;
    explicit OpenDisc(const std::string& path) : ok(DiscOpen(path.c_str(), &disc, error, sizeof error)) {}
    ~OpenDisc() { DiscClose(&disc); }
};

TEST_F(DiscFiles, CueLayoutWithGapsFilesAndSessions)
{
    Write("a.bin", Pattern(10, 2048, 1));              // track 1: 10 blocks
    std::vector<uint8_t> b = Pattern(2 + 20, 2352, 2);  // track 2: INDEX 00 2 blocks + 20
    Write("b b.bin", b);
    Write("c.bin", RawSectors(30, 0, kSectorMode2Form1));  // session 2
    Write("d.bin", Pattern(5, 2336, 4));                   // session 3
    WriteText("disc.cue",
              "FILE a.bin BINARY\r\n  TRACK 01 MODE1/2048\r\n    INDEX 01 00:00:00\r\n"
              "FILE \"b b.bin\" BINARY\r\n  TRACK 02 AUDIO\r\n    PREGAP 00:00:05\r\n"
              "    INDEX 00 00:00:00\r\n    INDEX 01 00:00:02\r\n    POSTGAP 00:00:03\r\n"
              "REM SESSION 02\r\nFILE c.bin BINARY\r\n  TRACK 03 MODE2/2352\r\n    INDEX 00 00:00:00\r\n"
              "    INDEX 01 00:00:10\r\n  TRACK 04 MODE2/2352\r\n    INDEX 01 00:00:20\r\n"
              "REM SESSION 03\r\nFILE d.bin BINARY\r\n  TRACK 05 MODE2/2336\r\n    INDEX 01 00:00:00\r\n");
    OpenDisc d(dir + "disc.cue");
    ASSERT_TRUE(d.ok) << d.error;
    const Disc& disc = d.disc;
    ASSERT_EQ(5u, disc.tracks.size());
    ASSERT_EQ(3u, disc.sessions.size());
    struct Expect { int32_t pregap_start, start, end, stored_first, stored_count; uint64_t offset; } expect[] = {
        {0, 0, 10, 0, 10, 0},
        {10, 17, 40, 15, 22, 0},                       // PREGAP 5 unstored, INDEX 00 2 stored, POSTGAP 3
        {40 + 11400 - 150, 40 + 11400, 40 + 11400 + 10, 40 + 11390, 20, 0},  // INDEX 00 takes 10 of the pregap
        {40 + 11410, 40 + 11410, 40 + 11410 + 10, 40 + 11410, 10, 20 * 2352},
        {11460 + 6900 - 150, 11460 + 6900, 11460 + 6900 + 5, 11460 + 6900, 5, 0},
    };
    for (size_t i = 0; i < 5; ++i) {
        const DiscTrack& t = disc.tracks[i];
        const Expect& e = expect[i];
        EXPECT_EQ(std::vector<int64_t>({e.pregap_start, e.start, e.end, e.stored_first, e.stored_count, (int64_t)e.offset}),
                  std::vector<int64_t>({t.pregap_start, t.start, t.end, t.stored_first, t.stored_count,
                                        (int64_t)t.file_offset})) << "track " << i + 1;
    }
    EXPECT_EQ(40, disc.sessions[0].leadout);
    EXPECT_TRUE(!disc.sessions[0].xa && disc.sessions[1].xa);
    EXPECT_EQ(11460 + 6900 + 5, DiscLeadout(disc));

    uint8_t raw[kRawSectorSize];
    SectorType type;
    // The audio track's stored blocks, its pregap and postgap.
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 15, raw, &type));
    EXPECT_EQ(kSectorAudio, type);
    EXPECT_EQ(0, memcmp(raw, b.data(), kRawSectorSize));
    for (int32_t gap : {14, 37}) {
        ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, gap, raw, &type));
        EXPECT_EQ(std::vector<uint8_t>(kRawSectorSize, 0), std::vector<uint8_t>(raw, raw + kRawSectorSize)) << gap;
    }
    // Blocks of no track: lead-out and lead-in between sessions, past the end, negative.
    for (int32_t none : {-1, 40, 11250 + 40 - 1, 18365, INT32_MIN})
        EXPECT_EQ(kDiscReadOutOfRange, DiscReadRaw(disc, none, raw, &type)) << none;
    // The session 2 pregap before the stored INDEX 00 is synthesised Mode 2.
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 40 + 11250, raw, &type));
    EXPECT_EQ(kSectorMode2Form1, type);
    EXPECT_EQ(0u, CheckRawSector(raw, 40 + 11250, 0).faults);
    // A MODE1/2048 block comes back with header, EDC and ECC.
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 3, raw, &type));
    EXPECT_EQ(kSectorMode1, type);
    EXPECT_EQ(0u, CheckRawSector(raw, 3, 0).faults);
    EXPECT_EQ(0, memcmp(raw + 16, Pattern(10, 2048, 1).data() + 3 * 2048, 2048));
}

TEST_F(DiscFiles, RawReadsAreTheFileBytesWithoutACueSheet)
{
    std::vector<uint8_t> form1 = RawSectors(20, 0, kSectorMode2Form1);
    std::vector<uint8_t> form2 = RawSectors(20, 20, kSectorMode2Form2);
    form1.insert(form1.end(), form2.begin(), form2.end());
    Write("vcd.bin", form1);
    OpenDisc d(dir + "vcd.bin");  // without a cue sheet; with one: vcd_readback_test
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(40, DiscLeadout(d.disc));
    for (int32_t lba = 0; lba < 40; ++lba) {
        uint8_t raw[kRawSectorSize];
        SectorType type;
        ASSERT_EQ(kDiscReadOk, DiscReadRaw(d.disc, lba, raw, &type));
        EXPECT_EQ(0, memcmp(raw, &form1[(size_t)lba * kRawSectorSize], kRawSectorSize)) << lba;
        EXPECT_EQ(lba < 20 ? kSectorMode2Form1 : kSectorMode2Form2, type);
    }
}

TEST_F(DiscFiles, BrokenImagesAreRefusedWithFileAndLine)
{
    Write("ok.bin", Pattern(10, 2352, 0));
    Write("big.iso", {});
    ASSERT_EQ(0, truncate((dir + "big.iso").c_str(), (off_t)449850 * 2048));  // sparse
    // cue: written when not null
    struct Case { const char* name; const char* cue; const char* expect; } cases[] = {
        {"missing.cue", "FILE ok.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE gone.bin BINARY\n"
                        "TRACK 02 AUDIO\nINDEX 01 00:00:00\n",
         "missing.cue, line 4: cannot open \"gone.bin\""},
        {"self.cue", "FILE ./self.cue BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n",
         "self.cue, line 1: \"./self.cue\" is this cue sheet"},
        // Lead-outs past 99:59:74 (block 449849), which no TOC can hold.
        {"big.iso", nullptr, "big.iso: too large for a CD image: 449850 blocks"},
        {"pregap.cue", "FILE ok.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nPREGAP 99:59:74\n"
                       "INDEX 01 00:00:05\n",
         "pregap.cue, line 5: the disc would end past 99:59:74 (lead-out at block 450004)"},
    };
    for (const Case& c : cases) {
        if (c.cue) WriteText(c.name, c.cue);
        OpenDisc d(dir + c.name);
        EXPECT_FALSE(d.ok) << c.name;
        EXPECT_EQ(0u, std::string(d.error).find(dir + c.expect)) << "want: " << c.expect << "\ngot:  " << d.error;
        EXPECT_TRUE(d.disc.files.empty());
    }
}

TEST_F(DiscFiles, ImageShrunkAfterOpeningGivesAReadErrorNotGarbage)
{
    Write("x.iso", Pattern(20, 2048, 3));
    OpenDisc d(dir + "x.iso");
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(0, truncate((dir + "x.iso").c_str(), 10 * 2048));
    uint8_t raw[kRawSectorSize];
    SectorType type;
    EXPECT_EQ(kDiscReadOk, DiscReadRaw(d.disc, 9, raw, &type));
    EXPECT_EQ(kDiscReadIoError, DiscReadRaw(d.disc, 10, raw, &type));
}

}  // namespace
