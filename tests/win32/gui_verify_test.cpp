// Sector integrity in the viewer: a verify of an image with planted faults lists
// exactly those blocks, the list jumps to a block, Cancel stops a long verify,
// and the status line's check is shown and kept.
#include <windows.h>

#include <stdlib.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_helpers.h"
#include "viewer/resource.h"

namespace {

struct GuiVerify : GuiTest {
    HWND WaitWindow(const char* utf8_title, DWORD timeout_ms = 60000)
    {
        return FindViewerWindow(viewer, "#32770", Cp932(utf8_title).c_str(), timeout_ms);
    }
};

TEST_F(GuiVerify, ListsThePlantedFaultsAndJumpsToThem)
{
    ASSERT_TRUE(Start(GuiImage("faults.cue")));
    PostCommand(viewer.main, IDM_VERIFY_DISC);
    HWND results = WaitWindow(u8"ﾃﾞｨｽｸの検査結果", 300000);
    ASSERT_NE(results, nullptr);
    std::map<long, std::string> found;
    for (const std::string& line : ListBoxLines(GetDlgItem(results, IDC_VERIFY_LIST)))
        found[atol(line.c_str())] = line.substr(line.find("Form 1") + 8);
    const std::map<long, std::string> planted = {
        {100, "EDC"}, {101, "EDC"}, {102, "ECC P"}, {103, "ECC Q"}, {104, "header address"},
        {105, "subheader copies differ"}};
    EXPECT_EQ(found, planted);
    Screenshot(results, "verify_results");

    // Jump shows the selected block.
    SendDlgItemMessageA(results, IDC_VERIFY_LIST, LB_SETCURSEL, 2, 0);
    PostMessageA(results, WM_COMMAND, IDC_VERIFY_JUMP, (LPARAM)GetDlgItem(results, IDC_VERIFY_JUMP));
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(StatusLbn(viewer), 102);
    PostCommand(results, IDOK);
    EXPECT_TRUE(WaitWindowGone(results));
}

TEST_F(GuiVerify, CancelStopsAndListsWhatWasFound)
{
    ASSERT_TRUE(Start(GuiImage("blank.iso")));
    PostCommand(viewer.main, IDM_VERIFY_DISC);
    HWND progress = WaitWindow(u8"ﾃﾞｨｽｸの検査");
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(Settle(viewer));  // the main window still answers
    PostCommand(progress, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(progress, 1000));
    HWND results = WaitWindow(u8"ﾃﾞｨｽｸの検査結果");
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(ListBoxLines(GetDlgItem(results, IDC_VERIFY_LIST)).empty());
    PostCommand(results, IDOK);
}

TEST_F(GuiVerify, StatusLineCheckIsShownAndKept)
{
    ASSERT_TRUE(Start(GuiImage("faults.cue")));
    EXPECT_FALSE(MenuChecked(viewer, IDM_SECTOR_CHECK));
    JumpTo(viewer, 102);
    const std::string plain = WindowText(GetDlgItem(viewer.main, IDC_STATUS));
    SendCommand(viewer.main, IDM_SECTOR_CHECK);
    EXPECT_EQ(WindowText(GetDlgItem(viewer.main, IDC_STATUS)), plain + "    EDC OK  ECC NG (P)");
    StopViewer(&viewer);
    DWORD stored = 0;
    EXPECT_TRUE(ReadSettingDword("Sector Check", &stored) && stored == 1);
}

}  // namespace
