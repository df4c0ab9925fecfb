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

DWORD Elapsed(DWORD start) { return GetTickCount() - start; }

std::string Ansi(const wchar_t* wide)
{
    int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return "";
    std::vector<char> text(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text.data(), size, nullptr, nullptr);
    return text.data();
}

struct FindContext {
    DWORD pid;
    const char* class_name;
    const char* title;
    bool box;
    HWND found;
};

// Dialogs have unnamed statics (id 0xFFFF) too; a message box holds only its
// buttons (ids 1-11), its text and its icon.
BOOL CALLBACK IsBoxControl(HWND child, LPARAM param)
{
    const int kIconId = 0x0440;
    int id = GetDlgCtrlID(child);
    if ((id >= IDOK && id <= 11) || id == 0xFFFF || id == kIconId) return TRUE;
    *reinterpret_cast<bool*>(param) = false;
    return FALSE;
}

BOOL CALLBACK FindWindowOfProcess(HWND hwnd, LPARAM param)
{
    FindContext* ctx = reinterpret_cast<FindContext*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ctx->pid || !IsWindowVisible(hwnd)) return TRUE;
    if (ctx->class_name && ClassName(hwnd) != ctx->class_name) return TRUE;
    if (ctx->title && WindowText(hwnd) != ctx->title) return TRUE;
    if (ctx->box) {
        bool only_box_controls = GetDlgItem(hwnd, 0xFFFF) != nullptr;
        if (only_box_controls) EnumChildWindows(hwnd, IsBoxControl, reinterpret_cast<LPARAM>(&only_box_controls));
        if (!only_box_controls) return TRUE;
    }
    ctx->found = hwnd;
    return FALSE;
}

HWND FindNow(DWORD pid, const char* class_name, const char* title, bool box = false)
{
    FindContext ctx = {pid, class_name, title, box, nullptr};
    EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

HWND FindBoxNow(DWORD pid) { return FindNow(pid, "#32770", nullptr, true); }

// The dump pane's text limit is a value nobody else uses: posting a new one
// and reading it back marks a point in the viewer's message queue.
bool BarrierRound(HWND dump, DWORD mark, DWORD deadline_start, DWORD timeout_ms)
{
    PostMessageA(dump, EM_SETLIMITTEXT, mark, 0);
    while (Elapsed(deadline_start) < timeout_ms) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(dump, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 5000, &result)) {
            if (!IsWindow(dump)) return false;
            continue;
        }
        if (result == mark) return true;
        Sleep(20);
    }
    return false;
}

// Loads the probe into the viewer and returns its ProbeMenus there.
LPTHREAD_START_ROUTINE RemoteProbe(const Viewer& viewer)
{
    static HMODULE local = nullptr;
    static DWORD loaded_for = 0;
    static LPTHREAD_START_ROUTINE remote = nullptr;
    std::string dll = ProgramDir() + "\\gui_probe.dll";
    if (!local) local = LoadLibraryA(dll.c_str());
    if (!local) return nullptr;
    if (loaded_for == viewer.pid && remote) return remote;
    FARPROC local_proc = GetProcAddress(local, "ProbeMenus");
    if (!local_proc) return nullptr;

    void* remote_name = VirtualAllocEx(viewer.process, nullptr, dll.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    if (!remote_name) return nullptr;
    WriteProcessMemory(viewer.process, remote_name, dll.c_str(), dll.size() + 1, nullptr);
    FARPROC load_library = GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA");
    HANDLE thread = CreateRemoteThread(viewer.process, nullptr, 0,
                                       reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(load_library)),
                                       remote_name, 0, nullptr);
    DWORD remote_module = 0;
    if (thread) {
        WaitForSingleObject(thread, 30000);
        GetExitCodeThread(thread, &remote_module);
        CloseHandle(thread);
    }
    VirtualFreeEx(viewer.process, remote_name, 0, MEM_RELEASE);
    if (!remote_module) return nullptr;
    uintptr_t offset = reinterpret_cast<uintptr_t>(local_proc) - reinterpret_cast<uintptr_t>(local);
    remote = reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<uintptr_t>(remote_module) + offset);
    loaded_for = viewer.pid;
    return remote;
}

HKEY OpenSettingsKey(REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

}  // namespace

bool StartViewer(Viewer* viewer, const std::string& args, const char* directory)
{
    std::string exe = ProgramDir() + "\\quillet.exe";
    std::string command = "\"" + exe + "\"";
    if (!args.empty()) command += " " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory ? directory : ProgramDir().c_str(), &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    viewer->process = pi.hProcess;
    viewer->pid = pi.dwProcessId;
    WaitForInputIdle(pi.hProcess, 30000);
    viewer->main = FindViewerWindow(*viewer, "Quillet", nullptr, 30000);
    if (!viewer->main) return false;
    return Settle(*viewer);
}

