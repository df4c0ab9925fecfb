// The viewer's main window, driven from outside along two user paths: a first
// run without a disc (defaults, the empty drive, an image opened and a broken
// one), and the sample disc from the command line (status, stepping at the
// ends of the disc, eject, what the exit saves).
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_helpers.h"
#include "viewer/resource.h"

namespace {

const int kFileNameCombo = 0x47C, kFileNameEdit = 0x480;   // cmb13, edt1 of the open-file dialog

std::string Dump(const Viewer& viewer) { return ControlText(viewer.main, IDC_DUMP); }

// The Disc, Sector and Control popups of the menu bar: open only with a device.
void ExpectDeviceMenusGrayed(const Viewer& viewer, bool grayed)
{
    std::vector<MenuItem> items;
    ASSERT_TRUE(ReadMenus(viewer, viewer.main, &items));
    for (const char* path : {"1", "2", "3"}) {
        const MenuItem* popup = FindMenuPath(items, path);
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ((popup->state & MF_GRAYED) != 0, grayed) << path;
    }
}

// The right-click menu of the main window: the File popup (drives, image) without
// a device, the "Main" popup (Copy, grayed without a selection, and eject) with one.
void ExpectRightClickMenu(const Viewer& viewer, bool device)
{
    std::vector<MenuItem> items;
    PostMessageA(viewer.main, WM_PARENTNOTIFY, WM_RBUTTONDOWN, MAKELPARAM(40, 80));
    HWND menu = FindViewerWindow(viewer, "#32768", nullptr);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(ReadMenus(viewer, menu, &items));
    PostKey(menu, VK_ESCAPE);
    EXPECT_TRUE(WaitWindowGone(menu) && Settle(viewer));
    EXPECT_EQ(FindMenuId(items, IDM_OPEN_IMAGE) != nullptr, !device);
    EXPECT_EQ(FindMenuId(items, IDM_EJECT) != nullptr, device);
    const MenuItem* copy = FindMenuId(items, IDM_COPY);
    EXPECT_EQ(copy != nullptr && (copy->state & MF_GRAYED), device);
}

void OpenThroughDialog(const Viewer& viewer, const std::string& path)
{
    PostCommand(viewer.main, IDM_OPEN_IMAGE);
    HWND dialog = FindViewerWindow(viewer, "#32770", nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND name = GetDlgItem(dialog, kFileNameCombo);
    if (name == nullptr)
        name = GetDlgItem(dialog, kFileNameEdit);
    ASSERT_NE(name, nullptr);
    SendMessageA(name, WM_SETTEXT, 0, (LPARAM)path.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitWindowGone(dialog));
    ASSERT_TRUE(Settle(viewer));
}

typedef GuiTest MainWindow;

TEST_F(MainWindow, FirstRunEmptyDriveImageAndBrokenImage)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(Dump(viewer), "");
    ExpectRightClickMenu(viewer, false);

    // Wine's D: is a CD-ROM drive without a disc: each failed request is told,
    // and the device is closed again.
    PostCommand(viewer.main, IDM_DRIVE_FIRST);
    const char* expected[][2] = {{"TAMRISK", "SCSI Get Capability error 50"},
                                 {"Vorant Library", "I/O Control CDROM_GETLAST_SESSION Error 50\n"}};
    for (const auto& e : expected) {
        Box box;
        ASSERT_TRUE(WaitBox(viewer, &box));
        EXPECT_EQ(box.caption, e[0]);
        EXPECT_NE(box.text.find(e[1]), std::string::npos) << box.text;
        AnswerBox(box, IDOK);
        ASSERT_TRUE(Settle(viewer));
    }
    ExpectDeviceMenusGrayed(viewer, true);

    OpenThroughDialog(viewer, GuiImage("mode1.cue"));
    EXPECT_EQ(ControlText(viewer.main, IDC_HEADER).substr(0, 16), "Drive[mode1.cue]");
    ExpectDeviceMenusGrayed(viewer, false);
    SendMessageA(GetDlgItem(viewer.main, IDC_DUMP), EM_SETSEL, 0, 0);
    ExpectRightClickMenu(viewer, true);

    // An image that cannot be opened leaves no device: no command, from whatever
    // source, sends a request (the library would report an invalid handle).
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string cue = std::string(temp) + "quillet-broken.cue";
    FILE* f = fopen(cue.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("FILE \"quillet-missing.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n", f);
    fclose(f);
    OpenThroughDialog(viewer, cue);
    Box box;
    ASSERT_TRUE(WaitBox(viewer, &box));
    AnswerBox(box, IDOK);
    ASSERT_TRUE(Settle(viewer));
    ExpectDeviceMenusGrayed(viewer, true);
    for (int command : {IDM_TREE, IDM_LABEL, IDM_REFRESH, IDM_EJECT, IDM_NEXT_SECTOR, IDM_PREV_SECTOR,
                        IDM_ADDRESS, IDM_JUMP_ADDRESS}) {
        PostCommand(viewer.main, command, 200);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_FALSE(BoxShown(viewer)) << command;
        EXPECT_TRUE(TopLevelWindows("#32770", viewer.pid, true).empty()) << command;
    }
}

TEST_F(MainWindow, SampleDiscStepsAtTheEndsEjectsAndExitSavesTheSettings)
{
    const std::string sample = SampleDisc();
    const ImageToc disc = ReadImageToc(sample);
    ASSERT_GT(disc.last_session, 0) << "the sample has two sessions";
    ASSERT_TRUE(Start(sample));

    // The volume descriptor of the last session, a Mode 2 Form 1 block.
    StatusLine status = ViewerStatus(viewer);
    ASSERT_TRUE(status.ok) << ControlText(viewer.main, IDC_STATUS);
    EXPECT_EQ(status.lbn, disc.last_session + 16);
    EXPECT_EQ(status.mode, 2);
    // The Edit menu offers Copy only while the dump pane has a selection.
    SendMessageA(GetDlgItem(viewer.main, IDC_DUMP), EM_SETSEL, 0, 10);
    SendMessageA(viewer.main, WM_MENUSELECT, MAKEWPARAM(1, MF_POPUP | MF_HILITE), 0);
    EXPECT_FALSE(MenuGrayed(viewer, IDM_COPY));
    Screenshot(viewer.main, "main-user-data");

    // At each end the step command is grayed; the command sent all the same
    // fails its read with a box and changes nothing.
    struct End { long lbn; int blocked, other; } ends[] = {
        {0, IDM_PREV_SECTOR, IDM_NEXT_SECTOR},
        {disc.leadout - 1, IDM_NEXT_SECTOR, IDM_PREV_SECTOR},
    };
    for (const End& e : ends) {
        SCOPED_TRACE(e.lbn);
        JumpTo(viewer, e.lbn);
        ASSERT_EQ(StatusLbn(viewer), e.lbn);
        EXPECT_TRUE(MenuGrayed(viewer, e.blocked));
        EXPECT_FALSE(MenuGrayed(viewer, e.other));
        const std::string before = Dump(viewer);
        PostCommand(viewer.main, e.blocked);
        Box box;
        ASSERT_TRUE(WaitBox(viewer, &box));
        AnswerBox(box, IDCANCEL);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(StatusLbn(viewer), e.lbn);
        EXPECT_EQ(Dump(viewer), before);
    }

    SendCommand(viewer.main, IDM_EJECT);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_FALSE(BoxShown(viewer));
    ExpectDeviceMenusGrayed(viewer, true);

    // The exit saves the options; the next start reopens the panel.
    SendCommand(viewer.main, IDM_CONTROL_PANEL);
    SendCommand(viewer.main, IDM_AUTO_SECTOR);
    EXPECT_EQ(StopViewer(&viewer), 0u);
    const std::pair<const char*, DWORD> options[] = {{"Control on Execute", 1}, {"Toc on Execute", 0}, {"Auto Sector", 0}};
    for (const auto& o : options) {
        DWORD v = ~0u;
        EXPECT_TRUE(ReadSettingDword(o.first, &v) && v == o.second) << o.first << " " << v;
    }
    ASSERT_TRUE(Start());
    EXPECT_NE(FindViewerWindow(viewer, "#32770", nullptr), nullptr);
    EXPECT_TRUE(MenuChecked(viewer, IDM_CONTROL_PANEL));
    EXPECT_FALSE(MenuChecked(viewer, IDM_AUTO_SECTOR));
}

}  // namespace
