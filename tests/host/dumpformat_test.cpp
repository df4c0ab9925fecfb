// Sector dump texts, user-data detection and the status line.
#include "dumpformat.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

// Sync, the BCD header of LBN 16 (00:02:16), the mode byte, then data bytes
// counting 0, 1, 2, ... from offset 16 so that a dump shows where it starts.
std::vector<uint8_t> MakeSector(uint8_t mode, const uint8_t* sub1 = nullptr, const uint8_t* sub2 = nullptr)
{
    std::vector<uint8_t> raw(kRawSectorSize);
    WriteSyncPattern(raw.data(), kRawSectorSize);
    const uint8_t header[4] = {0x00, 0x02, 0x16, mode};
    memcpy(&raw[12], header, 4);
    for (size_t i = 16; i < raw.size(); i++) raw[i] = (uint8_t)(i - 16);
    if (sub1 != nullptr) {
        memcpy(&raw[16], sub1, 4);
        memcpy(&raw[20], sub2, 4);
    }
    return raw;
}

std::vector<std::string> DumpLines(const std::vector<uint8_t>& raw, int32_t length)
{
    std::vector<char> text(kDumpTextSize);
    int n = FormatDump(text.data(), kDumpTextSize, raw.data(), (uint32_t)raw.size(), length);
    EXPECT_EQ((size_t)n, strlen(text.data()));
    std::vector<std::string> lines;
    std::string s(text.data());
    for (size_t pos = 0, end; (end = s.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(s.substr(pos, end - pos));
    EXPECT_TRUE(s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0) << "text does not end with CR LF";
    return lines;
}

// Where each kind of sector's user data starts (first line) and ends (last
// line); a sector of any other mode shows the whole image, as the raw text does.
TEST(DumpFormat, UserDataByHeader)
{
    const uint8_t form1[4] = {0x01, 0x00, 0x08, 0x00}, form2[4] = {0x01, 0x01, 0x64, 0x0F};
    const uint8_t other[4] = {0x01, 0x00, 0x28, 0x00};
    struct Case {
        const char* name;
        std::vector<uint8_t> raw;
        UserDataKind kind;
        size_t lines;
        const char* first;  // the first bytes of the first line
    } cases[] = {
        {"mode 1", MakeSector(1), kUserDataMode1, 128, " 0000 00 01 02"},
        {"form 1", MakeSector(2, form1, form1), kUserDataForm1, 128, " 0000 08 09 0A"},
        {"form 2", MakeSector(2, form2, form2), kUserDataForm2, 146, " 0000 08 09 0A"},
        {"subheader copies differ", MakeSector(2, form2, other), kUserDataMode2Formless, 146, " 0000 01 01 64"},
        {"mode 0", MakeSector(0), kUserDataWhole, 147, " 0000 00 FF FF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DetectUserData(c.raw.data(), kRawSectorSize).kind, c.kind);
        std::vector<std::string> lines = DumpLines(c.raw, kDumpUserData);
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines.front().compare(0, strlen(c.first), c.first), 0) << lines.front();
        if (c.kind == kUserDataWhole) {
            EXPECT_EQ(lines, DumpLines(c.raw, kRawSectorSize));
        }
    }
}

TEST(DumpFormat, CharacterColumnAndShortLines)
{
    // Control bytes, DEL, Shift-JIS lead bytes and half-width katakana show as
    // dots; the blank stands for itself.
    const uint8_t bytes[16] = {0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0x81, 0x40,
                               0x9F, 0xA0, 0xB1, 0xDF, 0xE0, 0xFC, 0xFF, 0x7A};
    char line[128];
    EXPECT_EQ(FormatDumpLine(line, sizeof line, 0x10, bytes, 16), 80);
    EXPECT_STREQ(line, " 0010 1F 20 41 7E 7F 80 81 40  9F A0 B1 DF E0 FC FF 7A       . A~...@ .......z\r\n");
    EXPECT_EQ(FormatDumpLine(line, sizeof line, 0, bytes, 17), 0);
}

// Whole lines only, always terminated, never past the buffer or the image.
TEST(DumpFormat, Bounds)
{
    std::vector<uint8_t> raw = MakeSector(1);
    const uint32_t user = 128 * 80;
    std::vector<char> text(kDumpTextSize + 1, 'Z');
    EXPECT_EQ(FormatDump(text.data(), user + 1, raw.data(), kRawSectorSize, kDumpUserData), (int)user);
    EXPECT_EQ(text[user + 1], 'Z');
    EXPECT_EQ(FormatDump(text.data(), user, raw.data(), kRawSectorSize, kDumpUserData), 0);
    EXPECT_EQ(strlen(text.data()), user - 80);

    // Too short for a header: the whole image, and no read past it (ASan).
    std::vector<uint8_t> exact(raw.begin(), raw.begin() + 100);
    EXPECT_EQ(FormatDump(text.data(), kDumpTextSize, exact.data(), 100, kDumpUserData), 6 * 80 + 30);
}

TEST(StatusLine, BlockTimeAndMode)
{
    struct Case { int32_t address; uint8_t mode; const char* text; } cases[] = {
        {166, 1, "LBN =     16 [00:02:16]    Mode-1 Sector"},
        {INT32_MIN, 1, "LBN = -2147483798 [-477218:-35:-23]    Mode-1 Sector"},
    };
    for (const Case& c : cases) {
        char line[kStatusLineSize];
        EXPECT_EQ(FormatStatusLine(line, sizeof line, c.address, c.mode), (int)strlen(c.text));
        EXPECT_STREQ(line, c.text);
    }
    char small[10];
    EXPECT_EQ(FormatStatusLine(small, sizeof small, 166, 1), 0);
    EXPECT_STREQ(small, "LBN =    ");
}

} // namespace
