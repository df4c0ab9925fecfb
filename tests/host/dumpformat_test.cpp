// Sector dump texts, user-data detection and the status line.
#include "dumpformat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

// A raw sector as a drive returns it: sync, BCD address of lbn + 150, mode,
// then data. Data bytes run 0, 1, 2, ... from offset 16 so that a dump
// shows where it started.
std::vector<uint8_t> MakeSector(int32_t lbn, uint8_t mode)
{
    std::vector<uint8_t> raw(kRawImageLength);
    WriteSyncPattern(raw.data(), (uint32_t)raw.size());
    int32_t address = lbn + 150;
    raw[12] = (uint8_t)(((address / 4500) / 10) << 4 | ((address / 4500) % 10));
    raw[13] = (uint8_t)((((address % 4500) / 75) / 10) << 4 | (((address % 4500) / 75) % 10));
    raw[14] = (uint8_t)(((address % 75) / 10) << 4 | ((address % 75) % 10));
    raw[15] = mode;
    for (size_t i = 16; i < raw.size(); i++)
        raw[i] = (uint8_t)(i - 16);
    return raw;
}

void SetSubheaders(std::vector<uint8_t>& raw, const uint8_t first[4], const uint8_t second[4])
{
    memcpy(&raw[16], first, 4);
    memcpy(&raw[20], second, 4);
}

