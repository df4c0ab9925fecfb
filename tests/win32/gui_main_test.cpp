// The viewer's main window, driven from outside: first-run settings, a disc
// image from the command line, the header and status line, stepping at the
// ends of the disc, the dump and raw texts, what the exit saves, the
// single-instance check, the drive menu, the right-click menu and images that
// cannot be opened.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_helpers.h"
#include "tamrisk.h"
#include "viewer/resource.h"

namespace {

const int kDump = IDC_DUMP, kHeader = IDC_HEADER, kStatus = IDC_STATUS;
const int kNext = IDM_NEXT_SECTOR, kPrev = IDM_PREV_SECTOR, kControlPanel = IDM_CONTROL_PANEL;
const int kAutoSector = IDM_AUTO_SECTOR, kRefresh = IDM_REFRESH;
const int kFirstDrive = IDM_DRIVE_FIRST, kOpenImage = IDM_OPEN_IMAGE, kEject = IDM_EJECT, kCopy = IDM_COPY;
const int kFileNameCombo = 0x47C, kFileNameEdit = 0x480;   // cmb13, edt1 of the open-file dialog

std::string WriteTemp(const char* name, const std::string& bytes)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string path = std::string(temp) + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        return "";
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(text.substr(pos, end - pos));
    return lines;
}

std::string Dump(const Viewer& viewer) { return ControlText(viewer.main, kDump); }

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

void ExpectSavedRect(const char* name, const std::vector<int32_t>& rect)
{
    std::vector<uint8_t> data;
    DWORD type = 0;
    ASSERT_TRUE(ReadSettingBinary(name, &data, &type)) << name;
    EXPECT_EQ(type, (DWORD)REG_BINARY);
    ASSERT_EQ(data.size(), 16u) << name;
    EXPECT_EQ(memcmp(data.data(), rect.data(), 16), 0) << name;
}

void ExpectSavedDwords(const std::vector<std::pair<const char*, DWORD>>& options)
{
    for (const auto& o : options) {
        DWORD v = ~0u;
        EXPECT_TRUE(ReadSettingDword(o.first, &v)) << o.first;
        EXPECT_EQ(v, o.second) << o.first;
    }
}

// The right-click menu of the main window, read while it is up, then closed.
std::vector<MenuItem> RightClickMenu(const Viewer& viewer)
{
    std::vector<MenuItem> items;
    PostMessageA(viewer.main, WM_PARENTNOTIFY, WM_RBUTTONDOWN, MAKELPARAM(40, 80));
    HWND menu = FindViewerWindow(viewer, "#32768", nullptr);
    if (menu == nullptr)
        return items;
    EXPECT_TRUE(ReadMenus(viewer, menu, &items));
    PostKey(menu, VK_ESCAPE);
    EXPECT_TRUE(WaitWindowGone(menu));
    EXPECT_TRUE(Settle(viewer));
    return items;
}

// Which popup the right-click menu is: the File popup offers the drive list
// and the image item, the "Main" popup of a device offers Copy and eject.
void ExpectRightClickMenu(const Viewer& viewer, bool device_popup)
{
    std::vector<MenuItem> items = RightClickMenu(viewer);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(FindMenuId(items, kOpenImage) != nullptr, !device_popup);
    const MenuItem* copy = FindMenuId(items, kCopy);
    EXPECT_EQ(copy != nullptr, device_popup);
    EXPECT_EQ(FindMenuId(items, kEject) != nullptr, device_popup);
    if (copy != nullptr) {
        EXPECT_TRUE(copy->state & MF_GRAYED) << "no selection";
    }
}

