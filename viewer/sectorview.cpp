// Sector view: reads the sector at lCurrentAddress at the block length that
// leaves out only the sync (kNoSyncSectorSize), puts the sync before it to
// make the whole raw sector, formats the raw and the user-data dump texts
// and shows one of them with the status line. The formatting is dumpformat's.
#include "quillet.h"

#include <stdio.h>
#include <string.h>

#include "dumpformat.h"
#include "sectorcheck.h"
#include "tamrisk.h"

enum {
    kRawDumpTextSize = 26460,   // 147 lines of 180 bytes
    kUserDumpTextSize = 23040,  // 128 lines of 180 bytes
    kMessageSize = 256,
};
static_assert((int)kRawDumpTextSize >= (int)kDumpTextSize && (int)kUserDumpTextSize >= (int)kDumpTextSize,
              "either block must hold a dump of a whole sector");

static uint8_t abRawSector[kRawSectorSize];
static HGLOBAL hRawDumpText, hUserDumpText;
static BOOL bSectorCheck;     // the status line shows the sector check
static BOOL bSectorShown;     // abRawSector holds the sector read at lShownAddress
static LONG lShownAddress;

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
    return (LONG)((uint32_t)address - (uint32_t)kPregapBlocks);
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
    LoadText(IDS_OUT_OF_MEMORY, message, sizeof message);
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

// The status line of the sector in abRawSector, and its check when asked
// for. The sync was not read (2340-byte block), so it is not judged.
static void ShowStatusLine(void)
{
    char status[kStatusLineSize + 64];
    FormatStatusLine(status, kStatusLineSize, lShownAddress, abRawSector[kModeOffset]);
    if (bSectorCheck) {
        char check[48];
        FormatCheckStatus(CheckRawSector(abRawSector, LbnOf(lShownAddress), kCheckIgnoreSync), check, sizeof check);
        size_t used = strlen(status);
        snprintf(status + used, sizeof status - used, "    %s", check);
    }
    SetWindowTextA(hwndStatus, status);
}

void ShowSector(HWND owner)
{
    if (!IsDeviceOpen())
        return;
    // The header and the XA subheader come only with the block less its
    // sync; every other reader expects the drive back at user-data length.
    if (cdrMode(owner, hDevice, kNoSyncSectorSize) != CDR_SUCCESS)
        return;
    if (cdrRead(owner, hDevice, abRawSector + kSyncSize, LbnOf(lCurrentAddress), 1, CDR_REPORT) != CDR_SUCCESS)
        return;
    if (cdrMode(owner, hDevice, kUserDataSize) != CDR_SUCCESS)
        return;
    WriteSyncPattern(abRawSector, sizeof abRawSector);

    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    FormatInto(owner, hRawDumpText, kRawDumpTextSize, kRawSectorSize);
    FormatInto(owner, hUserDumpText, kUserDumpTextSize, kDumpUserData);
    SetCursor(previous);

    ShowDumpText();
    bSectorShown = TRUE;
    lShownAddress = lCurrentAddress;
    ShowStatusLine();
}

static void EnableStep(HMENU menu, UINT id, bool available)
{
    EnableMenuItem(menu, id, MF_BYCOMMAND | (available ? MF_ENABLED : MF_GRAYED));
    EnableControlButton((int)id, available);
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

void SetSectorCheck(BOOL on)
{
    bSectorCheck = on;
    CheckMenuItem(GetMenu(hwndMain), IDM_SECTOR_CHECK, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    if (bSectorShown)
        ShowStatusLine();   // from the sector in memory: nothing is read
}

BOOL SectorCheckShown(void)
{
    return bSectorCheck;
}
