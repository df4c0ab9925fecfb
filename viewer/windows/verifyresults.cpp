// Results of a disc verify: the summary, one line per failing block (LBN, CD
// time, mode, what failed or the sense of an unreadable block), Jump to a
// block in the main window and Copy of the list to the clipboard.
#include "quillet.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "cdgeometry.h"
#include "sense.h"
#include "tamrisk.h"
#include "verify.h"

namespace {

enum { kLineSize = 256, kSummarySize = 256 };

struct ResultsView {
    const VerifyRun* run;
    BOOL cancelled;
    DWORD elapsed_ms;
};

// The library's text for an ASC/ASCQ pair ("" where it has none).
void SenseText(const VerifyBlockStatus& s, char* text, size_t size)
{
    text[0] = '\0';
    unsigned id = SenseDescriptionId(s.asc, s.ascq);
    HMODULE library = GetModuleHandleA("tamrisk.dll");
    if (id != 0 && library != NULL)
        snprintf(text, size, "%s", SetString(library, id));
}

void FillList(HWND dlg, const VerifyRun& run)
{
    HWND list = GetDlgItem(dlg, IDC_VERIFY_LIST);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    char line[kLineSize], sense[kLineSize];
    for (const VerifyFailure& f : run.failures) {
        sense[0] = '\0';
        if (f.unreadable)
            SenseText(f.sense, sense, sizeof sense);
        FormatVerifyLine(f, sense, line, sizeof line);
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line);
    }
    SendMessageA(list, LB_SETHORIZONTALEXTENT, 1200, 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    if (!run.failures.empty())
        SendMessageA(list, LB_SETCURSEL, 0, 0);
    EnableWindow(GetDlgItem(dlg, IDC_VERIFY_JUMP), !run.failures.empty());
    EnableWindow(GetDlgItem(dlg, IDC_VERIFY_COPY), !run.failures.empty());
}

BOOL OnInitDialog(HWND dlg, ResultsView* view)
{
    SetWindowLongPtrA(dlg, DWLP_USER, (LONG_PTR)view);
    CenteringWindow(dlg);
    SendDlgItemMessageA(dlg, IDC_VERIFY_LIST, WM_SETFONT, (WPARAM)GetStockObject(SYSTEM_FIXED_FONT), FALSE);
    char summary[kSummarySize];
    FormatVerifySummary(*view->run, view->cancelled != FALSE, view->elapsed_ms, summary, sizeof summary);
    SetDlgItemTextA(dlg, IDC_VERIFY_SUMMARY, summary);
    FillList(dlg, *view->run);
    return TRUE;
}

// The main window shows the selected block; the list stays open.
void OnJump(HWND dlg, const ResultsView* view)
{
    LRESULT i = SendDlgItemMessageA(dlg, IDC_VERIFY_LIST, LB_GETCURSEL, 0, 0);
    if (i < 0 || (size_t)i >= view->run->failures.size())
        return;
    SendMessageA(hwndMain, WM_COMMAND, IDM_JUMP_ADDRESS, (LPARAM)(view->run->failures[(size_t)i].lbn + kPregapBlocks));
}

void OnCopy(HWND dlg)
{
    HWND list = GetDlgItem(dlg, IDC_VERIFY_LIST);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    std::string text;
    char line[kLineSize];
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT n = SendMessageA(list, LB_GETTEXTLEN, (WPARAM)i, 0);
        if (n < 0 || n >= (LRESULT)sizeof line)
            continue;
        SendMessageA(list, LB_GETTEXT, (WPARAM)i, (LPARAM)line);
        text.append(line, (size_t)n);
        text += "\r\n";
    }
    if (!OpenClipboard(dlg))
        return;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    char* p = block != NULL ? (char*)GlobalLock(block) : NULL;
    if (p != NULL) {
        memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(block);
        if (SetClipboardData(CF_TEXT, block) == NULL)
            GlobalFree(block);
    } else if (block != NULL) {
        GlobalFree(block);
    }
    CloseClipboard();
}

BOOL OnCommand(HWND dlg, const ResultsView* view, WORD id, WORD code)
{
    switch (id) {
    case IDC_VERIFY_LIST:
        if (code == LBN_DBLCLK)
            OnJump(dlg, view);
        return TRUE;
    case IDC_VERIFY_JUMP: OnJump(dlg, view); return TRUE;
    case IDC_VERIFY_COPY: OnCopy(dlg); return TRUE;
    case IDOK:
    case IDCANCEL: EndDialog(dlg, id); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK VerifyResultsProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const ResultsView* view = (const ResultsView*)GetWindowLongPtrA(dlg, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dlg, (ResultsView*)lParam);
    case WM_COMMAND: return view != NULL && OnCommand(dlg, view, LOWORD(wParam), HIWORD(wParam));
    default: return FALSE;
    }
}

}  // namespace

void ShowVerifyResults(HWND owner, const VerifyRun* run, BOOL cancelled, DWORD elapsed_ms)
{
    ResultsView view = {run, cancelled, elapsed_ms};
    DialogBoxParamA(hInst, "VERIFYRESULTS", owner, VerifyResultsProc, (LPARAM)&view);
}
