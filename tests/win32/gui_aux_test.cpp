// The viewer's side windows, driven from outside: the TOC window against the drive's own
// TOC, its jump; the address dialog's acceptance, errors, history and saved position; the
// control panel's buttons against the drive state and the position.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_helpers.h"
#include "viewer/resource.h"

namespace {

const int kTocEdit = IDC_TOC_TEXT;
const int kBlockBox = IDC_INPUT_BLOCK, kMinutes = IDC_INPUT_MINUTES, kSeconds = IDC_INPUT_SECONDS;
const int kFrames = IDC_INPUT_FRAMES;
const int kNext = IDM_NEXT_SECTOR, kPrev = IDM_PREV_SECTOR, kAddress = IDM_ADDRESS;
const int kControlPanel = IDM_CONTROL_PANEL, kToc = IDM_TOC, kTocJump = IDM_TOC_JUMP;

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

bool ButtonEnabled(HWND panel, int id) { return IsWindowEnabled(GetDlgItem(panel, id)) != FALSE; }

void ExpectButtons(HWND panel, std::initializer_list<int> ids, bool enabled)
{
    for (int id : ids)
        EXPECT_EQ(ButtonEnabled(panel, id), enabled) << id;
}

std::string CdTimeFields(HWND dlg)
{
    return ControlText(dlg, kMinutes) + ":" + ControlText(dlg, kSeconds) + ":" + ControlText(dlg, kFrames);
}

struct GuiAux : GuiTest {
    HWND OpenWindow(HWND from, int command, const std::string& title)
    {
        PostCommand(from, command);
        return FindViewerWindow(viewer, "#32770", title.c_str());
    }
    HWND OpenInputDialog() { return OpenWindow(viewer.main, kAddress, kInputTitle); }
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
    void Step(HWND from, int command, long expected_lbn)
    {
        PostCommand(from, command);
        ASSERT_TRUE(Settle(viewer));
        EXPECT_EQ(StatusLbn(viewer), expected_lbn);
    }
    const std::string kInputTitle = Cp932(u8"ｱﾄﾞﾚｽの入力");
};

TEST_F(GuiAux, TocWindowShowsTheDriveTocAndJumpsToASelectedAddress)
{
    const std::string image = SampleDisc();
    const ImageToc expected = ReadImageToc(image);
    ASSERT_FALSE(expected.starts.empty());
    WriteSettingBinary("TocWindow", kTocPlace, sizeof kTocPlace);
    ASSERT_TRUE(Start(image));
    HWND toc = OpenWindow(viewer.main, kToc, "Table Of Contents");
    ASSERT_NE(toc, nullptr);
    ASSERT_TRUE(Settle(viewer));
    RECT rect;
    GetWindowRect(toc, &rect);
    const SIZE fitted = FittedTocSize(73);  // the full TOC's heading
    EXPECT_EQ(rect.left, kTocPlace[0]);
    EXPECT_EQ(rect.top, kTocPlace[1]);
    EXPECT_EQ(rect.right - rect.left, fitted.cx);
    EXPECT_EQ(rect.bottom - rect.top, fitted.cy);
    // The lines are the report's own test (tocreport_test, toc_cdinfo_test).
    const std::string report = ControlText(toc, kTocEdit);
    EXPECT_EQ(report.rfind("First Session No. : 1\r\n", 0), 0u) << report;

    // Select the last track's address (with the blanks before it) and jump there.
    const long target = expected.starts.rbegin()->second;
    char number[16];
    snprintf(number, sizeof number, " %ld   \r\n", target);
    const size_t at = report.rfind(number);
    ASSERT_NE(at, std::string::npos) << report;
    HWND edit = GetDlgItem(toc, kTocEdit);
    SendMessageA(edit, EM_SETSEL, at, at + strlen(number) - 2);
    Step(toc, kTocJump, target);
    Screenshot(toc, "toc_window");

    // The same through the right-click menu: its jump item, chosen by its mnemonic.
    JumpTo(viewer, 0);
    RECT client;
    GetWindowRect(edit, &client);
    PostMessageA(edit, WM_CONTEXTMENU, (WPARAM)edit, MAKELPARAM(client.left + 20, client.top + 20));
    HWND menu = FindViewerWindow(viewer, "#32768", nullptr);
    ASSERT_NE(menu, nullptr);
    PostChar(menu, 'j');
    ASSERT_TRUE(WaitWindowGone(menu));
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(StatusLbn(viewer), target);
}

TEST_F(GuiAux, AddressDialogChecksRangeThenCharactersAndKeepsAHistory)
{
    ASSERT_TRUE(Start(GuiImage("mode1.cue")));
    const long leadout = ReadImageToc(GuiImage("mode1.cue")).leadout;
    HWND dlg = OpenInputDialog();
    ASSERT_NE(dlg, nullptr);
    Screenshot(dlg, "address_dialog");

    char range[128], leadout_text[16];
    snprintf(range, sizeof range, u8"有効範囲を超えています\n 0 ≦ X ＜ %ld", leadout);
    snprintf(leadout_text, sizeof leadout_text, "%ld", leadout);
    const std::string bad = u8"無効な文字が指定されています : ";
    struct Rejected { std::string text; std::string message; } rejected[] = {
        {Cp932(u8"1１"), bad + u8"'１'"},  // the whole full-width digit
        {leadout_text, range},             // the other cases: address_test
    };
    for (const Rejected& r : rejected) {
        SCOPED_TRACE(r.text);
        Submit(dlg, r.text.c_str());
        ExpectInputError(Cp932(r.message.c_str()));
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
    EXPECT_EQ(CdTimeFields(dlg), "00:02:16");
    EXPECT_EQ(ComboBoxLines(GetDlgItem(dlg, kBlockBox)), (std::vector<std::string>{"16", "8", "16"}));

    // Typed into the block address box, the text converts as decimal; typed into
    // the minutes field, the block address follows.
    HWND combo_edit = FindWindowExA(GetDlgItem(dlg, kBlockBox), nullptr, "Edit", nullptr);
    ASSERT_NE(combo_edit, nullptr);
    SendMessageA(combo_edit, EM_SETSEL, 0, -1);
    for (char ch : std::string("0x10"))
        PostChar(combo_edit, ch);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(dlg, kBlockBox), "0x10");
    EXPECT_EQ(CdTimeFields(dlg), "00:02:00");
    PostKey(combo_edit, VK_TAB);
    for (char ch : std::string("45"))
        PostChar(GetDlgItem(dlg, kMinutes), ch);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(dlg, kMinutes), "45");
    EXPECT_EQ(ControlText(dlg, kBlockBox), "202500");

