// Find, commands IDM_FIND (Ctrl+F: the dialog, then a search), IDM_FIND_NEXT
// (F3) and IDM_FIND_PREV (Shift+F3): the search reads the data blocks of the
// disc silently in batches from the shown sector on, first for a moment
// under the wait cursor, then in the progress dialog with Cancel. A match is
// shown with its bytes selected in the dump pane. The matcher and the walk
// are find.cpp's; the drive side and the dialog loop are discwalk.h's.
#include "quillet.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "find.h"
#include "tamrisk.h"
#include "address.h"
#include "windows/discwalk.h"

namespace {

enum { kQuietMs = 300, kStringSize = 256 };

struct FindSettings {
    bool chosen;             // the dialog has been accepted once
    char text[kFindTextSize];
    bool hex, ignore_case, raw, backward;
    FindPattern pattern;
};

FindSettings settings;       // the last accepted; F3 and Shift+F3 repeat it
FindHistory history;
bool bHitShown;              // lastHit is the match selected in the pane
FindHit lastHit;
bool bSearching;

const struct {
    FindPatternError error;
    UINT text;
} kRefusals[] = {
    {kFindPatternEmpty, IDS_FIND_EMPTY},
    {kFindPatternOddDigits, IDS_FIND_ODD_DIGITS},
    {kFindPatternBadChar, IDS_FIND_BAD_CHAR},
    {kFindPatternTooLong, IDS_FIND_TOO_LONG},
};

void LoadText(UINT id, char* out, int size)
{
    if (LoadStringA(hInst, id, out, size) <= 0)
        out[0] = '\0';
}

void Tell(HWND owner, const char* text, UINT icon)
{
    char caption[kStringSize];
    LoadText(IDS_FIND_CAPTION, caption, sizeof caption);
    MessageBoxA(owner, text, caption, MB_OK | icon);
}

// ---- The dialog ----

bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

void EnableIgnoreCase(HWND dlg)
{
    EnableWindow(GetDlgItem(dlg, IDC_FIND_CASE), Checked(dlg, IDC_FIND_AS_TEXT));
}

BOOL OnInitDialog(HWND dlg)
{
    bool hex;
    for (int i = 0; const char* text = GetFindHistory(&history, i, &hex); ++i)
        if (SendDlgItemMessageA(dlg, IDC_FIND_TEXT, CB_ADDSTRING, 0, (LPARAM)text) == CB_ERRSPACE)
            break;
    SendDlgItemMessageA(dlg, IDC_FIND_TEXT, CB_LIMITTEXT, kFindTextSize - 1, 0);
    if (!settings.chosen)
        settings.raw = DumpTextForMode(bAutoSector != FALSE) == kDumpTextRaw;   // what the pane shows
    SetDlgItemTextA(dlg, IDC_FIND_TEXT, settings.text);
    CheckRadioButton(dlg, IDC_FIND_HEX, IDC_FIND_AS_TEXT, settings.hex ? IDC_FIND_HEX : IDC_FIND_AS_TEXT);
    CheckDlgButton(dlg, IDC_FIND_CASE, settings.ignore_case ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dlg, IDC_FIND_USER, IDC_FIND_RAW, settings.raw ? IDC_FIND_RAW : IDC_FIND_USER);
    CheckRadioButton(dlg, IDC_FIND_FORWARD, IDC_FIND_BACKWARD, settings.backward ? IDC_FIND_BACKWARD : IDC_FIND_FORWARD);
    EnableIgnoreCase(dlg);
    CenteringWindow(dlg);
    return TRUE;
}

// The address input's error box: caption "入力エラー", %d the longest
// pattern, %c the refused character.
void ShowRefusal(HWND dlg, FindPatternError error, const char* bad_char)
{
    UINT id = 0;
    for (const auto& r : kRefusals)
        if (r.error == error)
            id = r.text;
    char format[kStringSize], caption[kStringSize], message[kStringSize];
    LoadText(id, format, sizeof format);
    LoadText(IDS_INPUT_ERROR, caption, sizeof caption);
    AddressCheck check = {};
    memcpy(check.bad_char, bad_char, sizeof check.bad_char);
    FormatAddressError(message, sizeof message, format, kFindMaxPattern, &check);
    MessageBoxA(dlg, message, caption, MB_ICONEXCLAMATION | MB_OK);
    SetFocus(GetDlgItem(dlg, IDC_FIND_TEXT));
}

void OnAccept(HWND dlg)
{
    char text[kFindTextSize], bad_char[3];
    if (GetDlgItemTextA(dlg, IDC_FIND_TEXT, text, sizeof text) <= 0)
        text[0] = '\0';
    bool hex = Checked(dlg, IDC_FIND_HEX), ignore_case = Checked(dlg, IDC_FIND_CASE);
    FindPattern pattern;
    FindPatternError error = ParseFindPattern(text, hex ? kFindHexBytes : kFindText, ignore_case, &pattern, bad_char);
    if (error != kFindPatternOk) {
        ShowRefusal(dlg, error, bad_char);
        return;
    }
    settings.chosen = true;
    memcpy(settings.text, text, sizeof text);
    settings.hex = hex;
    settings.ignore_case = ignore_case;
    settings.raw = Checked(dlg, IDC_FIND_RAW);
    settings.backward = Checked(dlg, IDC_FIND_BACKWARD);
    settings.pattern = pattern;
    AddFindHistory(&history, text, hex);
    EndDialog(dlg, 1);
}

// A pattern from the list comes with the kind it was typed as.
void OnHistoryPicked(HWND dlg)
{
    LRESULT i = SendDlgItemMessageA(dlg, IDC_FIND_TEXT, CB_GETCURSEL, 0, 0);
    bool hex;
    if (i == CB_ERR || GetFindHistory(&history, (int)i, &hex) == NULL)
        return;
    CheckRadioButton(dlg, IDC_FIND_HEX, IDC_FIND_AS_TEXT, hex ? IDC_FIND_HEX : IDC_FIND_AS_TEXT);
    EnableIgnoreCase(dlg);
}

INT_PTR CALLBACK FindProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog(dlg);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: OnAccept(dlg); break;
        case IDCANCEL: EndDialog(dlg, 0); break;
        case IDC_FIND_HEX:
        case IDC_FIND_AS_TEXT: EnableIgnoreCase(dlg); break;
        case IDC_FIND_TEXT:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                OnHistoryPicked(dlg);
            break;
        }
        return TRUE;
    }
    return FALSE;
}

