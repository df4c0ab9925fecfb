#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "cdtime.h"

// The fields and texts of each range show in address_test (BlockTextToCdTime)
// and dumpformat_test (the status line); here the bound.
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