    // Cancel leaves the stored position; a close from the caption stores it and cancels.
    std::vector<uint8_t> before, after;
    ReadSettingBinary("InputWindow", &before);
    for (UINT close : {(UINT)WM_COMMAND, (UINT)WM_CLOSE}) {
        if (!IsWindow(dlg))
            dlg = OpenInputDialog();
        ASSERT_NE(dlg, nullptr);
        SetWindowPos(dlg, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        PostMessageA(dlg, close, close == WM_COMMAND ? IDCANCEL : 0, 0);
        ASSERT_TRUE(WaitWindowGone(dlg));
        ASSERT_TRUE(Settle(viewer));
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
    HWND panel = OpenWindow(viewer.main, kControlPanel, "CD-ROM Control");
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(Settle(viewer));
    ExpectButtons(panel, {kNext, kPrev, kAddress}, false);
    // Nothing built yet: an empty TOC window (its width, one scroll bar, is below what the
    // platform lets a captioned window shrink to).
    HWND toc_window = OpenWindow(viewer.main, kToc, "Table Of Contents");
    ASSERT_NE(toc_window, nullptr);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(toc_window, kTocEdit), "");
    StopViewer(&viewer);
    DeleteSettings();

    // Both side windows open at start; the TOC window shows the first refresh's report,
    // and F5 rebuilds it where it was left.
    WriteSettingDword("Control on Execute", 1);
    WriteSettingDword("Toc on Execute", 1);
    WriteSettingBinary("ControlWindow", kPanelPlace, sizeof kPanelPlace);
    WriteSettingBinary("TocWindow", kTocPlace, sizeof kTocPlace);
    ASSERT_TRUE(Start(GuiImage("mode1.cue")));
    panel = FindViewerWindow(viewer, "#32770", "CD-ROM Control");
    ASSERT_NE(panel, nullptr);
    ExpectButtons(panel, {kNext, kPrev, kAddress}, true);
    toc_window = FindViewerWindow(viewer, "#32770", "Table Of Contents");
    ASSERT_NE(toc_window, nullptr);
    EXPECT_NE(ControlText(toc_window, kTocEdit).find("    A2    "), std::string::npos);  // lead-out row
    SetWindowPos(toc_window, nullptr, 31, 37, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostKey(viewer.main, VK_F5);
    ASSERT_TRUE(WaitWindowGone(toc_window));
    ASSERT_TRUE(Settle(viewer));
    toc_window = FindViewerWindow(viewer, "#32770", "Table Of Contents");
    ASSERT_NE(toc_window, nullptr);
    RECT place;
    GetWindowRect(toc_window, &place);
    EXPECT_TRUE(place.left == 31 && place.top == 37) << place.left << "," << place.top;
    EXPECT_NE(ControlText(toc_window, kTocEdit).find("    A2    "), std::string::npos);  // lead-out row

    // The buttons send the step commands; each end grays its own.
    JumpTo(viewer, 1);
    Step(panel, kPrev, 0);
    EXPECT_FALSE(ButtonEnabled(panel, kPrev));
    Step(panel, kNext, 1);
    EXPECT_TRUE(ButtonEnabled(panel, kPrev));
    const long leadout = ReadImageToc(GuiImage("mode1.cue")).leadout;
    JumpTo(viewer, leadout - 2);
    Step(panel, kNext, leadout - 1);
    EXPECT_FALSE(ButtonEnabled(panel, kNext));

    // While the address dialog is open only "Address" is disabled, and the steps still move.
    HWND dlg = OpenWindow(panel, kAddress, kInputTitle);
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(ButtonEnabled(panel, kAddress));
    PostCommand(panel, kAddress);  // forwarded all the same: no second dialog on top
    ASSERT_TRUE(Settle(viewer));
    const std::vector<HWND> dialogs = TopLevelWindows("#32770", viewer.pid, true);
    EXPECT_EQ(std::count_if(dialogs.begin(), dialogs.end(), [&](HWND w) { return WindowText(w) == kInputTitle; }),
              1);
    Step(panel, kPrev, leadout - 2);
    Screenshot(panel, "control_panel");
    PostCommand(dlg, IDCANCEL);
    ASSERT_TRUE(WaitWindowGone(dlg));
    ASSERT_TRUE(Settle(viewer));
    EXPECT_TRUE(ButtonEnabled(panel, kAddress));

    // Closed and opened again, the panel comes back where it was.
    SetWindowPos(panel, nullptr, 53, 59, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PostCommand(viewer.main, kControlPanel);
    ASSERT_TRUE(WaitWindowGone(panel));
    panel = OpenWindow(viewer.main, kControlPanel, "CD-ROM Control");
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
    ASSERT_TRUE(Start(GuiImage("mode1.cue")));
    HWND toc = OpenWindow(viewer.main, kToc, "Table Of Contents");
    HWND panel = OpenWindow(viewer.main, kControlPanel, "CD-ROM Control");
    ASSERT_TRUE(toc && panel);
    ASSERT_TRUE(Settle(viewer));

    for (HWND window : {toc, panel}) {
        std::vector<MenuItem> items;
        ASSERT_TRUE(ReadMenus(viewer, window, &items));
        // The panel keeps what its modal frame offers; the TOC window loses sizing items too.
        for (int removed : {SC_CLOSE, SC_RESTORE, SC_MINIMIZE, SC_MAXIMIZE, SC_TASKLIST})
            EXPECT_TRUE((window != toc && removed != SC_CLOSE) || !FindMenuId(items, removed)) << removed;
        const MenuItem* next = FindMenuId(items, SC_NEXTWINDOW);
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(next->caption, Cp932(u8"次のウィンドウに移る(&T)"));
    }

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
