// The disc image builder's hostile variants that no other test reads: a volume
// claiming more blocks than it has, and a cut image file. Its XA records and
// Form 2 sectors are read back by datasave_test and verify_test, its sheets by
// cd-info in toc_cdinfo_test, its volumes by the walk in dirwalk_test.
#include "discbuild.h"

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bytes.h"
#include "external_tools.h"

namespace {

TEST(DiscBuild, OverclaimAndTruncate)
{
    const std::string dir = MakeTempDir("discbuild");
    std::string error;
    BuiltDisc disc;
    ASSERT_TRUE(BuildScriptDisc("file /X.DAT size=10\nhostile overclaim blocks=500\n", &disc));
    EXPECT_EQ((int32_t)get_be32(StoredUserData(disc, 16) + 84), disc.tracks[0].Length() + 500);
    ASSERT_TRUE(BuildScriptDisc("file /X.DAT size=10\nhostile truncate blocks=3\n", &disc));
    ASSERT_TRUE(WriteDiscImage(disc, dir + "/cut.cue", DiscWriteOptions(), &error)) << error;
    std::vector<uint8_t> bin;
    ASSERT_TRUE(ReadFileBytes(dir + "/cut.bin", &bin));
    EXPECT_EQ(bin.size(), (size_t)(disc.tracks[0].Length() - 3) * kRawSectorSize);
    RemoveTempDir(dir);
}

}  // namespace
