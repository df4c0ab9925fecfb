// Settings in the registry: one key under HKEY_CURRENT_USER, opened when the
// main window is created and closed after the message loop. Which stored value
// is usable and what replaces it is decided by settings_rules; this file only
// moves bytes in and out of the registry. Nothing here shows a message.
#include "quillet.h"

static HKEY hKeySettings;

static ScreenSize CurrentScreen(void)
{
    return ScreenSize{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// Reads a value into buffer (size bytes offered). A value longer than the
// buffer, a missing value or a missing key reads as not present.
static StoredValue QueryValue(const char* name, uint8_t* buffer, DWORD size)
{
    StoredValue value = {false, 0, buffer, 0};
    if (hKeySettings == NULL || name == NULL)
        return value;
    DWORD type = 0;
    DWORD got = size;
    if (RegQueryValueExA(hKeySettings, name, NULL, &type, buffer, &got) != ERROR_SUCCESS)
        return value;
    value.present = true;
    value.type = type;
    value.size = got <= size ? got : size;
    return value;
}

static void WriteValue(const char* name, DWORD type, const uint8_t* data, DWORD size)
{
    if (hKeySettings != NULL && name != NULL)
        RegSetValueExA(hKeySettings, name, 0, type, data, size);
}

static void WriteRectValue(const char* name, const WindowRect& rect)
{
    uint8_t bytes[kWindowRectValueSize];
    EncodeWindowRect(rect, bytes);
    WriteValue(name, REG_BINARY, bytes, sizeof bytes);
}

static void WriteDwordValue(const char* name, uint32_t v)
{
    uint8_t bytes[kDwordValueSize];
    EncodeDword(v, bytes);
    WriteValue(name, REG_DWORD, bytes, sizeof bytes);
}

BOOL OpenSettings(void)
{
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &hKeySettings, &disposition) != ERROR_SUCCESS) {
        hKeySettings = NULL;
        return TRUE;
    }

    ScreenSize screen = CurrentScreen();
    for (const SettingsValue& v : kSettingsValues) {
        if (v.kind == kValueWindowRect) {
            uint8_t bytes[kWindowRectValueSize];
            StoredValue stored = QueryValue(v.name, bytes, sizeof bytes);
            if (WindowRectNeedsDefault(stored, screen))
                WriteRectValue(v.name, DefaultWindowRect((WindowSlot)v.index, screen));
        } else {
            uint8_t bytes[kDwordValueSize];
            StoredValue stored = QueryValue(v.name, bytes, sizeof bytes);
            if (SettingNeedsDefault(stored))
                WriteDwordValue(v.name, v.dword_default);
        }
    }
    RegFlushKey(hKeySettings);
    return TRUE;
}

void CloseSettings(void)
{
    if (hKeySettings != NULL)
        RegCloseKey(hKeySettings);
    hKeySettings = NULL;
}

void LoadWindowRect(WindowSlot slot, RECT* rect)
{
    if (rect == NULL)
        return;
    uint8_t bytes[kWindowRectValueSize];
    StoredValue stored = QueryValue(WindowSlotName(slot), bytes, sizeof bytes);
    WindowRect r = WindowRectOrDefault(slot, stored, CurrentScreen());
    rect->left = r.left;
    rect->top = r.top;
    rect->right = r.right;
    rect->bottom = r.bottom;
}

void SaveWindowRect(WindowSlot slot, const RECT* rect)
{
    if (rect == NULL)
        return;
    WriteRectValue(WindowSlotName(slot), WindowRect{(int32_t)rect->left, (int32_t)rect->top,
                                                    (int32_t)rect->right, (int32_t)rect->bottom});
}

DWORD LoadSetting(SettingId id)
{
    uint8_t bytes[kDwordValueSize];
    return SettingOrDefault(id, QueryValue(SettingName(id), bytes, sizeof bytes));
}

void SaveSetting(SettingId id, DWORD value)
{
    WriteDwordValue(SettingName(id), value);
}
