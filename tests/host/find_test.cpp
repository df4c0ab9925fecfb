// Find: patterns refused with their reason, and searches over a small disc of
// synthesised sectors, inside a sector and across sector boundaries, at both
// ends of the disc, both directions, with and without case, raw and user data.
// Where the selection lands in the dump text and the pattern history are
// checked by the GUI test.
#include "find.h"

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sector.h"

namespace {

struct Disc { std::vector<std::vector<uint8_t>> raw; int32_t unreadable = -1; int block_len = kRawSectorSize; };

void ReadBlocks(void* ctx, int32_t lbn, int count, uint8_t* buffer, VerifyBlockStatus* status)
{
    const Disc* d = (const Disc*)ctx;
    for (int i = 0; i < count; ++i) {
        if (lbn + i == d->unreadable)
            status[i] = VerifyBlockStatus{true, 3, 0x11, 0};
        else
            memcpy(buffer + (size_t)i * d->block_len, d->raw[lbn + i].data() + kRawSectorSize - d->block_len,
                   d->block_len);
    }
}

// Six blocks: Mode 1 but block 4, Form 1. The user data holds texts at known offsets.
Disc MakeDisc()
{
    struct Put { int lbn; uint32_t offset; const char* text; };
    const Put kPuts[] = {{0, 0, "FIRST"},   {0, 2045, "ZZZ"},   {1, 0, "ZZ"},       {2, 100, "Needle"}, {2, 300, "needle"}, {2, 2045, "ACR"},
                         {3, 0, "OSS"},     {4, 10, "XA"},      {5, 2044, "LAST"}};
    Disc d;
    for (int lbn = 0; lbn < 6; ++lbn) {
        uint8_t user[kUserDataSize] = {};
        for (const Put& p : kPuts)
            if (p.lbn == lbn) memcpy(user + p.offset, p.text, strlen(p.text));
        d.raw.emplace_back(kRawSectorSize);
        BuildRawSector(d.raw.back().data(), lbn, lbn == 4 ? kSectorMode2Form1 : kSectorMode1, user, nullptr);
    }
    return d;
}

struct Case {
    const char* pattern;
    bool hex, ignore_case, raw, backward;
    int32_t lbn;  // from lbn:offset
    uint32_t offset;
    int32_t want_lbn;  // -1: no match
    uint32_t want_offset;
};

FindRun Search(Disc* disc, const Case& c, const VerifyPlan& plan)
{
    FindPattern p;
    char bad[3];
    EXPECT_EQ(ParseFindPattern(c.pattern, c.hex ? kFindHexBytes : kFindText, c.ignore_case, &p, bad), kFindPatternOk);
    FindRun run;
    FindStart(&run, p, plan, c.backward, c.raw, c.lbn, c.offset, disc->block_len);
    while (FindStep(&run, ReadBlocks, disc)) {}
    return run;
}

VerifyPlan Plan(std::vector<VerifyExtent> extents)
{
    VerifyPlan plan = {};
    for (const VerifyExtent& e : extents) plan.extents[plan.extent_count++] = e;
    return plan;
}

TEST(Find, SearchesTheDiscBothWays)
{
    const Case kCases[] = {
        {"Needle", false, false, false, false, 0, 0, 2, 100},
        {"needle", false, false, false, false, 0, 0, 2, 300},
        {"NEEDLE", false, true, false, false, 2, 101, 2, 300},     // the next after a match
        {"ACROSS", false, false, false, false, 0, 0, 2, 2045},     // user data joins across blocks
        {"ACROSS", false, false, false, true, 3, 0, 2, 2045},      // back from block 2: block 3 read for its head
        {"ACROSS", false, false, true, false, 0, 0, -1, 0},        // raw: EDC and ECC stand between
        {"ZZZ", false, false, false, true, 0, 2047, 0, 2046},       // back from one crossing match to another
        {"00ff FFFF", true, false, true, false, 0, 1, 1, 0},       // the sync of the next block
        {"LAST", false, false, false, false, 3, 0, 5, 2044},       // the disc's last byte
        {"XA", false, false, false, false, 3, 0, 4, 10},           // Form 1 user data after the subheader
    };
    for (int block_len : {(int)kRawSectorSize, (int)kNoSyncSectorSize}) {
        Disc disc = MakeDisc();
        disc.block_len = block_len;
        for (const Case& c : kCases) {
            FindRun run = Search(&disc, c, Plan({{0, 6}}));
            SCOPED_TRACE(std::string(c.pattern) + (c.backward ? " back" : " forward") + " from " +
                         std::to_string(c.lbn) + ":" + std::to_string(c.offset));
            EXPECT_EQ(run.found ? run.hit.lbn : -1, c.want_lbn);
            EXPECT_EQ(run.found ? run.hit.offset : 0, c.want_offset);
        }
    }
}

TEST(Find, GapsAndUnreadableBlocksBreakTheStreamButNotTheSearch)
{
    Disc disc = MakeDisc();
    disc.unreadable = 3;
    FindRun run = Search(&disc, {"ACROSS", false, false, false, false, 0, 0, 0, 0}, Plan({{0, 6}}));
    EXPECT_FALSE(run.found);
    EXPECT_EQ(run.unreadable, 1);
    EXPECT_EQ(run.first_unreadable, 3);
    run = Search(&disc, {"LAST", false, false, false, false, 0, 0, 0, 0}, Plan({{0, 6}}));
    EXPECT_TRUE(run.found && run.hit.lbn == 5);
    disc.unreadable = -1;
    run = Search(&disc, {"ACROSS", false, false, false, false, 0, 0, 0, 0}, Plan({{0, 3}, {4, 2}}));
    EXPECT_FALSE(run.found);
    EXPECT_EQ(run.done, 5);
    EXPECT_EQ(run.total, 5);
}

TEST(Find, RefusesBadPatternsWithTheirReason)
{
    const struct { std::string text; bool hex; FindPatternError error; const char* bad; } kCases[] = {
        {"  ", true, kFindPatternEmpty, ""}, {"43 4 4", true, kFindPatternOddDigits, ""},
        {"4G", true, kFindPatternBadChar, "G"},
        {"\x82\x4f\x82\x4f", true, kFindPatternBadChar, "\x82\x4f"},   // a full-width digit
        {std::string(512, 'a'), true, kFindPatternOk, ""},
        {std::string(514, 'a'), true, kFindPatternTooLong, ""},
    };
    for (const auto& c : kCases) {
        FindPattern p;
        char bad[3];
        EXPECT_EQ(ParseFindPattern(c.text.c_str(), c.hex ? kFindHexBytes : kFindText, false, &p, bad), c.error)
            << c.text;
        EXPECT_STREQ(bad, c.bad) << c.text;
    }
}

TEST(Find, IgnoringCaseLeavesDoubleByteCharactersAsTyped)
{
    FindPattern p;
    char bad[3];
    ASSERT_EQ(ParseFindPattern("\x83\x41z", kFindText, true, &p, bad), kFindPatternOk);   // katakana A, then z
    EXPECT_EQ(p.length, 3u);
    EXPECT_EQ(memcmp(p.bytes, "\x83\x41z", 3) | memcmp(p.alt, "\x83\x41Z", 3), 0);
}

}  // namespace
