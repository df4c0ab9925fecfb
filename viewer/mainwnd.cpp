// Main window: creation and shutdown, layout, colours, the menus and the
// command table with its refresh sequence. The side windows open and close
// through their own files; what they share is in windows/sidewindow.cpp.
#include "quillet.h"
#include "windows/savedlg.h"

#include <stdio.h>

#include "drivetext.h"
#include "tamrisk.h"

enum {
    kRulerColumns = 56,       // the header is as wide as its column ruler
    kPathSize = MAX_PATH,
    UM_OPEN_STARTUP_IMAGE = WM_APP + 1,
};

// Colours of the statics and the read-only dump pane.
static const COLORREF kPaneBackground = RGB(128, 128, 128);
static const COLORREF kHeaderText = RGB(255, 255, 0);
static const COLORREF kPaneText = RGB(0, 255, 255);
static const COLORREF kHighlightText = RGB(255, 255, 255);

static HMENU hMouseMenu;
static BOOL bCreated;              // WM_CREATE went through: the exit saves settings
static BOOL bHighlightChanged;
static COLORREF crSavedHighlightText;

// ---- Helpers ----

static BOOL IsMenuChecked(HWND hwnd, UINT id)
{
    UINT state = GetMenuState(GetMenu(hwnd), id, MF_BYCOMMAND);
    return state != (UINT)-1 && (state & MF_CHECKED) != 0;
}

