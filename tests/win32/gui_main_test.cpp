// The viewer's main window, driven from outside: first-run settings, a disc
// image from the command line, the header and status line, stepping at the
// ends of the disc, the two dump texts of each kind of sector, what the exit
// saves, the single-instance check, the drive menu and a broken image.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_helpers.h"
#include "tamrisk.h"

namespace {

const int kDump = 999, kHeader = 998, kStatus = 997;
const int kNext = 210, kPrev = 211, kControlPanel = 220, kAutoSector = 221, kRefresh = 225;
const int kFirstDrive = 10, kOpenImage = 102, kEject = 219;
const int kFileNameCombo = 0x47C, kFileNameEdit = 0x480;   // cmb13, edt1 of the open-file dialog
const long kPregap = 150;
const size_t kRaw = 2352;
typedef std::vector<uint8_t> Bytes;

// Raw sectors rebuilt from 2340-byte reads, for lbn .. lbn + count - 1.
std::vector<Bytes> ReadRaw(const std::string& image, long lbn, long count)
{
    std::vector<Bytes> sectors;
    HANDLE device = cdrOpenImage(nullptr, image.c_str());
    if (device == INVALID_HANDLE_VALUE || cdrMode(nullptr, device, 2340) != 0)
        return sectors;
    static const uint8_t sync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    for (long i = 0; i < count; i++) {
        Bytes raw(kRaw);
        memcpy(raw.data(), sync, sizeof sync);
        if (cdrRead(nullptr, device, raw.data() + 12, lbn + i, 1, 0) != 0)
            break;
        sectors.push_back(raw);
    }
    cdrClose(device);
    return sectors;
}

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

// A Mode 2 track of 2336-byte blocks whose two subheader copies differ, so
// no form can be told.
std::string WriteFormlessImage()
{
    std::string data(40 * 2336, '\0');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (char)(i % 2336 < 8 ? i % 2336 + 1 : i * 13 + i / 2336);
    if (WriteTemp("quillet-formless.bin", data).empty())
        return "";
    return WriteTemp("quillet-formless.cue",
                     "FILE \"quillet-formless.bin\" BINARY\n  TRACK 01 MODE2/2336\n    INDEX 01 00:00:00\n");
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(text.substr(pos, end - pos));
    return lines;
}

// The bytes of a dump line: " XXXX " and then "XX " fields, one blank more
// before the ninth, until the blanks before the character column.
Bytes LineBytes(const std::string& line)
{
    Bytes bytes;
    for (size_t i = 0; i < 16; i++) {
        size_t pos = 6 + 3 * i + (i >= 8 ? 1 : 0);
        if (pos + 2 > line.size() || line[pos] == ' ')
            break;
        bytes.push_back((uint8_t)strtoul(line.substr(pos, 2).c_str(), nullptr, 16));
    }
    return bytes;
}

// The text shows length bytes of raw from offset: line count, first and last line.
void ExpectDumpOf(const std::string& text, const Bytes& raw, size_t offset, size_t length)
{
    std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), (length + 15) / 16);
    EXPECT_EQ(LineBytes(lines.front()), Bytes(&raw[offset], &raw[offset + 16]));
    size_t tail = length % 16 != 0 ? length % 16 : 16;
    EXPECT_EQ(LineBytes(lines.back()), Bytes(&raw[offset + length - tail], &raw[offset + length])) << lines.back();
}

std::string Dump(const Viewer& viewer) { return ControlText(viewer.main, kDump); }

std::string CdTime(long address)
{
    char text[16];
    snprintf(text, sizeof text, "%02ld:%02ld:%02ld", address / 4500, address % 4500 / 75, address % 75);
    return text;
}

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

    // The volume descriptor of the last session, with its time and mode.
    StatusLine status = ViewerStatus(viewer);
    ASSERT_TRUE(status.ok) << ControlText(viewer.main, kStatus);
    EXPECT_EQ(status.lbn, disc.last_session + 16);
    EXPECT_EQ(status.time, CdTime(disc.last_session + 16 + kPregap));
    EXPECT_EQ(status.mode, 2);

    // The image's name stands where a drive name would.
    char first[128];
    snprintf(first, sizeof first, "Drive[sample.cue]  Leadout : %s (LBN:%ld)\n ",
             CdTime(disc.leadout + kPregap).c_str(), disc.leadout);
    EXPECT_EQ(ControlText(viewer.main, kHeader),
              first + std::string(" Addr +0 +1 +2 +3 +4 +5 +6 +7  +8 +9 +A +B +C +D +E +F  "));
    ExpectDeviceMenusGrayed(viewer, false);

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
        EXPECT_EQ(MenuGrayed(viewer, 200), !selected) << "selection " << selected;
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

