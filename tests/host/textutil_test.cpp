#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "textutil.h"

TEST(TextUtil, ParseLongLikeAtol)
{
    struct Case { const char* text; int32_t want; } cases[] = {
        {"\t\n\v\f\r +42x", 42}, {"99999999999999999999999999999999", INT32_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseLongLikeAtol(c.text), c.want) << '"' << c.text << '"';
    EXPECT_EQ(ParseLongLikeAtol(nullptr), 0);
}

// The error-code label ("ERA-KO-DO : " in katakana) in code page 932.
static const char kLabel[] = "\x83\x47\x83\x89\x81\x5B\x83\x52\x81\x5B\x83\x68 : ";

TEST(TextUtil, ComposeErrorTextWhole)
{
    char out[256];
    ComposeErrorText(out, sizeof out, "Access is denied.\r\n", kLabel, 5, "SCSI I/O Control Error");
    EXPECT_EQ(std::string(out), std::string("Access is denied.\r\n") + kLabel + "5\nSCSI I/O Control Error");
    ComposeErrorText(out, sizeof out, nullptr, nullptr, -2147483647L - 1, nullptr);
    EXPECT_STREQ(out, "-2147483648\n");
    // A double-byte character that does not fit lets no later, shorter part in behind it.
    ComposeErrorText(out, 7, "abcde", "\x83\x47", 1, "");
    EXPECT_STREQ(out, "abcde");
}

TEST(TextUtil, ComposeErrorTextCutsAtCharacterBoundary)
{
    // Every buffer size over a run of double-byte characters: the end falls on each byte once.
    std::string caller;
    for (int i = 0; i < 20; ++i) caller += "\x82\xA0";
    const std::string full = std::string("abc") + kLabel + "21\n" + caller;
    for (uint32_t size = 1; size <= full.size() + 2; ++size) {
        std::string buf(size + 1, '#');
        ComposeErrorText(&buf[0], size, "abc", kLabel, 21, caller.c_str());
        ASSERT_EQ(buf[size], '#') << size;
        const std::string got = buf.c_str();
        ASSERT_LT(got.size(), size);
        EXPECT_EQ(full.compare(0, got.size(), got), 0) << size;
        // Never shorter than needed: one byte left unused only before a double-byte character.
        const size_t unused = (size - 1) - got.size();
        if (got.size() < full.size()) {
            EXPECT_TRUE(unused == 0 || (unused == 1 && IsCp932LeadByte((uint8_t)full[got.size()]))) << size;
        }
        // The text ends on a whole character.
        size_t i = 0;
        while (i < got.size()) i += IsCp932LeadByte((uint8_t)got[i]) ? 2 : 1;
        EXPECT_EQ(i, got.size()) << size;
    }
}
