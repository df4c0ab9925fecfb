// The About box and the help file, driven from outside: the box's texts from
// the version resource and the build date, which keys close it; the help
// viewer opened on quillet.hlp from the Help menu and from the tree window.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_driver.h"

namespace {

const int kAbout = 239, kHelpContents = 231, kTree = 224, kTreeHelp = 323;
const int kDescription = 500, kVersion = 501, kBuildDate = 502;

// Code page 932 texts, written as bytes to keep this file ASCII.
const char kAboutCaption[] = "Quillet \x82\xc9\x82\xc2\x82\xa2\x82\xc4";           // "Quillet ni tsuite"
const char kContentsHeading[] = "Quillet \x83w\x83\x8b\x83v \x96\xda\x8e\x9f";     // title and "mokuji"
const char kIndexButton[] = "\x8d\xf5\x88\xf8";                                  // "sakuin"
const char kTreeKey[] = "\xc3\xde\xa8\xda\xb8\xc4\xd8\xa5\xc2\xd8\xb0";            // half-width "direkutori tsuri"

// "Mmm d yyyy" or "Mmm dd yyyy": a month abbreviation, the day without
// padding, the year, single blanks between.
bool IsBuildDate(const std::string& s)
{
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    bool month = false;
    for (const char* m : kMonths) month = month || s.compare(0, 4, std::string(m) + " ") == 0;
    if (!month) return false;
    size_t blank = s.find(' ', 4);
    if (blank == std::string::npos || blank == 4 || blank > 6) return false;
    std::string day = s.substr(4, blank - 4), year = s.substr(blank + 1);
    for (char c : day + year)
        if (!isdigit((unsigned char)c)) return false;
    int d = atoi(day.c_str());
    return day[0] != '0' && d >= 1 && d <= 31 && year.size() == 4;
}

struct HelpWindows {
    bool visible_only;
    std::vector<HWND> list;
};

BOOL CALLBACK CollectHelpWindow(HWND hwnd, LPARAM param)
{
    HelpWindows* found = reinterpret_cast<HelpWindows*>(param);
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    if (lstrcmpiA(name, "MS_WINHELP") == 0 && (!found->visible_only || IsWindowVisible(hwnd)))
        found->list.push_back(hwnd);
    return TRUE;
}

// Top-level windows of the help viewer (class MS_WINHELP).
std::vector<HWND> HelpViewerWindows(bool visible_only)
{
    HelpWindows found{visible_only, {}};
    EnumWindows(CollectHelpWindow, reinterpret_cast<LPARAM>(&found));
    return found.list;
}

// The help viewer's visible main window, once it appears.
HWND WaitHelpWindow(DWORD timeout_ms = 20000)
{
    for (DWORD waited = 0; waited < timeout_ms; waited += 100) {
        std::vector<HWND> windows = HelpViewerWindows(true);
        if (!windows.empty()) return windows.front();
        Sleep(100);
    }
    return nullptr;
}

// Closes the help viewer the viewer started: its windows first, then its
// process by id if it is still there, so that no test leaves it running.
void CloseHelpViewer()
{
    std::vector<DWORD> pids;
    for (HWND hwnd : HelpViewerWindows(false)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid && pid != GetCurrentProcessId()) pids.push_back(pid);
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
    for (DWORD pid : pids) {
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        if (!process) continue;
        if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
        CloseHandle(process);
    }
}

std::string ToCp932(const wchar_t* wide)
{
    int n = WideCharToMultiByte(932, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return "";
    std::string text(n, '\0');
    WideCharToMultiByte(932, 0, wide, -1, &text[0], n, nullptr, nullptr);
    text.resize(strlen(text.c_str()));
    return text;
}

// Text of the help viewer's rich edit pane (another process), in code page
// 932.
std::string WideWindowText(HWND hwnd)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &length)) return "";
    // The rich edit control counts a line end as one character but returns
    // CR LF, and returns nothing into a buffer too small for the whole text.
    std::vector<wchar_t> wide(2 * length + 2, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()), SMTO_NORMAL,
                        10000, &got);
    return ToCp932(wide.data());
}

// Lines of a list box of the help viewer, read as Unicode: its ANSI answer
// to another process is not in code page 932.
std::vector<std::string> WideListBoxLines(HWND list)
{
    std::vector<std::string> lines;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count && i < 10000; i++) {
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, (WPARAM)i, 0);
        if (length < 0 || length > 4096) continue;
        std::vector<wchar_t> wide(2 * length + 2, L'\0');
        SendMessageW(list, LB_GETTEXT, (WPARAM)i, reinterpret_cast<LPARAM>(wide.data()));
        lines.push_back(ToCp932(wide.data()));
    }
    return lines;
}

