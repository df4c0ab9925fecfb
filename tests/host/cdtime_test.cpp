#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "cdtime.h"

TEST(CdTime, FieldsAndText)
{
    struct Case {
        int32_t frames;
        const char *m, *s, *f;
    } cases[] = {
        {150, "00", "02", "00"},             // LBN 0
        {166, "00", "02", "16"},             // LBN 16, the volume descriptor
        {4500, "01", "00", "00"},
        {450000, "100", "00", "00"},
        {4500000, "1000", "00", "00"},       // past what a 4-byte field held
        {-1, "00", "00", "-1"},
        {-4501, "-1", "00", "-1"},            // "%02d" counts the sign in its width
        {-450000, "-100", "00", "00"},
        {INT32_MAX, "477218", "35", "22"},   // 2147483647 = 477218*4500 + 2647
        {INT32_MIN, "-477218", "-35", "-23"},
    };
    for (const Case& c : cases) {
        char m[kCdTimeFieldSize], s[kCdTimeFieldSize], f[kCdTimeFieldSize];
        EXPECT_EQ(FormatCdTimeFields(c.frames, m, s, f), (int)strlen(c.f)) << c.frames;
        EXPECT_STREQ(m, c.m) << c.frames;
        EXPECT_STREQ(s, c.s) << c.frames;
        EXPECT_STREQ(f, c.f) << c.frames;

        const std::string want = std::string(c.m) + ":" + c.s + ":" + c.f;
        char text[kCdTimeTextSize];
        EXPECT_EQ(FormatCdTime(text, sizeof text, c.frames), (int)want.size()) << c.frames;
        EXPECT_EQ(std::string(text), want);
    }
}

TEST(CdTime, NeverWritesPastTheBuffer)
{
    // A canary after the given size must survive every size, and the text must
    // be the leading part of the full one.
    const int32_t frames = INT32_MIN;
    const std::string full = "-477218:-35:-23";
    for (uint32_t size = 0; size <= kCdTimeTextSize; ++size) {
        char buf[kCdTimeTextSize + 4];
        memset(buf, '#', sizeof buf);
        const int n = FormatCdTime(buf, size, frames);
        EXPECT_EQ(buf[size], '#') << size;
        if (size == 0) {
            EXPECT_EQ(n, 0);
            continue;
        }
        EXPECT_EQ(std::string(buf), full.substr(0, size - 1)) << size;
        EXPECT_EQ(n, (int)strlen(buf)) << size;
    }
    EXPECT_EQ(FormatCdTime(nullptr, 16, 166), 0);
}
