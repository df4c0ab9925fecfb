// The viewer's shell: the module-global state its windows share and the
// operations of each shell file. Everything here needs <windows.h>; the logic
// behind it lives in the portable files beside it. Each window opens and
// closes through its own file; the main window names no dialog template or
// procedure.
#pragma once
#include <windows.h>
#include "resource.h"
#include "settings_rules.h"
#include "tocreport.h"

// ---- State the windows share (state.cpp) ----
extern HINSTANCE hInst;
extern HANDLE hDevice;            // open drive or image; NULL when none
extern LONG lCurrentAddress;      // sector shown, in frames: LBN + kPregapBlocks
extern LONG lLeadout;             // blocks on the disc (lead-out LBN)
extern LONG lLastSession;         // start LBN of the last session
extern HWND hwndMain, hwndDump, hwndHeader, hwndStatus;
extern HWND hwndControl, hwndToc, hwndTree;   // NULL while closed
extern HGLOBAL hTocText;          // the TOC report, kTocReportSize bytes
extern HMENU hMenuContext;        // source of the right-click popups
extern BOOL bAutoSector;          // show the user-data text

// ---- Shell services (shell.cpp) ----
// String id of the viewer's string table into buffer; an empty text (and
// FALSE) when there is no such string.
// The common open or save dialog over the filter string filter_id ('|' between
// its parts). path holds MAX_PATH bytes, its text the proposed name; FALSE when
// cancelled.
enum FileDialogKind { kFileDialogOpen, kFileDialogSave };
BOOL AskFilePath(HWND owner, UINT filter_id, FileDialogKind kind, const char* default_ext, char* path);
// A lead byte of the ANSI code page (932): the first of a double-byte character.
bool IsLeadByte(uint8_t b);
BOOL LoadText(UINT id, char* buffer, int size);
// quillet.hlp beside the program, whatever the current directory is.
const char* HelpFilePath(void);

// ---- What the windows share (windows/sidewindow.cpp) ----
// The right-click popup of the main window (popup 0) or the TOC window (1),
// Copy and Jump enabled by the selection of its text.
void ShowContextMenu(HWND hwnd, UINT event, LPARAM lParam);
void EnableBySelection(HMENU menu, UINT id, HWND edit);
// The main window's system menu: "next window" added.
void SetUpMainSystemMenu(HWND hwnd);
// A side window's system menu: no Close (it closes through its View menu
// item), and "next window" to go on cycling. The TOC and tree windows also
// lose the sizing items and their separator; the control panel keeps them.
void SetUpSideSystemMenu(HWND dlg, BOOL keep_sizing_items);
BOOL IsNextWindowCommand(WPARAM wParam);
// Activates the open window after from in the cycle main window, control
// panel, TOC window, tree window; FALSE when no other window is open.
BOOL ActivateNextWindow(HWND from);
// A side window's WM_SYSCOMMAND: TRUE when it was "next window", now done.
BOOL OnSideSysCommand(HWND dlg, WPARAM wParam);
// Destroys the window if there is one and forgets its handle.
void DestroyAndClear(HWND* window);

// ---- Main window (mainwnd.cpp) ----
LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

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
// Next, previous, or the address dialog (modal).
void OnAddressCommand(HWND owner, UINT command);
// The accepted addresses, shared with the other dialogs that take a block.
struct AddressHistory* SharedAddressHistory(void);

// ---- TOC report and window (windows/tocwnd.cpp) ----
int BuildTocText(HWND owner, char* text);
// The modeless side windows open into hwndToc, hwndControl and hwndTree;
// their openers return TRUE when the window is open.
BOOL OpenTocWindow(HWND owner);
void CloseTocWindow(void);

// ---- Control panel (windows/controlpanel.cpp) ----
// Its buttons start grayed when no device is open.
BOOL OpenControlPanel(HWND owner, BOOL device_open);
void CloseControlPanel(void);
// One button (its command id) of the panel, when the panel is open.
void EnableControlButton(int id, BOOL enable);
// All of the panel's buttons, as a device opens or goes.
void EnableControlButtons(BOOL enable);

// ---- Disc verify (windows/verifydlg.cpp, windows/verifyresults.cpp) ----
struct VerifyRun;
void VerifyDisc(HWND owner);       // command IDM_VERIFY_DISC
void ShowVerifyResults(HWND owner, const VerifyRun* run, BOOL cancelled, DWORD elapsed_ms);

// ---- Find (windows/finddlg.cpp): IDM_FIND, IDM_FIND_NEXT, IDM_FIND_PREV ----
void OnFindCommand(HWND owner, UINT command);

// ---- About box (windows/aboutbox.cpp) ----
void ShowAbout(HWND owner);   // modal

// ---- ISO 9660 windows (iso9660/labeldlg.cpp, iso9660/treewnd.cpp) ----
// Their dialog procedures, LabelProc and DirViewProc, are exported by name
// from quillet.exe.
void ShowDiscLabel(HWND owner);   // modal
BOOL OpenTreeWindow(HWND owner);
void CloseTreeWindow(void);