static void CheckItem(HWND hwnd, UINT id, BOOL checked)
{
    CheckMenuItem(GetMenu(hwnd), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// ---- Creation and shutdown ----

static HWND CreatePane(HWND parent, const char* cls, DWORD style, int id)
{
    return CreateWindowExA(0, cls, NULL, WS_CHILD | WS_VISIBLE | style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, parent, (HMENU)(INT_PTR)id, hInst, NULL);
}

static LRESULT OnCreate(HWND hwnd)
{
    hwndMain = hwnd;
    OpenSettings();

    hMouseMenu = LoadMenuA(hInst, "MouseMenu");
    SetUpMainSystemMenu(hwnd);
    BuildDriveMenu(hwnd);

    hwndDump = CreatePane(hwnd, "edit", WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_MULTILINE | ES_AUTOHSCROLL,
                          IDC_DUMP);
    if (hwndDump == NULL)
        return -1;
    hwndHeader = CreatePane(hwnd, "static", WS_BORDER, IDC_HEADER);
    hwndStatus = CreatePane(hwnd, "static", WS_BORDER, IDC_STATUS);
    HGDIOBJ fixed = GetStockObject(SYSTEM_FIXED_FONT);
    SendMessageA(hwndDump, WM_SETFONT, (WPARAM)fixed, TRUE);
    SendMessageA(hwndHeader, WM_SETFONT, (WPARAM)fixed, TRUE);

    if (!AllocDumpTexts(hwnd))
        return -1;
    hTocText = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kTocReportSize);

    RECT rect;
    LoadWindowRect(SLOT_MAIN, &rect);   // left, top, width, height
    SetWindowPos(hwnd, NULL, rect.left, rect.top, rect.right, rect.bottom, SWP_NOZORDER);

    if (LoadSetting(SET_TOC_ON_EXECUTE) != 0)
        PostMessageA(hwnd, WM_COMMAND, IDM_TOC, 0);
    if (LoadSetting(SET_CONTROL_ON_EXECUTE) != 0)
        PostMessageA(hwnd, WM_COMMAND, IDM_CONTROL_PANEL, 0);

    // Kept as stored: any non-zero value is on and goes back unchanged.
    bAutoSector = (BOOL)LoadSetting(SET_AUTO_SECTOR);
    CheckItem(hwnd, IDM_AUTO_SECTOR, bAutoSector != 0);
    SetSectorCheck(LoadSetting(SET_SECTOR_CHECK) != 0);

    // The highlight colour is desktop-wide: remember it for the exit.
    crSavedHighlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    INT element = COLOR_HIGHLIGHTTEXT;
    COLORREF white = kHighlightText;
    if (!SetSysColors(1, &element, &white)) {
        PrintError(hwnd, GetLastError(), "Color change error");
        return -1;
    }
    bHighlightChanged = TRUE;

    hMenuContext = GetMenu(hwnd);
    // An image named on the command line opens once the window is up.
    PostMessageA(hwnd, UM_OPEN_STARTUP_IMAGE, 0, 0);
    bCreated = TRUE;
    return 0;
}

// The rectangle to keep: a minimised or maximised window's own rectangle
// would bring it back off-screen or as an icon, so take its normal one.
static RECT RestorableRect(HWND hwnd)
{
    RECT rect;
    GetWindowRect(hwnd, &rect);
    WINDOWPLACEMENT placement;
    placement.length = sizeof placement;
    if ((IsIconic(hwnd) || IsZoomed(hwnd)) && GetWindowPlacement(hwnd, &placement))
        rect = placement.rcNormalPosition;
    return rect;
}

static void OnDestroy(HWND hwnd)
{
    DestroyAndClear(&hwndDump);
    DestroyAndClear(&hwndHeader);
    DestroyAndClear(&hwndStatus);

    if (bCreated) {
        SaveSetting(SET_CONTROL_ON_EXECUTE, hwndControl != NULL ? 1 : 0);
        CloseControlPanel();
        SaveSetting(SET_TOC_ON_EXECUTE, hwndToc != NULL ? 1 : 0);
        CloseTocWindow();
        CloseTreeWindow();
        SaveSetting(SET_AUTO_SECTOR, (DWORD)bAutoSector);
        SaveSetting(SET_SECTOR_CHECK, SectorCheckShown() ? 1 : 0);

        RECT rect = RestorableRect(hwnd);
        WindowRect value = MainWindowValue(WindowRect{(int32_t)rect.left, (int32_t)rect.top,
                                                      (int32_t)rect.right, (int32_t)rect.bottom});
        RECT stored = {(LONG)value.left, (LONG)value.top, (LONG)value.right, (LONG)value.bottom};
        SaveWindowRect(SLOT_MAIN, &stored);
    }

    if (hDevice != NULL)
        cdrClose(hDevice);
    hDevice = NULL;

    DestroyDriveMenu();
    FreeDumpTexts();
    if (hTocText != NULL)
        GlobalFree(hTocText);
    hTocText = NULL;
    if (hMouseMenu != NULL)
        DestroyMenu(hMouseMenu);
    hMouseMenu = NULL;
    hMenuContext = NULL;

    // The help viewer is a program of its own: let it go with us.
    WinHelpA(hwnd, HelpFilePath(), HELP_QUIT, 0);

    if (bHighlightChanged) {
        INT element = COLOR_HIGHLIGHTTEXT;
        SetSysColors(1, &element, &crSavedHighlightText);
        bHighlightChanged = FALSE;
    }
    PostQuitMessage(0);
}

// ---- Layout and colours ----

static void OnSize(int width, int height)
{
    if (hwndHeader == NULL || hwndStatus == NULL || hwndDump == NULL)
        return;
    // Measure with the font the header draws in, so the ruler fits.
    // Measure with the font the header draws in; where its glyphs run wider
    // than the average width, the ruler's own extent keeps "+F" from wrapping.
    TEXTMETRICA tm;
    SIZE ruler = {0, 0};
    HDC dc = GetDC(hwndHeader);
    HGDIOBJ old = SelectObject(dc, (HGDIOBJ)SendMessageA(hwndHeader, WM_GETFONT, 0, 0));
    GetTextMetricsA(dc, &tm);
    char line[kRulerColumns + 2];
    int n = snprintf(line, sizeof line, " %s", kColumnRuler);
    if (n > 0 && n < (int)sizeof line)
        GetTextExtentPoint32A(dc, line, n, &ruler);
    if (old != NULL)
        SelectObject(dc, old);
    ReleaseDC(hwndHeader, dc);

    int header_width = kRulerColumns * tm.tmAveCharWidth;
    int ruler_width = ruler.cx + 2 * GetSystemMetrics(SM_CXBORDER);
    if (ruler_width > header_width)
        header_width = ruler_width;
    int top_height = 2 * tm.tmHeight + 2;
    int status_width = width - header_width;
    int dump_height = height - (top_height + 1);
    MoveWindow(hwndHeader, 0, 0, header_width, top_height, TRUE);
    MoveWindow(hwndStatus, header_width, 0, status_width > 0 ? status_width : 0, top_height, TRUE);
    MoveWindow(hwndDump, 0, top_height + 1, width, dump_height > 0 ? dump_height : 0, TRUE);
}

static LRESULT OnCtlColorStatic(HDC dc, HWND control)
{
    SetBkColor(dc, kPaneBackground);
    SetTextColor(dc, control == hwndHeader ? kHeaderText : kPaneText);
    return (LRESULT)GetStockObject(GRAY_BRUSH);
}

// ---- Menus ----

static void OnMenuSelect(HWND hwnd, UINT item, UINT flags)
{
    const UINT kPopupOpening = MF_POPUP | MF_HILITE;
    const UINT kMenuClosed = 0xFFFF;
    if (item == 1 && flags != kMenuClosed && (flags & kPopupOpening) == kPopupOpening)
        EnableBySelection(GetSubMenu(GetMenu(hwnd), 1), IDM_COPY, hwndDump);
}

static LRESULT OnSysCommand(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    if (IsNextWindowCommand(wParam) && ActivateNextWindow(hwnd))
        return 0;
    return DefWindowProcA(hwnd, WM_SYSCOMMAND, wParam, lParam);
}

// ---- Commands ----

static void OnOpened(int result)
{
    if (result == 1)
        hMenuContext = hMouseMenu;
}

static void OnOpenStartupImage(HWND hwnd)
{
    char path[kPathSize];
    if (ImagePathFromCommandLine(path, sizeof path, GetCommandLineA()) > 0)
        OnOpened(OpenImage(hwnd, path));
}

static void OnCopy(void)
{
    if (hwndToc != NULL && GetForegroundWindow() == hwndToc)
        SendDlgItemMessageA(hwndToc, IDC_TOC_TEXT, WM_COPY, 0, 0);
    else
        SendMessageA(hwndDump, WM_COPY, 0, 0);
}

static void OnSelectAll(void)
{
    SetFocus(hwndDump);
    SendMessageA(hwndDump, EM_SETSEL, 0, -1);
}

static void OnControlPanel(HWND hwnd)
{
    if (IsMenuChecked(hwnd, IDM_CONTROL_PANEL)) {
        CheckItem(hwnd, IDM_CONTROL_PANEL, FALSE);
        CloseControlPanel();
        return;
    }
    if (OpenControlPanel(hwnd, IsDeviceOpen()))
        CheckItem(hwnd, IDM_CONTROL_PANEL, TRUE);
}

static void OnToc(HWND hwnd)
{
    if (IsMenuChecked(hwnd, IDM_TOC)) {
        CheckItem(hwnd, IDM_TOC, FALSE);
        CloseTocWindow();
        return;
    }
    CheckItem(hwnd, IDM_TOC, OpenTocWindow(hwnd));
}

static void OnTree(HWND hwnd)
{
    if (IsMenuChecked(hwnd, IDM_TREE)) {
        CheckItem(hwnd, IDM_TREE, FALSE);
        CloseTreeWindow();
        return;
    }
    CheckItem(hwnd, IDM_TREE, OpenTreeWindow(hwnd));
}

static void OnRefresh(HWND hwnd)
{
    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    if (TakeEnablePending())
        EnableDeviceMenus(hwnd, TRUE);
    ShowSector(hwnd);
    ShowDriveHeader(hwnd);

    char* toc = hTocText != NULL ? (char*)GlobalLock(hTocText) : NULL;
    if (toc != NULL) {
        BuildTocText(hwnd, toc);
        GlobalUnlock(hTocText);
    }
    if (hwndToc != NULL) {
        CloseTocWindow();
        if (!OpenTocWindow(hwnd))
            CheckItem(hwnd, IDM_TOC, FALSE);
    }
    if (hwndTree != NULL)
        PostMessageA(hwndTree, UM_REBUILD_TREE, 0, 0);
    SetCursor(previous);
    SetActiveWindow(hwnd);
}

static void OnJumpAddress(HWND hwnd, LPARAM lParam)
{
    lCurrentAddress = (LONG)lParam;
    ShowSector(hwnd);
    UpdateStepControls();
}

// Commands that send device requests (or open a window that does). They
// arrive from menus, accelerators, the control panel and the side windows
// whatever the menus show, so they are held here while no device is open.
// The TOC window only shows the last report (and opens at start-up before
// any device), and closing the tree window sends nothing: both stay possible.
static BOOL NeedsDevice(UINT id)
{
    switch (id) {
    case IDM_NEXT_SECTOR:
    case IDM_PREV_SECTOR:
    case IDM_ADDRESS:
    case IDM_EJECT:
    case IDM_LABEL:
    case IDM_REFRESH:
    case IDM_JUMP_ADDRESS:
        return TRUE;
    case IDM_TREE: return hwndTree == NULL;
    default: return FALSE;
    }
}

static LRESULT OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    UINT id = LOWORD(wParam);
    if (id >= IDM_DRIVE_FIRST && id <= IDM_DRIVE_LAST) {
        OnOpened(OpenDrive(hwnd, id));
        return 0;
    }
    if (NeedsDevice(id) && !IsDeviceOpen())
        return 0;
    switch (id) {
    case IDM_OPEN_IMAGE: OnOpened(ChooseImage(hwnd)); break;
    case IDM_EXIT: DestroyWindow(hwndMain); break;
    case IDM_COPY: OnCopy(); break;
    case IDM_SELECT_ALL: OnSelectAll(); break;
    case IDM_FIND:
    case IDM_FIND_NEXT:
    case IDM_FIND_PREV: OnFindCommand(hwnd, id); break;
    case IDM_NEXT_SECTOR:
    case IDM_PREV_SECTOR:
    case IDM_ADDRESS: OnAddressCommand(hwnd, id); break;
    case IDM_EJECT: EjectDisc(hwnd); break;
    case IDM_CONTROL_PANEL: OnControlPanel(hwnd); break;
    case IDM_AUTO_SECTOR: ToggleAutoSector(); break;
    case IDM_SECTOR_CHECK: SetSectorCheck(!SectorCheckShown()); break;
    case IDM_VERIFY_DISC: VerifyDisc(hwnd); break;
    case IDM_TOC: OnToc(hwnd); break;
    case IDM_LABEL: ShowDiscLabel(hwnd); break;
    case IDM_TREE: OnTree(hwnd); break;
    case IDM_REFRESH: OnRefresh(hwnd); break;
    case IDM_JUMP_ADDRESS: OnJumpAddress(hwnd, lParam); break;
    case IDM_HELP_CONTENTS: WinHelpA(hwndMain, HelpFilePath(), HELP_CONTENTS, 0); break;
    case IDM_HELP_ON_HELP: WinHelpA(hwndMain, HelpFilePath(), HELP_HELPONHELP, 0); break;
    case IDM_ABOUT: ShowAbout(hwnd); break;
    case IDM_SAVE_SECTORS: OnSaveSectors(hwnd); break;
    case IDM_COPY_DISC: OnCopyDisc(hwnd); break;
    default: return DefWindowProcA(hwndMain, WM_COMMAND, wParam, lParam);
    }
    return 0;
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: return OnCreate(hwnd);
    case WM_DESTROY: OnDestroy(hwnd); return 0;
    case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_COMMAND: return OnCommand(hwnd, wParam, lParam);
    case WM_SYSCOMMAND: return OnSysCommand(hwnd, wParam, lParam);
    case WM_MENUSELECT: OnMenuSelect(hwnd, LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_CTLCOLORSTATIC: return OnCtlColorStatic((HDC)wParam, (HWND)lParam);
    case WM_PARENTNOTIFY: ShowContextMenu(hwnd, LOWORD(wParam), lParam); return 0;
    case UM_OPEN_STARTUP_IMAGE: OnOpenStartupImage(hwnd); return 0;
    case WM_COPYDATA: return TakeSaveRequest(hwnd, (const COPYDATASTRUCT*)lParam);
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}
