// File menu commands that take data off the disc: a range of sectors, and
// the whole disc as BIN/CUE.
#include <stdio.h>
#include <string.h>

#include "cdgeometry.h"
#include "mmc.h"
#include "quillet.h"
#include "tamrisk.h"
#include "address.h"
#include "disccopy.h"
#include "windows/savedlg.h"
#include "saverange.h"

namespace {

enum { kFieldSize = 80 };

struct SectorRange {
    int32_t first;
    uint32_t count;
    bool userData;
};

void FillHistory(HWND dlg)
{
    int32_t lbn;
    for (int32_t i = 0; GetHistory(SharedAddressHistory(), i, &lbn); ++i) {
        char text[16];
        snprintf(text, sizeof text, "%d", (int)lbn);
        if (SendDlgItemMessageA(dlg, IDC_SAVE_FIRST, CB_ADDSTRING, 0, (LPARAM)text) == CB_ERRSPACE)
            break;
    }
}

void InputError(HWND dlg, UINT id, int control)
{
    char text[256], caption[64];
    LoadText(id, text, (int)sizeof text);
    LoadText(IDS_INPUT_ERROR, caption, (int)sizeof caption);
    MessageBoxA(dlg, text, caption, MB_OK | MB_ICONEXCLAMATION);
    SetFocus(GetDlgItem(dlg, control));
}

void OnRangeOk(HWND dlg)
{
    char first[kFieldSize], end[kFieldSize];
    GetDlgItemTextA(dlg, IDC_SAVE_FIRST, first, sizeof first);
    GetDlgItemTextA(dlg, IDC_SAVE_END, end, sizeof end);
    SectorRange* range = (SectorRange*)GetWindowLongPtrA(dlg, DWLP_USER);
    bool byLast = IsDlgButtonChecked(dlg, IDC_SAVE_BY_LAST) == BST_CHECKED;
    switch (CheckSaveRange(first, end, byLast, lLeadout, &range->first, &range->count)) {
    case kRangeBadFirst: InputError(dlg, IDS_SAVE_BAD_FIRST, IDC_SAVE_FIRST); return;
    case kRangeBadEnd: InputError(dlg, IDS_SAVE_BAD_END, IDC_SAVE_END); return;
    case kRangeOk: break;
    }
    range->userData = IsDlgButtonChecked(dlg, IDC_SAVE_USER) == BST_CHECKED;
    AddHistory(SharedAddressHistory(), range->first);
    EndDialog(dlg, IDOK);
}

INT_PTR CALLBACK SaveSectorsProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        SetDlgItemLong(dlg, IDC_SAVE_FIRST, lCurrentAddress - kPregapBlocks);
        SetDlgItemTextA(dlg, IDC_SAVE_END, "1");
        CheckRadioButton(dlg, IDC_SAVE_BY_COUNT, IDC_SAVE_BY_LAST, IDC_SAVE_BY_COUNT);
        CheckRadioButton(dlg, IDC_SAVE_RAW, IDC_SAVE_USER, bAutoSector ? IDC_SAVE_USER : IDC_SAVE_RAW);
        FillHistory(dlg);
        CenteringWindow(dlg);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            OnRangeOk(dlg);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dlg, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

// The TOC as a layout: the full TOC silently, else the track TOC with the
// library's questions.
bool ReadLayout(HWND owner, CopyLayout* layout)
{
    static uint8_t toc[kTocResponseSize];
    if (cdrToc(owner, hDevice, toc, sizeof toc, kTocFormatFull, CDR_SILENT) == CDR_SUCCESS &&
        LayoutFromFullToc(toc, sizeof toc, layout))
        return true;
    return cdrToc(owner, hDevice, toc, sizeof toc, kTocFormatTrack, CDR_REPORT) == CDR_SUCCESS &&
           LayoutFromTrackToc(toc, sizeof toc, layout);
}

}  // namespace

void OnSaveSectors(HWND owner)
{
    SaveRequest request;
    BOOL driven = TakeDrivenSave(IDM_SAVE_SECTORS, &request);
    if (hDevice == NULL)
        return;
    SectorRange range = {0, 0, false};
    char path[MAX_PATH] = "";
    if (driven) {
        if (request.first < 0 || request.count <= 0 || (int64_t)request.first + request.count > lLeadout)
            return;
        range = {request.first, (uint32_t)request.count, request.userData != 0};
        snprintf(path, sizeof path, "%s", request.path);
    } else {
        if (DialogBoxParamA(hInst, "SaveSectorsBox", owner, SaveSectorsProc, (LPARAM)&range) != IDOK)
            return;
        snprintf(path, sizeof path, "%d.bin", (int)range.first);
        if (!AskFilePath(owner, IDS_SAVE_FILTER, kFileDialogSave, "bin", path))
            return;
    }
    SaveItem item = MakeSaveItem(range.userData ? kSaveDetected : kSaveRaw, path);
    item.extents.push_back(SaveExtent{range.first, range.count, (uint64_t)range.count * kRawSectorSize});
    std::vector<SaveItem> items(1, item);
    if (ConfirmOverwrite(owner, &items))
        RunSave(owner, items, kSaveKeepFinished);
}

void OnCopyDisc(HWND owner)
{
    SaveRequest request;
    BOOL driven = TakeDrivenSave(IDM_COPY_DISC, &request);
    if (hDevice == NULL)
        return;
    CopyLayout layout;
    if (!ReadLayout(owner, &layout)) {
        ShowSaveMessage(owner, IDS_SAVE_NO_TOC, "", MB_ICONSTOP);
        return;
    }
    char path[MAX_PATH] = "disc.cue";
    if (driven)
        snprintf(path, sizeof path, "%s", request.path);
    else if (!AskFilePath(owner, IDS_SAVE_CUE_FILTER, kFileDialogSave, "cue", path))
        return;
    HCURSOR previous = SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_WAIT));
    FinishCopyLayout(&layout, DriveReadRaw, owner);
    SetCursor(previous);
    std::vector<SaveItem> items = PlanDiscCopy(layout, path);
    if (ConfirmOverwrite(owner, &items))
        RunSave(owner, items, kSaveAllOrNothing);
}