// ---- The search ----

struct FindJob {
    DriveBatch drive;
    FindRun run;
};

bool StepFind(void* ctx)
{
    FindJob* job = (FindJob*)ctx;
    return FindStep(&job->run, ReadDriveBatch, &job->drive);
}

void ShowProgress(HWND dlg, void* ctx, DWORD)
{
    const FindRun& r = ((FindJob*)ctx)->run;
    SendDlgItemMessageA(dlg, IDC_FIND_PROGRESS, PBM_SETRANGE32, 0, (LPARAM)r.total);
    SendDlgItemMessageA(dlg, IDC_FIND_PROGRESS, PBM_SETPOS, (WPARAM)r.done, 0);
    char text[96];
    snprintf(text, sizeof text, "Blocks: %lld / %lld", (long long)r.done, (long long)r.total);
    SetDlgItemTextA(dlg, IDC_FIND_DONE, text);
}

// Shows the match's sector and selects the match's hex digits in the text
// the pane shows, up to the end of that sector.
void ShowHit(HWND owner, const FindHit& hit)
{
    lCurrentAddress = StepAddress(hit.lbn, kPregapBlocks);
    ShowSector(owner);
    UpdateStepControls();
    lastHit = hit;
    bHitShown = true;
    bool pane_raw = DumpTextForMode(bAutoSector != FALSE) == kDumpTextRaw;
    FindSelection sel = FindHitInPane(hit, settings.pattern.length, pane_raw);
    SetFocus(hwndDump);
    if (sel.end > sel.first) {
        SendMessageA(hwndDump, EM_SETSEL, DumpHexPosition(sel.first), DumpHexPosition(sel.end - 1) + 2);
        SendMessageA(hwndDump, EM_SCROLLCARET, 0, 0);
    }
}

void ReportUnreadable(HWND owner, const FindRun& run)
{
    char head[kStringSize], text[kStringSize + 64];
    LoadText(IDS_FIND_UNREADABLE, head, sizeof head);
    snprintf(text, sizeof text, "%s %lld (LBN %ld)", head, (long long)run.unreadable, (long)run.first_unreadable);
    Tell(owner, text, MB_ICONEXCLAMATION);
}

void Search(HWND owner, bool backward)
{
    if (bSearching)
        return;
    VerifyPlan plan;
    char text[kStringSize];
    if (!ReadDataPlan(owner, &plan)) {
        LoadText(IDS_FIND_NO_TOC, text, sizeof text);
        Tell(owner, text, MB_ICONINFORMATION);
        return;
    }
    // From the match shown, else from the shown sector: forward its first
    // byte on, backward its last byte down.
    int32_t lbn = StepAddress(lCurrentAddress, -kPregapBlocks);
    uint32_t offset = backward ? UINT32_MAX : 0;
    if (bHitShown && lastHit.lbn == lbn && lastHit.raw == settings.raw)
        offset = backward ? lastHit.offset : lastHit.offset + 1;

    static FindJob job;
    job.drive = DriveBatch{owner, ProbeRawBlockLength(owner)};
    if (job.drive.block_len == 0)
        return;
    bSearching = true;
    FindStart(&job.run, settings.pattern, plan, backward, settings.raw, lbn, offset, job.drive.block_len);
    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    DWORD start = GetTickCount();
    bool more;
    while ((more = StepFind(&job)) && GetTickCount() - start < kQuietMs) {}
    SetCursor(previous);
    BatchDialog dialog = {StepFind, ShowProgress, &job, 0, 0, FALSE};
    if (more)
        RunBatchDialog(owner, "FindProgress", &dialog);
    bSearching = false;

    if (job.run.unreadable > 0)
        ReportUnreadable(owner, job.run);
    if (dialog.cancelled)
        return;
    if (job.run.found) {
        ShowHit(owner, job.run.hit);
        return;
    }
    LoadText(IDS_FIND_NOT_FOUND, text, sizeof text);
    Tell(owner, text, MB_ICONINFORMATION);
}

}  // namespace

void OnFindCommand(HWND owner, UINT command)
{
    if (!IsDeviceOpen() || bSearching)
        return;
    if (command == IDM_FIND || !settings.chosen) {
        if (DialogBoxParamA(hInst, "FindBox", owner, FindProc, 0) != 1)
            return;
        Search(owner, command == IDM_FIND ? settings.backward : command == IDM_FIND_PREV);
        return;
    }
    Search(owner, command == IDM_FIND_PREV);
}
