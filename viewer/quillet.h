// The viewer's shell: the module-global state the main window owns and the
// operations its windows share. Everything here needs <windows.h>; the logic
// behind it lives in the portable files beside it.
#pragma once
#include <windows.h>
#include "resource.h"
#include "windows/settings_rules.h"

// ---- State owned by the main program (main.cpp) ----
extern HINSTANCE hInst;
extern HANDLE hDevice;            // open drive or image; NULL when none
extern LONG lCurrentAddress;      // sector shown, in frames: LBN + 150
extern LONG lLeadout;             // blocks on the disc (lead-out LBN)
extern LONG lLastSession;         // start LBN of the last session
extern HWND hwndMain, hwndDump, hwndHeader, hwndStatus;
extern HWND hwndControl, hwndToc, hwndTree;   // NULL while closed
extern HGLOBAL hTocText;          // 24000-byte TOC report
extern HMENU hMenuContext;        // source of the right-click popups
extern BOOL bAutoSector;          // show the user-data text

enum { kTocTextSize = 24000 };

// ---- Main window (mainwnd.cpp) ----
LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void ShowContextMenu(HWND hwnd, UINT event, LPARAM lParam);
// A side window's system menu: no Close (it closes through its View menu
// item), and "next window" to go on cycling. The TOC and tree windows also
// lose the sizing items and their separator; the control panel keeps them.
void SetUpSideSystemMenu(HWND dlg, BOOL keep_sizing_items);
// quillet.hlp beside the program, whatever the current directory is.
const char* HelpFilePath(void);

// ---- Sector view (sectorview.cpp) ----
void ShowSector(HWND owner);
void UpdateStepControls(void);
void ToggleAutoSector(void);
void SetSectorCheck(BOOL on);      // the sector check on the status line
BOOL SectorCheckShown(void);
BOOL AllocDumpTexts(HWND owner);   // FALSE after a message: creation fails
void FreeDumpTexts(void);

// ---- Drives and images (drives.cpp) ----
void BuildDriveMenu(HWND owner);
int OpenDrive(HWND owner, UINT command);
int OpenImage(HWND owner, const char* path);   // 1 when open, refresh posted
void ShowDriveHeader(HWND owner);
void EjectDisc(HWND owner);
void EnableDeviceMenus(HWND owner, BOOL enable);
// Whether a device request may be sent: a device is open and its disc has not
// been ejected. Every command and side window that reads asks this first.
BOOL IsDeviceOpen(void);
int ChooseImage(HWND owner);       // open-file dialog, then OpenImage
BOOL TakeEnablePending(void);      // TRUE once after each successful open
void DestroyDriveMenu(void);

// ---- Settings (windows/settings.cpp) ----
BOOL OpenSettings(void);
void CloseSettings(void);
void LoadWindowRect(WindowSlot slot, RECT* rect);
void SaveWindowRect(WindowSlot slot, const RECT* rect);
DWORD LoadSetting(SettingId id);
void SaveSetting(SettingId id, DWORD value);

// ---- Address input (windows/addressdlg.cpp) ----
void OnAddressCommand(HWND owner, UINT command);
INT_PTR CALLBACK InputProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// The accepted addresses, shared with the other dialogs that take a block.
struct AddressHistory* SharedAddressHistory(void);

// ---- TOC report and window (windows/tocwnd.cpp) ----
int BuildTocText(HWND owner, char* text);
INT_PTR CALLBACK TocProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Control panel (windows/controlpanel.cpp) ----
INT_PTR CALLBACK ControlProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- Disc verify (windows/verifydlg.cpp, windows/verifyresults.cpp) ----
struct VerifyRun;
void VerifyDisc(HWND owner);       // command IDM_VERIFY_DISC
void ShowVerifyResults(HWND owner, const VerifyRun* run, BOOL cancelled, DWORD elapsed_ms);

// ---- Find (windows/finddlg.cpp): IDM_FIND, IDM_FIND_NEXT, IDM_FIND_PREV ----
void OnFindCommand(HWND owner, UINT command);

// ---- About box (windows/aboutbox.cpp) ----
INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- ISO 9660 windows (iso9660/labeldlg.cpp, iso9660/treewnd.cpp) ----
// Exported by name from quillet.exe.
extern "C" INT_PTR CALLBACK LabelProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
extern "C" INT_PTR CALLBACK DirViewProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
