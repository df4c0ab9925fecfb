// The viewer's side windows, driven from outside: the TOC window against the drive's own
// TOC, its jump; the address dialog's acceptance, errors, history and saved position; the
// control panel's buttons against the drive state and the position.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_driver.h"
#include "tamrisk.h"

namespace {

const int kTocEdit = 996, kStatus = 997;
const int kBlockBox = 243, kMinutes = 244, kSeconds = 241, kFrames = 242;
const int kNext = 210, kPrev = 211, kAddress = 213;
const int kControlPanel = 220, kToc = 222, kTocJump = 101, kJumpAddress = 229;

// Track starts and the disc's lead-out as the library reads them from the image.
struct DriveToc {
    std::map<int, long> starts;
    long leadout = -1;
};

DriveToc ReadDriveToc(const std::string& image)
{
    DriveToc toc;
    HANDLE device = cdrOpenImage(nullptr, image.c_str());
    EXPECT_NE(device, INVALID_HANDLE_VALUE) << image;
    if (device == INVALID_HANDLE_VALUE)
        return toc;
    std::vector<unsigned char> resp(4096);
    EXPECT_EQ(cdrToc(nullptr, device, resp.data(), (DWORD)resp.size(), 0, 0), 0);
    const unsigned n = (resp[0] << 8 | resp[1]) - 2;
    for (unsigned off = 4; off + 8 <= n + 4 && off + 8 <= resp.size(); off += 8) {
        const unsigned char* d = &resp[off];
        if (d[2] != 0xAA)
            toc.starts[d[2]] = d[5] * 4500L + d[6] * 75L + d[7] - 150;
    }
    LONG block = 0, last = 0;
    EXPECT_EQ(cdrSize(nullptr, device, &block, &last), 0);
    toc.leadout = last + 1;
    cdrClose(device);
    return toc;
}

// Rows of a full-TOC report: POINT -> block address column, for the rows that have one.
std::multimap<std::string, std::string> ReportRows(const std::string& report)
{
    std::multimap<std::string, std::string> rows;
    std::istringstream lines(report);
    std::string line;
    for (int n = 0; std::getline(lines, line); ++n) {
        std::istringstream in(line);
        std::vector<std::string> f;
        for (std::string w; in >> w;)
            f.push_back(w);
        if (n >= 3 && f.size() == 9)
            rows.emplace(f[4], f[8]);
    }
    return rows;
}

int StatusLbn(const Viewer& viewer)
{
    StatusLine status = ParseStatus(ControlText(viewer.main, kStatus));
    EXPECT_TRUE(status.ok) << ControlText(viewer.main, kStatus);
    return status.lbn;
}

void JumpTo(const Viewer& viewer, long lbn)
{
    PostCommand(viewer.main, kJumpAddress, lbn + 150);
    ASSERT_TRUE(Settle(viewer));
}

// Stored window rectangles (left, top, right, bottom) that keep the windows on the
// screen and clear of the address dialog in the middle.
const int32_t kTocPlace[4] = {10, 20, 0, 0};
const int32_t kPanelPlace[4] = {700, 20, 0, 0};

// The TOC window's outer size for a heading of that many characters: a scroll bar and the
// heading in average characters of a window's default font wide, ten lines high.
SIZE FittedTocSize(int heading_chars)
{
    TEXTMETRICA tm = {};
    HDC dc = GetDC(nullptr);
    GetTextMetricsA(dc, &tm);
    ReleaseDC(nullptr, dc);
    return SIZE{GetSystemMetrics(SM_CXVSCROLL) + tm.tmAveCharWidth * heading_chars, tm.tmHeight * 10};
}

struct TitleSearch {
    DWORD pid;
    std::string title;
    int count;
};

BOOL CALLBACK CountTitled(HWND hwnd, LPARAM param)
{
    TitleSearch* s = reinterpret_cast<TitleSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->pid && IsWindowVisible(hwnd) && WindowText(hwnd) == s->title)
        ++s->count;
    return TRUE;
}

