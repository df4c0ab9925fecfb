// The display and dialog utilities on real edit controls and windows.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "tamrisk.h"

namespace {

enum { kEditA = 100, kEditB = 101, kEditC = 102, kEditD = 103 };

// The dialog item calls find controls by id under any parent: a plain popup
// with four edit controls stands in for a dialog.
class Dialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog_ = CreateWindowExA(0, "STATIC", "utility test", WS_POPUP, 0, 0, 400, 200, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
        ASSERT_NE(dialog_, nullptr);
        for (int i = 0; i < 4; ++i)
            ASSERT_NE(CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL, 5, 5 + 30 * i, 380, 24, dialog_,
                                      (HMENU)(INT_PTR)(kEditA + i), GetModuleHandleA(NULL), NULL),
                      nullptr);
    }
    void TearDown() override { DestroyWindow(dialog_); }
    std::string Text(int id)
    {
        char text[256] = {};
        GetDlgItemTextA(dialog_, id, text, sizeof text);
        return text;
    }
    HWND dialog_ = NULL;
};

TEST_F(Dialog, NumbersGoInAndComeBackLikeAtol)
{
    EXPECT_TRUE(SetDlgItemLong(dialog_, kEditA, -150));
    EXPECT_EQ(Text(kEditA), "-150");
    SetDlgItemTextA(dialog_, kEditB, "  +42a");
    LONG stored = 12345;
    EXPECT_EQ(GetDlgItemLong(dialog_, kEditB, &stored), 42);
    EXPECT_EQ(stored, 42);   // the rest of the reading is textutil_test's
    // A control text longer than the 80-byte buffer: only its first 79 characters count.
    std::string digits(200, '1');
    SetDlgItemTextA(dialog_, kEditB, digits.c_str());
    EXPECT_EQ(GetDlgItemLong(dialog_, kEditB, NULL), 2147483647);
}

TEST_F(Dialog, FixedWidthFieldsShowExactlyTheirCharacters)
{
    // The field is read no further than n, even without a terminator.
    const char unterminated[4] = {'A', 'B', 'C', 'D'};
    SetDlgItemNText(dialog_, kEditC, unterminated, 4);
    EXPECT_EQ(Text(kEditC), "ABCD");
}

TEST(CdTime, TextOfFrameCounts)
{
    struct Case { LONG frames; const char* text; };
    const Case cases[] = {
        {-449999, "-99:-59:-74"},
        // Minutes that do not fit three characters are marked, not cut.
        {4500000, "***:00:00"}, {(LONG)0x80000000, "***:-35:-23"},
    };
    for (const Case& c : cases) {
        char text[16];
        memset(text, 'Z', sizeof text);
        EXPECT_EQ(SetTextTime(text, c.frames), (int)strlen(c.text)) << c.frames;
        EXPECT_STREQ(text, c.text) << c.frames;
    }
}

TEST(Window, CenteredOnTheScreen)
{
    HWND window = CreateWindowExA(0, "STATIC", "centre", WS_POPUP, 3, 7, 400, 300, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(CenteringWindow(window));
    RECT r, want;
    GetWindowRect(window, &r);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    SetRect(&want, sw / 2 - 200, sh / 2 - 150, sw / 2 + 200, sh / 2 + 150);
    EXPECT_TRUE(EqualRect(&r, &want));
    DestroyWindow(window);
}

}  // namespace
