#include "gui_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../probe/gui_probe.h"
#include "viewer/resource.h"

namespace {

const char kSettingsKey[] = "Software\\Kelvane\\Quillet";

std::string ProgramDir()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir = path;
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

std::string Env(const char* name)
{
    const char* value = getenv(name);
    return value ? value : "";
}

// Polls `found` every 50 ms until it gives a window, the time runs out or
// the viewer (when given) has ended.
template <typename F>
HWND Poll(const Viewer* viewer, DWORD timeout_ms, F found)
{
    for (DWORD start = GetTickCount();; Sleep(50)) {
        if (HWND hwnd = found()) return hwnd;
        if (GetTickCount() - start >= timeout_ms) return nullptr;
        if (viewer && viewer->process && WaitForSingleObject(viewer->process, 0) == WAIT_OBJECT_0) return nullptr;
    }
}

// A message box holds only its buttons (ids 1-11), its text (0xFFFF) and its
// icon (0x440); dialogs have unnamed statics (0xFFFF) too.
bool IsBox(HWND hwnd)
{
    if (!GetDlgItem(hwnd, 0xFFFF)) return false;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(child);
        if (!((id >= IDOK && id <= 11) || id == 0xFFFF || id == 0x0440)) return false;
    }
    return true;
}

HWND FindNow(DWORD pid, const char* class_name, const char* title, bool box = false)
{
    for (HWND hwnd : TopLevelWindows(class_name, pid, true))
        if ((!title || WindowText(hwnd) == title) && (!box || IsBox(hwnd))) return hwnd;
    return nullptr;
}

// Runs a function of this program's copy of a DLL in the viewer, on `size`
// bytes copied there and back; false when it did not run to its end.
bool RunRemote(const Viewer& viewer, LPTHREAD_START_ROUTINE proc, void* data, size_t size, DWORD* result = nullptr)
{
    void* remote = VirtualAllocEx(viewer.process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (!remote) return false;
    WriteProcessMemory(viewer.process, remote, data, size, nullptr);
    HANDLE thread = CreateRemoteThread(viewer.process, nullptr, 0, proc, remote, 0, nullptr);
    bool ok = thread && WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
    if (ok && result) GetExitCodeThread(thread, result);
    if (thread) CloseHandle(thread);
    ok = ok && ReadProcessMemory(viewer.process, remote, data, size, nullptr);
    VirtualFreeEx(viewer.process, remote, 0, MEM_RELEASE);
    return ok;
}

// Loads the probe into the viewer and returns its ProbeMenus there: the
// offset of the function in this process's copy from the remote module base.
LPTHREAD_START_ROUTINE RemoteProbe(const Viewer& viewer)
{
    static HMODULE local = nullptr;
    static DWORD loaded_for = 0;
    static LPTHREAD_START_ROUTINE remote = nullptr;
    std::string dll = ProgramDir() + "\\gui_probe.dll";
    if (!local) local = LoadLibraryA(dll.c_str());
    FARPROC local_proc = local ? GetProcAddress(local, "ProbeMenus") : nullptr;
    if (!local_proc) return nullptr;
    if (loaded_for == viewer.pid && remote) return remote;
    auto load_library = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    DWORD module = 0;
    if (!RunRemote(viewer, load_library, &dll[0], dll.size() + 1, &module) || !module) return nullptr;
    uintptr_t offset = reinterpret_cast<uintptr_t>(local_proc) - reinterpret_cast<uintptr_t>(local);
    remote = reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<uintptr_t>(module) + offset);
    loaded_for = viewer.pid;
    return remote;
}

}  // namespace

bool StartViewer(Viewer* viewer, const std::string& args, const char* directory)
{
    std::string exe = ProgramDir() + "\\quillet.exe";
    std::string command = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        directory ? directory : ProgramDir().c_str(), &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    viewer->process = pi.hProcess;
    viewer->pid = pi.dwProcessId;
    WaitForInputIdle(pi.hProcess, 30000);
    viewer->main = FindViewerWindow(*viewer, "Quillet", nullptr, 30000);
    return viewer->main && Settle(*viewer);
}

