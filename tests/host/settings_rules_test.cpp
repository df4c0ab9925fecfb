// Settings values: names, defaults, and when a stored value gives way to its default.
#include "settings_rules.h"

#include <gtest/gtest.h>

#include <string.h>
#include <vector>

namespace {

const ScreenSize kScreen = {1024, 768};

std::vector<uint8_t> RectBytes(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    std::vector<uint8_t> bytes(kWindowRectValueSize);
    EncodeWindowRect(WindowRect{left, top, right, bottom}, bytes.data());
    return bytes;
}

TEST(SettingsValues, RectangleRules)
{
    std::vector<uint8_t> ok = RectBytes(100, 50, 500, 400), longer = ok;
    longer.push_back(0);
    struct Case {
        const char* name;
        bool present;
        uint32_t type;
        std::vector<uint8_t> data;
        bool needs_default;
    } cases[] = {
        {"usable", true, kRegTypeBinary, ok, false}, {"missing", false, 0, {}, true},
        {"17 bytes", true, kRegTypeBinary, longer, true},
        // The corner may lie on the right or bottom edge, not one pixel beyond.
        {"left beyond", true, kRegTypeBinary, RectBytes(1025, 0, 1300, 100), true},
    };
    for (const Case& c : cases) {
        StoredValue v{c.present, c.type, c.data.data(), (uint32_t)c.data.size()};
        EXPECT_EQ(WindowRectNeedsDefault(v, kScreen), c.needs_default) << c.name;
    }
    const uint8_t* p = ok.data();
    EXPECT_EQ(WindowRectOrDefault(SLOT_TOC, StoredValue{true, kRegTypeBinary, p, 12}, kScreen).left, 512);

    // Stored little-endian, signed.
    WindowRect r;
    std::vector<uint8_t> bytes = RectBytes(-2, 0x01020304, 0, -1);
    EXPECT_EQ(bytes[4], 0x04);
    ASSERT_TRUE(DecodeWindowRect(StoredValue{true, kRegTypeBinary, bytes.data(), 16}, &r));
    EXPECT_TRUE(r.left == -2 && r.top == 0x01020304 && r.bottom == -1);

    EXPECT_EQ(MainWindowValue(WindowRect{INT32_MIN, 0, INT32_MAX, 0}).right, -1);  // wraps, no overflow
}

TEST(SettingsValues, OptionRules)
{
    // read: what "Tree Level" yields from the stored value
    struct Case { const char* name; uint32_t type, size, stored, read; } cases[] = {
        {"any number passes", kRegTypeDword, 4, 0xFFFFFFFF, 0xFFFFFFFF},
        {"two bytes", kRegTypeDword, 2, 3, 8},
    };
    for (const Case& c : cases) {
        uint8_t dword[kDwordValueSize];
        EncodeDword(c.stored, dword);
        StoredValue v{true, c.type, dword, c.size};
        EXPECT_EQ(SettingNeedsDefault(v), c.read != c.stored) << c.name;
        EXPECT_EQ(SettingOrDefault(SET_TREE_LEVEL, v), c.read) << c.name;
    }
    EXPECT_EQ(SettingOrDefault(SET_AUTO_SECTOR, StoredValue{false, 0, nullptr, 0}), 1u);
}

} // namespace