std::string Dump(const std::vector<uint8_t>& raw, int32_t length)
{
    std::vector<char> text(kDumpTextSize);
    int n = FormatDump(text.data(), (uint32_t)text.size(), raw.data(), (uint32_t)raw.size(), length);
    EXPECT_GT(n, 0);
    EXPECT_EQ((size_t)n, strlen(text.data()));
    return std::string(text.data());
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "text does not end with CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

// Reads a dump text back into the bytes it shows, checking every column of
// the layout on the way.
std::vector<uint8_t> Undump(const std::string& text)
{
    std::vector<uint8_t> bytes;
    std::vector<std::string> lines = Lines(text);
    for (size_t l = 0; l < lines.size(); l++) {
        const std::string& line = lines[l];
        SCOPED_TRACE("line " + std::to_string(l));
        unsigned offset = 0;
        EXPECT_EQ(1, sscanf(line.c_str(), " %4X", &offset));
        EXPECT_EQ(offset, l * 16);
        EXPECT_EQ(line.substr(0, 6), std::string(1, ' ') + line.substr(1, 4) + " ");
        size_t p = 6;
        std::vector<uint8_t> row;
        while (p + 3 <= line.size() && line.compare(p, 3, "   ") != 0) {
            if (row.size() == 8) {
                EXPECT_EQ(line[p], ' ') << "no extra blank before the ninth byte";
                p++;
            }
            unsigned b = 0;
            EXPECT_EQ(1, sscanf(line.substr(p, 2).c_str(), "%2X", &b));
            EXPECT_EQ(line[p + 2], ' ');
            row.push_back((uint8_t)b);
            p += 3;
        }
        EXPECT_EQ(line.compare(p, 6, "      "), 0);
        p += 6;
        std::string column;
        for (size_t i = 0; i < row.size(); i++) {
            if (i == 8)
                column += ' ';
            column += (row[i] >= 0x20 && row[i] <= 0x7E) ? (char)row[i] : '.';
        }
        EXPECT_EQ(line.substr(p), column);
        if (l + 1 < lines.size()) {
            EXPECT_EQ(line.size() + 2, 80u);
        }
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

TEST(DumpFormat, RawTextOfMode1SectorAtLbn16)
{
    std::vector<uint8_t> raw = MakeSector(16, 1);
    std::string text = Dump(raw, kRawImageLength);
    std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 147u);
    EXPECT_EQ(lines[0], " 0000 00 FF FF FF FF FF FF FF  FF FF FF 00 00 02 16 01       ........ ........");
    EXPECT_EQ(lines[1], " 0010 00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F       ........ ........");
    EXPECT_EQ(lines[146].substr(0, 6), " 0920 ");
    EXPECT_EQ(text.size(), 147u * 80u);
    EXPECT_EQ(Undump(text), raw);
}

TEST(DumpFormat, UserTextOfVolumeDescriptor)
{
    std::vector<uint8_t> raw = MakeSector(16, 1);
    memset(&raw[16], 0, kUserData2048);
    const uint8_t pvd[] = {0x01, 'C', 'D', '0', '0', '1', 0x01, 0x00};
    memcpy(&raw[16], pvd, sizeof pvd);
    raw[16 + 40] = 'V';  // volume identifier starts at 40
    std::vector<std::string> lines = Lines(Dump(raw, kDumpUserData));
    ASSERT_EQ(lines.size(), 128u);
    EXPECT_EQ(lines[0], " 0000 01 43 44 30 30 31 01 00  00 00 00 00 00 00 00 00       .CD001.. ........");
    EXPECT_EQ(lines[2], " 0020 00 00 00 00 00 00 00 00  56 00 00 00 00 00 00 00       ........ V.......");
    EXPECT_EQ(lines[127].substr(0, 6), " 07F0 ");
}

// Where each kind of sector's user data starts and ends, checked by reading
// the text back and comparing it with the raw image.
TEST(DumpFormat, UserDataSpanByHeader)
{
    const uint8_t form1[4] = {0x01, 0x00, 0x08, 0x00};       // data
    const uint8_t form2[4] = {0x01, 0x01, 0x64, 0x0F};       // real-time audio, Form 2
    const uint8_t form1_eof[4] = {0x01, 0x00, 0x89, 0x00};   // data, EOF, EOR
    const uint8_t other[4] = {0x01, 0x00, 0x28, 0x00};
    struct Case {
        const char* name;
        uint8_t mode;
        const uint8_t* sub1;
        const uint8_t* sub2;
        UserDataKind kind;
        uint32_t offset, length, lines;
        const char* last_line;
    } cases[] = {
        {"mode 1", 1, nullptr, nullptr, kUserDataMode1, 16, 2048, 128, " 07F0 "},
        {"form 1", 2, form1, form1, kUserDataForm1, 24, 2048, 128, " 07F0 "},
        {"form 1 eof", 2, form1_eof, form1_eof, kUserDataForm1, 24, 2048, 128, " 07F0 "},
        {"form 2", 2, form2, form2, kUserDataForm2, 24, 2324, 146, " 0910 "},
        {"copies differ", 2, form2, other, kUserDataMode2Formless, 16, 2336, 146, " 0910 "},
        {"mode 0", 0, nullptr, nullptr, kUserDataWhole, 0, 2352, 147, " 0920 "},
        {"mode 3", 3, nullptr, nullptr, kUserDataWhole, 0, 2352, 147, " 0920 "},
        {"mode FF", 0xFF, nullptr, nullptr, kUserDataWhole, 0, 2352, 147, " 0920 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> raw = MakeSector(1000, c.mode);
        if (c.sub1 != nullptr)
            SetSubheaders(raw, c.sub1, c.sub2);
        UserDataSpan span = DetectUserData(raw.data(), (uint32_t)raw.size());
        EXPECT_EQ(span.kind, c.kind);
        EXPECT_EQ(span.offset, c.offset);
        EXPECT_EQ(span.length, c.length);

        std::string text = Dump(raw, kDumpUserData);
        std::vector<std::string> lines = Lines(text);
        EXPECT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines.back().substr(0, 6), c.last_line);
        std::vector<uint8_t> expect(raw.begin() + c.offset, raw.begin() + c.offset + c.length);
        EXPECT_EQ(Undump(text), expect);
    }
}

TEST(DumpFormat, Form2LastLineHasFourBytes)
{
    std::vector<uint8_t> raw = MakeSector(200, 2);
    const uint8_t sub[4] = {0x00, 0x00, 0x20, 0x00};
    SetSubheaders(raw, sub, sub);
    memset(&raw[24], 0, kForm2DataLength);
    std::vector<std::string> lines = Lines(Dump(raw, kDumpUserData));
    ASSERT_EQ(lines.size(), 146u);
    EXPECT_EQ(lines.back(), " 0910 00 00 00 00       ....");
}

TEST(DumpFormat, ModeZeroUserTextEqualsRawText)
{
    std::vector<uint8_t> raw = MakeSector(50, 0);
    EXPECT_EQ(Dump(raw, kDumpUserData), Dump(raw, kRawImageLength));
}

TEST(DumpFormat, CharacterColumn)
{
    // Control bytes, DEL, Shift-JIS lead bytes and half-width katakana all
    // show as dots; the blank shows as itself.
    const uint8_t bytes[16] = {0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0x81, 0x40,
                               0x9F, 0xA0, 0xB1, 0xDF, 0xE0, 0xFC, 0xFF, 0x7A};
    char line[128];
    int n = FormatDumpLine(line, sizeof line, 0x10, bytes, 16);
    EXPECT_EQ(n, 80);
    EXPECT_STREQ(line, " 0010 1F 20 41 7E 7F 80 81 40  9F A0 B1 DF E0 FC FF 7A       . A~...@ .......z\r\n");
}

TEST(DumpFormat, ShortLinesAreNotPadded)
{
    const uint8_t bytes[9] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};
    struct Case {
        uint32_t count;
        const char* line;
    } cases[] = {
        {1, " 0000 61       a\r\n"},
        {8, " 0000 61 62 63 64 65 66 67 68       abcdefgh\r\n"},
        {9, " 0000 61 62 63 64 65 66 67 68  69       abcdefgh i\r\n"},
    };
    for (const Case& c : cases) {
        char line[128];
        EXPECT_EQ(FormatDumpLine(line, sizeof line, 0, bytes, c.count), (int)strlen(c.line));
        EXPECT_STREQ(line, c.line);
    }
    char line[128];
    EXPECT_EQ(FormatDumpLine(line, sizeof line, 0, bytes, 0), 0);
    EXPECT_EQ(FormatDumpLine(line, sizeof line, 0, bytes, 17), 0);
    // The offset field grows past four digits instead of losing digits.
    EXPECT_EQ(FormatDumpLine(line, sizeof line, 0x12345, bytes, 1), 19);
    EXPECT_STREQ(line, " 12345 61       a\r\n");
}

TEST(DumpFormat, OutputBufferEdges)
{
    std::vector<uint8_t> raw = MakeSector(16, 1);
    const uint32_t full = 128 * 80;  // the Mode 1 user-data text
    std::vector<char> text(kDumpTextSize + 16, 'Z');

    // Exactly the text and its terminator.
    EXPECT_EQ(FormatDump(text.data(), full + 1, raw.data(), kRawImageLength, kDumpUserData), (int)full);
    EXPECT_EQ(text[full], '\0');
    EXPECT_EQ(text[full + 1], 'Z');

    // One byte short: whole lines only, terminated, nothing written past.
    memset(text.data(), 'Z', text.size());
    EXPECT_EQ(FormatDump(text.data(), full, raw.data(), kRawImageLength, kDumpUserData), 0);
    EXPECT_EQ(strlen(text.data()), full - 80);
    EXPECT_EQ(text[full], 'Z');

    memset(text.data(), 'Z', text.size());
    EXPECT_EQ(FormatDump(text.data(), 1, raw.data(), kRawImageLength, kRawImageLength), 0);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(text[1], 'Z');
    EXPECT_EQ(FormatDump(text.data(), 0, raw.data(), kRawImageLength, kRawImageLength), 0);
    EXPECT_EQ(text[1], 'Z');

    // kDumpTextSize holds the longest text of either kind.
    EXPECT_EQ(FormatDump(text.data(), kDumpTextSize, raw.data(), kRawImageLength, kRawImageLength),
              kDumpTextSize - 1);

    char line[81];
    const uint8_t bytes[16] = {};
    EXPECT_EQ(FormatDumpLine(line, 81, 0, bytes, 16), 80);
    EXPECT_EQ(FormatDumpLine(line, 80, 0, bytes, 16), 0);
    EXPECT_EQ(line[0], '\0');
}

TEST(DumpFormat, LengthsAndShortImages)
{
    std::vector<uint8_t> raw = MakeSector(16, 2);
    std::vector<char> text(kDumpTextSize);
    struct Case {
        uint32_t raw_size;
        int32_t length;
        int lines;  // 0: refused
    } cases[] = {
        {kRawImageLength, kRawImageLength, 147},
        {kRawImageLength, 16, 1},
        {kRawImageLength, 0, 0},
        {kRawImageLength, -2, 0},
        {kRawImageLength, kRawImageLength + 1, 0},
        {100, kRawImageLength, 0},
        // Too short to hold a header and subheaders: shown whole, never read past.
        {100, kDumpUserData, 7},
        {20, kDumpUserData, 2},
        {0, kDumpUserData, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.raw_size) + " / " + std::to_string(c.length));
        // Copy into an exactly sized buffer so ASan sees any read past it.
        std::vector<uint8_t> image(raw.begin(), raw.begin() + c.raw_size);
        const uint8_t* p = image.empty() ? raw.data() : image.data();
        int n = FormatDump(text.data(), (uint32_t)text.size(), p, c.raw_size, c.length);
        if (c.lines == 0) {
            EXPECT_EQ(n, 0);
            EXPECT_EQ(text[0], '\0');
        } else {
            EXPECT_EQ(Lines(text.data()).size(), (size_t)c.lines);
        }
    }
}

