// Getting data out, Win32 shell: progress dialog, drive reads, report.
#include "windows/savedlg.h"

#include <stdio.h>
#include <string.h>

#include <commctrl.h>

#include "dumpformat.h"
#include "drivetext.h"
#include "quillet.h"
#include "tamrisk.h"

namespace {

enum {
    UM_SAVE_STEP = WM_USER + 40,
    kStepTimer = 1,
    kStepBlocks = 48,         // blocks a step reads before it looks at the queue
    kStepMillis = 100,        // work done in one message at most
    kProgressRange = 1000,
    kMessageSize = 2048,
    kDetailSize = 1400,
};

SaveRequest waitingRequest;
BOOL bRequestWaiting;
BOOL bSaving;  // a save is running: a second one waits for it to end

// ---- Progress dialog ----

void ShowProgress(HWND dlg, const SaveJob* job)
{
    uint64_t pos = job->totalBlocks ? job->doneBlocks * kProgressRange / job->totalBlocks : 0;
    SendDlgItemMessageA(dlg, IDC_SAVE_PROGRESS, PBM_SETPOS, (WPARAM)pos, 0);
    const char* path = job->item < job->items.size() ? job->items[job->item].path.c_str() : "";
    char text[MAX_PATH + 64];
    snprintf(text, sizeof text, "%s\n%llu / %llu", path, (unsigned long long)job->doneBlocks,
             (unsigned long long)job->totalBlocks);
    SetDlgItemTextA(dlg, IDC_SAVE_TEXT, text);
    UpdateWindow(dlg);
}

// One stretch of work. Posted messages come before input and painting, so
// the next stretch is posted only while none waits; otherwise a short timer
// lets the user's Cancel and the repaint through first.
void OnStep(HWND dlg)
{
    SaveJob* job = (SaveJob*)GetWindowLongPtrA(dlg, DWLP_USER);
    DWORD start = GetTickCount();
    SaveState state;
    do {
        state = StepSaveJob(job, kStepBlocks);
    } while (state == kSaveRunning && GetTickCount() - start < kStepMillis && HIWORD(GetQueueStatus(QS_INPUT)) == 0);
    ShowProgress(dlg, job);
    if (state != kSaveRunning) {
        EndDialog(dlg, state);
        return;
    }
    if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0)
        SetTimer(dlg, kStepTimer, 1, NULL);
    else
        PostMessageA(dlg, UM_SAVE_STEP, 0, 0);
}

INT_PTR CALLBACK SaveProgressProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        SendDlgItemMessageA(dlg, IDC_SAVE_PROGRESS, PBM_SETRANGE32, 0, kProgressRange);
        CenteringWindow(dlg);
        PostMessageA(dlg, UM_SAVE_STEP, 0, 0);
        return TRUE;
    case UM_SAVE_STEP:
        OnStep(dlg);
        return TRUE;
    case WM_TIMER:
        KillTimer(dlg, kStepTimer);
        OnStep(dlg);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            KillTimer(dlg, kStepTimer);
            CancelSaveJob((SaveJob*)GetWindowLongPtrA(dlg, DWLP_USER));
            EndDialog(dlg, kSaveCancelled);
        }
        return TRUE;
    }
    return FALSE;
}

// ---- After the save ----

// An ISO 9660 recording date (local time at a Greenwich offset in 15-minute
// steps) as a file time in UTC.
bool RecordDateToFileTime(const uint8_t* date, FILETIME* ft)
{
    SYSTEMTIME st = {(WORD)(date[0] + 1900), date[1], 0, date[2], date[3], date[4], date[5], 0};
    if (!SystemTimeToFileTime(&st, ft))
        return false;
    ULARGE_INTEGER t = {{ft->dwLowDateTime, ft->dwHighDateTime}};
    const int64_t kQuarterHour = 15LL * 60 * 10000000;
    int8_t offset = (int8_t)date[6];
    if (offset < -48 || offset > 52)
        offset = 0;  // outside the standard's range: taken as Greenwich time
    t.QuadPart -= (uint64_t)((int64_t)offset * kQuarterHour);
    ft->dwLowDateTime = t.LowPart;
    ft->dwHighDateTime = t.HighPart;
    return true;
}

