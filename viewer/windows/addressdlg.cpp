// Address input: stepping the view one block, and the INPUTBOX dialog in which a target
// is typed as a CD time or as a block address. The rules live in address.h.
#include <stdio.h>
#include <string.h>

#include "quillet.h"
#include "tamrisk.h"
#include "cdgeometry.h"
#include "cdtime.h"
#include "address.h"

static INT_PTR CALLBACK InputProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

namespace {

enum { kCdTimeFieldChars = 2, kStringSize = 128 };

// Accepted block addresses; they last as long as the process and are never stored.
AddressHistory history;

// Set while the dialog is open: a second IDM_ADDRESS (forwarded by a side window, which the modal
// dialog leaves enabled) is ignored rather than stacking another dialog.
bool bInputOpen;

// Set while the dialog writes its own fields, so that the notifications those writes
// cause are not taken for the user's typing.
bool bWritingFields;

void StepView(HWND owner, int32_t delta)
{
    lCurrentAddress = StepAddress(lCurrentAddress, delta);
    ShowSector(owner);
    UpdateStepControls();
}

void RunAddressDialog(HWND owner)
{
    if (bInputOpen)
        return;
    bInputOpen = true;
    EnableControlButton(IDM_ADDRESS, FALSE);
    INT_PTR result = DialogBoxParamA(hInst, "InputBox", owner, InputProc, 0);
    bInputOpen = false;
    if (result == 1) {  // -1 is a dialog that could not be made
        ShowSector(owner);
        UpdateStepControls();
    }
    // The panel may have been closed and opened meanwhile; its button follows the drive.
    EnableControlButton(IDM_ADDRESS, IsDeviceOpen());
}

void SetBlockField(HWND dlg, LONG lbn)
{
    bWritingFields = true;
    SetDlgItemLong(dlg, IDC_INPUT_BLOCK, lbn);
    bWritingFields = false;
}

void SetTimeFields(HWND dlg, LONG address)
{
    bWritingFields = true;
    SetDlgItemTime(dlg, IDC_INPUT_MINUTES, IDC_INPUT_SECONDS, IDC_INPUT_FRAMES, address);
    bWritingFields = false;
}

void FillHistoryList(HWND dlg)
{
    int32_t lbn;
    for (int32_t i = 0; GetHistory(&history, i, &lbn); ++i) {
        char text[16];
        snprintf(text, sizeof text, "%d", (int)lbn);
        if (SendDlgItemMessageA(dlg, IDC_INPUT_BLOCK, CB_ADDSTRING, 0, (LPARAM)text) == CB_ERRSPACE)
            break;
    }
}

BOOL OnInitDialog(HWND dlg)
{
    SetTimeFields(dlg, lCurrentAddress);
    SetBlockField(dlg, StepAddress(lCurrentAddress, -kPregapBlocks));
    static const int kTimeFields[] = {IDC_INPUT_MINUTES, IDC_INPUT_SECONDS, IDC_INPUT_FRAMES};
    for (int id : kTimeFields)
        SendDlgItemMessageA(dlg, id, EM_LIMITTEXT, kCdTimeFieldChars, 0);
    FillHistoryList(dlg);

    RECT rect;
    LoadWindowRect(SLOT_INPUT, &rect);
    SetWindowPos(dlg, NULL, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

void ShowInputError(HWND dlg, const AddressCheck& check)
{
    char format[kStringSize], caption[kStringSize], message[kStringSize];
    LoadText(check.error_id, format, sizeof format);
    LoadText(IDS_INPUT_ERROR, caption, sizeof caption);
    FormatAddressError(message, sizeof message, format, lLeadout, &check);
    MessageBoxA(dlg, message, caption, MB_ICONEXCLAMATION | MB_OK);
    SetFocus(GetDlgItem(dlg, IDC_INPUT_BLOCK));
}

void OnAccept(HWND dlg)
{
    char text[kAddressTextSize];
    if (GetDlgItemTextA(dlg, IDC_INPUT_BLOCK, text, sizeof text) <= 0)
        text[0] = '\0';
    AddressCheck check;
    if (CheckAddressInput(text, lLeadout, &check) != 0) {
        ShowInputError(dlg, check);
        return;
    }
    AddHistory(&history, check.value);
    lCurrentAddress = StepAddress(check.value, kPregapBlocks);
    EndDialog(dlg, 1);
}

void ReadField(HWND dlg, int id, char* text, int size)
{
    if (GetDlgItemTextA(dlg, id, text, size) <= 0)
        text[0] = '\0';
}

void OnCdTimeTyped(HWND dlg, HWND field)
{
    // Only the field being typed in; the program's own writes leave the focus elsewhere.
    if (bWritingFields || GetFocus() != field)
        return;
    char minutes[kCdTimeFieldSize], seconds[kCdTimeFieldSize], frames[kCdTimeFieldSize];
    ReadField(dlg, IDC_INPUT_MINUTES, minutes, sizeof minutes);
    ReadField(dlg, IDC_INPUT_SECONDS, seconds, sizeof seconds);
    ReadField(dlg, IDC_INPUT_FRAMES, frames, sizeof frames);
    SetBlockField(dlg, CdTimeToBlock(minutes, seconds, frames));
}

void OnBlockTyped(HWND dlg)
{
    if (bWritingFields)
        return;
    char text[kAddressTextSize];
    ReadField(dlg, IDC_INPUT_BLOCK, text, sizeof text);
    SetTimeFields(dlg, BlockTextToAddress(text));
}

void OnCommand(HWND dlg, int id, int code, HWND control)
{
    switch (id) {
    case IDOK:
        OnAccept(dlg);
        break;
    case IDCANCEL:
        EndDialog(dlg, 0);
        break;
    case IDC_INPUT_MINUTES:
    case IDC_INPUT_SECONDS:
    case IDC_INPUT_FRAMES:
        if (code == EN_CHANGE)
            OnCdTimeTyped(dlg, control);
        break;
    case IDC_INPUT_BLOCK:
        if (code == CBN_EDITCHANGE)
            OnBlockTyped(dlg);
        break;
    }
}

// Only a close from the caption or the system menu keeps the dialog's position.
void OnClose(HWND dlg)
{
    RECT rect;
    if (GetWindowRect(dlg, &rect))
        SaveWindowRect(SLOT_INPUT, &rect);
}

}  // namespace

void OnAddressCommand(HWND owner, UINT command)
{
    switch (command) {
    case IDM_NEXT_SECTOR:
        StepView(owner, 1);
        break;
    case IDM_PREV_SECTOR:
        StepView(owner, -1);
        break;
    case IDM_ADDRESS:
        RunAddressDialog(owner);
        break;
    }
}

static INT_PTR CALLBACK InputProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog(dlg);
    case WM_COMMAND:
        OnCommand(dlg, LOWORD(wParam), HIWORD(wParam), (HWND)lParam);
        return FALSE;
    case WM_CLOSE:
        OnClose(dlg);
        return FALSE;  // the dialog manager turns the close into IDCANCEL
    }
    return FALSE;
}

AddressHistory* SharedAddressHistory(void) { return &history; }
