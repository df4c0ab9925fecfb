// Display and dialog utilities: resource strings, CD time text, numbers and
// fixed-width fields in dialog controls, window centring.
#include "internal.h"

#include <stdio.h>

#include "cdtime.h"
#include "textutil.h"

enum { kStringTextSize = 256, kTimeFieldSize = 4, kNumberTextSize = 80, kTimeTextSize = 12 };

static char string_text[kStringTextSize];
static char text_time_fields[3][kTimeFieldSize];
static char dlg_time_fields[3][kTimeFieldSize];
static char set_number_text[kNumberTextSize];
static char get_number_text[kNumberTextSize];

extern "C" LPSTR WINAPI SetString(HINSTANCE module, UINT id)
{
    if (LoadStringA(module, id, string_text, sizeof string_text) <= 0)
        string_text[0] = '\0';
    string_text[sizeof string_text - 1] = '\0';
    return string_text;
}

// A time field holds three characters; a minutes value that needs more
// (beyond 999 or below -99) shows as "***" rather than as a wrong time.
static void put_time_field(char* field, const char* text)
{
    if (!field)
        return;
    if (strlen(text) >= kTimeFieldSize)
        text = "***";
    memcpy(field, text, strlen(text) + 1);
}

extern "C" int WINAPI BlkToTime(LONG frames, LPSTR minutes, LPSTR seconds, LPSTR frames_text)
{
    char m[kCdTimeFieldSize], s[kCdTimeFieldSize], f[kCdTimeFieldSize];
    FormatCdTimeFields(frames, m, s, f);
    put_time_field(minutes, m);
    put_time_field(seconds, s);
    put_time_field(frames_text, f);
    return frames_text ? (int)strlen(frames_text) : 0;
}

extern "C" int WINAPI SetTextTime(LPSTR text, LONG frames)
{
    if (!text)
        return 0;
    char (&t)[3][kTimeFieldSize] = text_time_fields;
    BlkToTime(frames, t[0], t[1], t[2]);
    int length = snprintf(text, kTimeTextSize, "%s:%s:%s", t[0], t[1], t[2]);
    return length < 0 ? 0 : length;
}

extern "C" BOOL WINAPI SetDlgItemTime(HWND dialog, int minutes_id, int seconds_id, int frames_id, LONG frames)
{
    char (&t)[3][kTimeFieldSize] = dlg_time_fields;
    BlkToTime(frames, t[0], t[1], t[2]);
    SetDlgItemTextA(dialog, minutes_id, t[0]);
    SetDlgItemTextA(dialog, seconds_id, t[1]);
    return SetDlgItemTextA(dialog, frames_id, t[2]);
}

extern "C" BOOL WINAPI SetDlgItemLong(HWND dialog, int id, LONG value)
{
    snprintf(set_number_text, sizeof set_number_text, "%ld", (long)value);
    return SetDlgItemTextA(dialog, id, set_number_text);
}

extern "C" LONG WINAPI GetDlgItemLong(HWND dialog, int id, LONG* value)
{
    if (GetDlgItemTextA(dialog, id, get_number_text, sizeof get_number_text) <= 0)
        get_number_text[0] = '\0';
    get_number_text[sizeof get_number_text - 1] = '\0';
    LONG number = ParseLongLikeAtol(get_number_text);
    if (value)
        *value = number;
    return number;
}

extern "C" int WINAPI SetDlgItemNText(HWND dialog, int id, LPCSTR text, int n)
{
    if (n < 0)
        n = 0;
    if (!text)
        text = "";
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, (SIZE_T)n + 1);
    if (!block)
        return 0;
    char* field = (char*)LocalLock(block);
    if (field) {
        strncpy(field, text, (size_t)n);
        field[n] = '\0';
        SetDlgItemTextA(dialog, id, field);
        LocalUnlock(block);
    }
    LocalFree(block);
    return 0;
}

extern "C" BOOL WINAPI CenteringWindow(HWND window)
{
    int screen_width = GetSystemMetrics(SM_CXSCREEN);
    int screen_height = GetSystemMetrics(SM_CYSCREEN);
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return FALSE;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = screen_width / 2 - width / 2;
    int y = screen_height / 2 - height / 2;
    return MoveWindow(window, x, y, width, height, TRUE);
}