void SetTime(const SaveItem& item)
{
    FILETIME ft;
    if (!item.hasDate || item.skip || !RecordDateToFileTime(item.date, &ft))
        return;
    HANDLE h = CreateFileA(item.path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return;
    SetFileTime(h, &ft, NULL, &ft);
    CloseHandle(h);
}

// Files first: writing into a folder changes its time; folders innermost first.
void SetSavedTimes(const SaveJob& job)
{
    for (const SaveItem& item : job.items)
        if (item.kind != kSaveFolder)
            SetTime(item);
    for (size_t i = job.items.size(); i-- > 0;)
        if (job.items[i].kind == kSaveFolder)
            SetTime(job.items[i]);
}

void RemoveWritten(const SaveJob& job)
{
    for (size_t i = 0; i < job.item && i < job.items.size(); ++i)
        if (job.items[i].kind != kSaveFolder && !job.items[i].skip)
            DeleteFileA(job.items[i].path.c_str());
}

void Append(char* out, size_t cap, const char* text)
{
    size_t n = strlen(out);
    if (n + 1 < cap)
        snprintf(out + n, cap - n, "%s", text);
}

void Report(HWND owner, const SaveJob& job, SaveKind kind)
{
    char detail[kDetailSize] = "";
    char line[MAX_PATH + 64];
    switch (job.state) {
    case kSaveFailed: {
        static const UINT kErrorText[] = {0, IDS_SAVE_CANNOT_CREATE, IDS_SAVE_WRITE_FAILED, IDS_SAVE_FOLDER_FAILED};
        snprintf(detail, sizeof detail, "%s\n%s", job.errorPath.c_str(), strerror(job.errnum));
        ShowSaveMessage(owner, kErrorText[job.error], detail, MB_ICONSTOP);
        return;
    }
    case kSaveCancelled:
        ShowSaveMessage(owner, kind == kSaveAllOrNothing ? IDS_SAVE_COPY_REMOVED : IDS_SAVE_CANCELLED, "",
                        MB_ICONINFORMATION);
        return;
    default:
        break;
    }
    snprintf(detail, sizeof detail, " %u", job.nFiles);
    if (job.nUnreadable > 0) {
        char head[256];
        LoadText(IDS_SAVE_UNREADABLE, head, (int)sizeof head);
        snprintf(line, sizeof line, "\n\n%s %u\n", head, job.nUnreadable);
        Append(detail, sizeof detail, line);
        for (size_t i = 0; i < job.unreadable.size(); ++i) {
            snprintf(line, sizeof line, "%s%d", i ? ", " : "", (int)job.unreadable[i]);
            Append(detail, sizeof detail, line);
        }
        if (job.nUnreadable > job.unreadable.size())
            Append(detail, sizeof detail, ", ...");
    }
    if (!job.cut.empty()) {
        char head[256];
        LoadText(IDS_SAVE_CUT, head, (int)sizeof head);
        Append(detail, sizeof detail, "\n\n");
        Append(detail, sizeof detail, head);
        for (const std::string& path : job.cut) {
            snprintf(line, sizeof line, "\n%s", path.c_str());
            Append(detail, sizeof detail, line);
        }
    }
    bool clean = job.nUnreadable == 0 && job.cut.empty();
    ShowSaveMessage(owner, IDS_SAVE_DONE, detail, clean ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
}

}  // namespace

BOOL TakeSaveRequest(HWND window, const COPYDATASTRUCT* data)
{
    if (data == NULL || data->dwData != kSaveRequestTag || data->cbData != sizeof(SaveRequest) ||
        data->lpData == NULL)
        return FALSE;
    SaveRequest request;
    memcpy(&request, data->lpData, sizeof request);
    request.path[MAX_PATH - 1] = 0;
    // Each command only where it is handled, so that no request is left
    // waiting for a later command the user chooses.
    bool tree = window == hwndTree;
    if (tree ? request.command != IDM_SAVE_FILE
             : (window != hwndMain || (request.command != IDM_SAVE_SECTORS && request.command != IDM_COPY_DISC)))
        return FALSE;
    waitingRequest = request;
    bRequestWaiting = TRUE;
    PostMessageA(window, WM_COMMAND, request.command, 0);
    return TRUE;
}

BOOL TakeDrivenSave(UINT command, SaveRequest* request)
{
    if (!bRequestWaiting || waitingRequest.command != command)
        return FALSE;
    bRequestWaiting = FALSE;
    *request = waitingRequest;
    return TRUE;
}

bool DriveReadRaw(void* context, int32_t lbn, uint32_t count, uint8_t* raw)
{
    HWND owner = (HWND)context;
    if (hDevice == NULL || count == 0 || count > 0xFFFF)
        return false;
    // Another window may read at 2340 between two batches: the length is
    // set for each batch and put back to 2048 after it.
    if (cdrMode(owner, hDevice, kRawSectorSize) != CDR_SUCCESS)
        return false;
    bool ok = cdrRead(owner, hDevice, raw, lbn, count, CDR_SILENT) == CDR_SUCCESS;
    cdrMode(owner, hDevice, kUserDataSize);
    return ok;
}

bool DriveReadUser(void* context, int32_t lbn, uint8_t* user)
{
    uint8_t raw[kRawSectorSize];
    if (!DriveReadRaw(context, lbn, 1, raw))
        return false;
    memcpy(user, raw + (raw[kModeOffset] == 2 ? kXaUserDataOffset : kDataOffset), kUserDataSize);
    return true;
}

BOOL ConfirmOverwrite(HWND owner, std::vector<SaveItem>* items)
{
    unsigned existing = 0;
    for (const SaveItem& item : *items) {
        DWORD attributes = GetFileAttributesA(item.path.c_str());
        if (item.kind != kSaveFolder && attributes != INVALID_FILE_ATTRIBUTES)
            ++existing;
    }
    if (existing == 0)
        return TRUE;
    char text[512], caption[128], count[16];
    LoadText(IDS_SAVE_EXISTS, text, (int)sizeof text);
    LoadText(IDS_SAVE_CAPTION, caption, (int)sizeof caption);
    snprintf(count, sizeof count, " %u", existing);
    Append(text, sizeof text, count);
    int answer = MessageBoxA(owner, text, caption, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    if (answer == IDCANCEL)
        return FALSE;
    if (answer == IDNO)
        for (SaveItem& item : *items)
            if (item.kind != kSaveFolder && GetFileAttributesA(item.path.c_str()) != INVALID_FILE_ATTRIBUTES)
                item.skip = true;
    return TRUE;
}

BOOL RunSave(HWND owner, std::vector<SaveItem> items, SaveKind kind)
{
    if (bSaving)
        return FALSE;
    bSaving = TRUE;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    SaveJob job;
    StartSaveJob(&job, std::move(items), lLeadout, DriveReadRaw, owner);
    // Owned by the main window, which it disables: no other disc can be
    // opened and no drive command chosen until the save ends.
    INT_PTR result = DialogBoxParamA(hInst, "SaveProgress", hwndMain, SaveProgressProc, (LPARAM)&job);
    if (result == -1 || job.state == kSaveRunning)
        CancelSaveJob(&job);
    if (job.state == kSaveDone)
        SetSavedTimes(job);
    else if (kind == kSaveAllOrNothing)
        RemoveWritten(job);
    Report(owner, job, kind);
    bSaving = FALSE;
    return job.state == kSaveDone;
}

void ShowSaveMessage(HWND owner, UINT id, const char* detail, UINT icon)
{
    char text[kMessageSize], caption[128];
    LoadText(id, text, (int)sizeof text);
    LoadText(IDS_SAVE_CAPTION, caption, (int)sizeof caption);
    if (detail[0] != 0 && detail[0] != ' ')
        Append(text, sizeof text, "\n");
    Append(text, sizeof text, detail);
    MessageBoxA(owner, text, caption, MB_OK | icon);
}

