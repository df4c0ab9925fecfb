// Settings values: names, defaults, and when a stored value gives way to its default.
#include "windows/settings_rules.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

const ScreenSize kScreen = {1024, 768};

StoredValue Stored(uint32_t type, const std::vector<uint8_t>& data)
{
    return StoredValue{true, type, data.data(), (uint32_t)data.size()};
}

std::vector<uint8_t> RectBytes(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    std::vector<uint8_t> bytes(kWindowRectValueSize);
    EncodeWindowRect(WindowRect{left, top, right, bottom}, bytes.data());
    return bytes;
}

TEST(SettingsValues, NamesOrderAndDefaults)
{
    const char* names[] = {"MainWindow",         "ControlWindow",  "TocWindow",   "TreeWindow", "InputWindow",
                           "Control on Execute", "Toc on Execute", "Auto Sector", "Tree Level"};
    for (int i = 0; i < kSettingsValueCount; i++)
        EXPECT_STREQ(kSettingsValues[i].name, names[i]);
    EXPECT_STREQ(kSettingsKeyPath, "Software\\Kelvane\\Quillet");

    // Every slot and id has exactly one value.
    for (int s = 0; s < kWindowSlotCount; s++)
        EXPECT_NE(WindowSlotName((WindowSlot)s), nullptr);
    for (int id = 0; id < kSettingIdCount; id++)
        EXPECT_NE(SettingName((SettingId)id), nullptr);
    EXPECT_STREQ(WindowSlotName(SLOT_INPUT), "InputWindow");
    EXPECT_STREQ(SettingName(SET_AUTO_SECTOR), "Auto Sector");
    EXPECT_EQ(WindowSlotName(kWindowSlotCount), nullptr);

    EXPECT_EQ(DefaultSetting(SET_CONTROL_ON_EXECUTE), 0u);
    EXPECT_EQ(DefaultSetting(SET_TOC_ON_EXECUTE), 0u);
    EXPECT_EQ(DefaultSetting(SET_AUTO_SECTOR), 1u);
    EXPECT_EQ(DefaultSetting(SET_TREE_LEVEL), 8u);
}

TEST(SettingsValues, DefaultRectangles)
{
    WindowRect main = DefaultWindowRect(SLOT_MAIN, kScreen);
    EXPECT_EQ(main.left, 0);
    EXPECT_EQ(main.top, 0);
    EXPECT_EQ(main.right, 1024);
    EXPECT_EQ(main.bottom, 768);
    for (WindowSlot slot : {SLOT_CONTROL, SLOT_INPUT, SLOT_TOC, SLOT_TREE}) {
        WindowRect r = DefaultWindowRect(slot, ScreenSize{1023, 767});  // halves truncate
        EXPECT_EQ(r.left, 511);
        EXPECT_EQ(r.top, 383);
        EXPECT_EQ(r.right, 0);
        EXPECT_EQ(r.bottom, 0);
    }
}

