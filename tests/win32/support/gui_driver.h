// Drives the real quillet.exe from another process under Wine: starts it,
// sends it commands and keys, reads its windows, menus, message boxes and
// settings, and takes screenshots. Texts are in the ANSI code page (932);
// compare them with Cp932(u8"...") from cp932.h.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct Viewer {
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND main = nullptr;     // class "Quillet"
};

// Starts bin/quillet.exe (beside the test program) with the given command
// line arguments (an image path is quoted by the caller if it has blanks),
// waits for its main window and for the messages it posted to itself at
// start-up. False when no main window appears in time (the process is then
// left as it is, so a test can look for a box it shows instead).
// The current directory is the program's folder unless `directory` is given.
bool StartViewer(Viewer* viewer, const std::string& args = "", const char* directory = nullptr);
// Command 100 (exit) and a wait for the process; kills it after the time-out.
// Returns the exit code, or ~0u when it had to be killed.
DWORD StopViewer(Viewer* viewer, DWORD timeout_ms = 30000);

// A FIFO barrier: returns once the viewer's thread has handled everything
// posted to it before the call, including what those messages posted in
// turn (a few rounds). Works while a modal box or dialog runs its loop.
bool Settle(const Viewer& viewer, DWORD timeout_ms = 60000);

// WM_COMMAND with the id in the low word. Post anything that may open a
// modal box or dialog; Send blocks until the viewer has handled it.
void PostCommand(HWND hwnd, UINT id, LPARAM lParam = 0);
LRESULT SendCommand(HWND hwnd, UINT id, LPARAM lParam = 0);
// Keys for the accelerators: WM_KEYDOWN/WM_KEYUP of a virtual key, or
// WM_CHAR of a character, posted to a window of the viewer.
void PostKey(HWND hwnd, UINT vk);
void PostChar(HWND hwnd, char ch);

// Texts of windows and controls.
std::string WindowText(HWND hwnd);
std::string ControlText(HWND parent, int id);
std::vector<std::string> ListBoxLines(HWND list);
// A visible top-level window of the viewer's process; class and title may be
// null for any. Waits up to the time-out; null when none appears.
HWND FindViewerWindow(const Viewer& viewer, const char* class_name, const char* title,
                      DWORD timeout_ms = 10000);
// A visible top-level window of any process (pid 0) or of one, waited for up
// to 20 s; and all top-level windows of a class there now.
HWND WaitTopLevel(const char* class_name, DWORD pid = 0);
std::vector<HWND> TopLevelWindows(const char* class_name, DWORD pid, bool visible_only);
// Waits until a window no longer exists.
bool WaitWindowGone(HWND hwnd, DWORD timeout_ms = 10000);
// Message boxes of the viewer (a dialog with the static text control 0xFFFF).
struct Box {
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;
};
bool WaitBox(const Viewer& viewer, Box* box, DWORD timeout_ms = 30000);
void AnswerBox(const Box& box, int button);   // IDOK, IDCANCEL, IDRETRY, ...
// Whether a message box is up right now.
bool BoxShown(const Viewer& viewer);

// The viewer's menus, read inside its process (Wine keeps menus per process):
// a window's menu bar.
struct MenuItem {
    std::string path;     // positions from the menu bar, e.g. "0/2"
    int id;               // command id, -1 for a popup
    UINT state;           // GetMenuState flags: MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_POPUP, MF_SEPARATOR
};
bool ReadMenus(const Viewer& viewer, HWND hwnd, std::vector<MenuItem>* items);
// The item with a command id (first found), or the popup at a path; null if none.
const MenuItem* FindMenuId(const std::vector<MenuItem>& items, int id);
const MenuItem* FindMenuPath(const std::vector<MenuItem>& items, const std::string& path);
bool MenuGrayed(const Viewer& viewer, int id);    // of the main window's menu bar
bool MenuChecked(const Viewer& viewer, int id, HWND hwnd = nullptr);   // of hwnd's, if given

// The settings key HKCU\Software\Kelvane\Quillet, shared with the viewer.
void DeleteSettings();
bool ReadSettingDword(const char* name, DWORD* value);
void WriteSettingDword(const char* name, DWORD value);

// Test images, as Windows paths (Z:\...): images made by the test fixture
// into <build>/gui-images (tests/win32/images), and the bundled sample disc.
std::string GuiImage(const char* name);
std::string SampleDisc();

// Bitmap of a window as it is on screen, into <build>/screenshots/NAME.bmp.
bool Screenshot(HWND hwnd, const char* name);