TEST(DumpFormat, RebuildRawImage)
{
    std::vector<uint8_t> block(kRawBlockLength);
    for (size_t i = 0; i < block.size(); i++)
        block[i] = (uint8_t)(i * 7);
    std::vector<uint8_t> raw(kRawImageLength, 0xEE);
    ASSERT_TRUE(RebuildRawImage(raw.data(), (uint32_t)raw.size(), block.data(), (uint32_t)block.size()));
    const uint8_t sync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    EXPECT_EQ(memcmp(raw.data(), sync, 12), 0);
    EXPECT_EQ(memcmp(raw.data() + 12, block.data(), kRawBlockLength), 0);

    EXPECT_FALSE(RebuildRawImage(raw.data(), kRawImageLength - 1, block.data(), kRawBlockLength));
    EXPECT_FALSE(RebuildRawImage(raw.data(), kRawImageLength, block.data(), kRawBlockLength - 1));
    uint8_t small[11] = {};
    EXPECT_FALSE(WriteSyncPattern(small, sizeof small));
    EXPECT_EQ(small[1], 0);
}

TEST(DumpFormat, DetectionModePicksText)
{
    EXPECT_EQ(DumpTextForMode(true), kDumpTextUserData);
    EXPECT_EQ(DumpTextForMode(false), kDumpTextRaw);
}

