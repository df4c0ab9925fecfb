// Disc verify, command IDM_VERIFY_DISC: reads the TOC, then every data block
// at 2352 bytes (2340 where the drive refuses 2352) through the library's
// silent reads, a batch at a time from the progress dialog's timer, so the
// program keeps painting and Cancel answers between batches. The walk and the
// check are verify.cpp's; nothing is written to the disc. The drive side of
// the walk and the stepped progress dialog (discwalk.h) serve the find too.
#include "quillet.h"

#include <commctrl.h>
#include <stdio.h>

#include "mmc.h"
#include "tamrisk.h"
#include "verify.h"
#include "cdgeometry.h"
#include "windows/discwalk.h"
#include "tocreport.h"

namespace {

enum {
    kStepTimer = 1,
    kStepBudgetMs = 50,     // work per timer tick; input ends a tick sooner
    kSenseSize = 18,
};

struct VerifyJob {
    DriveBatch drive;
    VerifyRun run;
};

bool StepVerify(void* ctx)
{
    VerifyJob* job = (VerifyJob*)ctx;
    return VerifyStep(&job->run, ReadDriveBatch, &job->drive);
}

void ShowProgress(HWND dlg, void* ctx, DWORD ms)
{
    const VerifyRun& r = ((VerifyJob*)ctx)->run;
    char text[96];
    SendDlgItemMessageA(dlg, IDC_VERIFY_PROGRESS, PBM_SETRANGE32, 0, (LPARAM)r.plan.total);
    SendDlgItemMessageA(dlg, IDC_VERIFY_PROGRESS, PBM_SETPOS, (WPARAM)r.done, 0);
    snprintf(text, sizeof text, "Blocks: %lld / %lld", (long long)r.done, (long long)r.plan.total);
    SetDlgItemTextA(dlg, IDC_VERIFY_DONE, text);
    snprintf(text, sizeof text, "Failures: %lld (unreadable %lld)", (long long)(r.failed + r.unreadable),
             (long long)r.unreadable);
    SetDlgItemTextA(dlg, IDC_VERIFY_FAILURES, text);
    snprintf(text, sizeof text, "Rate: %lu blocks/s", ms ? (unsigned long)(r.done * 1000 / ms) : 0ul);
    SetDlgItemTextA(dlg, IDC_VERIFY_RATE, text);
}

void Finish(HWND dlg, BatchDialog* job, BOOL cancelled)
{
    KillTimer(dlg, kStepTimer);
    job->elapsed = GetTickCount() - job->start;
    job->cancelled = cancelled;
    EndDialog(dlg, cancelled ? IDCANCEL : IDOK);
}

BOOL OnInitDialog(HWND dlg, BatchDialog* job)
{
    SetWindowLongPtrA(dlg, DWLP_USER, (LONG_PTR)job);
    CenteringWindow(dlg);
    job->start = GetTickCount();
    job->show(dlg, job->ctx, 0);
    SetTimer(dlg, kStepTimer, 1, NULL);
    return TRUE;
}

// Batches until the budget is spent or input or a posted command (Cancel)
// waits; the timer comes back once the queue is empty.
void OnStepTimer(HWND dlg, BatchDialog* job)
{
    DWORD tick = GetTickCount();
    do {
        if (!job->step(job->ctx)) {
            job->show(dlg, job->ctx, GetTickCount() - job->start);
            Finish(dlg, job, FALSE);
            return;
        }
    } while (GetTickCount() - tick < kStepBudgetMs && HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE)) == 0);
    job->show(dlg, job->ctx, GetTickCount() - job->start);
}

INT_PTR CALLBACK BatchProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    BatchDialog* job = (BatchDialog*)GetWindowLongPtrA(dlg, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dlg, (BatchDialog*)lParam);
    case WM_TIMER:
        if (job != NULL && wParam == kStepTimer)
            OnStepTimer(dlg, job);
        return TRUE;
    case WM_COMMAND:
        if (job != NULL && LOWORD(wParam) == IDCANCEL)
            Finish(dlg, job, TRUE);
        return TRUE;
    default: return FALSE;
    }
}

void Tell(HWND owner, UINT id)
{
    char text[256], caption[64];
    LoadText(id, text, (int)sizeof text);
    LoadText(IDS_VERIFY_CAPTION, caption, (int)sizeof caption);
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

void ReadDriveBatch(void* ctx, int32_t lbn, int count, uint8_t* buffer, VerifyBlockStatus* status)
{
    const DriveBatch* drive = (const DriveBatch*)ctx;
    // The side windows stay usable behind the progress dialog and may read
    // at their own lengths between two batches: the length is set for each
    // batch and put back to the resting 2048 after it.
    cdrMode(drive->owner, hDevice, drive->block_len);
    if (cdrRead(drive->owner, hDevice, buffer, lbn, count, CDR_SILENT) != CDR_SUCCESS) {
        for (int i = 0; i < count; ++i) {
            if (cdrRead(drive->owner, hDevice, buffer + (size_t)i * drive->block_len, lbn + i, 1, CDR_SILENT) == CDR_SUCCESS)
                continue;
            BYTE sense[kSenseSize] = {};
            cdrGetSense(sense, sizeof sense);
            status[i] = VerifyBlockStatus{true, (uint8_t)(sense[2] & 0x0F), sense[12], sense[13]};
        }
    }
    cdrMode(drive->owner, hDevice, kUserDataSize);
}

bool ReadDataPlan(HWND owner, VerifyPlan* plan)
{
    static uint8_t toc[kTocResponseSize];
    if (cdrToc(owner, hDevice, toc, sizeof toc, kTocFormatFull, CDR_SILENT) == CDR_SUCCESS &&
        VerifyPlanFromFullToc(toc, sizeof toc, plan))
        return true;
    return cdrToc(owner, hDevice, toc, sizeof toc, kTocFormatTrack, CDR_SILENT) == CDR_SUCCESS &&
           VerifyPlanFromTrackToc(toc, sizeof toc, plan);
}

int ProbeRawBlockLength(HWND owner)
{
    int length = kRawSectorSize;
    if (cdrMode(owner, hDevice, length) != CDR_SUCCESS) {
        length = kNoSyncSectorSize;
        if (cdrMode(owner, hDevice, length) != CDR_SUCCESS)
            length = 0;
    }
    cdrMode(owner, hDevice, kUserDataSize);
    return length;
}

void RunBatchDialog(HWND owner, const char* dialog, BatchDialog* job)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    job->cancelled = FALSE;
    job->elapsed = 0;
    DialogBoxParamA(hInst, dialog, owner, BatchProc, (LPARAM)job);
}

void VerifyDisc(HWND owner)
{
    if (hDevice == NULL)
        return;
    VerifyJob job{};
    job.drive.owner = owner;
    VerifyPlan plan;
    if (!ReadDataPlan(owner, &plan)) {
        Tell(owner, IDS_VERIFY_NO_TOC);
        return;
    }
    if (plan.total == 0) {
        Tell(owner, IDS_VERIFY_NO_DATA);
        return;
    }
    // The whole sector where the drive gives it; else all but the sync.
    job.drive.block_len = ProbeRawBlockLength(owner);
    if (job.drive.block_len == 0)
        return;
    VerifyStart(&job.run, plan, job.drive.block_len);
    BatchDialog dialog = {StepVerify, ShowProgress, &job, 0, 0, FALSE};
    RunBatchDialog(owner, "VERIFYBOX", &dialog);
    ShowVerifyResults(owner, &job.run, dialog.cancelled, dialog.elapsed);
}