// The user-data text of each kind of sector starts and ends where its header
// says; the raw text shows the whole sector.
TEST_F(MainWindow, UserDataOfEachKindOfSector)
{
    const std::string sample = SampleDisc();
    const ImageToc disc = ReadImageToc(sample);
    long form2 = -1;
    std::vector<Bytes> scan = ReadRaw(sample, 16, disc.last_session - 16);
    for (size_t i = 0; i < scan.size() && form2 < 0; i++) {
        const Bytes& s = scan[i];
        if (s[15] == 2 && memcmp(&s[16], &s[20], 4) == 0 && (s[18] & 0x20) != 0)
            form2 = 16 + (long)i;
    }
    ASSERT_GT(form2, 0) << "the sample has Form 2 files";
    const std::string formless = WriteFormlessImage();
    ASSERT_FALSE(formless.empty());

    struct Case {
        const char* name;
        std::string image;
        long lbn;
        int mode;
        size_t offset, length;
    } cases[] = {
        {"mode 1", GuiImage("mode1.cue"), 16, 1, 16, 2048},
        {"form 1", sample, 16, 2, 24, 2048},
        {"form 2", sample, form2, 2, 24, 2324},
        {"formless", formless, 20, 2, 16, 2336},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Bytes> raw = ReadRaw(c.image, c.lbn, 1);
        ASSERT_EQ(raw.size(), 1u);
        DeleteSettings();   // the toggle below is saved at exit
        ASSERT_TRUE(Start(c.image));
        JumpTo(viewer, c.lbn);
        EXPECT_EQ(ViewerStatus(viewer).mode, c.mode);
        ExpectDumpOf(Dump(viewer), raw[0], c.offset, c.length);
        SendCommand(viewer.main, kAutoSector);
        ExpectDumpOf(Dump(viewer), raw[0], 0, kRaw);
        StopViewer(&viewer);
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
// eject then grays the device menus again.
TEST_F(MainWindow, OpenImageFromTheFileMenuAndEject)
{
    ASSERT_TRUE(Start());
    PostCommand(viewer.main, kOpenImage);
    HWND dialog = FindViewerWindow(viewer, "#32770", nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND name = GetDlgItem(dialog, kFileNameCombo);
    if (name == nullptr)
        name = GetDlgItem(dialog, kFileNameEdit);
    ASSERT_NE(name, nullptr);
    SendMessageA(name, WM_SETTEXT, 0, (LPARAM)GuiImage("mode1.cue").c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitWindowGone(dialog));
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(viewer.main, kHeader).substr(0, 16), "Drive[mode1.cue]");
    ExpectDeviceMenusGrayed(viewer, false);

    SendCommand(viewer.main, kEject);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_FALSE(BoxShown(viewer));
    ExpectDeviceMenusGrayed(viewer, true);
}

TEST_F(MainWindow, SecondCopyOnlyTellsTheUser)
{
    ASSERT_TRUE(Start());
    char exe[MAX_PATH];
    std::string path(exe, GetModuleFileNameA(nullptr, exe, sizeof exe));
    path = path.substr(0, path.find_last_of("\\/")) + "\\quillet.exe";
    std::string line = "\"" + path + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    Viewer second;
    second.process = pi.hProcess;
    second.pid = pi.dwProcessId;

    Box box;
    ASSERT_TRUE(WaitBox(second, &box));
    EXPECT_EQ(box.caption, "SCSI Quillet Utility");
    EXPECT_EQ(box.text, Cp932(u8"既に起動しています"));
    AnswerBox(box, IDOK);
    DWORD code = ~0u;
    EXPECT_TRUE(WaitViewerExit(&second, 30000, &code));
    EXPECT_EQ(code, 0u);
    CloseHandle(second.process);
    EXPECT_TRUE(IsWindow(viewer.main));
}

TEST_F(MainWindow, BrokenImageLeavesNoDevice)
{
    const std::string cue =
        WriteTemp("quillet-broken.cue", "FILE \"quillet-missing.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                        "    INDEX 01 00:00:00\n");
    ASSERT_FALSE(cue.empty());
    Start(cue);
    ASSERT_NE(viewer.main, nullptr);
    Box box;
    ASSERT_TRUE(WaitBox(viewer, &box));
    AnswerBox(box, IDOK);
    ASSERT_TRUE(Settle(viewer));
    ExpectDeviceMenusGrayed(viewer, true);
    EXPECT_EQ(ControlText(viewer.main, kHeader), "");
    EXPECT_EQ(Dump(viewer), "");
    SendCommand(viewer.main, kRefresh);   // no device to read
    ASSERT_TRUE(Settle(viewer));
    EXPECT_FALSE(BoxShown(viewer));
}

} // namespace
