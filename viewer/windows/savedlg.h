// Getting data out, Win32 shell: the progress dialog every save runs in,
// the drive reads behind it, the closing report, file times, and the
// driven path that lets a test program name the target instead of the
// file dialogs.
#pragma once
#include <windows.h>

#include <vector>

#include "savejob.h"

// A save command with its target given: WM_COPYDATA to the main window
// (IDM_SAVE_SECTORS, IDM_COPY_DISC) or to the tree window (IDM_SAVE_FILE),
// dwData kSaveRequestTag, lpData this record. The window posts the command
// to itself, which then takes the target from here instead of asking with
// the file dialogs; everything after that (overwrite questions, progress,
// report) is as for the user.
enum { kSaveRequestTag = 0x51534156 };  // "QSAV"
struct SaveRequest {
    UINT command;        // IDM_SAVE_FILE, IDM_SAVE_SECTORS or IDM_COPY_DISC
    LONG line;           // IDM_SAVE_FILE: tree line to select first (-1: keep the selection)
    LONG first, count;   // IDM_SAVE_SECTORS: first block, number of blocks
    LONG userData;       // IDM_SAVE_SECTORS: 0 raw 2352-byte sectors, 1 user data as detected
    char path[MAX_PATH]; // file (or, for a directory line, the folder) to write
};

// Takes a request (TRUE when it was one) and posts its command to window.
BOOL TakeSaveRequest(HWND window, const COPYDATASTRUCT* data);
// The request waiting for command, taken out; NULL when the user chose it.
BOOL TakeDrivenSave(UINT command, SaveRequest* request);

// Raw 2352-byte reads of the open drive (context: the owner window),
// silent, in batches; the block length is 2048 again after each.
bool DriveReadRaw(void* context, int32_t lbn, uint32_t count, uint8_t* raw);
// The 2048 user-data bytes of one block.
bool DriveReadUser(void* context, int32_t lbn, uint8_t* user);

// Asks before existing files are overwritten: FALSE when the user cancels;
// "no" marks the existing files to be skipped.
BOOL ConfirmOverwrite(HWND owner, std::vector<SaveItem>* items);

enum SaveKind { kSaveKeepFinished, kSaveAllOrNothing };
// Runs the items in the progress dialog, sets recorded dates as file times,
// and reports. kSaveAllOrNothing (a disc copy) removes every file it wrote
// when it does not finish. TRUE when the save finished.
BOOL RunSave(HWND owner, std::vector<SaveItem> items, SaveKind kind);

// The commands: File menu "save sectors" and "copy the disc" (main window),
// and the tree window's save of its selected line.
void OnSaveSectors(HWND owner);
void OnCopyDisc(HWND owner);
void OnSaveTreeEntry(HWND tree);
// The tree window's right-click menu on a line: save the file or the folder.
void ShowTreeSaveMenu(HWND tree, LPARAM screenPoint);

// A message from the string table, with a detail line below it.
void ShowSaveMessage(HWND owner, UINT id, const char* detail, UINT icon);
