// Drives and images: the drive submenu, opening a drive or a disc image,
// the header line above the dump, eject, and the menus that need a device.
#include "quillet.h"

#include <stdio.h>
#include <string.h>

#include "cdgeometry.h"
#include "drivetext.h"
#include "iso9660.h"
#include "tamrisk.h"
#include "textutil.h"

enum {
    kMessageSize = 512,
    kDeviceMenuFirst = 1,           // Edit, View and Control popups
    kDeviceMenuLast = 3,
};

static HMENU hDriveMenu;
static HMENU hFileMenu;
// The chosen drive's name ("D:") or image file name, shown in the header.
static char szDriveName[kDriveNameSize];
static BOOL bEnablePending;
// Set by an eject: the handle stays open, but nothing is sent to it until the
// next open.
static BOOL bEjected;

BOOL IsDeviceOpen(void)
{
    return hDevice != NULL && hDevice != INVALID_HANDLE_VALUE && !bEjected;
}

// No device now: the menus that need one are grayed and the right-click menu
// is the main menu bar's again, as after an eject.
static void CloseDevice(HWND owner)
{
    if (hDevice != NULL && hDevice != INVALID_HANDLE_VALUE)
        cdrClose(hDevice);
    hDevice = NULL;
    bEjected = FALSE;
    bEnablePending = FALSE;
    EnableDeviceMenus(owner, FALSE);
    hMenuContext = GetMenu(owner);
}

// A drive without a readable disc must not raise the system's
// "insert a disc" box while it is probed.
static BOOL ProbeDrive(HWND owner, char letter)
{
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    char path[kDevicePathSize];
    FormatDevicePathForLetter(path, sizeof path, letter);
    HANDLE probe = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    BOOL present = FALSE;
    if (probe == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        char text[kMessageSize];
        snprintf(text, sizeof text, "Device open error for %s", path);
        PrintError(owner, code, text);
    } else {
        DWORD returned = 0;
        present = DeviceIoControl(probe, IOCTL_DISK_CHECK_VERIFY, NULL, 0, NULL, 0, &returned, NULL);
        CloseHandle(probe);
    }
    SetErrorMode(previous);
    return present;
}

void BuildDriveMenu(HWND owner)
{
    hDriveMenu = CreatePopupMenu();
    hFileMenu = GetSubMenu(GetMenu(owner), 0);

    // Room for every drive letter, so no drive is lost on a machine with many.
    char list[kDriveRootListSize] = {0};
    DWORD got = GetLogicalDriveStringsA(sizeof list - 1, list);
    DriveRootList roots;
    ParseDriveRoots(list, got < sizeof list ? (uint32_t)sizeof list : 0, &roots);

    int n = 0;
    for (int i = 0; i < roots.count && IDM_DRIVE_FIRST + n <= IDM_DRIVE_LAST; i++) {
        const char* root = roots.roots[i];
        if (GetDriveTypeA(root) != DRIVE_CDROM)
            continue;
        char label[kVolumeLabelSize] = {0};
        const char* shown = NULL;
        if (ProbeDrive(owner, root[0]) &&
            GetVolumeInformationA(root, label, sizeof label, NULL, NULL, NULL, NULL, 0))
            shown = label;
        char caption[kDriveCaptionSize];
        FormatDriveCaption(caption, sizeof caption, root, shown);
        AppendMenuA(hDriveMenu, MF_STRING, IDM_DRIVE_FIRST + n, caption);
        n++;
    }

    char title[kVolumeLabelSize];
    LoadText(IDS_DRIVE_MENU, title, sizeof title);
    InsertMenuA(hFileMenu, 0, MF_BYPOSITION | MF_POPUP | (n == 0 ? MF_GRAYED : 0), (UINT_PTR)hDriveMenu, title);
}

void DestroyDriveMenu(void)
{
    // Taken out of the File menu first, so the menu bar does not destroy it again.
    if (hFileMenu != NULL && hDriveMenu != NULL)
        RemoveMenu(hFileMenu, 0, MF_BYPOSITION);
    if (hDriveMenu != NULL)
        DestroyMenu(hDriveMenu);
    hDriveMenu = NULL;
}

