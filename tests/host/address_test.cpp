// Address input: the automatic-base reading of a block address, the acceptance decision,
// the error message filling, CD time <-> block address and the history ring.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "cdtime.h"
#include "address.h"

namespace {

// Where the reading stops and how far it clamps; the acceptance table below covers the bases.
TEST(Address, ParseStopsAtTheFirstUnusedCharacterAndClamps)
{
    const std::string digits79(79, '7');  // the longest text the field holds
    struct Case { std::string text; int32_t value; uint32_t stop; } cases[] = {
        {"0xg", 0, 1},             // no hexadecimal digit: the octal 0, stopped at the 'x'
        {"-" + digits79 + "z", INT32_MIN, 80},
    };
    for (const Case& c : cases) {
        ParsedAddress parsed;
        ParseAddressText(c.text.c_str(), &parsed);
        EXPECT_EQ(parsed.value, c.value) << '"' << c.text << '"';
        EXPECT_EQ(parsed.stop, c.stop) << '"' << c.text << '"';
    }
}

TEST(Address, AcceptanceChecksRangeBeforeTheStopCharacter)
{
    struct Case { const char* text; int32_t leadout; unsigned error; int32_t value; const char* bad; } cases[] = {
        {"99", 100, 0, 99, ""},
        {"100", 100, IDS_ADDRESS_OUT_OF_RANGE, 100, ""},
        {"-1x", 100, IDS_ADDRESS_OUT_OF_RANGE, -1, ""},     // range is checked first
        {"1\x82\x50", 100, IDS_ADDRESS_BAD_CHAR, 1, "\x82\x50"},  // full-width 1: the whole character
    };
    for (const Case& c : cases) {
        AddressCheck check;
        EXPECT_EQ(CheckAddressInput(c.text, c.leadout, &check), c.error) << '"' << c.text << '"';
        EXPECT_EQ(check.value, c.value) << '"' << c.text << '"';
        EXPECT_STREQ(check.bad_char, c.bad) << '"' << c.text << '"';
    }
}

TEST(Address, ErrorMessageFilling)
{
    AddressCheck check{IDS_ADDRESS_BAD_CHAR, 0, "q"};
    char out[kAddressTextSize];
    struct Case { const char* format; int32_t leadout; const char* text; } cases[] = {
        {"100%% %s %x %", -5, "100% %s %x %"},   // only %d, %c and %% are conversions
    };
    for (const Case& c : cases) {
        int n = FormatAddressError(out, sizeof out, c.format, c.leadout, &check);
        EXPECT_STREQ(out, c.text);
        EXPECT_EQ(n, (int)strlen(c.text));
    }

    // Cut to the buffer, terminated.
    char small[8];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(FormatAddressError(small, sizeof small, "limit %d", 123456, &check), 7);
    EXPECT_STREQ(small, "limit 1");
    EXPECT_EQ(FormatAddressError(small, 0, "limit %d", 1, &check), 0);
}

TEST(Address, CdTimeBlockAddressAndStepsSaturate)
{
    struct ToBlock { const char *m, *s, *f; int32_t block; } to_block[] = {
        {"45", "12", "34", 203284},
        {"-2147483648", "0", "0", INT32_MIN},
    };
    for (const ToBlock& c : to_block)
        EXPECT_EQ(CdTimeToBlock(c.m, c.s, c.f), c.block) << c.m << ":" << c.s << ":" << c.f;

    struct ToTime { const char* text; const char *m, *s, *f; } to_time[] = {
        {"0x10", "00", "02", "00"},   // the live conversion reads decimal only
        {"2147483647", "477218", "35", "22"},   // saturates instead of wrapping
    };
    for (const ToTime& c : to_time) {
        char m[kCdTimeFieldSize], s[kCdTimeFieldSize], f[kCdTimeFieldSize];
        BlockTextToCdTime(c.text, m, s, f);
        EXPECT_EQ(std::string(m) + ":" + s + ":" + f, std::string(c.m) + ":" + c.s + ":" + c.f) << c.text;
    }

    // Stepping saturates at the ends of the range.
    EXPECT_EQ(StepAddress(INT32_MAX, 1), INT32_MAX);
}


std::vector<int32_t> ListHistory(const AddressHistory& h)
{
    std::vector<int32_t> list;
    int32_t lbn;
    for (int32_t i = 0; GetHistory(&h, i, &lbn); ++i) list.push_back(lbn);
    return list;
}

// After n additions of 1..n the ring lists n, n - 1, ... down to the oldest of the last 20.
TEST(Address, HistoryRingKeepsTheNewestTwentyNewestFirst)
{
    for (int32_t n : {0, 45}) {
        AddressHistory h = {};
        std::vector<int32_t> expected;
        for (int32_t v = 1; v <= n; ++v) AddHistory(&h, v);
        for (int32_t v = n; v >= 1 && v > n - kAddressHistorySize; --v) expected.push_back(v);
        EXPECT_EQ(ListHistory(h), expected) << n;
    }

    AddressHistory h = {};
    int32_t lbn = -1;
    EXPECT_FALSE(GetHistory(&h, 20, &lbn));
    // A damaged write index is never used to index the ring.
    h.next = 1000;
    EXPECT_FALSE(GetHistory(&h, 0, &lbn));
    EXPECT_EQ(lbn, -1);
    AddHistory(&h, 99);
    EXPECT_EQ(ListHistory(h), (std::vector<int32_t>{99}));
}

}  // namespace
