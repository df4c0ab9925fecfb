// A disc vcdimager wrote (its EDC and ECC): every sector rebuilds from user data
// and subheader, and reads back at 2352 bytes as the BIN holds it, also from MODE2/2336.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bytes.h"
#include "cdb.h"
#include "disc.h"
#include "external_tools.h"
#include "sector.h"
#include "sectorcheck.h"
#include "target.h"
#include "vcd_image.h"

namespace {

// Reads every block of the cue at 2352 bytes and compares it with expected.
void ExpectRawReadsEqual(const std::string& cue, const std::vector<uint8_t>& expected)
{
    Disc disc;
    char err[256] = "";
    ASSERT_TRUE(DiscOpen(cue.c_str(), &disc, err, sizeof err)) << err;
    Target target;
    TargetInit(&target, &disc);
    uint8_t cdb[kCdbAreaSize] = {};
    uint8_t params[kModeParamListSize];
    uint8_t sense[18];
    int len = BuildModeSelect(cdb, params, kRawSectorSize);
    ASSERT_EQ(TargetExecute(&target, cdb, len, params, sizeof params, sense, sizeof sense), 0);

    const int32_t blocks = (int32_t)(expected.size() / kRawSectorSize);
    ASSERT_EQ(DiscLeadout(disc), blocks);
    uint8_t raw[kRawSectorSize];
    for (int32_t lba = 0; lba < blocks; ++lba) {
        len = BuildRead10(cdb, lba, 1);
        ASSERT_EQ(TargetExecute(&target, cdb, len, raw, kRawSectorSize, sense, sizeof sense), 0) << "lba " << lba;
        ASSERT_EQ(memcmp(raw, &expected[(size_t)lba * kRawSectorSize], kRawSectorSize), 0) << "lba " << lba;
    }
    DiscClose(&disc);
}

TEST(VcdReadback, SectorsRebuildAndReadBackAsTheBinHoldsThem)
{
    if (!ToolAvailable("vcdxbuild"))
        GTEST_SKIP() << "vcdxbuild not installed";
    std::string raw_dir = MakeTempDir("vcdraw"), stored_dir = MakeTempDir("vcd2336");
    ASSERT_FALSE(raw_dir.empty() || stored_dir.empty());
    std::vector<uint8_t> raw_bin, stored_bin;
    ASSERT_TRUE(MakeVcd(raw_dir, false, &raw_bin));
    ASSERT_TRUE(MakeVcd(stored_dir, true, &stored_bin));
    ASSERT_EQ(raw_bin.size() % kRawSectorSize, 0u);
    ASSERT_EQ(stored_bin.size() / kMode2DataSize, raw_bin.size() / kRawSectorSize);

    const size_t count = raw_bin.size() / kRawSectorSize;
    int forms[2] = {0, 0};
    uint8_t raw[kRawSectorSize];
    for (size_t lba = 0; lba < count; ++lba) {
        const uint8_t* disc = &raw_bin[lba * kRawSectorSize];
        ASSERT_EQ(disc[kModeOffset], 2) << "lba " << lba;
        ASSERT_EQ(0u, CheckRawSector(disc, (int32_t)lba, 0).faults) << "lba " << lba;
        const bool form2 = (disc[18] & kSubmodeForm2) != 0;
        BuildRawSector(raw, (int32_t)lba, form2 ? kSectorMode2Form2 : kSectorMode2Form1, disc + 24, disc + 16);
        if (form2 && get_le32(disc + kForm2EdcOffset) == 0)
            memset(raw + kForm2EdcOffset, 0, 4);  // Form 2 EDC is optional
        ASSERT_EQ(memcmp(raw, disc, kRawSectorSize), 0) << "lba " << lba;
        ++forms[form2];
    }
    EXPECT_GT(forms[0], 100);
    EXPECT_GT(forms[1], 50);

    ExpectRawReadsEqual(raw_dir + "/v.cue", raw_bin);
    ExpectRawReadsEqual(stored_dir + "/v.cue", raw_bin);
    RemoveTempDir(raw_dir);
    RemoveTempDir(stored_dir);
}

}  // namespace
