// Find in the viewer: a text the image builder put into a file, found in the
// user data and in the raw sectors, across a sector boundary, F3 to the next
// and Shift+F3 back, with its hex digits selected in the dump pane; Cancel of
// a long search; the refusal boxes.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_helpers.h"
#include "viewer/resource.h"

namespace {

// Where the hex digits of byte b begin in a dump text: 80-character lines of
// sixteen "XX " fields after " %04X ", one more blank before the ninth.
DWORD HexPos(DWORD b) { return 80 * (b / 16) + 6 + 3 * (b % 16) + (b % 16 >= 8 ? 1 : 0); }

struct GuiFind : GuiTest {
    // Opens the dialog, types the pattern, picks the buttons and presses OK.
    HWND Find(const char* pattern, int kind, int data, int direction = IDC_FIND_FORWARD)
    {
        PostCommand(viewer.main, IDM_FIND);
        HWND dlg = FindViewerWindow(viewer, "#32770", Cp932(u8"検索").c_str());
        EXPECT_NE(dlg, nullptr);
        if (!dlg) return nullptr;
        SetWindowTextA(GetDlgItem(dlg, IDC_FIND_TEXT), pattern);
        for (int pair : {IDC_FIND_HEX, IDC_FIND_USER, IDC_FIND_FORWARD})
            for (int id : {pair, pair + 1})
                SendDlgItemMessageA(dlg, id, BM_SETCHECK, id == kind || id == data || id == direction, 0);
        PostCommand(dlg, IDOK);
        return dlg;
    }
    // The LBN shown and the pane's selection as bytes [first, last].
    void ExpectShown(long lbn, DWORD first, DWORD last)
    {
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(StatusLbn(viewer), lbn);
        DWORD sel = (DWORD)SendMessageA(GetDlgItem(viewer.main, IDC_DUMP), EM_GETSEL, 0, 0);
        EXPECT_EQ(LOWORD(sel), HexPos(first));
        EXPECT_EQ(HIWORD(sel), HexPos(last) + 2);
    }
    void ExpectBox(const char* caption, const std::string& text)
    {
        Box box;
        ASSERT_TRUE(WaitBox(viewer, &box));
        EXPECT_EQ(box.caption, Cp932(caption));
        EXPECT_EQ(box.text, text);
        AnswerBox(box, IDOK);
    }
};

// ACROSS.TXT of find.cue: NEEDLE-ACROSS at byte 2041 of LBN 21 (running into
// LBN 22) and at byte 52 of LBN 22.
TEST_F(GuiFind, AcrossABoundaryThenF3AndShiftF3)
{
    ASSERT_TRUE(Start(GuiImage("find.cue")));
    Find("NEEDLE-ACROSS", IDC_FIND_AS_TEXT, IDC_FIND_USER);
    ExpectShown(21, 2041, 2047);   // up to the end of the shown sector
    Screenshot(viewer.main, "find_across");
    PostKey(viewer.main, VK_F3);
    ExpectShown(22, 52, 64);
    PostKey(viewer.main, VK_F3);
    ExpectBox(u8"検索", Cp932(u8"見つかりませんでした"));
    EXPECT_EQ(StatusLbn(viewer), 22);
    PostCommand(viewer.main, IDM_FIND_PREV);
    ExpectShown(21, 2041, 2047);
}

// mode1.cue's FILE.TXT begins "Mode 1 user data.": as text in the user data,
// then as hex bytes in the raw sector with the pane showing it raw.
TEST_F(GuiFind, UserDataAndRawForms)
{
    ASSERT_TRUE(Start(GuiImage("mode1.cue")));
    Find("USER data", IDC_FIND_AS_TEXT, IDC_FIND_USER);
    ExpectBox(u8"検索", Cp932(u8"見つかりませんでした"));   // case counts
    PostCommand(viewer.main, IDM_FIND);
    HWND dlg = FindViewerWindow(viewer, "#32770", Cp932(u8"検索").c_str());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(ComboBoxLines(GetDlgItem(dlg, IDC_FIND_TEXT)).front(), "USER data");   // the history
    SendDlgItemMessageA(dlg, IDC_FIND_CASE, BM_SETCHECK, BST_CHECKED, 0);
    PostCommand(dlg, IDOK);
    ASSERT_TRUE(Settle(viewer));
    const long lbn = StatusLbn(viewer);
    ExpectShown(lbn, 7, 15);
    SendCommand(viewer.main, IDM_AUTO_SECTOR);   // the pane shows the raw sector
    JumpTo(viewer, 16);
    Find("7573657220 64 61 74 61", IDC_FIND_HEX, IDC_FIND_RAW);
    ExpectShown(lbn, 16 + 7, 16 + 15);
}

TEST_F(GuiFind, CancelStopsALongSearch)
{
    ASSERT_TRUE(Start(GuiImage("blank.iso")));
    Find("QQ", IDC_FIND_AS_TEXT, IDC_FIND_USER);
    HWND progress = FindViewerWindow(viewer, "#32770", Cp932(u8"検索中").c_str(), 60000);
    ASSERT_NE(progress, nullptr);
    DWORD start = GetTickCount();
    PostCommand(progress, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(progress, 1000));
    printf("progress dialog gone %lu ms after Cancel (polled every 50 ms)\n", GetTickCount() - start);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_FALSE(BoxShown(viewer));
    EXPECT_EQ(StatusLbn(viewer), 16);
}

// By hand (--gtest_also_run_disabled_tests): a whole search of blank.iso.
TEST_F(GuiFind, DISABLED_RateOfAWholeDiscSearch)
{
    ASSERT_TRUE(Start(GuiImage("blank.iso")));
    JumpTo(viewer, 0);
    DWORD start = GetTickCount();
    Find("QUILLET", IDC_FIND_AS_TEXT, IDC_FIND_USER);
    Box box;
    ASSERT_TRUE(WaitBox(viewer, &box, 1800000));
    EXPECT_EQ(box.text, Cp932(u8"見つかりませんでした"));
    double seconds = (GetTickCount() - start) / 1000.0, blocks = 700.0 * 1024 * 1024 / 2048;
    printf("whole search of %.0f blocks: %.1f s, %.0f blocks/s\n", blocks, seconds, blocks / seconds);
    AnswerBox(box, IDOK);
}

TEST_F(GuiFind, RefusalsKeepTheDialogOpen)
{
    ASSERT_TRUE(Start(GuiImage("mode1.cue")));
    const struct { std::string pattern; int kind; const char* text; } kCases[] = {
        {"", IDC_FIND_AS_TEXT, u8"検索する内容を入力してください"},
        {"43 4", IDC_FIND_HEX, u8"16進数の桁数が奇数です"},
        {"434G", IDC_FIND_HEX, u8"無効な文字が指定されています : 'G'"},
        {std::string(257, 'a'), IDC_FIND_AS_TEXT, u8"長すぎます\n 256 ﾊﾞｲﾄまで検索できます"},
    };
    for (const auto& c : kCases) {
        HWND dlg = Find(c.pattern.c_str(), c.kind, IDC_FIND_USER);
        ExpectBox(u8"入力エラー", Cp932(c.text));
        EXPECT_TRUE(IsWindowVisible(dlg)) << c.pattern;
        PostCommand(dlg, IDCANCEL);
        EXPECT_TRUE(WaitWindowGone(dlg));
    }
}

}  // namespace