DWORD StopViewer(Viewer* viewer, DWORD timeout_ms)
{
    DWORD code = ~0u;
    if (!viewer->process) return code;
    if (viewer->main && IsWindow(viewer->main)) PostCommand(viewer->main, IDM_EXIT);
    if (WaitForSingleObject(viewer->process, timeout_ms) == WAIT_OBJECT_0) {
        GetExitCodeProcess(viewer->process, &code);
    } else {
        TerminateProcess(viewer->process, 1);
        WaitForSingleObject(viewer->process, 10000);
    }
    CloseHandle(viewer->process);
    viewer->process = nullptr;
    viewer->main = nullptr;
    return code;
}

// The dump pane's text limit is a value nobody else uses: posting a new one
// and reading it back marks a point in the viewer's message queue.
bool Settle(const Viewer& viewer, DWORD timeout_ms)
{
    static DWORD mark = 0x7FFF0000;
    HWND dump = viewer.main ? GetDlgItem(viewer.main, IDC_DUMP) : nullptr;
    if (!dump) return false;
    DWORD start = GetTickCount();
    for (int round = 0; round < 3; round++) {
        PostMessageA(dump, EM_SETLIMITTEXT, ++mark, 0);
        for (DWORD_PTR result = 0;; Sleep(20)) {
            if (GetTickCount() - start >= timeout_ms) return false;
            if (!SendMessageTimeoutA(dump, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 5000, &result) && !IsWindow(dump))
                return false;
            if (result == mark) break;
        }
    }
    return true;
}

void PostCommand(HWND hwnd, UINT id, LPARAM lParam) { PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), lParam); }

LRESULT SendCommand(HWND hwnd, UINT id, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), lParam, SMTO_NORMAL, 60000, &result);
    return static_cast<LRESULT>(result);
}

void PostKey(HWND hwnd, UINT vk)
{
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void PostChar(HWND hwnd, char ch) { PostMessageA(hwnd, WM_CHAR, static_cast<unsigned char>(ch), 1); }

std::string WindowText(HWND hwnd)
{
    DWORD_PTR length = 0, got = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &length)) return "";
    std::vector<char> text(length + 2, '\0');
    SendMessageTimeoutA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, 10000,
                        &got);
    return std::string(text.data(), strnlen(text.data(), text.size()));
}

std::string ControlText(HWND parent, int id)
{
    HWND control = GetDlgItem(parent, id);
    return control ? WindowText(control) : "";
}

// Item texts are asked for in UTF-16: Wine hands another process's ANSI
// LB_GETTEXT the UTF-16 text in a buffer sized for ANSI.
std::vector<std::string> ListBoxLines(HWND list)
{
    std::vector<std::string> lines;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        std::vector<wchar_t> wide(SendMessageW(list, LB_GETTEXTLEN, i, 0) + 2, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()));
        std::vector<char> text(4 * wide.size(), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), (int)text.size() - 1, nullptr, nullptr);
        lines.push_back(text.data());
    }
    return lines;
}

HWND FindViewerWindow(const Viewer& viewer, const char* class_name, const char* title, DWORD timeout_ms)
{
    return Poll(&viewer, timeout_ms, [&] { return FindNow(viewer.pid, class_name, title); });
}

HWND WaitTopLevel(const char* class_name, DWORD pid)
{
    return Poll(nullptr, 20000, [&] { return FindNow(pid, class_name, nullptr); });
}

std::vector<HWND> TopLevelWindows(const char* class_name, DWORD pid, bool visible_only)
{
    std::vector<HWND> list;
    for (HWND hwnd = nullptr; (hwnd = FindWindowExA(nullptr, hwnd, class_name, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if ((!pid || owner == pid) && (!visible_only || IsWindowVisible(hwnd)))
            list.push_back(hwnd);
    }
    return list;
}

bool WaitWindowGone(HWND hwnd, DWORD timeout_ms)
{
    HWND gone = reinterpret_cast<HWND>(1);
    return Poll(nullptr, timeout_ms, [&] { return IsWindow(hwnd) && IsWindowVisible(hwnd) ? nullptr : gone; });
}

bool WaitBox(const Viewer& viewer, Box* box, DWORD timeout_ms)
{
    box->hwnd = Poll(&viewer, timeout_ms, [&] { return FindNow(viewer.pid, "#32770", nullptr, true); });
    if (!box->hwnd) return false;
    box->caption = WindowText(box->hwnd);
    box->text = ControlText(box->hwnd, 0xFFFF);
    return true;
}

void AnswerBox(const Box& box, int button)
{
    PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.hwnd, button)));
    WaitWindowGone(box.hwnd);
}

