// Drive root list, submenu captions, device paths and the header line.
#include "drivetext.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

// Roots one after another, each terminated, then the empty string.
std::vector<char> RootList(const std::vector<std::string>& roots)
{
    std::vector<char> list;
    for (const std::string& r : roots) list.insert(list.end(), r.c_str(), r.c_str() + r.size() + 1);
    list.push_back('\0');
    return list;
}

TEST(DriveRoots, ListsAsTheSystemMayGiveThem)
{
    std::vector<std::string> all;
    for (char c = 'A'; c <= 'Z'; c++) all.push_back(std::string(1, c) + ":\\");
    // size: bytes given; the rest is cut off
    struct Case { const char* name; std::vector<char> list; size_t size; std::vector<std::string> roots; } cases[] = {
        // Twenty-six roots take 105 bytes, more than an 80-byte buffer holds.
        {"every letter", RootList(all), kDriveRootListSize, all},
        {"not drive roots", RootList({"C:\\", "\\\\srv\\share\\", "1:\\", "D:", "E:/", "F:\\x", "d:\\"}), 40,
         {"C:\\", "D:\\"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> exact(c.list.begin(), c.list.begin() + std::min(c.size, c.list.size()));
        DriveRootList parsed;
        int n = ParseDriveRoots(exact.data(), (uint32_t)exact.size(), &parsed);
        std::vector<std::string> roots(parsed.roots, parsed.roots + parsed.count);
        EXPECT_EQ(n, (int)c.roots.size());
        EXPECT_EQ(roots, c.roots);
    }
}

TEST(DriveCaption, CaptionNameAndPath)
{
    char caption[kDriveCaptionSize], name[kDriveNameSize], path[kDevicePathSize];
    FormatDriveCaption(caption, sizeof caption, "F:\\", nullptr);

    // The name is the caption up to its first blank; the path prefixes it.
    EXPECT_EQ(DriveNameFromCaption(name, sizeof name, caption), 2);
    EXPECT_EQ(FormatDevicePath(path, sizeof path, name), 6);
    EXPECT_STREQ(path, "\\\\.\\F:");

    // A label buffer full to its end without a terminator is read no further.
    std::vector<char> label(kVolumeLabelSize, 'L');
    EXPECT_EQ(FormatDriveCaption(caption, sizeof caption, "G:\\", label.data()), 4 + kVolumeLabelSize + 1);
    char small[6];
    EXPECT_EQ(FormatDriveCaption(small, sizeof small, "D:\\", "MYDISC"), 0);
    EXPECT_STREQ(small, "D: [M");
}

TEST(DriveHeader, LeadoutAndRuler)
{
    char header[kDriveHeaderSize];
    std::string expect = "Drive[D:]  Leadout : 00:15:25 (LBN:1000)\n " + std::string(kColumnRuler);
    EXPECT_EQ(FormatDriveHeader(header, sizeof header, "D:", 1000), (int)expect.size());
    EXPECT_EQ(header, expect);

    // READ CAPACITY of an empty drive (last LBA -1) and a hostile one.
    EXPECT_EQ(LeadoutFromLastLba(-1), 0);
    EXPECT_EQ(LeadoutFromLastLba(INT32_MAX), INT32_MIN);
    EXPECT_GT(FormatDriveHeader(header, sizeof header, "D:", INT32_MAX), 0);
}

// Shift-JIS lead bytes: the trail byte of such a pair may be '\\' or '|'.
bool Cp932Lead(uint8_t b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

TEST(DiscImage, FileNameOfPath)
{
    struct Case { const char* path; const char* name; } cases[] = {
        {"C:disc.iso", "disc.iso"},
        // "\x95\x5C" is one character whose trail byte is a backslash.
        {"Z:\\\x95\x5C\\\x95\x5C.iso", "\x95\x5C.iso"},
        {"Z:\\a\x95", "a\x95"},  // a lead byte cut by the end of the text
    };
    for (const Case& c : cases) EXPECT_STREQ(FileNameOfPath(c.path, Cp932Lead), c.name) << c.path;
    EXPECT_STREQ(FileNameOfPath(nullptr, Cp932Lead), "");
}

TEST(DiscImage, PathFromCommandLine)
{
    struct Case { const char* line; const char* path; } cases[] = {
        {"\"C:\\Program Files\\quillet.exe\"  \"Z:\\my discs\\s.cue\"", "Z:\\my discs\\s.cue"},
        {"quillet.exe Z:\\my discs\\s.cue  ", "Z:\\my discs\\s.cue"},  // unquoted with blanks
    };
    for (const Case& c : cases) {
        char path[64];
        EXPECT_EQ(ImagePathFromCommandLine(path, sizeof path, c.line), (int)strlen(c.path)) << c.line;
        EXPECT_STREQ(path, c.path) << c.line;
    }
    // A path too long for the buffer is not opened cut.
    char small[8];
    EXPECT_EQ(ImagePathFromCommandLine(small, sizeof small, "q.exe Z:\\discs\\long.iso"), 0);
    EXPECT_STREQ(small, "");
}

TEST(DiscImage, FilterSeparators)
{
    // "\x83\x7C" is one character whose trail byte is '|'.
    char filter[] = "CUE (*.cue)|*.cue|\x83\x7C (*.*)|*.*|\0";
    EXPECT_EQ(SplitFilterText(filter, Cp932Lead), 4);
    const char* parts[] = {"CUE (*.cue)", "*.cue", "\x83\x7C (*.*)", "*.*"};
    const char* p = filter;
    for (const char* part : parts) {
        EXPECT_STREQ(p, part);
        p += strlen(p) + 1;
    }
    EXPECT_EQ(*p, '\0');  // the list ends with two terminators
}

} // namespace
