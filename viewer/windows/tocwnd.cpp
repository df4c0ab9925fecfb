// The TOC report text and the TOC window that shows it. The rendering lives in tocreport.h.
#include <string.h>

#include "quillet.h"
#include "tamrisk.h"
#include "tocreport.h"

namespace {

enum { kTocWindowLines = 10 };

// Width of the column heading of the last build, CR LF included; 0 before the first.
LONG nTocHeaderLen;

// The edit control's own window procedure, behind the right-click hook below.
WNDPROC pfnTocEditProc;

// A copy of the window's text for the jump; the report never exceeds kTocReportSize.
char szJumpText[kTocReportSize];

int TocRequest(void* ctx, uint8_t* buffer, uint32_t alloc_len, int format, int report)
{
    return cdrToc((HWND)ctx, hDevice, buffer, alloc_len, (DWORD)format, report);
}

HWND TocEdit(HWND dlg)
{
    return GetDlgItem(dlg, IDC_TOC_TEXT);
}

// The edit control would show its own Undo/Copy/Paste menu on a right click; the window's
// menu is shown instead, at the click (or under the control's corner for the menu key).
LRESULT CALLBACK TocEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CONTEXTMENU) {
        HWND dlg = GetParent(edit);
        POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        if (lParam == -1) {
            pt.x = pt.y = 0;
            ClientToScreen(edit, &pt);
        }
        ScreenToClient(dlg, &pt);
        if (pt.x < 0)
            pt.x = 0;
        if (pt.y < 0)
            pt.y = 0;
        ShowContextMenu(dlg, WM_RBUTTONDOWN, MAKELPARAM(pt.x, pt.y));
        return 0;
    }
    return CallWindowProcA(pfnTocEditProc, edit, msg, wParam, lParam);
}

// Wide enough for the last heading and a scroll bar, ten lines of the window's font high.
void PlaceWindow(HWND dlg)
{
    RECT rect;
    LoadWindowRect(SLOT_TOC, &rect);
    TEXTMETRICA tm;
    memset(&tm, 0, sizeof tm);
    HDC dc = GetDC(dlg);
    if (dc != NULL) {
        GetTextMetricsA(dc, &tm);
        ReleaseDC(dlg, dc);
    }
    int width = GetSystemMetrics(SM_CXVSCROLL) + tm.tmAveCharWidth * nTocHeaderLen;
    SetWindowPos(dlg, NULL, rect.left, rect.top, width, tm.tmHeight * kTocWindowLines, SWP_NOZORDER);
    RECT client;
    GetClientRect(dlg, &client);
    MoveWindow(TocEdit(dlg), 0, 0, client.right, client.bottom, TRUE);
}

// The report as the last build left it, terminated inside its block whatever it holds.
BOOL ShowReport(HWND dlg)
{
    const char* text = "";
    char* locked = hTocText != NULL ? (char*)GlobalLock(hTocText) : NULL;
    if (locked != NULL) {
        SIZE_T size = GlobalSize(hTocText);
        if (size > 0 && memchr(locked, '\0', size) == NULL)
            locked[size - 1] = '\0';
        text = locked;
    }
    BOOL shown = SetWindowTextA(TocEdit(dlg), text);
    if (locked != NULL)
        GlobalUnlock(hTocText);
    return shown;
}

BOOL OnInitDialog(HWND dlg)
{
    HWND edit = TocEdit(dlg);
    SendMessageA(edit, WM_SETFONT, (WPARAM)GetStockObject(SYSTEM_FIXED_FONT), TRUE);
    pfnTocEditProc = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)TocEditProc);
    SetUpSideSystemMenu(dlg, FALSE);
    PlaceWindow(dlg);
    if (!ShowReport(dlg)) {
        PrintError(hwndMain, GetLastError(), "Not Enough Memory");
        DestroyWindow(dlg);
    }
    return FALSE;
}

// The number selected in the report, as a block address, becomes the view's position.
void JumpToSelection(HWND dlg)
{
    HWND edit = TocEdit(dlg);
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    int len = GetWindowTextA(edit, szJumpText, sizeof szJumpText);
    if (len < 0)
        len = 0;
    LONG address = TocJumpAddress(szJumpText, (uint32_t)len, start, end);
    SendMessageA(hwndMain, WM_COMMAND, IDM_JUMP_ADDRESS, address);
}

void OnCommand(HWND dlg, WPARAM wParam, LPARAM lParam)
{
    HWND edit = TocEdit(dlg);
    switch (LOWORD(wParam)) {
    case IDM_SELECT_ALL:
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        break;
    case IDM_COPY:
        SendMessageA(edit, WM_COPY, 0, 0);
        break;
    case IDM_TOC_JUMP:
        JumpToSelection(dlg);
        break;
    case IDM_NEXT_SECTOR:
    case IDM_PREV_SECTOR:
    case IDM_ADDRESS:
        SendMessageA(hwndMain, WM_COMMAND, wParam, lParam);
        break;
    }
}

void OnDestroy(HWND dlg)
{
    RECT rect;
    if (GetWindowRect(dlg, &rect))
        SaveWindowRect(SLOT_TOC, &rect);
}

}  // namespace

int BuildTocText(HWND owner, char* text)
{
    if (text == NULL)
        return 0;
    int32_t header_len = 0;
    int rendered = BuildTocReport(TocRequest, owner, text, kTocReportSize, &header_len);
    nTocHeaderLen = header_len;
    return rendered;
}

static INT_PTR CALLBACK TocProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog(dlg);
    case WM_SIZE: {
        HWND edit = TocEdit(dlg);
        if (edit != NULL)
            MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return FALSE;
    }
    case WM_COMMAND:
        OnCommand(dlg, wParam, lParam);
        return FALSE;
    case WM_SYSCOMMAND:
        return OnSideSysCommand(dlg, wParam);
    case WM_PARENTNOTIFY:
        ShowContextMenu(dlg, LOWORD(wParam), lParam);
        return FALSE;
    case WM_DESTROY:
        OnDestroy(dlg);
        return FALSE;
    }
    return FALSE;
}

BOOL OpenTocWindow(HWND owner)
{
    hwndToc = CreateDialogParamA(hInst, "TOCBox", owner, TocProc, 0);
    return hwndToc != NULL;
}

void CloseTocWindow(void)
{
    DestroyAndClear(&hwndToc);
}