TEST(StatusLine, BlockTimeAndMode)
{
    struct Case {
        int32_t address;
        uint8_t mode;
        const char* text;
    } cases[] = {
        {150, 1, "LBN =      0 [00:02:00]    Mode-1 Sector"},
        {166, 1, "LBN =     16 [00:02:16]    Mode-1 Sector"},
        // Last block of a 74-minute disc (333000 blocks).
        {333149, 2, "LBN = 332999 [74:01:74]    Mode-2 Sector"},
        {166, 0, "LBN =     16 [00:02:16]    Mode-0 Sector"},
        {166, 0xFF, "LBN =     16 [00:02:16]    Mode-255 Sector"},
        // Beyond six digits the field widens; before LBN 0 it goes negative.
        {450150, 1, "LBN = 450000 [100:02:00]    Mode-1 Sector"},
        {10000150, 1, "LBN = 10000000 [2222:15:25]    Mode-1 Sector"},
        {149, 1, "LBN =     -1 [00:01:74]    Mode-1 Sector"},
        {INT32_MIN, 1, "LBN = -2147483798 [-477218:-35:-23]    Mode-1 Sector"},
    };
    for (const Case& c : cases) {
        char line[kStatusLineSize];
        int n = FormatStatusLine(line, sizeof line, c.address, c.mode);
        EXPECT_STREQ(line, c.text);
        EXPECT_EQ(n, (int)strlen(c.text));
    }

    char small[10];
    EXPECT_EQ(FormatStatusLine(small, sizeof small, 166, 1), 0);
    EXPECT_STREQ(small, "LBN =    ");
}

TEST(StepControls, EndsOfTheDisc)
{
    struct Case {
        int32_t address, leadout;
        bool previous, next;
    } cases[] = {
        {150, 1000, false, true},     // LBN 0
        {151, 1000, true, true},
        {1149, 1000, true, false},    // LBN 999, the last block
        {150, 1, false, false},       // a one-block disc
        {5000, 1000, true, true},     // beyond the disc: equality only
        {149, 1000, true, true},
        {INT32_MAX, INT32_MAX, true, true},
        {INT32_MIN, INT32_MIN, true, true},
    };
    for (const Case& c : cases) {
        StepAvailability s = StepControlsFor(c.address, c.leadout);
        EXPECT_EQ(s.previous, c.previous) << c.address << " " << c.leadout;
        EXPECT_EQ(s.next, c.next) << c.address << " " << c.leadout;
    }
}

// Both texts of one sector, as every display formats them.
TEST(DumpFormatBenchmark, BothTextsPerSector)
{
    std::vector<uint8_t> raw = MakeSector(16, 1);
    std::vector<char> raw_text(kDumpTextSize), user_text(kDumpTextSize);
    const int rounds = 2000;
    long total = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; i++) {
        raw[100] = (uint8_t)i;
        total += FormatDump(raw_text.data(), kDumpTextSize, raw.data(), kRawImageLength, kRawImageLength);
        total += FormatDump(user_text.data(), kDumpTextSize, raw.data(), kRawImageLength, kDumpUserData);
    }
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(total, (long)rounds * (147 * 80 + 128 * 80));
    printf("dump formatting: %.2f us per sector (raw and user-data texts)\n", us / rounds);
}

} // namespace
