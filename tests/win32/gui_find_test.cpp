// Find in the viewer: a text the image builder put into a file, found across
// a sector boundary, F3 to the next and Shift+F3 back, with its hex digits
// selected in the dump pane; Cancel of a long search; a refusal box.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "cdgeometry.h"
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
    void ExpectBox(const std::string& text)
    {
        Box box;
        ASSERT_TRUE(WaitBox(viewer, &box));
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
    PostKey(viewer.main, VK_F3);
    ExpectShown(22, 52, 64);
    PostKey(viewer.main, VK_F3);
    ExpectBox(Cp932(u8"見つかりませんでした"));
    EXPECT_EQ(StatusLbn(viewer), 22);
    PostCommand(viewer.main, IDM_FIND_PREV);
    ExpectShown(21, 2041, 2047);
}

// In the raw sectors the EDC and ECC lie between two blocks' user data: only
// the second NEEDLE-ACROSS is whole there, 16 bytes in (after sync and header).
TEST_F(GuiFind, RawSectorsHoldOnlyTheWholeMatch)
{
    ASSERT_TRUE(Start(GuiImage("find.cue")));
    SendCommand(viewer.main, IDM_AUTO_SECTOR);   // the pane shows the raw sector
    Find("NEEDLE-ACROSS", IDC_FIND_AS_TEXT, IDC_FIND_RAW);
    ExpectShown(22, kDataOffset + 52, kDataOffset + 64);
}

TEST_F(GuiFind, CancelStopsALongSearch)
{
    ASSERT_TRUE(Start(GuiImage("blank.iso")));
    Find("QQ", IDC_FIND_AS_TEXT, IDC_FIND_USER);
    HWND progress = FindViewerWindow(viewer, "#32770", Cp932(u8"検索中").c_str(), 60000);
    ASSERT_NE(progress, nullptr);
    PostCommand(progress, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(progress, 1000));
    ASSERT_TRUE(Settle(viewer));
    EXPECT_FALSE(BoxShown(viewer));
    EXPECT_EQ(StatusLbn(viewer), 16);
}

TEST_F(GuiFind, ARefusalKeepsTheDialogOpen)
{
    ASSERT_TRUE(Start(GuiImage("mode1.cue")));
    HWND dlg = Find("434G", IDC_FIND_HEX, IDC_FIND_USER);
    ExpectBox(Cp932(u8"無効な文字が指定されています : 'G'"));
    EXPECT_TRUE(IsWindowVisible(dlg));
    PostCommand(dlg, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(dlg));
}

}  // namespace
