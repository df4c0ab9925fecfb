// The viewer's side windows, driven from outside: the TOC window's place and
// jump, the address dialog's bound, conversion and saved position; the control
// panel's buttons against the drive state, the windows' places across rebuilds.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_helpers.h"
#include "viewer/resource.h"

namespace {

const char kToc[] = "Table Of Contents", kPanel[] = "CD-ROM Control";
// Places that keep the windows on the screen and clear of the address dialog.
const int32_t kTocPlace[4] = {10, 20, 0, 0}, kPanelPlace[4] = {700, 20, 0, 0};

bool Enabled(HWND panel, int id) { return IsWindowEnabled(GetDlgItem(panel, id)) != FALSE; }

bool At(HWND window, int left, int top)
{
    RECT r;
    GetWindowRect(window, &r);
    return r.left == left && r.top == top;
}

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

TEST_F(GuiAux, TocWindowJumpsAndTheAddressDialogChecksAndRemembers)
{
    const std::string image = SampleDisc();
    const ImageToc disc = ReadImageToc(image);
    ASSERT_FALSE(disc.starts.empty());
    WriteSettingBinary("TocWindow", kTocPlace, sizeof kTocPlace);
    ASSERT_TRUE(Start(image));
    HWND toc = Open(viewer.main, IDM_TOC, kToc);
    ASSERT_NE(toc, nullptr);
    EXPECT_TRUE(At(toc, kTocPlace[0], kTocPlace[1]));
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
    dlg = Open(viewer.main, IDM_ADDRESS, kInput);
    ASSERT_NE(dlg, nullptr);
    // Typed minutes convert to the block address as they change.
    PostMessageA(dlg, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dlg, IDC_INPUT_MINUTES), TRUE);   // focus, all selected
    for (char ch : std::string("45"))
        PostChar(GetDlgItem(dlg, IDC_INPUT_MINUTES), ch);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(dlg, IDC_INPUT_BLOCK), "202516");

    // Cancel leaves the stored position; a close from the caption stores it and cancels.
    std::vector<uint8_t> before, after;
    ReadSettingBinary("InputWindow", &before);
    for (UINT close : {(UINT)WM_COMMAND, (UINT)WM_CLOSE}) {
        if (!IsWindow(dlg))
            dlg = Open(viewer.main, IDM_ADDRESS, kInput);
        ASSERT_NE(dlg, nullptr);
        SetWindowPos(dlg, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        PostMessageA(dlg, close, close == WM_COMMAND ? IDCANCEL : 0, 0);
        ASSERT_TRUE(WaitWindowGone(dlg) && Settle(viewer));
        ASSERT_TRUE(ReadSettingBinary("InputWindow", &after));
        EXPECT_TRUE(close == WM_CLOSE || after == before);
    }
    ASSERT_EQ(after.size(), 16u);
    EXPECT_EQ(*(const int32_t*)&after[0], 37);
    EXPECT_EQ(*(const int32_t*)&after[4], 41);
    EXPECT_EQ(StatusLbn(viewer), 16);
}

TEST_F(GuiAux, ControlPanelAndTocWindowFollowTheDriveAndKeepTheirPlace)
{
    ASSERT_TRUE(Start());
    HWND panel = Open(viewer.main, IDM_CONTROL_PANEL, kPanel);
    ASSERT_NE(panel, nullptr);
    for (int id : {IDM_NEXT_SECTOR, IDM_PREV_SECTOR, IDM_ADDRESS})
        EXPECT_FALSE(Enabled(panel, id)) << id;
    HWND toc = Open(viewer.main, IDM_TOC, kToc);
    ASSERT_NE(toc, nullptr);
    EXPECT_EQ(ControlText(toc, IDC_TOC_TEXT), "");
    StopViewer(&viewer);
    DeleteSettings();

    // Both open at start; F5 rebuilds the TOC window where it was left.
    WriteSettingDword("Control on Execute", 1);
    WriteSettingDword("Toc on Execute", 1);
    WriteSettingBinary("ControlWindow", kPanelPlace, sizeof kPanelPlace);
    WriteSettingBinary("TocWindow", kTocPlace, sizeof kTocPlace);
    ASSERT_TRUE(Start(GuiImage("mode1.cue")));
    panel = FindViewerWindow(viewer, "#32770", kPanel);
    toc = FindViewerWindow(viewer, "#32770", kToc);
    ASSERT_TRUE(panel && toc);
    for (int id : {IDM_NEXT_SECTOR, IDM_PREV_SECTOR, IDM_ADDRESS})
        EXPECT_TRUE(Enabled(panel, id)) << id;
    EXPECT_NE(ControlText(toc, IDC_TOC_TEXT), "");
    SetWindowPos(toc, nullptr, 31, 37, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostKey(viewer.main, VK_F5);
    ASSERT_TRUE(WaitWindowGone(toc) && Settle(viewer));
    toc = FindViewerWindow(viewer, "#32770", kToc);
    ASSERT_NE(toc, nullptr);
    EXPECT_TRUE(At(toc, 31, 37));
    EXPECT_NE(ControlText(toc, IDC_TOC_TEXT), "");

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

    // While the address dialog is open only "Address" is disabled; the command
    // forwarded all the same opens no second dialog; the steps still move.
    HWND dlg = Open(panel, IDM_ADDRESS, kInput);
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(Enabled(panel, IDM_ADDRESS));
    PostCommand(panel, IDM_ADDRESS);
    ASSERT_TRUE(Settle(viewer));
    const std::vector<HWND> dialogs = TopLevelWindows("#32770", viewer.pid, true);
    EXPECT_EQ(std::count_if(dialogs.begin(), dialogs.end(), [&](HWND w) { return WindowText(w) == kInput; }), 1);
    Step(panel, IDM_PREV_SECTOR, leadout - 2);
    Screenshot(panel, "control_panel");
    PostCommand(dlg, IDCANCEL);
    ASSERT_TRUE(WaitWindowGone(dlg) && Settle(viewer));
    EXPECT_TRUE(Enabled(panel, IDM_ADDRESS));

    // Closed and opened again, the panel comes back where it was.
    SetWindowPos(panel, nullptr, 53, 59, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostCommand(viewer.main, IDM_CONTROL_PANEL);
    ASSERT_TRUE(WaitWindowGone(panel));
    panel = Open(viewer.main, IDM_CONTROL_PANEL, kPanel);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(At(panel, 53, 59));
}

}  // namespace
