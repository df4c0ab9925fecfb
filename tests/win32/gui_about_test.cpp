// The About box and the help file, driven from outside: the box's version from
// the version resource; the help viewer opened on quillet.hlp from the Help menu.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_helpers.h"
#include "viewer/resource.h"

namespace {


// Code page 932 texts, written as bytes to keep this file ASCII.
const char kAboutCaption[] = "Quillet \x82\xc9\x82\xc2\x82\xa2\x82\xc4";           // "Quillet ni tsuite"
const char kContentsHeading[] = "Quillet \x83w\x83\x8b\x83v \x96\xda\x8e\x9f";     // title and "mokuji"
const char kIndexButton[] = "\x8d\xf5\x88\xf8";                                  // "sakuin"
const char kTreeKey[] = "\xc3\xde\xa8\xda\xb8\xc4\xd8\xa5\xc2\xd8\xb0";            // half-width "direkutori tsuri"

const char kHelpClass[] = "MS_WINHELP";

// Closes the help viewer the viewer started: its windows first, then its
// process by id if it is still there, so that no test leaves it running.
void CloseHelpViewer()
{
    std::vector<DWORD> pids;
    for (HWND hwnd : TopLevelWindows(kHelpClass, 0, false)) {
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

// Text of the help viewer's rich edit pane in code page 932, asked for in
// UTF-16 into a buffer large enough for the whole text (the control returns
// nothing into a smaller one).
std::string WideWindowText(HWND hwnd)
{
    static wchar_t wide[65536];
    static char text[4 * 65536];
    DWORD_PTR got = 0;
    wide[0] = L'\0';
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 65535, reinterpret_cast<LPARAM>(wide), SMTO_NORMAL, 10000, &got);
    text[0] = '\0';
    WideCharToMultiByte(932, 0, wide, -1, text, sizeof text - 1, nullptr, nullptr);
    return text;
}

// The help viewer's topic pane: the child with the longest text.
std::string HelpTopicText(HWND help)
{
    std::string text;
    for (DWORD waited = 0; waited < 10000 && text.empty(); waited += 200) {
        for (HWND child = GetWindow(help, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            std::string t = WideWindowText(child);
            if (t.size() > text.size()) text = t;
        }
        if (text.empty()) Sleep(200);
    }
    return text;
}

// A descendant window by class, and a text prefix unless null.
HWND FindDescendant(HWND parent, const char* class_name, const char* prefix = nullptr)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[64] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, class_name) == 0 &&
            (!prefix || WindowText(child).rfind(prefix, 0) == 0))
            return child;
        if (HWND found = FindDescendant(child, class_name, prefix)) return found;
    }
    return nullptr;
}

struct GuiAbout : GuiTest {
    void SetUp() override
    {
        GuiTest::SetUp();
        CloseHelpViewer();
    }
    void TearDown() override
    {
        GuiTest::TearDown();
        CloseHelpViewer();
    }
};

TEST_F(GuiAbout, AboutBoxThenHelpContentsAndIndex)
{
    // Started from another folder: the help file is found beside the program.
    char windows_dir[MAX_PATH] = "";
    GetWindowsDirectoryA(windows_dir, sizeof windows_dir);
    ASSERT_TRUE(StartViewer(&viewer, "", windows_dir));
    PostCommand(viewer.main, IDM_ABOUT);
    HWND box = FindViewerWindow(viewer, "#32770", kAboutCaption);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(Settle(viewer));
    EXPECT_EQ(ControlText(box, IDC_ABOUT_VERSION), "Version 2.01");
    Screenshot(box, "about_box");
    PostKey(GetDlgItem(box, IDOK), VK_RETURN);
    EXPECT_TRUE(WaitWindowGone(box));

    // Wine's viewer, started by WinHelpA, keeps its own caption; the topic
    // pane shows the file's contents topic, which names the tree topic.
    PostCommand(viewer.main, IDM_HELP_CONTENTS);
    HWND help = WaitTopLevel(kHelpClass);
    ASSERT_NE(help, nullptr) << "no help window";
    std::string topic = HelpTopicText(help);
    EXPECT_EQ(topic.find(kContentsHeading), 0u) << topic.substr(0, 80);
    EXPECT_NE(topic.find(kTreeKey), std::string::npos);

    // The viewer's index lists the file's keywords; the tree window's key
    // word leads to the tree topic.
    HWND index_button = FindDescendant(help, "Button", kIndexButton);
    ASSERT_NE(index_button, nullptr);
    PostMessageA(index_button, BM_CLICK, 0, 0);
    DWORD pid = 0;
    GetWindowThreadProcessId(help, &pid);
    HWND sheet = WaitTopLevel("#32770", pid);
    ASSERT_NE(sheet, nullptr) << "no index window";
    HWND list = FindDescendant(sheet, "ListBox");
    ASSERT_NE(list, nullptr);
    std::vector<std::string> keywords = ListBoxLines(list);
    auto key = std::find(keywords.begin(), keywords.end(), std::string(kTreeKey));
    ASSERT_NE(key, keywords.end()) << keywords.size() << " keywords";
    SendMessageA(list, LB_SETCURSEL, (WPARAM)(key - keywords.begin()), 0);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(WaitWindowGone(sheet));
    std::string tree_topic;
    for (int i = 0; i < 50 && tree_topic.find(kTreeKey) != 0; i++) {
        Sleep(200);
        help = WaitTopLevel(kHelpClass);
        tree_topic = HelpTopicText(help);
    }
    EXPECT_EQ(tree_topic.find(kTreeKey), 0u) << tree_topic.substr(0, 80);
    Screenshot(help, "help_tree_topic");
}

}  // namespace
