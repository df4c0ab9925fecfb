// The disc image builder: its XA records and Form 2 sectors, and the hostile
// variants the walk does not read. Its sheets and sessions are read by cd-info
// in toc_cdinfo_test, its volumes by the walk in dirwalk_test.
#include "discbuild.h"

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bytes.h"
#include "cdgeometry.h"
#include "sectorcheck.h"
#include "external_tools.h"

namespace {

struct DiscTest : ::testing::Test {
    std::string dir = MakeTempDir("discbuild");
    void TearDown() override { RemoveTempDir(dir); }
    std::string Write(const BuiltDisc& disc, const char* name, const DiscWriteOptions& o = DiscWriteOptions())
    {
        std::string path = dir + "/" + name, error;
        EXPECT_TRUE(WriteDiscImage(disc, path, o, &error)) << error;
        return path;
    }
};

TEST_F(DiscTest, XaDiscCarriesSignatureRecordsAndForm2Sectors)
{
    BuiltDisc disc;
    ASSERT_TRUE(BuildScriptDisc("track mode2\nfile /V/MOVIE.XA size=5000 form2 filenum=1 channel=3\nfile /V/DOC.TXT size=3\n",
                      &disc));
    EXPECT_EQ(memcmp(StoredUserData(disc, 16) + 1024, "CD-XA001", 8), 0);
    const BuiltEntry* movie = FindDiscEntry(disc, "/V/MOVIE.XA");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->size, 3u * 2048);  // 3 Form 2 blocks of 2324 bytes
    uint8_t raw[kRawSectorSize];
    for (int32_t b = 0; b < 3; ++b) {
        ASSERT_TRUE(ReadDiscSector(disc, movie->extent + b, raw));
        EXPECT_EQ(0u, CheckRawSector(raw, movie->extent + b, 0).faults);
        EXPECT_EQ(raw[16], 1);  // file number
        EXPECT_EQ(raw[17], 3);  // channel
        EXPECT_TRUE(raw[18] & kSubmodeForm2);
        EXPECT_EQ((raw[18] & kSubmodeEof) != 0, b == 2);
    }
    EXPECT_EQ(raw[24 + 5000 - 2 * 2324 - 1], DiscPatternByte("/V/MOVIE.XA", 4999));
}

// The variants the directory walk does not read (dirwalk_test reads the
// others): a volume claiming more blocks than it has, and a cut image file.
TEST_F(DiscTest, OverclaimAndTruncate)
{
    BuiltDisc disc;
    ASSERT_TRUE(BuildScriptDisc("file /X.DAT size=10\nhostile overclaim blocks=500\n", &disc));
    EXPECT_EQ((int32_t)get_be32(StoredUserData(disc, 16) + 84), disc.tracks[0].Length() + 500);
    ASSERT_TRUE(BuildScriptDisc("file /X.DAT size=10\nhostile truncate blocks=3\n", &disc));
    Write(disc, "cut.cue");
    std::vector<uint8_t> bin;
    ASSERT_TRUE(ReadFileBytes(dir + "/cut.bin", &bin));
    EXPECT_EQ(bin.size(), (size_t)(disc.tracks[0].Length() - 3) * kRawSectorSize);
}

}  // namespace