DWORD StopViewer(Viewer* viewer, DWORD timeout_ms)
{
    DWORD code = ~0u;
    if (!viewer->process) return code;
    if (viewer->main && IsWindow(viewer->main)) PostCommand(viewer->main, IDM_EXIT);
    if (!WaitViewerExit(viewer, timeout_ms, &code)) {
        TerminateProcess(viewer->process, 1);
        WaitForSingleObject(viewer->process, 10000);
        code = ~0u;
    }
    CloseHandle(viewer->process);
    viewer->process = nullptr;
    viewer->main = nullptr;
    return code;
}

bool WaitViewerExit(Viewer* viewer, DWORD timeout_ms, DWORD* exit_code)
{
    if (WaitForSingleObject(viewer->process, timeout_ms) != WAIT_OBJECT_0) return false;
    if (exit_code) GetExitCodeProcess(viewer->process, exit_code);
    return true;
}

bool Settle(const Viewer& viewer, DWORD timeout_ms)
{
    static DWORD mark = 0x7FFF0000;
    HWND dump = viewer.main ? GetDlgItem(viewer.main, IDC_DUMP) : nullptr;
    if (!dump) return false;
    DWORD start = GetTickCount();
    for (int round = 0; round < 3; round++)
        if (!BarrierRound(dump, ++mark, start, timeout_ms)) return false;
    return true;
}

void PostCommand(HWND hwnd, UINT id, LPARAM lParam)
{
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), lParam);
}

LRESULT SendCommand(HWND hwnd, UINT id, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), lParam, SMTO_NORMAL, 60000, &result);
    return static_cast<LRESULT>(result);
}

void PostControlNotify(HWND dialog, int control_id, int code)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(control_id, code),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, control_id)));
}

void PostKey(HWND hwnd, UINT vk)
{
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

void PostChar(HWND hwnd, char ch)
{
    PostMessageA(hwnd, WM_CHAR, static_cast<unsigned char>(ch), 1);
}

std::string WindowText(HWND hwnd)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &length)) return "";
    std::vector<char> text(length + 2, '\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, 10000, &got);
    return std::string(text.data(), strnlen(text.data(), text.size()));
}

std::string ControlText(HWND parent, int id)
{
    HWND control = GetDlgItem(parent, id);
    return control ? WindowText(control) : std::string();
}

// Item texts are asked for in UTF-16: Wine hands another process's ANSI
// LB_GETTEXT and CB_GETLBTEXT the UTF-16 text in a buffer sized for ANSI.
static std::vector<std::string> ItemTexts(HWND control, UINT get_count, UINT get_length, UINT get_text)
{
    std::vector<std::string> lines;
    LRESULT count = SendMessageW(control, get_count, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        LRESULT length = SendMessageW(control, get_length, i, 0);
        if (length < 0) break;
        std::vector<wchar_t> wide(length + 2, L'\0');
        SendMessageW(control, get_text, i, reinterpret_cast<LPARAM>(wide.data()));
        wide.back() = L'\0';
        lines.push_back(Ansi(wide.data()));
    }
    return lines;
}

std::vector<std::string> ListBoxLines(HWND list)
{
    return ItemTexts(list, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::vector<std::string> ComboBoxLines(HWND combo)
{
    return ItemTexts(combo, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

std::string ClassName(HWND hwnd)
{
    char name[256] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

HWND FindViewerWindow(const Viewer& viewer, const char* class_name, const char* title, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = FindNow(viewer.pid, class_name, title)) return found;
        if (Elapsed(start) >= timeout_ms) return nullptr;
        if (viewer.process && WaitForSingleObject(viewer.process, 0) == WAIT_OBJECT_0) return nullptr;
        Sleep(50);
    }
}

bool WaitWindowGone(HWND hwnd, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
        if (Elapsed(start) >= timeout_ms) return false;
        Sleep(50);
    }
    return true;
}

bool WaitBox(const Viewer& viewer, Box* box, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = FindBoxNow(viewer.pid)) {
            box->hwnd = found;
            box->caption = WindowText(found);
            box->text = ControlText(found, 0xFFFF);
            return true;
        }
        if (Elapsed(start) >= timeout_ms) return false;
        if (WaitForSingleObject(viewer.process, 0) == WAIT_OBJECT_0) return false;
        Sleep(50);
    }
}

void AnswerBox(const Box& box, int button)
{
    PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.hwnd, button)));
    WaitWindowGone(box.hwnd);
}

bool BoxShown(const Viewer& viewer) { return FindBoxNow(viewer.pid) != nullptr; }

