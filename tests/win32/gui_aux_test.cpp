// The viewer's side windows, driven from outside: the TOC window's jump, the
// address dialog's bound; the control panel's buttons against the drive state.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_helpers.h"
#include "viewer/resource.h"

namespace {

const char kToc[] = "Table Of Contents", kPanel[] = "CD-ROM Control";
bool Enabled(HWND panel, int id) { return IsWindowEnabled(GetDlgItem(panel, id)) != FALSE; }

struct GuiAux : GuiTest {
    const std::string kInput = Cp932(u8"ｱﾄﾞﾚｽの入力");
    HWND Open(HWND from, int command, const std::string& title)
    {
        PostCommand(from, command);
        HWND w = FindViewerWindow(viewer, "#32770", title.c_str());
        Settle(viewer);
        return w;
    }
    void Step(HWND from, int command, long expected_lbn)
    {
        PostCommand(from, command);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(StatusLbn(viewer), expected_lbn);
    }
};

TEST_F(GuiAux, TocWindowJumpsAndTheAddressDialogChecks)
{
    const std::string image = SampleDisc();
    const ImageToc disc = ReadImageToc(image);
    ASSERT_FALSE(disc.starts.empty());
    ASSERT_TRUE(Start(image));
    HWND toc = Open(viewer.main, IDM_TOC, kToc);
    ASSERT_NE(toc, nullptr);
    const std::string report = ControlText(toc, IDC_TOC_TEXT);

    // The last track's address selected with the blanks around it, then the jump.
    const long target = disc.starts.rbegin()->second;
    char number[16];
    snprintf(number, sizeof number, " %ld   \r\n", target);
    const size_t at = report.rfind(number);
    ASSERT_NE(at, std::string::npos) << report;
    HWND edit = GetDlgItem(toc, IDC_TOC_TEXT);
    SendMessageA(edit, EM_SETSEL, at, at + strlen(number) - 2);
    Step(toc, IDM_TOC_JUMP, target);
    Screenshot(toc, "toc_window");
    // The lead-out bounds the address: a box over the dialog, which stays (the
    // checks and texts are address_test's).
    HWND dlg = Open(viewer.main, IDM_ADDRESS, kInput);
    ASSERT_NE(dlg, nullptr);
    Screenshot(dlg, "address_dialog");
    SendMessageA(GetDlgItem(dlg, IDC_INPUT_BLOCK), WM_SETTEXT, 0, (LPARAM)std::to_string(disc.leadout).c_str());
    PostCommand(dlg, IDOK);
    HWND box = FindViewerWindow(viewer, "#32770", Cp932(u8"入力エラー").c_str());
    ASSERT_NE(box, nullptr);
    AnswerBox(Box{box, "", ""}, IDOK);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_TRUE(IsWindow(dlg));
    // An accepted address jumps and closes the dialog.
    SendMessageA(GetDlgItem(dlg, IDC_INPUT_BLOCK), WM_SETTEXT, 0, (LPARAM)"0x10");
    PostCommand(dlg, IDOK);
    ASSERT_TRUE(WaitWindowGone(dlg) && Settle(viewer));
    EXPECT_EQ(StatusLbn(viewer), 16);
}

TEST_F(GuiAux, ControlPanelAndTocWindowFollowTheDrive)
{
    // Both open at start.
    WriteSettingDword("Control on Execute", 1);
    WriteSettingDword("Toc on Execute", 1);
    ASSERT_TRUE(Start(GuiImage("mode1.cue")));
    HWND panel = FindViewerWindow(viewer, "#32770", kPanel), toc = FindViewerWindow(viewer, "#32770", kToc);
    ASSERT_TRUE(panel && toc);
    for (int id : {IDM_NEXT_SECTOR, IDM_PREV_SECTOR, IDM_ADDRESS})
        EXPECT_TRUE(Enabled(panel, id)) << id;
    EXPECT_NE(ControlText(toc, IDC_TOC_TEXT), "");
    // F5 re-creates the TOC window where it was.
    SetWindowPos(toc, nullptr, 31, 37, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostKey(viewer.main, VK_F5);
    ASSERT_TRUE(WaitWindowGone(toc) && Settle(viewer));
    toc = FindViewerWindow(viewer, "#32770", kToc);
    ASSERT_NE(toc, nullptr);
    RECT place;
    GetWindowRect(toc, &place);
    EXPECT_TRUE(place.left == 31 && place.top == 37) << place.left << "," << place.top;

    // The buttons step; each end grays its own.
    const long leadout = ReadImageToc(GuiImage("mode1.cue")).leadout;
    JumpTo(viewer, 1);
    Step(panel, IDM_PREV_SECTOR, 0);
    EXPECT_FALSE(Enabled(panel, IDM_PREV_SECTOR));
    Step(panel, IDM_NEXT_SECTOR, 1);
    EXPECT_TRUE(Enabled(panel, IDM_PREV_SECTOR));
    JumpTo(viewer, leadout - 2);
    Step(panel, IDM_NEXT_SECTOR, leadout - 1);
    EXPECT_FALSE(Enabled(panel, IDM_NEXT_SECTOR));

    // While the address dialog is open only "Address" is disabled; the steps
    // still move.
    HWND dlg = Open(panel, IDM_ADDRESS, kInput);
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(Enabled(panel, IDM_ADDRESS));
    Step(panel, IDM_PREV_SECTOR, leadout - 2);
    Screenshot(panel, "control_panel");
    PostCommand(dlg, IDCANCEL);
    ASSERT_TRUE(WaitWindowGone(dlg) && Settle(viewer));
    EXPECT_TRUE(Enabled(panel, IDM_ADDRESS));
}

}  // namespace