// The File menu's image item, through the standard open-file dialog.
void OpenThroughDialog(const Viewer& viewer, const std::string& path)
{
    PostCommand(viewer.main, kOpenImage);
    HWND dialog = FindViewerWindow(viewer, "#32770", nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND name = GetDlgItem(dialog, kFileNameCombo);
    if (name == nullptr)
        name = GetDlgItem(dialog, kFileNameEdit);
    ASSERT_NE(name, nullptr);
    SendMessageA(name, WM_SETTEXT, 0, (LPARAM)path.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitWindowGone(dialog));
}

typedef GuiTest MainWindow;

TEST_F(MainWindow, FirstRunWritesTheDefaults)
{
    ASSERT_TRUE(Start());
    const int32_t w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    ExpectSavedRect("MainWindow", {0, 0, w, h});
    for (const char* name : {"ControlWindow", "InputWindow", "TocWindow", "TreeWindow"})
        ExpectSavedRect(name, {w / 2, h / 2, 0, 0});
    ExpectSavedDwords({{"Control on Execute", 0}, {"Toc on Execute", 0}, {"Auto Sector", 1}, {"Tree Level", 8},
                       {"Sector Check", 0}});

    // Drive D: of the prefix is a CD-ROM drive without a disc; the panes are empty.
    std::vector<MenuItem> items;
    ASSERT_TRUE(ReadMenus(viewer, viewer.main, &items));
    const MenuItem* drive = FindMenuId(items, kFirstDrive);
    const MenuItem* drives = FindMenuPath(items, "0/0");
    const MenuItem* cycle = FindMenuId(items, SC_NEXTWINDOW);
    ASSERT_TRUE(drive && drives && cycle);
    EXPECT_EQ(drive->caption, "D: [No or Invalid Disc]");
    EXPECT_EQ(drives->caption, Cp932(u8"CD-ROMﾄﾞﾗｲﾌﾞ(&C)"));
    EXPECT_EQ(cycle->path.rfind("sys/", 0), 0u);
    EXPECT_EQ(cycle->caption, Cp932(u8"次のウィンドウに移る(&T)\tCtrl+F6"));
    EXPECT_EQ(Dump(viewer), "");
    EXPECT_TRUE(MenuChecked(viewer, kAutoSector));
}

TEST_F(MainWindow, OpensTheImageOnTheCommandLine)
{
    const std::string sample = SampleDisc();
    const ImageToc disc = ReadImageToc(sample);
    ASSERT_GT(disc.last_session, 0) << "the sample has two sessions";
    ASSERT_TRUE(Start(sample));

    // The volume descriptor of the last session; the line's format is dumpformat_test's.
    StatusLine status = ViewerStatus(viewer);
    ASSERT_TRUE(status.ok) << ControlText(viewer.main, kStatus);
    EXPECT_EQ(status.lbn, disc.last_session + 16);
    EXPECT_EQ(status.mode, 2);

    // The image's name stands where a drive name would (the header's format: drivetext_test).
    const std::string header = ControlText(viewer.main, kHeader);
    EXPECT_EQ(header.rfind("Drive[sample.cue]", 0), 0u) << header;
    EXPECT_NE(header.find("(LBN:" + std::to_string(disc.leadout) + ")"), std::string::npos) << header;
    ExpectDeviceMenusGrayed(viewer, false);
    // The user data of that Mode 2 Form 1 block: 2048 bytes, 16 a line (the
    // layouts of each kind of sector are the dump formatter's own test).
    EXPECT_EQ(Lines(Dump(viewer)).size(), 128u);

    // After a resize the header and the status line share the top strip and
    // the dump pane fills the rest below it.
    MoveWindow(viewer.main, 10, 10, 900, 600, TRUE);
    ASSERT_TRUE(Settle(viewer));
    RECT client, r[3];
    GetClientRect(viewer.main, &client);
    const int panes[3] = {kHeader, kStatus, kDump};
    for (int i = 0; i < 3; i++) {
        GetWindowRect(GetDlgItem(viewer.main, panes[i]), &r[i]);
        MapWindowPoints(nullptr, viewer.main, (POINT*)&r[i], 2);
    }
    const RECT &head = r[0], &stat = r[1], &dump = r[2];
    EXPECT_TRUE(head.left == 0 && head.top == 0 && stat.top == 0 && stat.bottom == head.bottom);
    EXPECT_TRUE(stat.left == head.right && stat.right == client.right);
    EXPECT_TRUE(dump.left == 0 && dump.top == head.bottom + 1 && dump.right == client.right &&
                dump.bottom == client.bottom);
    EXPECT_GT(head.right, 56 * 5);
    // The Edit menu offers Copy only while the dump pane has a selection.
    for (bool selected : {true, false}) {
        SendMessageA(GetDlgItem(viewer.main, kDump), EM_SETSEL, 0, selected ? 10 : 0);
        SendMessageA(viewer.main, WM_MENUSELECT, MAKEWPARAM(1, MF_POPUP | MF_HILITE), 0);
        EXPECT_EQ(MenuGrayed(viewer, IDM_COPY), !selected) << "selection " << selected;
    }

    SendMessageA(viewer.main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(Settle(viewer));
    Screenshot(viewer.main, "main-user-data");
    SendCommand(viewer.main, kAutoSector);
    ASSERT_TRUE(Settle(viewer));
    Screenshot(viewer.main, "main-raw");
}

// At each end of the disc the step command is grayed and its key does
// nothing; the same command sent as the right-click menu sends it still
// steps off the disc, and the library reports the failed read.
TEST_F(MainWindow, SteppingAtTheEndsOfTheDisc)
{
    const std::string sample = SampleDisc();
    const ImageToc disc = ReadImageToc(sample);
    ASSERT_TRUE(Start(sample));
    HWND dump = GetDlgItem(viewer.main, kDump);
    struct End {
        long lbn;
        int blocked, other;
        char key, other_key;
    } ends[] = {
        {0, kPrev, kNext, '-', '+'},
        {disc.leadout - 1, kNext, kPrev, '+', '-'},
    };
    for (const End& e : ends) {
        SCOPED_TRACE(e.lbn);
        JumpTo(viewer, e.lbn);
        ASSERT_EQ(StatusLbn(viewer), e.lbn);
        EXPECT_TRUE(MenuGrayed(viewer, e.blocked));
        EXPECT_FALSE(MenuGrayed(viewer, e.other));

        PostChar(dump, e.key);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_FALSE(BoxShown(viewer));
        EXPECT_EQ(StatusLbn(viewer), e.lbn);
        PostChar(dump, e.other_key);   // inwards still steps
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(StatusLbn(viewer), e.lbn + (e.other == kNext ? 1 : -1));
        JumpTo(viewer, e.lbn);

        const std::string before = Dump(viewer);
        PostCommand(viewer.main, e.blocked);
        Box box;
        ASSERT_TRUE(WaitBox(viewer, &box));
        AnswerBox(box, IDCANCEL);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(StatusLbn(viewer), e.lbn);
        EXPECT_EQ(Dump(viewer), before);

        // Swapping the texts reads nothing: a read off the disc would show a box.
        SendCommand(viewer.main, kAutoSector);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_FALSE(BoxShown(viewer));
        std::vector<std::string> raw = Lines(Dump(viewer));
        ASSERT_EQ(raw.size(), 147u);
        EXPECT_EQ(raw[0].substr(0, 30), " 0000 00 FF FF FF FF FF FF FF ");
        SendCommand(viewer.main, kAutoSector);
        EXPECT_EQ(Dump(viewer), before);
    }
}

TEST_F(MainWindow, ExitSavesTheSettings)
{
    ASSERT_TRUE(Start(SampleDisc()));
    SendCommand(viewer.main, kControlPanel);
    SendCommand(viewer.main, kAutoSector);
    ASSERT_TRUE(Settle(viewer));
    MoveWindow(viewer.main, 40, 30, 700, 500, TRUE);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(StopViewer(&viewer), 0u);
    ExpectSavedDwords({{"Control on Execute", 1}, {"Toc on Execute", 0}, {"Auto Sector", 0}});
    ExpectSavedRect("MainWindow", {40, 30, 700, 500});

    // The next start reopens the panel and comes back at the same place,
    // also when it was closed minimised.
    ASSERT_TRUE(Start());
    EXPECT_NE(FindViewerWindow(viewer, "#32770", nullptr), nullptr);
    EXPECT_TRUE(MenuChecked(viewer, kControlPanel));
    EXPECT_FALSE(MenuChecked(viewer, kAutoSector));
    ShowWindow(viewer.main, SW_MINIMIZE);
    ASSERT_TRUE(Settle(viewer));
    StopViewer(&viewer);
    ExpectSavedRect("MainWindow", {40, 30, 700, 500});
}

// The File menu's image item, through the standard open-file dialog; an
// eject then grays the device menus again. The right-click menu follows.
TEST_F(MainWindow, OpenImageFromTheFileMenuEjectAndTheRightClickMenu)
{
    ASSERT_TRUE(Start());
    ExpectRightClickMenu(viewer, false);
    OpenThroughDialog(viewer, GuiImage("mode1.cue"));
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(viewer.main, kHeader).substr(0, 16), "Drive[mode1.cue]");
    ExpectDeviceMenusGrayed(viewer, false);
    SendMessageA(GetDlgItem(viewer.main, kDump), EM_SETSEL, 0, 0);
    ExpectRightClickMenu(viewer, true);

    SendCommand(viewer.main, kEject);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_FALSE(BoxShown(viewer));
    ExpectDeviceMenusGrayed(viewer, true);
    ExpectRightClickMenu(viewer, false);
}

// Wine's D: is a CD-ROM drive without a disc: choosing it opens the device,
// whose adapter and session requests fail; each failure is told, the device
// is closed again and the item keeps its caption.
TEST_F(MainWindow, ChoosingTheEmptyDriveLeavesNoDevice)
{
    ASSERT_TRUE(Start());
    PostCommand(viewer.main, kFirstDrive);
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
    EXPECT_FALSE(BoxShown(viewer));
    EXPECT_EQ(ControlText(viewer.main, kHeader), "");
    ExpectDeviceMenusGrayed(viewer, true);
    std::vector<MenuItem> items = RightClickMenu(viewer);
    const MenuItem* drive = FindMenuId(items, kFirstDrive);
    ASSERT_NE(drive, nullptr) << "the File popup with the drive list";
    EXPECT_EQ(drive->caption, "D: [No or Invalid Disc]");
}

// An image that cannot be opened leaves no device, even after one was open:
// the device menus are grayed and no command, from whatever source, sends a
// request (the library would report an invalid handle).
TEST_F(MainWindow, FailedOpenLeavesNoDeviceAndCommandsDoNothing)
{
    const std::string cue =
        WriteTemp("quillet-broken.cue", "FILE \"quillet-missing.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                        "    INDEX 01 00:00:00\n");
    ASSERT_FALSE(cue.empty());
    ASSERT_TRUE(Start(GuiImage("mode1.cue")));
    ExpectDeviceMenusGrayed(viewer, false);
    OpenThroughDialog(viewer, cue);
    Box box;
    ASSERT_TRUE(WaitBox(viewer, &box));
    AnswerBox(box, IDOK);
    ASSERT_TRUE(Settle(viewer));
    ExpectDeviceMenusGrayed(viewer, true);

    const int kTree = 224, kLabel = 223, kAddress = 213, kJump = 229;
    for (int command : {kTree, kLabel, kRefresh, kEject, kNext, kPrev, kAddress, kJump}) {
        PostCommand(viewer.main, command, 200);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_FALSE(BoxShown(viewer)) << command;
        EXPECT_TRUE(TopLevelWindows("#32770", viewer.pid, true).empty()) << command;
    }
    EXPECT_FALSE(MenuChecked(viewer, kTree));
}

} // namespace