TEST(SettingsValues, RectangleValueRules)
{
    std::vector<uint8_t> ok = RectBytes(100, 50, 500, 400);
    std::vector<uint8_t> longer = ok;
    longer.push_back(0);
    std::vector<uint8_t> shorter(ok.begin(), ok.begin() + 12);
    struct Case {
        const char* name;
        bool present;
        uint32_t type;
        std::vector<uint8_t> data;
        bool needs_default;
    } cases[] = {
        {"usable", true, kRegTypeBinary, ok, false},
        {"missing", false, 0, {}, true},
        {"wrong type", true, kRegTypeDword, ok, true},
        {"string type", true, 1, ok, true},
        {"12 bytes", true, kRegTypeBinary, shorter, true},
        {"17 bytes", true, kRegTypeBinary, longer, true},
        {"empty", true, kRegTypeBinary, {}, true},
        // The corner may sit on the right or bottom edge, not one pixel beyond.
        {"left on the edge", true, kRegTypeBinary, RectBytes(1024, 0, 1300, 100), false},
        {"top on the edge", true, kRegTypeBinary, RectBytes(0, 768, 100, 900), false},
        {"left beyond", true, kRegTypeBinary, RectBytes(1025, 0, 1300, 100), true},
        {"top beyond", true, kRegTypeBinary, RectBytes(0, 769, 100, 900), true},
        // Left of or above the screen stays where it was stored.
        {"negative", true, kRegTypeBinary, RectBytes(-500, -300, -100, -10), false},
        {"extreme", true, kRegTypeBinary, RectBytes(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StoredValue v{c.present, c.type, c.data.data(), (uint32_t)c.data.size()};
        EXPECT_EQ(WindowRectNeedsDefault(v, kScreen), c.needs_default);
    }
    EXPECT_TRUE(WindowRectNeedsDefault(StoredValue{true, kRegTypeBinary, nullptr, 16}, kScreen));

    // After the resolution was lowered, a window stored beyond the new edge
    // comes back at its default; read-time loading keeps a usable value.
    std::vector<uint8_t> far = RectBytes(1500, 900, 1800, 1100);
    EXPECT_FALSE(WindowRectNeedsDefault(Stored(kRegTypeBinary, far), ScreenSize{1920, 1080}));
    EXPECT_TRUE(WindowRectNeedsDefault(Stored(kRegTypeBinary, far), ScreenSize{1280, 1024}));

    WindowRect r = WindowRectOrDefault(SLOT_TOC, Stored(kRegTypeBinary, ok), kScreen);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 50);
    EXPECT_EQ(r.right, 500);
    EXPECT_EQ(r.bottom, 400);
    r = WindowRectOrDefault(SLOT_TOC, Stored(kRegTypeBinary, shorter), kScreen);
    EXPECT_EQ(r.left, 512);
    EXPECT_EQ(r.top, 384);
    r = WindowRectOrDefault(SLOT_MAIN, StoredValue{false, 0, nullptr, 0}, kScreen);
    EXPECT_EQ(r.right, 1024);
    EXPECT_EQ(r.bottom, 768);
}

TEST(SettingsValues, RectangleBytesAreLittleEndianSigned)
{
    std::vector<uint8_t> bytes = RectBytes(-2, 0x01020304, 0, -1);
    const uint8_t expect[16] = {0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02, 0x01,
                                0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(memcmp(bytes.data(), expect, 16), 0);
    WindowRect r;
    ASSERT_TRUE(DecodeWindowRect(Stored(kRegTypeBinary, bytes), &r));
    EXPECT_EQ(r.left, -2);
    EXPECT_EQ(r.top, 0x01020304);
    EXPECT_EQ(r.bottom, -1);
}

TEST(SettingsValues, OptionRules)
{
    std::vector<uint8_t> dword(kDwordValueSize);
    struct Case {
        const char* name;
        uint32_t type;
        uint32_t size;
        uint32_t stored;
        uint32_t read;  // what SET_TREE_LEVEL yields
    } cases[] = {
        {"usable", kRegTypeDword, 4, 3, 3},
        // Any number set by hand is passed on unchanged.
        {"out of range", kRegTypeDword, 4, 0xFFFFFFFF, 0xFFFFFFFF},
        {"zero", kRegTypeDword, 4, 0, 0},
        {"wrong type", kRegTypeBinary, 4, 3, 8},
        {"two bytes", kRegTypeDword, 2, 3, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EncodeDword(c.stored, dword.data());
        StoredValue v{true, c.type, dword.data(), c.size};
        EXPECT_EQ(SettingNeedsDefault(v), c.read != c.stored);
        EXPECT_EQ(SettingOrDefault(SET_TREE_LEVEL, v), c.read);
    }
    StoredValue missing{false, 0, nullptr, 0};
    EXPECT_TRUE(SettingNeedsDefault(missing));
    EXPECT_EQ(SettingOrDefault(SET_AUTO_SECTOR, missing), 1u);
}

TEST(SettingsValues, MainWindowValueHoldsSize)
{
    WindowRect v = MainWindowValue(WindowRect{-4, -4, 1028, 772});
    EXPECT_EQ(v.left, -4);
    EXPECT_EQ(v.top, -4);
    EXPECT_EQ(v.right, 1032);
    EXPECT_EQ(v.bottom, 776);
    v = MainWindowValue(WindowRect{INT32_MIN, 0, INT32_MAX, 0});  // wraps, no overflow
    EXPECT_EQ(v.right, -1);
}

} // namespace
