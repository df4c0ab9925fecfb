// The control panel: three buttons whose ids are the movement commands they forward to the
// main window. It keeps no state; the main window enables and disables its buttons.
#include "quillet.h"

namespace {

BOOL OnInitDialog(HWND dlg)
{
    SetUpSideSystemMenu(dlg, TRUE);
    RECT rect;
    LoadWindowRect(SLOT_CONTROL, &rect);
    SetWindowPos(dlg, NULL, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

// Next in the cycle main window, panel, TOC window, tree window.
void ActivateNextWindow(void)
{
    HWND next = hwndToc != NULL ? hwndToc : hwndTree != NULL ? hwndTree : hwndMain;
    SetActiveWindow(next);
}

void OnDestroy(HWND dlg)
{
    RECT rect;
    if (GetWindowRect(dlg, &rect))
        SaveWindowRect(SLOT_CONTROL, &rect);
}

}  // namespace

INT_PTR CALLBACK ControlProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog(dlg);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_NEXT_SECTOR:
        case IDM_PREV_SECTOR:
        case IDM_ADDRESS:
            SendMessageA(hwndMain, WM_COMMAND, wParam, lParam);
            break;
        }
        return FALSE;
    case WM_SYSCOMMAND:
        if (wParam == SC_NEXTWINDOW) {
            ActivateNextWindow();
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        OnDestroy(dlg);
        return FALSE;
    }
    return FALSE;
}