// Visible top-level windows of the viewer with that title.
int CountViewerWindows(const Viewer& viewer, const std::string& title)
{
    TitleSearch search{viewer.pid, title, 0};
    EnumWindows(CountTitled, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

bool ButtonEnabled(HWND panel, int id)
{
    return IsWindowEnabled(GetDlgItem(panel, id)) != FALSE;
}

struct GuiAux : ::testing::Test {
    Viewer viewer;
    void SetUp() override { DeleteSettings(); }
    void TearDown() override
    {
        if (viewer.process)
            StopViewer(&viewer);
    }
    void Start(const std::string& image)
    {
        ASSERT_TRUE(StartViewer(&viewer, image.empty() ? "" : "\"" + image + "\""));
    }
    HWND OpenInputDialog()
    {
        PostCommand(viewer.main, kAddress);
        return FindViewerWindow(viewer, "#32770", Cp932(u8"ｱﾄﾞﾚｽの入力").c_str());
    }
    // Types text into the block address box and presses OK.
    void Submit(HWND dlg, const char* text)
    {
        SendMessageA(GetDlgItem(dlg, kBlockBox), WM_SETTEXT, 0, (LPARAM)text);
        PostCommand(dlg, IDOK);
    }
    // Found by its caption: the address dialog's own labels look like a box's text.
    void ExpectInputError(const std::string& text)
    {
        Box box;
        box.hwnd = FindViewerWindow(viewer, "#32770", Cp932(u8"入力エラー").c_str());
        ASSERT_NE(box.hwnd, nullptr);
        EXPECT_EQ(ControlText(box.hwnd, 0xFFFF), text);
        AnswerBox(box, IDOK);
        ASSERT_TRUE(Settle(viewer));
    }
    // The drop-down list's lines, read through the box's own text one selection at a time.
    std::vector<std::string> HistoryLines(HWND dlg)
    {
        std::vector<std::string> lines;
        HWND combo = GetDlgItem(dlg, kBlockBox);
        LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            SendMessageA(combo, CB_SETCURSEL, i, 0);
            lines.push_back(ControlText(dlg, kBlockBox));
        }
        return lines;
    }
};

TEST_F(GuiAux, TocWindowShowsTheDriveTocAndJumpsToASelectedAddress)
{
    struct Case { std::string image; const char* shot; size_t sessions; } cases[] = {
        {GuiImage("mode1.cue"), "toc_window_single_session", 1},
        {SampleDisc(), "toc_window_multisession_mixed", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        const DriveToc expected = ReadDriveToc(c.image);
        ASSERT_FALSE(expected.starts.empty());
        DeleteSettings();  // the previous run left the window to be reopened at start
        WriteSettingBinary("TocWindow", kTocPlace, sizeof kTocPlace);
        Start(c.image);
        PostCommand(viewer.main, kToc);
        HWND toc = FindViewerWindow(viewer, "#32770", "Table Of Contents");
        ASSERT_NE(toc, nullptr);
        ASSERT_TRUE(Settle(viewer));
        RECT rect;
        GetWindowRect(toc, &rect);
        EXPECT_EQ(rect.left, kTocPlace[0]);
        EXPECT_EQ(rect.top, kTocPlace[1]);
        const SIZE fitted = FittedTocSize(73);  // the full TOC's heading
        EXPECT_EQ(rect.right - rect.left, fitted.cx);
        EXPECT_EQ(rect.bottom - rect.top, fitted.cy);
        const std::string report = ControlText(toc, kTocEdit);
        const auto rows = ReportRows(report);
        for (const auto& track : expected.starts) {
            char point[8];
            snprintf(point, sizeof point, "%02d", track.first);
            auto row = rows.find(point);
            ASSERT_NE(row, rows.end()) << point << "\n" << report;
            EXPECT_EQ(atol(row->second.c_str()), track.second) << point << "\n" << report;
        }
        EXPECT_EQ(rows.count("A2"), c.sessions) << report;
        std::string last_leadout;
        for (auto r = rows.equal_range("A2"); r.first != r.second; ++r.first)
            last_leadout = r.first->second;
        EXPECT_EQ(atol(last_leadout.c_str()), expected.leadout) << report;

        // Select the last track's address (with the blanks before it) and jump there.
        const long target = expected.starts.rbegin()->second;
        char number[16];
        snprintf(number, sizeof number, " %ld   \r\n", target);
        const size_t at = report.rfind(number);
        ASSERT_NE(at, std::string::npos) << report;
        SendMessageA(GetDlgItem(toc, kTocEdit), EM_SETSEL, at, at + strlen(number) - 2);
        PostCommand(toc, kTocJump);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(StatusLbn(viewer), target);
        Screenshot(toc, c.shot);

        // The same through the right-click menu: its jump item, chosen by its mnemonic.
        JumpTo(viewer, 0);
        HWND edit = GetDlgItem(toc, kTocEdit);
        RECT client;
        GetWindowRect(edit, &client);
        PostMessageA(edit, WM_CONTEXTMENU, (WPARAM)edit, MAKELPARAM(client.left + 20, client.top + 20));
        HWND menu = FindViewerWindow(viewer, "#32768", nullptr);
        ASSERT_NE(menu, nullptr);
        PostChar(menu, 'j');
        ASSERT_TRUE(WaitWindowGone(menu));
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(StatusLbn(viewer), target);
        StopViewer(&viewer);
    }
}

TEST_F(GuiAux, AddressDialogChecksRangeThenCharactersAndKeepsAHistory)
{
    Start(GuiImage("mode1.cue"));
    const DriveToc toc = ReadDriveToc(GuiImage("mode1.cue"));
    HWND dlg = OpenInputDialog();
    ASSERT_NE(dlg, nullptr);
    Screenshot(dlg, "address_dialog");

    char range[128];
    snprintf(range, sizeof range, u8"有効範囲を超えています\n 0 ≦ X ＜ %ld", toc.leadout);
    char leadout_text[16];
    snprintf(leadout_text, sizeof leadout_text, "%ld", toc.leadout);
    struct Rejected { std::string text; std::string message; } rejected[] = {
        {"abc", Cp932(u8"無効な文字が指定されています : 'a'")},
        {"12 ", Cp932(u8"無効な文字が指定されています : ' '")},
        {"08", Cp932(u8"無効な文字が指定されています : '8'")},
        {Cp932(u8"1１"), Cp932(u8"無効な文字が指定されています : '１'")},  // the whole full-width digit
        {"-1x", Cp932(range)},  // the range is checked first
        {leadout_text, Cp932(range)},
    };
    for (const Rejected& r : rejected) {
        SCOPED_TRACE(r.text);
        Submit(dlg, r.text.c_str());
        ExpectInputError(r.message);
        EXPECT_TRUE(IsWindow(dlg));
    }

    // Automatic base on OK; each accepted address goes to the front of the history.
    struct Accepted { const char* text; int lbn; } accepted[] = {{"0x10", 16}, {"010", 8}, {" 16", 16}};
    for (const Accepted& a : accepted) {
        if (!IsWindow(dlg))
            dlg = OpenInputDialog();
        ASSERT_NE(dlg, nullptr);
        Submit(dlg, a.text);
        ASSERT_TRUE(WaitWindowGone(dlg)) << a.text;
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(StatusLbn(viewer), a.lbn) << a.text;
    }
    dlg = OpenInputDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(ControlText(dlg, kBlockBox), "16");
    EXPECT_EQ(ControlText(dlg, kMinutes) + ":" + ControlText(dlg, kSeconds) + ":" + ControlText(dlg, kFrames),
              "00:02:16");
    EXPECT_EQ(HistoryLines(dlg), (std::vector<std::string>{"16", "8", "16"}));

    // Typing in the block address box converts as decimal while typing.
    HWND combo_edit = FindWindowExA(GetDlgItem(dlg, kBlockBox), nullptr, "Edit", nullptr);
    ASSERT_NE(combo_edit, nullptr);
    SendMessageA(combo_edit, EM_SETSEL, 0, -1);
    for (char ch : std::string("0x10"))
        PostChar(combo_edit, ch);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(dlg, kBlockBox), "0x10");
    EXPECT_EQ(ControlText(dlg, kMinutes) + ":" + ControlText(dlg, kSeconds) + ":" + ControlText(dlg, kFrames),
              "00:02:00");

    // Tab to the minutes field and type there: the block address follows.
    PostKey(combo_edit, VK_TAB);
    for (char ch : std::string("45"))
        PostChar(GetDlgItem(dlg, kMinutes), ch);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(dlg, kMinutes), "45");
    EXPECT_EQ(ControlText(dlg, kBlockBox), "202500");

    // OK and Cancel leave the stored position; a close from the caption stores it.
    std::vector<uint8_t> before;
    ReadSettingBinary("InputWindow", &before);
    SetWindowPos(dlg, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostCommand(dlg, IDCANCEL);
    ASSERT_TRUE(WaitWindowGone(dlg));
    std::vector<uint8_t> after;
    ReadSettingBinary("InputWindow", &after);
    EXPECT_EQ(after, before);

    dlg = OpenInputDialog();
    ASSERT_NE(dlg, nullptr);
    SetWindowPos(dlg, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostMessageA(dlg, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitWindowGone(dlg));
    ASSERT_TRUE(Settle(viewer));
    ASSERT_TRUE(ReadSettingBinary("InputWindow", &after));
    ASSERT_EQ(after.size(), 16u);
    EXPECT_EQ(*(const int32_t*)&after[0], 37);
    EXPECT_EQ(*(const int32_t*)&after[4], 41);
    EXPECT_EQ(StatusLbn(viewer), 16);  // closing is cancelling
}

TEST_F(GuiAux, ControlPanelButtonsFollowTheDriveAndThePosition)
{
    Start("");
    PostCommand(viewer.main, kControlPanel);
    HWND panel = FindViewerWindow(viewer, "#32770", "CD-ROM Control");
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(Settle(viewer));
    for (int id : {kNext, kPrev, kAddress})
        EXPECT_FALSE(ButtonEnabled(panel, id)) << id;
    // Nothing built yet: an empty TOC window (its width, one scroll bar, is below what the
    // platform lets a captioned window shrink to).
    PostCommand(viewer.main, kToc);
    HWND toc_window = FindViewerWindow(viewer, "#32770", "Table Of Contents");
    ASSERT_NE(toc_window, nullptr);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(toc_window, kTocEdit), "");
    StopViewer(&viewer);
    DeleteSettings();

    WriteSettingDword("Control on Execute", 1);
    WriteSettingBinary("ControlWindow", kPanelPlace, sizeof kPanelPlace);
    Start(GuiImage("mode1.cue"));
    panel = FindViewerWindow(viewer, "#32770", "CD-ROM Control");
    ASSERT_NE(panel, nullptr);
    for (int id : {kNext, kPrev, kAddress})
        EXPECT_TRUE(ButtonEnabled(panel, id)) << id;

    JumpTo(viewer, 1);
    PostCommand(panel, kPrev);  // "<<" as the button sends it
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(StatusLbn(viewer), 0);
    EXPECT_FALSE(ButtonEnabled(panel, kPrev));
    PostCommand(panel, kNext);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(StatusLbn(viewer), 1);
    EXPECT_TRUE(ButtonEnabled(panel, kPrev));

    const DriveToc toc = ReadDriveToc(GuiImage("mode1.cue"));
    JumpTo(viewer, toc.leadout - 2);
    PostCommand(panel, kNext);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(StatusLbn(viewer), toc.leadout - 1);
    EXPECT_FALSE(ButtonEnabled(panel, kNext));

    // While the address dialog is open only "Address" is disabled, and the steps still move.
    PostCommand(panel, kAddress);
    HWND dlg = FindViewerWindow(viewer, "#32770", Cp932(u8"ｱﾄﾞﾚｽの入力").c_str());
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(ButtonEnabled(panel, kAddress));
    PostCommand(panel, kAddress);  // forwarded all the same: no second dialog on top
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(CountViewerWindows(viewer, Cp932(u8"ｱﾄﾞﾚｽの入力")), 1);
    PostCommand(panel, kPrev);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(StatusLbn(viewer), toc.leadout - 2);
    Screenshot(panel, "control_panel");
    PostCommand(dlg, IDCANCEL);
    ASSERT_TRUE(WaitWindowGone(dlg));
    ASSERT_TRUE(Settle(viewer));
    EXPECT_TRUE(ButtonEnabled(panel, kAddress));

    // Closed and opened again, the panel comes back where it was.
    SetWindowPos(panel, nullptr, 53, 59, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostCommand(viewer.main, kControlPanel);
    ASSERT_TRUE(WaitWindowGone(panel));
    PostCommand(viewer.main, kControlPanel);
    panel = FindViewerWindow(viewer, "#32770", "CD-ROM Control");
    ASSERT_NE(panel, nullptr);
    RECT rect;
    GetWindowRect(panel, &rect);
    EXPECT_EQ(rect.left, 53);
    EXPECT_EQ(rect.top, 59);
}

// Neither side window can be closed from its caption; each passes the activation on along
// main window, panel, TOC window, tree window, skipping closed ones.
TEST_F(GuiAux, SideWindowsHaveNoCloseItemAndCycleTheActivation)
{
    WriteSettingBinary("TocWindow", kTocPlace, sizeof kTocPlace);
    WriteSettingBinary("ControlWindow", kPanelPlace, sizeof kPanelPlace);
    Start(GuiImage("mode1.cue"));
    PostCommand(viewer.main, kToc);
    HWND toc = FindViewerWindow(viewer, "#32770", "Table Of Contents");
    PostCommand(viewer.main, kControlPanel);
    HWND panel = FindViewerWindow(viewer, "#32770", "CD-ROM Control");
    ASSERT_NE(toc, nullptr);
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(Settle(viewer));

    const std::string next_caption = Cp932(u8"次のウィンドウに移る(&T)");
    for (HWND window : {toc, panel}) {
        std::vector<MenuItem> items;
        ASSERT_TRUE(ReadMenus(viewer, window, &items));
        EXPECT_EQ(FindMenuId(items, SC_CLOSE), nullptr);
        const MenuItem* next = FindMenuId(items, SC_NEXTWINDOW);
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(next->caption, next_caption);
    }
    std::vector<MenuItem> items;
    ASSERT_TRUE(ReadMenus(viewer, toc, &items));
    for (int removed : {SC_RESTORE, SC_MINIMIZE, SC_MAXIMIZE, SC_TASKLIST})
        EXPECT_EQ(FindMenuId(items, removed), nullptr) << removed;

    struct Step { HWND from, to; } steps[] = {{panel, toc}, {toc, viewer.main}};
    for (const Step& step : steps) {
        PostMessageA(step.from, WM_SYSCOMMAND, SC_NEXTWINDOW, 0);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(GetForegroundWindow(), step.to);
    }
    PostCommand(viewer.main, kToc);  // closed: the panel passes on to the main window
    ASSERT_TRUE(WaitWindowGone(toc));
    PostMessageA(panel, WM_SYSCOMMAND, SC_NEXTWINDOW, 0);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(GetForegroundWindow(), viewer.main);
}

}  // namespace
