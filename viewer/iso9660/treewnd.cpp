// Directory tree window: a modeless dialog whose list box holds one line per
// directory entry, built by the portable walker from blocks read without
// their sync; a double click jumps the sector view to the entry's first block.
#include "quillet.h"

#include <stdint.h>

#include "dirwalk.h"
#include "tamrisk.h"
#include "windows/savedlg.h"

namespace {

constexpr int kLineTextSize = 256;   // LB_GETTEXT buffer of the jump
constexpr int kTabStops[2] = {120, 240};  // dialog template units
constexpr DWORD kFirstLevel = 1;

// Chosen level, 1 to 8; kept while the window is closed.
DWORD nTreeLevel = kMaxTreeLevel;

HWND TreeList(HWND window) { return GetDlgItem(window, IDC_TREE_LIST); }

// ---- Walker glue: blocks from the drive, lines into the list box ----

bool ReadDriveBlock(void* context, int32_t lbn, uint8_t* raw)
{
    // The drive's block length is already kNoSyncSectorSize for the whole build.
    return cdrRead((HWND)context, hDevice, raw, lbn, 1, CDR_SILENT) != CDR_FAILED;
}

bool AddListLine(void* context, const char* line)
{
    return SendMessageA((HWND)context, LB_ADDSTRING, 0, (LPARAM)line) != LB_ERRSPACE;
}

// Clears the list and fills it with the hierarchy down to level.
void BuildDirectoryTree(HWND window, DWORD level)
{
    HCURSOR previous = SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_WAIT));
    HWND list = TreeList(window);
    // One repaint after the build, not one per line of a large disc.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    // Without a device the list stays empty: a rebuild sends nothing.
    if (IsDeviceOpen() && cdrMode(window, hDevice, kNoSyncSectorSize) == CDR_SUCCESS) {
        DirWalk walk = MakeDirWalk(ReadDriveBlock, window, AddListLine, list);
        BuildDirectoryTree(&walk, lLastSession, lLeadout, level);
        cdrMode(window, hDevice, kUserDataSize);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, NULL, TRUE);
    SetCursor(previous);
}

// A level from the registry may have been edited by hand: anything outside
// the menu's range shows as its nearest item.
DWORD ClampLevel(DWORD level)
{
    if (level < kFirstLevel)
        return kFirstLevel;
    return level > kMaxTreeLevel ? kMaxTreeLevel : level;
}

void CheckLevelItem(HWND window, DWORD level, UINT check)
{
    CheckMenuItem(GetMenu(window), IDM_TREE_LEVEL_BASE + level, MF_BYCOMMAND | check);
}

// ---- Messages ----

BOOL OnInitDialog(HWND window)
{
    SetUpSideSystemMenu(window, FALSE);

    // The stored rectangle is left, top, right, bottom. An empty one (the
    // default before the window was ever closed) keeps the template's size.
    RECT rect;
    LoadWindowRect(SLOT_TREE, &rect);
    int64_t width = (int64_t)rect.right - rect.left, height = (int64_t)rect.bottom - rect.top;
    UINT flags = SWP_NOZORDER;
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX)
        flags |= SWP_NOSIZE;
    SetWindowPos(window, NULL, rect.left, rect.top, (int)width, (int)height, flags);

    // The template keeps its size when the rectangle is empty, and no
    // WM_SIZE comes then: fit the list box to the client area here too.
    RECT client;
    GetClientRect(window, &client);
    MoveWindow(TreeList(window), 0, 0, client.right, client.bottom, TRUE);

    nTreeLevel = ClampLevel(LoadSetting(SET_TREE_LEVEL));
    CheckLevelItem(window, nTreeLevel, MF_CHECKED);

    HWND list = TreeList(window);
    SendMessageA(list, LB_SETTABSTOPS, 2, (LPARAM)kTabStops);
    // Wide enough for the longest line the walker makes.
    RECT extent = {0, 0, 4 * (LONG)kTreeLineSize, 0};
    MapDialogRect(window, &extent);
    SendMessageA(list, LB_SETHORIZONTALEXTENT, (WPARAM)extent.right, 0);
    SendMessageA(window, UM_REBUILD_TREE, nTreeLevel, 0);
    return TRUE;
}

void OnLevel(HWND window, DWORD level)
{
    CheckLevelItem(window, nTreeLevel, MF_UNCHECKED);
    nTreeLevel = level;
    CheckLevelItem(window, nTreeLevel, MF_CHECKED);
    SendMessageA(window, UM_REBUILD_TREE, nTreeLevel, 0);
}

