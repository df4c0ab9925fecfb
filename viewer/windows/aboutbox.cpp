// About box: the file description and version read from the program's own
// version resource, and the date this file was compiled.
#include <cstdio>

#include "quillet.h"
#include "resource.h"
#include "tamrisk.h"

#include <winver.h>

namespace {

// __DATE__ is "Mmm dd yyyy" with a one-digit day padded by a blank
// ("Dec  6 2026"); the box shows month, day and year separated by single
// blanks ("Dec 6 2026").
struct DateText {
    char text[12];
};

constexpr DateText CompactDate(const char* date)
{
    DateText out{};
    int n = 0;
    for (int i = 0; i < 11 && date[i]; i++) {
        if (i == 4 && date[i] == ' ') continue;
        out.text[n++] = date[i];
    }
    return out;
}

constexpr bool SameText(const char* a, const char* b)
{
    for (; *a || *b; a++, b++)
        if (*a != *b) return false;
    return true;
}

static_assert(SameText(CompactDate("Dec  6 2026").text, "Dec 6 2026"), "one-digit day");
static_assert(SameText(CompactDate("Jan 31 2027").text, "Jan 31 2027"), "two-digit day");

constexpr DateText kBuildDate = CompactDate(__DATE__);

constexpr char kDescriptionKey[] = "\\StringFileInfo\\041104B0\\FileDescription";
constexpr char kVersionKey[] = "\\StringFileInfo\\041104B0\\FileVersion";

// A string value of the version block, copied into text (at most size - 1
// characters). The value's length comes from the file, so the copy stays
// inside both the block and the reported length.
bool QueryVersionString(const void* block, DWORD block_size, const char* key, char* text, size_t size)
{
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(const_cast<void*>(block), key, &value, &length) || !value || length == 0)
        return false;
    const char* begin = static_cast<const char*>(block);
    const char* p = static_cast<const char*>(value);
    // Wine and Windows may keep the ANSI copy in the second half of the
    // buffer that GetFileVersionInfoA filled; outside that, refuse it.
    if (p < begin || p >= begin + block_size) return false;
    size_t limit = static_cast<size_t>(begin + block_size - p);
    if (length < limit) limit = length;
    size_t n = 0;
    while (n < limit && n + 1 < size && p[n]) {
        text[n] = p[n];
        n++;
    }
    text[n] = '\0';
    return n > 0;
}

// The description and version controls from the version resource; left empty when the
// program has none or it lacks the "041104B0" table.
void ShowVersion(HWND dlg)
{
    char path[512];
    DWORD n = GetModuleFileNameA(hInst, path, sizeof path);
    if (n == 0 || n >= sizeof path) return;   // failed or cut short
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return;
    void* block = GlobalLock(memory);
    if (block && GetFileVersionInfoA(path, handle, size, block)) {
        char text[128];
        if (QueryVersionString(block, size, kDescriptionKey, text, sizeof text))
            SetDlgItemTextA(dlg, IDC_ABOUT_DESCRIPTION, text);
        if (QueryVersionString(block, size, kVersionKey, text, sizeof text)) {
            char line[128];
            snprintf(line, sizeof line, "Version %s", text);
            SetDlgItemTextA(dlg, IDC_ABOUT_VERSION, line);
        }
    }
    if (block) GlobalUnlock(memory);
    GlobalFree(memory);
}

void OnInitDialog(HWND dlg)
{
    CenteringWindow(dlg);
    SetWindowTextA(GetDlgItem(dlg, IDC_ABOUT_BUILD_DATE), kBuildDate.text);
    ShowVersion(dlg);
}

}  // namespace

// Only OK (or Enter) ends the box; the cancel command of Esc and of the
// caption's close button is ignored.
static INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInitDialog(dlg);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) EndDialog(dlg, 1);
        return 0;
    default:
        return 0;
    }
}

void ShowAbout(HWND owner)
{
    DialogBoxParamA(hInst, "AboutBox", owner, AboutProc, 0);
}
