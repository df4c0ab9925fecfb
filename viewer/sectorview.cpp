// Sector view: reads the sector at lCurrentAddress at block length 2340,
// rebuilds the 2352-byte image, formats the raw and the user-data dump texts
// and shows one of them with the status line. The formatting is dumpformat's.
#include "quillet.h"

#include "cdtime.h"
#include "dumpformat.h"
#include "tamrisk.h"

enum {
    kRawDumpTextSize = 26460,   // 147 lines of 180 bytes
    kUserDumpTextSize = 23040,  // 128 lines of 180 bytes
    kMessageSize = 256,
};
static_assert((int)kRawDumpTextSize >= (int)kDumpTextSize && (int)kUserDumpTextSize >= (int)kDumpTextSize,
              "either block must hold a dump of a whole sector");

static uint8_t abRawSector[kRawImageLength];
static HGLOBAL hRawDumpText, hUserDumpText;

BOOL AllocDumpTexts(HWND owner)
{
    hRawDumpText = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kRawDumpTextSize);
    if (hRawDumpText == NULL) {
        PrintError(owner, GetLastError(), "Dump Memory Allocate error");
        return FALSE;
    }
    hUserDumpText = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kUserDumpTextSize);
    if (hUserDumpText == NULL) {
        PrintError(owner, GetLastError(), "Dump Memory Allocate error");
        return FALSE;
    }
    return TRUE;
}

void FreeDumpTexts(void)
{
    if (hRawDumpText != NULL)
        GlobalFree(hRawDumpText);
    if (hUserDumpText != NULL)
        GlobalFree(hUserDumpText);
    hRawDumpText = hUserDumpText = NULL;
}

// A jump may carry any 32-bit address; the LBN wraps rather than overflows.
static LONG LbnOf(LONG address)
{
    return (LONG)((uint32_t)address - (uint32_t)kCdPregapFrames);
}

static HGLOBAL ShownText(void)
{
    return DumpTextForMode(bAutoSector != FALSE) == kDumpTextUserData ? hUserDumpText : hRawDumpText;
}

// Puts the text block the detection mode picks into the dump pane.
static void ShowDumpText(void)
{
    HGLOBAL block = ShownText();
    if (block == NULL)
        return;
    const char* text = (const char*)GlobalLock(block);
    if (text == NULL)
        return;
    SendMessageA(hwndDump, WM_SETTEXT, 0, (LPARAM)text);
    GlobalUnlock(block);
}

static void ReportOutOfMemory(HWND owner, DWORD code)
{
    char message[kMessageSize];
    if (LoadStringA(hInst, IDS_OUT_OF_MEMORY, message, sizeof message) <= 0)
        message[0] = '\0';
    PrintError(owner, code, message);
}

static void FormatInto(HWND owner, HGLOBAL block, uint32_t size, int32_t length)
{
    char* text = block != NULL ? (char*)GlobalLock(block) : NULL;
    if (text == NULL || FormatDump(text, size, abRawSector, sizeof abRawSector, length) == 0)
        ReportOutOfMemory(owner, GetLastError());
    if (text != NULL)
        GlobalUnlock(block);
}

void ShowSector(HWND owner)
{
    if (!IsDeviceOpen())
        return;
    // The header and the XA subheader come only with the 2340-byte block;
    // every other reader expects the drive back at 2048.
    if (cdrMode(owner, hDevice, kRawBlockLength) != CDR_SUCCESS)
        return;
    if (cdrRead(owner, hDevice, abRawSector + kSectorSyncLength, LbnOf(lCurrentAddress), 1, CDR_REPORT) != CDR_SUCCESS)
        return;
    if (cdrMode(owner, hDevice, kUserData2048) != CDR_SUCCESS)
        return;
    WriteSyncPattern(abRawSector, sizeof abRawSector);

    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    FormatInto(owner, hRawDumpText, kRawDumpTextSize, kRawImageLength);
    FormatInto(owner, hUserDumpText, kUserDumpTextSize, kDumpUserData);
    SetCursor(previous);

    ShowDumpText();

    char status[kStatusLineSize];
    FormatStatusLine(status, sizeof status, lCurrentAddress, abRawSector[kSectorModeOffset]);
    SetWindowTextA(hwndStatus, status);
}

static void EnableStep(HMENU menu, UINT id, bool available)
{
    EnableMenuItem(menu, id, MF_BYCOMMAND | (available ? MF_ENABLED : MF_GRAYED));
    if (hwndControl != NULL) {
        HWND button = GetDlgItem(hwndControl, id);
        if (button != NULL)
            EnableWindow(button, available);
    }
}

void UpdateStepControls(void)
{
    StepAvailability steps = StepControlsFor(lCurrentAddress, lLeadout);
    HMENU menu = GetMenu(hwndMain);
    EnableStep(menu, IDM_PREV_SECTOR, steps.previous);
    EnableStep(menu, IDM_NEXT_SECTOR, steps.next);
}

void ToggleAutoSector(void)
{
    bAutoSector = !bAutoSector;
    CheckMenuItem(GetMenu(hwndMain), IDM_AUTO_SECTOR, MF_BYCOMMAND | (bAutoSector ? MF_CHECKED : MF_UNCHECKED));
    ShowDumpText();
}