// The selected line's first block, read from the text after its last tab.
void OnJump(HWND list)
{
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR)
        return;  // empty list: nothing to jump to
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, (WPARAM)index, 0);
    if (length == LB_ERR || length >= kLineTextSize)
        return;
    char line[kLineTextSize];
    if (SendMessageA(list, LB_GETTEXT, (WPARAM)index, (LPARAM)line) == LB_ERR)
        return;
    line[kLineTextSize - 1] = 0;
    int32_t lbn = TreeLineExtent(line);
    LONG address = lbn > INT32_MAX - kPregapBlocks ? INT32_MAX : lbn + kPregapBlocks;
    SendMessageA(hwndMain, WM_COMMAND, IDM_JUMP_ADDRESS, address);
}

void OnHelp(HWND window)
{
    char key[64];
    if (LoadText(IDS_TREE_HELP_KEY, key, sizeof key))
        WinHelpA(window, HelpFilePath(), HELP_KEY, (ULONG_PTR)key);
}

void OnCommand(HWND window, UINT id, UINT code)
{
    if (id > IDM_TREE_LEVEL_BASE && id <= IDM_TREE_LEVEL_ALL) {
        OnLevel(window, id - IDM_TREE_LEVEL_BASE);
        return;
    }
    switch (id) {
    case IDC_TREE_LIST:
        if (code == LBN_DBLCLK)
            OnJump(TreeList(window));
        break;
    case IDM_TREE_JUMP: {
        // Posted so that the jump runs after the menu command has returned.
        HWND list = TreeList(window);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_TREE_LIST, LBN_DBLCLK), (LPARAM)list);
        SendMessageA(list, LB_SETCURSEL, SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
        break;
    }
    case IDM_TREE_HELP:
        OnHelp(window);
        break;
    case IDM_TREE_CLOSE:
        PostMessageA(hwndMain, WM_COMMAND, IDM_TREE, (LPARAM)window);
        break;
    case IDM_SAVE_FILE:
        OnSaveTreeEntry(window);
        break;
    default:
        // Enter and Esc (IDOK, IDCANCEL) and anything else: nothing to do.
        break;
    }
}

void OnDestroy(HWND window)
{
    RECT rect;
    if (GetWindowRect(window, &rect))
        SaveWindowRect(SLOT_TREE, &rect);
    SaveSetting(SET_TREE_LEVEL, nTreeLevel);
}

BOOL OnRebuild(HWND window, WPARAM wParam)
{
    DWORD level = wParam != 0 ? LOWORD(wParam) : nTreeLevel;
    BuildDirectoryTree(window, level);
    SendMessageA(TreeList(window), LB_SETCURSEL, 0, 0);
    return TRUE;
}

}  // namespace

// Exported from the program by its plain name, not the __stdcall one.
#if defined(_MSC_VER)
#pragma comment(linker, "/EXPORT:DirViewProc=_DirViewProc@16")
#elif defined(__GNUC__)
__asm__(".section .drectve\n\t.ascii \" -export:DirViewProc=DirViewProc@16\"\n\t.text");
#endif

extern "C" INT_PTR CALLBACK DirViewProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_SIZE:
        MoveWindow(TreeList(window), 0, 0, (short)LOWORD(lParam), (short)HIWORD(lParam), TRUE);
        return FALSE;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_SYSCOMMAND:
        return OnSideSysCommand(window, wParam);
    case WM_DESTROY:
        OnDestroy(window);
        return FALSE;
    case UM_REBUILD_TREE:
        return OnRebuild(window, wParam);
    case WM_CONTEXTMENU:
        if ((HWND)wParam != TreeList(window))
            return FALSE;
        ShowTreeSaveMenu(window, lParam);
        return TRUE;
    case WM_COPYDATA:
        SetWindowLongPtrA(window, DWLP_MSGRESULT, TakeSaveRequest(window, (const COPYDATASTRUCT*)lParam));
        return TRUE;
    }
    return FALSE;
}

BOOL OpenTreeWindow(HWND owner)
{
    hwndTree = CreateDialogParamA(hInst, "DirTreeBox", owner, DirViewProc, 0);
    return hwndTree != NULL;
}

void CloseTreeWindow(void)
{
    DestroyAndClear(&hwndTree);
}
