// What the viewer's windows share: the right-click menus of the main window
// and the TOC window, the "next window" item of the system menus and the
// cycle it walks, and closing a window that may be open.
#include "quillet.h"

namespace {

enum { kTextSize = 256 };

BOOL HasSelection(HWND edit)
{
    DWORD start = 0, end = 0;
    if (edit == NULL)
        return FALSE;
    SendMessageA(edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    return start != end;
}

void AppendNextWindowItem(HMENU menu, UINT string_id)
{
    char caption[kTextSize];
    if (menu != NULL && LoadText(string_id, caption, sizeof caption))
        AppendMenuA(menu, MF_STRING, SC_NEXTWINDOW, caption);
}

}  // namespace

void EnableBySelection(HMENU menu, UINT id, HWND edit)
{
    EnableMenuItem(menu, id, MF_BYCOMMAND | (HasSelection(edit) ? MF_ENABLED : MF_GRAYED));
}

void ShowContextMenu(HWND hwnd, UINT event, LPARAM lParam)
{
    POINT pt = {(LONG)LOWORD(lParam), (LONG)HIWORD(lParam)};
    ClientToScreen(hwnd, &pt);
    if (event != WM_RBUTTONDOWN || hMenuContext == NULL)
        return;
    int i = (hwnd != NULL && hwnd == hwndToc) ? 1 : 0;
    HWND text = i == 1 ? GetDlgItem(hwndToc, IDC_TOC_TEXT) : hwndDump;
    HMENU popup = GetSubMenu(hMenuContext, i);
    if (popup == NULL)
        return;
    EnableBySelection(popup, IDM_COPY, text);
    if (i == 1)
        EnableBySelection(popup, IDM_TOC_JUMP, text);
    TrackPopupMenu(popup, 0, pt.x, pt.y, 0, hwnd, NULL);
}

void SetUpMainSystemMenu(HWND hwnd)
{
    AppendNextWindowItem(GetSystemMenu(hwnd, FALSE), IDS_NEXT_WINDOW);
}

void SetUpSideSystemMenu(HWND dlg, BOOL keep_sizing_items)
{
    static const UINT kSizingItems[] = {SC_RESTORE, SC_MINIMIZE, SC_MAXIMIZE, SC_TASKLIST, 0};
    HMENU menu = GetSystemMenu(dlg, FALSE);
    if (menu == NULL)
        return;
    DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
    if (keep_sizing_items) {
        AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
    } else {
        for (UINT command : kSizingItems)
            DeleteMenu(menu, command, MF_BYCOMMAND);   // command 0: the first separator
    }
    AppendNextWindowItem(menu, IDS_SIDE_NEXT_WINDOW);
}

BOOL IsNextWindowCommand(WPARAM wParam)
{
    // The low four bits of a system command are the system's own.
    return (wParam & 0xFFF0) == SC_NEXTWINDOW;
}

BOOL ActivateNextWindow(HWND from)
{
    HWND cycle[] = {hwndMain, hwndControl, hwndToc, hwndTree};
    const size_t count = sizeof cycle / sizeof cycle[0];
    size_t at = 0;
    for (size_t i = 0; i < count; i++) {
        if (cycle[i] == from)
            at = i;
    }
    for (size_t step = 1; step < count; step++) {
        HWND next = cycle[(at + step) % count];
        if (next != NULL) {
            SetActiveWindow(next);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL OnSideSysCommand(HWND dlg, WPARAM wParam)
{
    if (!IsNextWindowCommand(wParam))
        return FALSE;
    ActivateNextWindow(dlg);
    return TRUE;
}

void DestroyAndClear(HWND* window)
{
    if (*window != NULL)
        DestroyWindow(*window);
    *window = NULL;
}