bool ReadMenus(const Viewer& viewer, HWND hwnd, std::vector<MenuItem>* items)
{
    items->clear();
    LPTHREAD_START_ROUTINE probe = RemoteProbe(viewer);
    if (!probe) return false;
    void* remote = VirtualAllocEx(viewer.process, nullptr, sizeof(ProbeRequest), MEM_COMMIT, PAGE_READWRITE);
    if (!remote) return false;
    static ProbeRequest request;
    memset(&request, 0, sizeof request);
    request.hwnd = hwnd;
    WriteProcessMemory(viewer.process, remote, &request, sizeof request, nullptr);
    HANDLE thread = CreateRemoteThread(viewer.process, nullptr, 0, probe, remote, 0, nullptr);
    bool ok = false;
    if (thread) {
        ok = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
        CloseHandle(thread);
    }
    if (ok) ok = ReadProcessMemory(viewer.process, remote, &request, sizeof request, nullptr);
    VirtualFreeEx(viewer.process, remote, 0, MEM_RELEASE);
    if (!ok || request.done != 1) return false;
    request.text[sizeof request.text - 1] = '\0';

    for (const char* line = request.text; *line;) {
        const char* end = strchr(line, '\n');
        if (!end) break;
        std::string row(line, end);
        line = end + 1;
        size_t t1 = row.find('\t'), t2 = row.find('\t', t1 + 1), t3 = row.find('\t', t2 + 1);
        if (t3 == std::string::npos) continue;
        MenuItem item;
        item.path = row.substr(0, t1);
        item.id = atoi(row.substr(t1 + 1, t2 - t1 - 1).c_str());
        item.state = static_cast<UINT>(strtoul(row.substr(t2 + 1, t3 - t2 - 1).c_str(), nullptr, 10));
        item.caption = row.substr(t3 + 1);
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

static bool MenuState(const Viewer& viewer, int id, UINT flag)
{
    std::vector<MenuItem> items;
    const MenuItem* item = ReadMenus(viewer, viewer.main, &items) ? FindMenuId(items, id) : nullptr;
    return item && (item->state & flag);
}

bool MenuGrayed(const Viewer& viewer, int id) { return MenuState(viewer, id, MF_GRAYED); }
bool MenuChecked(const Viewer& viewer, int id) { return MenuState(viewer, id, MF_CHECKED); }

void DeleteSettings()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
}

bool ReadSettingDword(const char* name, DWORD* value)
{
    std::vector<uint8_t> data;
    DWORD type = 0;
    if (!ReadSettingBinary(name, &data, &type) || type != REG_DWORD || data.size() != sizeof *value) return false;
    memcpy(value, data.data(), sizeof *value);
    return true;
}

bool ReadSettingBinary(const char* name, std::vector<uint8_t>* data, DWORD* type)
{
    HKEY key = OpenSettingsKey(KEY_READ);
    if (!key) return false;
    DWORD value_type = 0, size = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &value_type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        data->assign(size, 0);
        rc = RegQueryValueExA(key, name, nullptr, &value_type, data->data(), &size);
        data->resize(size);
    }
    RegCloseKey(key);
    if (type) *type = value_type;
    return rc == ERROR_SUCCESS;
}

void WriteSettingDword(const char* name, DWORD value)
{
    WriteSettingBinary(name, &value, sizeof value, REG_DWORD);
}

void WriteSettingBinary(const char* name, const void* data, DWORD size, DWORD type)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

std::string WinPath(const std::string& unix_path)
{
    std::string path = "Z:" + unix_path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string GuiImage(const char* name)
{
    return WinPath(Env("QUILLET_BINARY_DIR") + "/gui-images/" + name);
}

std::string SampleDisc()
{
    return WinPath(Env("QUILLET_HOST_BINARY_DIR") + "/sample/sample.cue");
}

bool Screenshot(HWND hwnd, const char* name)
{
    RECT rect;
    if (!GetWindowRect(hwnd, &rect)) return false;
    SetForegroundWindow(hwnd);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(300);
    // Only what is on screen can be copied from it.
    RECT screen_rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&rect, &rect, &screen_rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;

    BITMAPINFOHEADER info = {sizeof info, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};   // top-down rows
    std::vector<uint8_t> bits(static_cast<size_t>(width) * height * 4);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    ok = ok && GetDIBits(memory, bitmap, 0, height, bits.data(), reinterpret_cast<BITMAPINFO*>(&info),
                         DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    std::string dir = WinPath(Env("QUILLET_BINARY_DIR") + "/screenshots");
    CreateDirectoryA(dir.c_str(), nullptr);
    FILE* out = ok ? fopen((dir + "\\" + name + ".bmp").c_str(), "wb") : nullptr;
    if (!out) return false;
    BITMAPFILEHEADER head = {0x4D42, static_cast<DWORD>(sizeof head + sizeof info + bits.size()), 0, 0,
                             sizeof head + sizeof info};
    fwrite(&head, sizeof head, 1, out);
    fwrite(&info, sizeof info, 1, out);
    fwrite(bits.data(), 1, bits.size(), out);
    return fclose(out) == 0;
}

StatusLine ParseStatus(const std::string& text)
{
    StatusLine status;
    int lbn = 0, mode = 0, used = 0;
    char time[16] = "";
    if (sscanf(text.c_str(), "LBN = %d [%15[^]]]    Mode-%d Sector%n", &lbn, time, &mode, &used) == 3 &&
        used == static_cast<int>(text.size())) {
        status.ok = true;
        status.lbn = lbn;
        status.time = time;
        status.mode = mode;
    }
    return status;
}
