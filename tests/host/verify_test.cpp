// Disc verify over the virtual drive: mkdisc plants faults, the walk finds
// exactly those blocks, at 2352 and at 2340 bytes, with unreadable blocks
// listed and audio and the gaps between sessions skipped.
#include "verify.h"

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "disc.h"
#include "external_tools.h"
#include "toc.h"

namespace {

// unreadable: one block answered as a medium error.
struct Reader { const Disc* disc; int block_len; int32_t unreadable; };

void ReadBlocks(void* ctx, int32_t lbn, int count, uint8_t* buffer, VerifyBlockStatus* status)
{
    const Reader* r = (const Reader*)ctx;
    uint8_t raw[kRawSectorSize];
    for (int i = 0; i < count; ++i) {
        SectorType type;
        if (lbn + i == r->unreadable || DiscReadRaw(*r->disc, lbn + i, raw, &type) != kDiscReadOk)
            status[i] = VerifyBlockStatus{true, 0x03, 0x11, 0x00};
        else
            memcpy(buffer + (size_t)i * r->block_len, raw + kRawSectorSize - r->block_len, r->block_len);
    }
}

struct VerifyTest : ::testing::Test {
    std::string dir = MakeTempDir("verify");
    Disc disc;
    void TearDown() override { DiscClose(&disc); RemoveTempDir(dir); }
    void Open(const std::string& script)
    {
        DiscClose(&disc);
        char err[256];
        ASSERT_TRUE(DiscOpen(MakeDiscFromScript(dir, "d", script).c_str(), &disc, err, sizeof err)) << err;
    }
    VerifyPlan Plan(int format)
    {
        std::vector<uint8_t> toc;
        EXPECT_TRUE(BuildTocResponse(disc, format, true, 1, &toc));
        VerifyPlan plan;
        EXPECT_TRUE((format == 2 ? VerifyPlanFromFullToc : VerifyPlanFromTrackToc)(toc.data(),
                                                                                   (uint32_t)toc.size(), &plan));
        return plan;
    }
};

const char kScript[] = "track mode2\nfile /DOC.TXT size=40000\nfile /MOVIE.XA size=23240 form2\naudio blocks=300\n"
                       "session\ntrack mode2\nfile /MORE.TXT size=5000\n";

TEST_F(VerifyTest, ListsExactlyThePlantedFaults)
{
    Open(kScript);
    // Blocks to damage: the first Form 1 and Form 2 file blocks and a block of session 2.
    int32_t form1 = -1, form2 = -1, later = disc.sessions[1].leadout - 5;
    uint8_t raw[kRawSectorSize];
    SectorType type;
    for (int32_t lbn = 20; form2 < 0 && DiscReadRaw(disc, lbn, raw, &type) == kDiscReadOk; ++lbn) {
        if (type == kSectorMode2Form1 && raw[kDataOffset] == 0 && lbn > 24 && form1 < 0) form1 = lbn;
        if (type == kSectorMode2Form2) form2 = lbn;
    }
    ASSERT_GT(form1, 0);
    ASSERT_GT(form2, 0);
    struct Plant { int32_t lbn; const char* kind; unsigned faults; } plants[] = {
        {form1 + 1, "edc", kFaultEdc}, {form1 + 2, "ecc-p", kFaultEccP}, {form1 + 3, "ecc-q", kFaultEccQ},
        {form1 + 4, "header", kFaultAddress}, {form1 + 5, "subheader", kFaultSubheader},
        {form2 + 1, "data", kFaultEdc}, {later, "header", kFaultAddress},
    };
    std::string script = kScript;
    std::map<int32_t, unsigned> planted;
    for (const Plant& p : plants) {
        planted[p.lbn] = p.faults;
        script += "damage " + std::to_string(p.lbn) + " " + p.kind + "\n";
    }
    Open(script);

    const int32_t unreadable = form1 + 7;
    for (int block_len : {(int)kRawSectorSize, (int)kRawSectorSize - kSyncSize}) {
        VerifyRun run;
        VerifyStart(&run, Plan(2), block_len);
        EXPECT_EQ(run.plan.total + run.plan.skipped, DiscLeadout(disc));
        EXPECT_EQ(run.plan.extent_count, 2);
        Reader reader = {&disc, block_len, unreadable};
        while (VerifyStep(&run, ReadBlocks, &reader)) {}
        EXPECT_EQ(run.done, run.plan.total);
        EXPECT_EQ(run.failed, (int64_t)planted.size());
        ASSERT_EQ(run.unreadable, 1);
        std::map<int32_t, unsigned> found;
        for (const VerifyFailure& f : run.failures) found[f.lbn] = f.unreadable ? ~0u : f.check.faults;
        planted[unreadable] = ~0u;
        EXPECT_EQ(planted, found) << block_len;
        planted.erase(unreadable);

        char line[160];
        for (const VerifyFailure& f : run.failures)
            if (f.unreadable) {
                FormatVerifyLine(f, "MEDIUM ERROR", line, sizeof line);
                EXPECT_NE(nullptr, strstr(line, "unreadable 03/11/00 MEDIUM ERROR")) << line;
            }
    }
}

TEST_F(VerifyTest, SummaryOfACleanDiscAndOfOneWithoutData)
{
    Open("track mode1\nfile /A.TXT size=5000\n");
    VerifyRun run;
    VerifyStart(&run, Plan(0), kRawSectorSize);  // the track TOC serves as well
    Reader reader = {&disc, kRawSectorSize, -1};
    while (VerifyStep(&run, ReadBlocks, &reader)) {}
    char text[160];
    FormatVerifySummary(run, false, 1500, text, sizeof text);
    EXPECT_EQ("All " + std::to_string(DiscLeadout(disc)) + " blocks are sound (0 skipped, 1.5 s).", text);

    Open("audio blocks=300\n");
    VerifyStart(&run, Plan(2), kRawSectorSize);
    EXPECT_FALSE(VerifyStep(&run, ReadBlocks, &reader));
    FormatVerifySummary(run, false, 0, text, sizeof text);
    EXPECT_STREQ("No data blocks to verify (300 blocks skipped).", text);
}

}  // namespace
