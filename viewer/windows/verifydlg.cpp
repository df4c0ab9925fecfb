// Disc verify, command IDM_VERIFY_DISC: reads the TOC, then every data block
// at 2352 bytes (2340 where the drive refuses 2352) through the library's
// silent reads, a batch at a time from the progress dialog's timer, so the
// program keeps painting and Cancel answers between batches. The walk and the
// check are verify.cpp's; nothing is written to the disc.
#include "quillet.h"

#include <commctrl.h>
#include <stdio.h>

#include "mmc.h"
#include "tamrisk.h"
#include "verify.h"
#include "windows/tocreport.h"

namespace {

enum {
    kStepTimer = 1,
    kStepBudgetMs = 50,     // work per timer tick; input ends a tick sooner
    kSenseSize = 18,
    kBlock2352 = 2352, kBlock2340 = 2340, kBlock2048 = 2048,
};

struct VerifyJob {
    HWND owner;
    VerifyRun run;
    DWORD start;
    DWORD elapsed;
    BOOL cancelled;
};

// A batch in one READ(10); where it fails, block by block, so that only the
// blocks the drive cannot read are listed, each with its sense data.
void ReadBatch(void* ctx, int32_t lbn, int count, uint8_t* buffer, VerifyBlockStatus* status)
{
    VerifyJob* job = (VerifyJob*)ctx;
    if (cdrRead(job->owner, hDevice, buffer, lbn, count, 0) == 0)
        return;
    for (int i = 0; i < count; ++i) {
        if (cdrRead(job->owner, hDevice, buffer + (size_t)i * job->run.block_len, lbn + i, 1, 0) == 0)
            continue;
        BYTE sense[kSenseSize] = {};
        cdrGetSense(sense, sizeof sense);
        status[i] = VerifyBlockStatus{true, (uint8_t)(sense[2] & 0x0F), sense[12], sense[13]};
    }
}

void ShowProgress(HWND dlg, const VerifyJob* job)
{
    const VerifyRun& r = job->run;
    char text[96];
    SendDlgItemMessageA(dlg, IDC_VERIFY_PROGRESS, PBM_SETPOS, (WPARAM)r.done, 0);
    snprintf(text, sizeof text, "Blocks: %lld / %lld", (long long)r.done, (long long)r.plan.total);
    SetDlgItemTextA(dlg, IDC_VERIFY_DONE, text);
    snprintf(text, sizeof text, "Failures: %lld (unreadable %lld)", (long long)(r.failed + r.unreadable),
             (long long)r.unreadable);
    SetDlgItemTextA(dlg, IDC_VERIFY_FAILURES, text);
    DWORD ms = GetTickCount() - job->start;
    snprintf(text, sizeof text, "Rate: %lu blocks/s", ms ? (unsigned long)(r.done * 1000 / ms) : 0ul);
    SetDlgItemTextA(dlg, IDC_VERIFY_RATE, text);
}

void Finish(HWND dlg, VerifyJob* job, BOOL cancelled)
{
    KillTimer(dlg, kStepTimer);
    job->elapsed = GetTickCount() - job->start;
    job->cancelled = cancelled;
    EndDialog(dlg, cancelled ? IDCANCEL : IDOK);
}

BOOL OnInitDialog(HWND dlg, VerifyJob* job)
{
    SetWindowLongPtrA(dlg, DWLP_USER, (LONG_PTR)job);
    CenteringWindow(dlg);
    SendDlgItemMessageA(dlg, IDC_VERIFY_PROGRESS, PBM_SETRANGE32, 0, (LPARAM)job->run.plan.total);
    job->start = GetTickCount();
    ShowProgress(dlg, job);
    SetTimer(dlg, kStepTimer, 1, NULL);
    return TRUE;
}

// Batches until the budget is spent or input or a posted command (Cancel)
// waits; the timer comes back once the queue is empty.
void OnStepTimer(HWND dlg, VerifyJob* job)
{
    DWORD tick = GetTickCount();
    do {
        if (!VerifyStep(&job->run, ReadBatch, job)) {
            ShowProgress(dlg, job);
            Finish(dlg, job, FALSE);
            return;
        }
    } while (GetTickCount() - tick < kStepBudgetMs && HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE)) == 0);
    ShowProgress(dlg, job);
}

INT_PTR CALLBACK VerifyProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    VerifyJob* job = (VerifyJob*)GetWindowLongPtrA(dlg, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG: return OnInitDialog(dlg, (VerifyJob*)lParam);
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

// The data blocks of the disc from the full TOC, else the track TOC.
bool PlanFromDisc(HWND owner, VerifyPlan* plan)
{
    static uint8_t toc[kTocResponseSize];
    if (cdrToc(owner, hDevice, toc, sizeof toc, kTocFormatFull, 0) == 0 &&
        VerifyPlanFromFullToc(toc, sizeof toc, plan))
        return true;
    return cdrToc(owner, hDevice, toc, sizeof toc, kTocFormatTrack, 0) == 0 &&
           VerifyPlanFromTrackToc(toc, sizeof toc, plan);
}

}  // namespace

void VerifyDisc(HWND owner)
{
    if (hDevice == NULL)
        return;
    VerifyJob job{};
    job.owner = owner;
    VerifyPlan plan;
    if (!PlanFromDisc(owner, &plan)) {
        Tell(owner, IDS_VERIFY_NO_TOC);
        return;
    }
    if (plan.total == 0) {
        Tell(owner, IDS_VERIFY_NO_DATA);
        return;
    }
    // The whole sector where the drive gives it; else all but the sync.
    int block_len = kBlock2352;
    if (cdrMode(owner, hDevice, kBlock2352) != 0) {
        block_len = kBlock2340;
        if (cdrMode(owner, hDevice, kBlock2340) != 0) {
            cdrMode(owner, hDevice, kBlock2048);
            return;
        }
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    VerifyStart(&job.run, plan, block_len);
    DialogBoxParamA(hInst, "VERIFYBOX", owner, VerifyProc, (LPARAM)&job);
    cdrMode(owner, hDevice, kBlock2048);
    ShowVerifyResults(owner, &job.run, job.cancelled, job.elapsed);
}
