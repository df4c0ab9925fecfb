#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "cdtime.h"

TEST(CdTime, FieldsAndText)
{
    struct Case { int32_t frames; const char *m, *s, *f; } cases[] = {
        {166, "00", "02", "16"},            // LBN 16, the volume descriptor
        {4500000, "1000", "00", "00"},      // past what a 4-byte field held
        {-1, "00", "00", "-1"},
        {-4501, "-1", "00", "-1"},           // "%02d" counts the sign in its width
        {INT32_MAX, "477218", "35", "22"},  // 2147483647 = 477218*4500 + 2647
        {INT32_MIN, "-477218", "-35", "-23"},
    };
    for (const Case& c : cases) {
        char m[kCdTimeFieldSize], s[kCdTimeFieldSize], f[kCdTimeFieldSize], text[kCdTimeTextSize];
        const std::string want = std::string(c.m) + ":" + c.s + ":" + c.f;
        EXPECT_EQ(FormatCdTimeFields(c.frames, m, s, f), (int)strlen(c.f)) << c.frames;
        EXPECT_EQ(std::string(m) + ":" + s + ":" + f, want) << c.frames;
        EXPECT_EQ(FormatCdTime(text, sizeof text, c.frames), (int)want.size()) << c.frames;
        EXPECT_EQ(std::string(text), want);
    }
}

TEST(CdTime, NeverWritesPastTheBuffer)
{
    // A canary after the given size survives every size; the text is the
    // leading part of the full one.
    const std::string full = "-477218:-35:-23";
    for (uint32_t size = 0; size <= kCdTimeTextSize; ++size) {
        char buf[kCdTimeTextSize + 4];
        memset(buf, '#', sizeof buf);
        const int n = FormatCdTime(buf, size, INT32_MIN);
        EXPECT_EQ(buf[size], '#') << size;
        if (size > 0) {
            EXPECT_EQ(std::string(buf), full.substr(0, size - 1)) << size;
            EXPECT_EQ(n, (int)strlen(buf)) << size;
        } else {
            EXPECT_EQ(n, 0);
        }
    }
    EXPECT_EQ(FormatCdTime(nullptr, 16, 166), 0);
}
