// Settings kept in the registry, portable part: the ten values, their names,
// types and defaults, and the rules that decide when a stored value is used
// and when its default takes its place. The registry calls are the shell's.
#pragma once
#include <stdint.h>

// Registry value types as the registry API numbers them.
enum { kRegTypeBinary = 3, kRegTypeDword = 4 };

enum { kWindowRectValueSize = 16, kDwordValueSize = 4 };

extern const char kSettingsKeyPath[];  // under HKEY_CURRENT_USER

enum WindowSlot { SLOT_MAIN, SLOT_CONTROL, SLOT_INPUT, SLOT_TOC, SLOT_TREE, kWindowSlotCount };
enum SettingId {
    SET_CONTROL_ON_EXECUTE, SET_TOC_ON_EXECUTE, SET_AUTO_SECTOR, SET_TREE_LEVEL,
    SET_SECTOR_CHECK,  // the status line shows the sector check
    kSettingIdCount
};

// A stored rectangle, four signed 32-bit little-endian integers in screen
// coordinates: left, top, right, bottom, except for the main window, whose
// value holds left, top, width, height.
struct WindowRect {
    int32_t left, top, right, bottom;
};

struct ScreenSize {
    int32_t width, height;
};

// One registry value of the settings key.
enum SettingsValueKind { kValueWindowRect, kValueDword };
enum RectDefault { kRectFullScreen, kRectScreenCentre };

struct SettingsValue {
    const char* name;
    SettingsValueKind kind;
    int index;              // WindowSlot or SettingId, by kind
    RectDefault rect_default;
    uint32_t dword_default;
};

// The ten values, in the order start-up checks them: the rectangles
// MainWindow, ControlWindow, TocWindow, TreeWindow, InputWindow, then the
// options.
enum { kSettingsValueCount = 10 };
extern const SettingsValue kSettingsValues[kSettingsValueCount];

const char* WindowSlotName(WindowSlot slot);   // null for an unknown slot
const char* SettingName(SettingId id);         // null for an unknown id

// Main window: 0, 0, screen width, screen height. The others: the screen's
// middle (halves truncated toward zero) as left and top, right = bottom = 0.
WindowRect DefaultWindowRect(WindowSlot slot, ScreenSize screen);
uint32_t DefaultSetting(SettingId id);  // 0, 0, 1, 8, 0

// What a registry query gave: present false when the query failed (value
// missing, or longer than the buffer offered).
struct StoredValue {
    bool present;
    uint32_t type;   // as stored; the rules do not examine it
    const uint8_t* data;
    uint32_t size;
};

// A rectangle value is usable when it holds exactly 16 bytes, whatever type
// it was stored as; any other size would leave part of the rectangle undefined.
bool DecodeWindowRect(const StoredValue& value, WindowRect* rect);
void EncodeWindowRect(const WindowRect& rect, uint8_t out[kWindowRectValueSize]);

// An option is usable when it holds exactly 4 bytes, whatever its stored
// type. Its number is not judged: any value set by hand is passed on.
bool DecodeDword(const StoredValue& value, uint32_t* out);
void EncodeDword(uint32_t value, uint8_t out[kDwordValueSize]);

// A rectangle is on screen unless its top-left corner lies beyond the right
// or bottom edge. A corner exactly on the edge, or left of or above the
// screen (negative), counts as on screen.
bool RectCornerOnScreen(const WindowRect& rect, ScreenSize screen);

// Start-up rules: true when the stored value must be replaced by its default.
bool WindowRectNeedsDefault(const StoredValue& value, ScreenSize screen);
bool SettingNeedsDefault(const StoredValue& value);

// What a window or option reads: the stored value when usable, else the
// default (also when the key could not be opened).
WindowRect WindowRectOrDefault(WindowSlot slot, const StoredValue& value, ScreenSize screen);
uint32_t SettingOrDefault(SettingId id, const StoredValue& value);

// The main window's value from its window rectangle: width and height in
// place of right and bottom.
WindowRect MainWindowValue(const WindowRect& window_rect);
