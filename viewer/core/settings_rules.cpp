// Settings kept in the registry, portable part.
#include "settings_rules.h"

#include "bytes.h"

const char kSettingsKeyPath[] = "Software\\Kelvane\\Quillet";

const SettingsValue kSettingsValues[kSettingsValueCount] = {
    {"MainWindow", kValueWindowRect, SLOT_MAIN, kRectFullScreen, 0},
    {"ControlWindow", kValueWindowRect, SLOT_CONTROL, kRectScreenCentre, 0},
    {"TocWindow", kValueWindowRect, SLOT_TOC, kRectScreenCentre, 0},
    {"TreeWindow", kValueWindowRect, SLOT_TREE, kRectScreenCentre, 0},
    {"InputWindow", kValueWindowRect, SLOT_INPUT, kRectScreenCentre, 0},
    {"Control on Execute", kValueDword, SET_CONTROL_ON_EXECUTE, kRectFullScreen, 0},
    {"Toc on Execute", kValueDword, SET_TOC_ON_EXECUTE, kRectFullScreen, 0},
    {"Auto Sector", kValueDword, SET_AUTO_SECTOR, kRectFullScreen, 1},
    {"Tree Level", kValueDword, SET_TREE_LEVEL, kRectFullScreen, 8},
    {"Sector Check", kValueDword, SET_SECTOR_CHECK, kRectFullScreen, 0},
};

namespace {

const SettingsValue* FindValue(SettingsValueKind kind, int index)
{
    for (const SettingsValue& v : kSettingsValues) {
        if (v.kind == kind && v.index == index)
            return &v;
    }
    return nullptr;
}

} // namespace

const char* WindowSlotName(WindowSlot slot)
{
    const SettingsValue* v = FindValue(kValueWindowRect, slot);
    return v != nullptr ? v->name : nullptr;
}

const char* SettingName(SettingId id)
{
    const SettingsValue* v = FindValue(kValueDword, id);
    return v != nullptr ? v->name : nullptr;
}

WindowRect DefaultWindowRect(WindowSlot slot, ScreenSize screen)
{
    const SettingsValue* v = FindValue(kValueWindowRect, slot);
    if (v != nullptr && v->rect_default == kRectFullScreen)
        return WindowRect{0, 0, screen.width, screen.height};
    return WindowRect{screen.width / 2, screen.height / 2, 0, 0};
}

uint32_t DefaultSetting(SettingId id)
{
    const SettingsValue* v = FindValue(kValueDword, id);
    return v != nullptr ? v->dword_default : 0;
}

bool DecodeWindowRect(const StoredValue& value, WindowRect* rect)
{
    if (!value.present || value.size != kWindowRectValueSize || value.data == nullptr)
        return false;
    if (rect != nullptr) {
        rect->left = (int32_t)get_le32(value.data);
        rect->top = (int32_t)get_le32(value.data + 4);
        rect->right = (int32_t)get_le32(value.data + 8);
        rect->bottom = (int32_t)get_le32(value.data + 12);
    }
    return true;
}

void EncodeWindowRect(const WindowRect& rect, uint8_t out[kWindowRectValueSize])
{
    put_le32(out, (uint32_t)rect.left);
    put_le32(out + 4, (uint32_t)rect.top);
    put_le32(out + 8, (uint32_t)rect.right);
    put_le32(out + 12, (uint32_t)rect.bottom);
}

bool DecodeDword(const StoredValue& value, uint32_t* out)
{
    if (!value.present || value.size != kDwordValueSize || value.data == nullptr)
        return false;
    if (out != nullptr)
        *out = get_le32(value.data);
    return true;
}

void EncodeDword(uint32_t value, uint8_t out[kDwordValueSize])
{
    put_le32(out, value);
}

bool RectCornerOnScreen(const WindowRect& rect, ScreenSize screen)
{
    return rect.left <= screen.width && rect.top <= screen.height;
}

bool WindowRectNeedsDefault(const StoredValue& value, ScreenSize screen)
{
    WindowRect rect;
    return !DecodeWindowRect(value, &rect) || !RectCornerOnScreen(rect, screen);
}

bool SettingNeedsDefault(const StoredValue& value)
{
    return !DecodeDword(value, nullptr);
}

WindowRect WindowRectOrDefault(WindowSlot slot, const StoredValue& value, ScreenSize screen)
{
    WindowRect rect;
    if (DecodeWindowRect(value, &rect))
        return rect;
    return DefaultWindowRect(slot, screen);
}

uint32_t SettingOrDefault(SettingId id, const StoredValue& value)
{
    uint32_t v;
    if (DecodeDword(value, &v))
        return v;
    return DefaultSetting(id);
}

WindowRect MainWindowValue(const WindowRect& window_rect)
{
    // Differences in 32-bit wrapping arithmetic: the rectangle comes from the
    // window system but nothing bounds it.
    int32_t width = (int32_t)((uint32_t)window_rect.right - (uint32_t)window_rect.left);
    int32_t height = (int32_t)((uint32_t)window_rect.bottom - (uint32_t)window_rect.top);
    return WindowRect{window_rect.left, window_rect.top, width, height};
}
