// The control panel: three buttons whose ids are the movement commands they forward to the
// main window. It keeps no state; the main window, the drives and the sector view enable and
// disable its buttons through the functions at the end.
#include "quillet.h"

namespace {

// Every button sends a device request: none is available without a device.
const int kDeviceButtons[] = {IDM_NEXT_SECTOR, IDM_PREV_SECTOR, IDM_ADDRESS};

BOOL OnInitDialog(HWND dlg)
{
    SetUpSideSystemMenu(dlg, TRUE);
    RECT rect;
    LoadWindowRect(SLOT_CONTROL, &rect);
    SetWindowPos(dlg, NULL, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

void OnDestroy(HWND dlg)
{
    RECT rect;
    if (GetWindowRect(dlg, &rect))
        SaveWindowRect(SLOT_CONTROL, &rect);
}

}  // namespace

static INT_PTR CALLBACK ControlProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
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
        return OnSideSysCommand(dlg, wParam);
    case WM_DESTROY:
        OnDestroy(dlg);
        return FALSE;
    }
    return FALSE;
}

BOOL OpenControlPanel(HWND owner, BOOL device_open)
{
    hwndControl = CreateDialogParamA(hInst, "ControlBox", owner, ControlProc, 0);
    if (hwndControl == NULL)
        return FALSE;
    if (!device_open)
        EnableControlButtons(FALSE);
    return TRUE;
}

void CloseControlPanel(void)
{
    DestroyAndClear(&hwndControl);
}

void EnableControlButton(int id, BOOL enable)
{
    if (hwndControl == NULL)
        return;
    HWND button = GetDlgItem(hwndControl, id);
    if (button != NULL)
        EnableWindow(button, enable);
}

void EnableControlButtons(BOOL enable)
{
    for (int id : kDeviceButtons)
        EnableControlButton(id, enable);
}
