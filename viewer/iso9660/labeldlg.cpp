// Disc label dialog: the identification fields and dates of the primary
// volume descriptor of the last session, read once while the dialog is set up.
#include "quillet.h"

#include <stdint.h>

#include "volume.h"
#include "tamrisk.h"

namespace {


// Fills the field controls from a block read without its sync. False after the warning
// when the block holds no ISO 9660 (or CD-I) descriptor.
bool FillLabel(HWND dlg, const uint8_t* block)
{
    VolumeLabel label;
    if (!DecodeVolumeLabel(block, kNoSyncSectorSize, &label)) {
        char text[64], caption[64];
        LoadText(IDS_LABEL_NOT_ISO, text, sizeof text);
        LoadText(IDS_LABEL_CAPTION, caption, sizeof caption);
        MessageBoxA(dlg, text, caption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    for (size_t i = 0; i < kVolumeFieldCount; ++i)
        SetDlgItemTextA(dlg, kVolumeFields[i].nControl, label.szText[i]);
    return true;
}

// Reads the descriptor block at the block length without the sync and shows
// it. The drive is left at user-data length whenever the first switch succeeded.
BOOL OnInitDialog(HWND dlg)
{
    if (cdrMode(dlg, hDevice, kNoSyncSectorSize) != CDR_SUCCESS) {
        EndDialog(dlg, 0);
        return FALSE;
    }
    bool shown = false;
    HGLOBAL hBuffer = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kRawSectorSize);
    uint8_t* buffer = hBuffer != NULL ? (uint8_t*)GlobalLock(hBuffer) : NULL;
    if (buffer != NULL) {
        int64_t lbn = (int64_t)lLastSession + kVolumeDescriptorLbn;
        if (lbn <= INT32_MAX &&
            cdrRead(dlg, hDevice, buffer, (LONG)lbn, 1, CDR_SILENT) != CDR_FAILED)
            shown = FillLabel(dlg, buffer);
        GlobalUnlock(hBuffer);
    }
    if (hBuffer != NULL)
        GlobalFree(hBuffer);
    // Every reader sets the length it needs, but user-data length is the
    // drive's resting length: put it back on the failure paths too.
    bool restored = cdrMode(dlg, hDevice, kUserDataSize) == CDR_SUCCESS;
    if (!shown || !restored) {
        EndDialog(dlg, 0);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

// Exported from the program by its plain name, not the __stdcall one.
#if defined(_MSC_VER)
#pragma comment(linker, "/EXPORT:LabelProc=_LabelProc@16")
#elif defined(__GNUC__)
__asm__(".section .drectve\n\t.ascii \" -export:LabelProc=LabelProc@16\"\n\t.text");
#endif

extern "C" INT_PTR CALLBACK LabelProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog(dlg);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dlg, 1);
        return FALSE;
    }
    return FALSE;
}

void ShowDiscLabel(HWND owner)
{
    DialogBoxParamA(hInst, "LABELBOX", owner, LabelProc, 0);
}
