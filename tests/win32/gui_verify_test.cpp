// Sector integrity in the viewer: a verify of an image with planted faults lists
// exactly those blocks, the list jumps to a block, Cancel stops a long verify,
// and the status line's check is shown and kept across a restart.
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
    PostControlNotify(results, IDC_VERIFY_JUMP, BN_CLICKED);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(StatusLbn(viewer), 102);
    PostCommand(results, IDOK);
    EXPECT_TRUE(WaitWindowGone(results));
}

// A BIN cut short while the viewer has it open: the virtual drive answers the
// blocks past the cut as medium errors, which the list shows with their sense.
TEST_F(GuiVerify, UnreadableBlocksAreListedWithTheirSense)
{
    const std::string bin = GuiImage("cut.bin"), cue = GuiImage("cut.cue");
    ASSERT_TRUE(CopyFileA(GuiImage("faults.bin").c_str(), bin.c_str(), FALSE));
    const char kCue[] = "FILE \"cut.bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n";
    HANDLE f = CreateFileA(cue.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(f, kCue, sizeof kCue - 1, &written, nullptr));
    CloseHandle(f);
    ASSERT_TRUE(Start(cue));
    f = CreateFileA(bin.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    SetFilePointer(f, 210 * 2352, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(f));
    CloseHandle(f);

    PostCommand(viewer.main, IDM_VERIFY_DISC);
    HWND results = WaitWindow(u8"ﾃﾞｨｽｸの検査結果");
    ASSERT_NE(results, nullptr);
    const std::vector<std::string> lines = ListBoxLines(GetDlgItem(results, IDC_VERIFY_LIST));
    ASSERT_GT(lines.size(), 7u);
    EXPECT_EQ(atol(lines[6].c_str()), 210);
    EXPECT_NE(lines[6].find("unreadable 03/11/00 "), std::string::npos) << lines[6];
    EXPECT_GT(lines[6].size(), lines[6].find("03/11/00 ") + 9) << "no sense text";
    Screenshot(results, "verify_unreadable");
    PostCommand(results, IDOK);
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
    EXPECT_EQ(ControlText(results, IDC_VERIFY_SUMMARY).find("Cancelled. Checked"), 0u)
        << ControlText(results, IDC_VERIFY_SUMMARY);
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

    ASSERT_TRUE(Start(GuiImage("faults.cue")));
    EXPECT_TRUE(MenuChecked(viewer, IDM_SECTOR_CHECK));
    JumpTo(viewer, 20);
    const std::string status = WindowText(GetDlgItem(viewer.main, IDC_STATUS));
    EXPECT_EQ(status.substr(status.size() - 18), "    EDC OK  ECC OK") << status;
}

}  // namespace