bool BoxShown(const Viewer& viewer) { return FindNow(viewer.pid, "#32770", nullptr, true) != nullptr; }

bool ReadMenus(const Viewer& viewer, HWND hwnd, std::vector<MenuItem>* items)
{
    items->clear();
    static ProbeRequest request;
    memset(&request, 0, sizeof request);
    request.hwnd = hwnd;
    LPTHREAD_START_ROUTINE probe = RemoteProbe(viewer);
    if (!probe || !RunRemote(viewer, probe, &request, sizeof request) || request.done != 1) return false;
    request.text[sizeof request.text - 1] = '\0';
    // "path TAB id TAB state TAB caption LF" per item.
    for (char* line = request.text; char* end = strchr(line, '\n'); line = end + 1) {
        *end = '\0';
        char path[64];
        MenuItem item;
        if (sscanf(line, "%63[^\t]\t%d\t%u", path, &item.id, &item.state) != 3) continue;
        item.path = path;
        items->push_back(item);
    }
    return true;
}

const MenuItem* FindMenuId(const std::vector<MenuItem>& items, int id)
{
    for (const MenuItem& item : items)
        if (item.id == id) return &item;
    return nullptr;
}

const MenuItem* FindMenuPath(const std::vector<MenuItem>& items, const std::string& path)
{
    for (const MenuItem& item : items)
        if (item.path == path) return &item;
    return nullptr;
}

static bool MenuState(const Viewer& viewer, HWND hwnd, int id, UINT flag)
{
    std::vector<MenuItem> items;
    const MenuItem* item = ReadMenus(viewer, hwnd ? hwnd : viewer.main, &items) ? FindMenuId(items, id) : nullptr;
    return item && (item->state & flag);
}
bool MenuGrayed(const Viewer& viewer, int id) { return MenuState(viewer, nullptr, id, MF_GRAYED); }
bool MenuChecked(const Viewer& viewer, int id, HWND hwnd) { return MenuState(viewer, hwnd, id, MF_CHECKED); }

void DeleteSettings() { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey); }

bool ReadSettingDword(const char* name, DWORD* value)
{
    HKEY key = nullptr;
    DWORD type = 0, size = sizeof *value;
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key);
    if (rc == ERROR_SUCCESS) rc = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)value, &size);
    if (key) RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof *value;
}

void WriteSettingDword(const char* name, DWORD value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(key);
}

static std::string WinPath(const std::string& unix_path)
{
    std::string path = "Z:" + unix_path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string GuiImage(const char* name) { return WinPath(Env("QUILLET_BINARY_DIR") + "/gui-images/" + name); }

std::string SampleDisc() { return WinPath(Env("QUILLET_HOST_BINARY_DIR") + "/sample/sample.cue"); }

bool Screenshot(HWND hwnd, const char* name)
{
    RECT rect, screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!GetWindowRect(hwnd, &rect)) return false;
    SetForegroundWindow(hwnd);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(300);
    IntersectRect(&rect, &rect, &screen);   // only what is on screen can be copied from it
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFOHEADER info = {sizeof info, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};   // top-down rows
    std::vector<uint8_t> bits(static_cast<size_t>(width) * height * 4);
    HDC dc = GetDC(nullptr), memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool ok = BitBlt(memory, 0, 0, width, height, dc, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    ok = ok && GetDIBits(memory, bitmap, 0, height, bits.data(), (BITMAPINFO*)&info, DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, dc);
    std::string dir = WinPath(Env("QUILLET_BINARY_DIR") + "/screenshots");
    CreateDirectoryA(dir.c_str(), nullptr);
    FILE* out = ok ? fopen((dir + "\\" + name + ".bmp").c_str(), "wb") : nullptr;
    if (!out) return false;
    BITMAPFILEHEADER head = {0x4D42, (DWORD)(sizeof head + sizeof info + bits.size()), 0, 0, sizeof head + sizeof info};
    fwrite(&head, sizeof head, 1, out);
    fwrite(&info, sizeof info, 1, out);
    fwrite(bits.data(), 1, bits.size(), out);
    return fclose(out) == 0;
}
