// The drive side of a walk over the data blocks of the disc, shared by the
// verify and the find: the plan from the TOC, the raw block length, silent
// batch reads, and the modal progress dialog that steps a walk a batch at a
// time from its timer, so the program keeps painting and Cancel answers
// between batches.
#pragma once
#include <windows.h>

#include "verify.h"

// The data blocks of the disc from the full TOC, else the track TOC.
bool ReadDataPlan(HWND owner, VerifyPlan* plan);
// The raw block length the drive takes: whole 2352-byte blocks, else 2340
// (no sync); 0 when neither. The drive is left at 2048.
int ProbeRawBlockLength(HWND owner);

// Reads silently at block_len (set for the batch, 2048 again after it): a
// batch in one READ(10), where that fails block by block, so that only the
// unreadable blocks are marked, each with its sense. ctx is a DriveBatch.
struct DriveBatch {
    HWND owner;
    int block_len;
};
void ReadDriveBatch(void* ctx, int32_t lbn, int count, uint8_t* buffer, VerifyBlockStatus* status);

// step(ctx) runs one batch, false once the walk is over; show(dlg, ctx,
// elapsed) puts the progress into the dialog.
struct BatchDialog {
    bool (*step)(void* ctx);
    void (*show)(HWND dlg, void* ctx, DWORD elapsed_ms);
    void* ctx;
    DWORD start, elapsed;
    BOOL cancelled;
};
// Runs the dialog template (a progress dialog with a Cancel button) until
// the walk is over or cancelled; elapsed and cancelled are set.
void RunBatchDialog(HWND owner, const char* dialog, BatchDialog* job);