// What opening a drive and opening an image share once hDevice is open:
// capabilities, the last session, the view on its volume descriptor and the
// refresh.
static int FinishOpen(HWND owner, HCURSOR previous)
{
    iscsi(owner, hDevice);
    lLastSession = cdrGetLastSession(hDevice);
    if (lLastSession == -1) {
        DWORD code = GetLastError();
        char text[kMessageSize];
        snprintf(text, sizeof text, "I/O Control CDROM_GETLAST_SESSION Error %ld\n", (long)code);
        PrintError(owner, code, text);
        SetCursor(previous);
        CloseDevice(owner);
        lLastSession = 0;
        return 0;
    }
    // The session start comes from the disc: wrap rather than overflow.
    lCurrentAddress = (LONG)((uint32_t)lLastSession + kVolumeDescriptorLbn + kPregapBlocks);
    bEnablePending = TRUE;
    SetCursor(previous);
    PostMessageA(owner, WM_COMMAND, IDM_REFRESH, 0);
    return 1;
}

int OpenDrive(HWND owner, UINT command)
{
    char caption[kDriveCaptionSize];
    if (hDriveMenu == NULL || GetMenuStringA(hDriveMenu, command, caption, sizeof caption, MF_BYCOMMAND) <= 0)
        return 0;   // no such drive item
    CloseDevice(owner);
    DriveNameFromCaption(szDriveName, sizeof szDriveName, caption);
    char path[kDevicePathSize];
    FormatDevicePath(path, sizeof path, szDriveName);

    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    HANDLE device = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (device == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        char text[kMessageSize];
        snprintf(text, sizeof text, "File open error for %s", path);
        PrintError(owner, code, text);
        SetCursor(previous);
        return 0;
    }
    hDevice = device;
    return FinishOpen(owner, previous);
}

int OpenImage(HWND owner, const char* path)
{
    if (path == NULL || path[0] == '\0')
        return 0;
    CloseDevice(owner);
    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    // cdrOpenImage tells the user why an image cannot be served.
    HANDLE device = cdrOpenImage(owner, path);
    if (device == INVALID_HANDLE_VALUE || device == NULL) {
        SetCursor(previous);
        return 0;
    }
    hDevice = device;

    // The file name stands where a drive name would; a long one is cut at a
    // character boundary.
    CopyCp932(szDriveName, sizeof szDriveName, FileNameOfPath(path, IsLeadByte));
    return FinishOpen(owner, previous);
}

int ChooseImage(HWND owner)
{
    char path[MAX_PATH] = {0};
    if (!AskFilePath(owner, IDS_IMAGE_FILTER, kFileDialogOpen, NULL, path))
        return 0;
    return OpenImage(owner, path);
}

BOOL TakeEnablePending(void)
{
    BOOL pending = bEnablePending;
    bEnablePending = FALSE;
    return pending;
}

void ShowDriveHeader(HWND owner)
{
    if (!IsDeviceOpen())
        return;
    LONG block_length = 0;
    LONG last_lba = -1;   // a failed READ CAPACITY leaves an empty disc
    cdrSize(owner, hDevice, &block_length, &last_lba);
    lLeadout = LeadoutFromLastLba(last_lba);
    char header[kDriveHeaderSize];
    FormatDriveHeader(header, sizeof header, szDriveName, lLeadout);
    SetWindowTextA(hwndHeader, header);
}

void EjectDisc(HWND owner)
{
    if (!IsDeviceOpen())
        return;
    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    if (cdrEject(owner, hDevice) != CDR_SUCCESS)
        PrintError(owner, GetLastError(), "CD-ROM Eject error");
    SetCursor(previous);
    bEjected = TRUE;
    EnableDeviceMenus(owner, FALSE);
    hMenuContext = GetMenu(owner);
}

void EnableDeviceMenus(HWND owner, BOOL enable)
{
    HMENU bar = GetMenu(owner);
    for (UINT pos = kDeviceMenuFirst; pos <= kDeviceMenuLast; pos++)
        EnableMenuItem(bar, pos, MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
    // The File menu's commands that read the disc go with the device menus.
    static const UINT kDiscReaders[] = {IDM_SAVE_SECTORS, IDM_COPY_DISC};
    for (UINT id : kDiscReaders)
        EnableMenuItem(bar, id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(owner);
    EnableControlButtons(enable);
}