// The help viewer's topic pane: the child with the longest text.
std::string HelpTopicText(HWND help, DWORD timeout_ms = 10000)
{
    std::string text;
    for (DWORD waited = 0; waited < timeout_ms && text.empty(); waited += 200) {
        for (HWND child = GetWindow(help, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            std::string t = WideWindowText(child);
            if (t.size() > text.size()) text = t;
        }
        if (text.empty()) Sleep(200);
    }
    return text;
}

// A visible top-level window of class `class_name` in process `pid`.
struct ProcessWindow {
    DWORD pid;
    const char* class_name;
    HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND hwnd, LPARAM param)
{
    ProcessWindow* want = reinterpret_cast<ProcessWindow*>(param);
    DWORD pid = 0;
    char name[64] = "";
    GetWindowThreadProcessId(hwnd, &pid);
    GetClassNameA(hwnd, name, sizeof name);
    if (pid == want->pid && IsWindowVisible(hwnd) && lstrcmpiA(name, want->class_name) == 0) {
        want->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitProcessWindow(DWORD pid, const char* class_name, DWORD timeout_ms = 10000)
{
    for (DWORD waited = 0; waited < timeout_ms; waited += 100) {
        ProcessWindow want{pid, class_name, nullptr};
        EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&want));
        if (want.found) return want.found;
        Sleep(100);
    }
    return nullptr;
}

// A descendant window by class, or by class and a text prefix.
struct Descendant {
    const char* class_name;
    const char* prefix;
    HWND found;
};

BOOL CALLBACK MatchDescendant(HWND hwnd, LPARAM param)
{
    Descendant* want = reinterpret_cast<Descendant*>(param);
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    if (lstrcmpiA(name, want->class_name) != 0) return TRUE;
    if (want->prefix && WindowText(hwnd).compare(0, strlen(want->prefix), want->prefix) != 0) return TRUE;
    want->found = hwnd;
    return FALSE;
}

HWND FindDescendant(HWND parent, const char* class_name, const char* prefix = nullptr)
{
    Descendant want{class_name, prefix, nullptr};
    EnumChildWindows(parent, MatchDescendant, reinterpret_cast<LPARAM>(&want));
    return want.found;
}

struct GuiAbout : ::testing::Test {
    Viewer viewer;
    void SetUp() override
    {
        DeleteSettings();
        CloseHelpViewer();
    }
    void TearDown() override
    {
        if (viewer.process) StopViewer(&viewer);
        CloseHelpViewer();
    }
};

TEST_F(GuiAbout, ShowsVersionAndDateAndClosesOnlyOnOk)
{
    ASSERT_TRUE(StartViewer(&viewer));
    PostCommand(viewer.main, kAbout);
    HWND box = FindViewerWindow(viewer, "#32770", kAboutCaption);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(box, kDescription), "Quillet Utility for Windows NT");
    EXPECT_EQ(ControlText(box, kVersion), "Version 2.01");
    std::string date = ControlText(box, kBuildDate);
    EXPECT_TRUE(IsBuildDate(date)) << "\"" << date << "\"";
    Screenshot(box, "about_box");

    // Esc and the caption's close button give the cancel command: ignored.
    HWND ok = GetDlgItem(box, IDOK);
    PostKey(ok, VK_ESCAPE);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_TRUE(IsWindow(box));
    PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_TRUE(IsWindow(box));

    PostKey(ok, VK_RETURN);
    EXPECT_TRUE(WaitWindowGone(box));
}

TEST_F(GuiAbout, HelpMenuOpensTheHelpFileAtItsContents)
{
    ASSERT_TRUE(StartViewer(&viewer));
    PostCommand(viewer.main, kHelpContents);
    HWND help = WaitHelpWindow();
    ASSERT_NE(help, nullptr) << "no help window";
    // Wine's viewer, started by WinHelpA, keeps its own caption; the topic
    // pane shows the file.
    std::string topic = HelpTopicText(help);
    EXPECT_EQ(topic.find(kContentsHeading), 0u) << topic.substr(0, 80);
    EXPECT_NE(topic.find(kTreeKey), std::string::npos);   // the contents list names the tree topic
    Screenshot(help, "help_contents");

    // The viewer's index lists the file's keywords; the tree window's key
    // word leads to the tree topic.
    HWND index_button = FindDescendant(help, "Button", kIndexButton);
    ASSERT_NE(index_button, nullptr);
    PostMessageA(index_button, BM_CLICK, 0, 0);
    DWORD help_pid = 0;
    GetWindowThreadProcessId(help, &help_pid);
    HWND sheet = WaitProcessWindow(help_pid, "#32770");
    ASSERT_NE(sheet, nullptr) << "no index window";
    HWND list = FindDescendant(sheet, "ListBox");
    ASSERT_NE(list, nullptr);
    std::vector<std::string> keywords = WideListBoxLines(list);
    auto key = std::find(keywords.begin(), keywords.end(), std::string(kTreeKey));
    ASSERT_NE(key, keywords.end()) << keywords.size() << " keywords";
    SendMessageA(list, LB_SETCURSEL, (WPARAM)(key - keywords.begin()), 0);
    Screenshot(sheet, "help_index");
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(WaitWindowGone(sheet));
    std::string tree_topic;
    for (int i = 0; i < 50 && tree_topic.find(kTreeKey) != 0; i++) {
        Sleep(200);
        help = WaitHelpWindow();
        tree_topic = HelpTopicText(help);
    }
    EXPECT_EQ(tree_topic.find(kTreeKey), 0u) << tree_topic.substr(0, 80);
    Screenshot(help, "help_tree_topic");
}

// The tree window asks for its key word. Wine's help viewer starts but does
// not act on HELP_KEY (its window stays hidden without a file); the key
// word's way through the index is checked above.
TEST_F(GuiAbout, TreeWindowHelpStartsTheHelpViewer)
{
    ASSERT_TRUE(StartViewer(&viewer, "\"" + SampleDisc() + "\""));
    PostCommand(viewer.main, kTree);
    HWND tree = FindViewerWindow(viewer, "#32770", "Directory Tree");
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(Settle(viewer));
    PostCommand(tree, kTreeHelp);
    std::vector<HWND> started;
    for (int i = 0; i < 100 && started.empty(); i++) {
        Sleep(100);
        started = HelpViewerWindows(false);
    }
    ASSERT_FALSE(started.empty()) << "the help viewer did not start";
    HWND help = WaitHelpWindow(3000);
    if (!help) return;
    // Whatever the viewer shows of the file must be the tree window's topic.
    std::string topic = HelpTopicText(help, 3000);
    if (!topic.empty()) {
        EXPECT_EQ(topic.find(kTreeKey), 0u) << topic.substr(0, 80);
    }
    Screenshot(help, "help_tree_key");
}

}  // namespace
