// Drive root list, submenu captions, device paths and the header line.
#include "drivetext.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

// A root list as the system writes it, the final empty string included.
std::vector<char> RootList(const std::vector<std::string>& roots)
{
    std::vector<char> list;
    for (const std::string& r : roots) {
        list.insert(list.end(), r.begin(), r.end());
        list.push_back('\0');
    }
    list.push_back('\0');
    return list;
}

std::vector<std::string> Parse(const std::vector<char>& list, uint32_t size)
{
    DriveRootList roots;
    int n = ParseDriveRoots(list.data(), size, &roots);
    EXPECT_EQ(n, roots.count);
    std::vector<std::string> out;
    for (int i = 0; i < roots.count; i++)
        out.push_back(roots.roots[i]);
    return out;
}

TEST(DriveRoots, EveryLetterOfAFullList)
{
    // Twenty-six roots need 105 bytes, far more than 80: all must come back.
    std::vector<std::string> all;
    for (char c = 'A'; c <= 'Z'; c++)
        all.push_back(std::string(1, c) + ":\\");
    std::vector<char> list = RootList(all);
    ASSERT_EQ(list.size(), (size_t)kDriveRootListSize);
    EXPECT_EQ(Parse(list, (uint32_t)list.size()), all);
}

TEST(DriveRoots, ListsAsTheSystemMayGiveThem)
{
    struct Case {
        const char* name;
        std::vector<char> list;
        uint32_t size;  // 0: the whole list
        std::vector<std::string> roots;
    } cases[] = {
        {"two drives", RootList({"C:\\", "D:\\"}), 0, {"C:\\", "D:\\"}},
        {"empty list", RootList({}), 0, {}},
        {"no bytes", RootList({"C:\\"}), 0xFFFFFFFF, {}},
        // Cut by its buffer: the partial last root and the missing final
        // terminator end the list without a read past it.
        {"cut inside a root", RootList({"C:\\", "D:\\", "E:\\"}), 10, {"C:\\", "D:\\"}},
        {"cut before the end mark", RootList({"C:\\", "D:\\"}), 8, {"C:\\", "D:\\"}},
        {"not drive roots", RootList({"C:\\", "\\\\server\\share\\", "1:\\", "D:", "E:/", "F:\\x"}), 0,
         {"C:\\", "D:\\"}},
        {"twice the same letter", RootList({"d:\\", "D:\\", "e:\\"}), 0, {"d:\\", "e:\\"}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t size = c.size == 0 ? (uint32_t)c.list.size() : c.size == 0xFFFFFFFF ? 0 : c.size;
        // Exactly sized copy, so that ASan sees a read past the given bytes.
        std::vector<char> exact(c.list.begin(), c.list.begin() + size);
        EXPECT_EQ(Parse(exact.empty() ? c.list : exact, size), c.roots);
    }
    DriveRootList roots;
    EXPECT_EQ(ParseDriveRoots(nullptr, 10, &roots), 0);
    EXPECT_EQ(ParseDriveRoots("C:\\", 4, nullptr), 0);
}

TEST(DriveCaption, LabelOrNoDisc)
{
    char caption[kDriveCaptionSize];
    EXPECT_EQ(FormatDriveCaption(caption, sizeof caption, "D:\\", "MYDISC"), 11);
    EXPECT_STREQ(caption, "D: [MYDISC]");
    FormatDriveCaption(caption, sizeof caption, "F:\\", nullptr);
    EXPECT_STREQ(caption, "F: [No or Invalid Disc]");
    FormatDriveCaption(caption, sizeof caption, "E:\\", "");
    EXPECT_STREQ(caption, "E: []");

    // A label buffer filled to the end without a terminator is read no further.
    std::vector<char> label(kVolumeLabelSize, 'L');
    EXPECT_EQ(FormatDriveCaption(caption, sizeof caption, "G:\\", label.data()), 4 + kVolumeLabelSize + 1);

    // Cut to the caller's buffer.
    char small[6];
    EXPECT_EQ(FormatDriveCaption(small, sizeof small, "D:\\", "MYDISC"), 0);
    EXPECT_STREQ(small, "D: [M");
}

TEST(DriveCaption, NameAndDevicePath)
{
    char name[kDriveNameSize];
    char path[kDevicePathSize];
    struct Case {
        const char* caption;
        const char* name;
        const char* path;
    } cases[] = {
        {"D: [MYDISC]", "D:", "\\\\.\\D:"},
        {"F: [No or Invalid Disc]", "F:", "\\\\.\\F:"},
        {"Z:", "Z:", "\\\\.\\Z:"},
    };
    for (const Case& c : cases) {
        DriveNameFromCaption(name, sizeof name, c.caption);
        EXPECT_STREQ(name, c.name);
        EXPECT_EQ(FormatDevicePath(path, sizeof path, name), (int)strlen(c.path));
        EXPECT_STREQ(path, c.path);
    }
    EXPECT_EQ(FormatDevicePathForLetter(path, sizeof path, 'D'), 6);
    EXPECT_STREQ(path, "\\\\.\\D:");

    char two[3];
    EXPECT_EQ(DriveNameFromCaption(two, sizeof two, "D: [X]"), 2);
    EXPECT_EQ(DriveNameFromCaption(two, 2, "D: [X]"), 0);
    EXPECT_STREQ(two, "D");
}

TEST(DriveHeader, LeadoutAndRuler)
{
    // The ruler's columns sit over the dump line's: 56 characters, two
    // trailing blanks.
    EXPECT_EQ(strlen(kColumnRuler), 56u);
    const std::string dump_line = " 0000 00 FF FF FF FF FF FF FF  FF FF FF 00 00 02 16 01       ";
    const std::string ruler = kColumnRuler;
    for (size_t i = 0; i < ruler.size(); i++) {
        if (ruler[i] == '+') {
            EXPECT_NE(dump_line[i], ' ') << "column " << i;
        }
    }

    char header[kDriveHeaderSize];
    int n = FormatDriveHeader(header, sizeof header, "D:", 1000);
    std::string expect = std::string("Drive[D:]  Leadout : 00:15:25 (LBN:1000)\n ") + kColumnRuler;
    EXPECT_STREQ(header, expect.c_str());
    EXPECT_EQ(n, (int)expect.size());

    FormatDriveHeader(header, sizeof header, "F:", 333000);
    EXPECT_EQ(std::string(header).substr(0, 42), "Drive[F:]  Leadout : 74:02:00 (LBN:333000)");

    // READ CAPACITY of an empty or odd drive: last LBA -1 and INT32_MAX.
    EXPECT_EQ(LeadoutFromLastLba(999), 1000);
    EXPECT_EQ(LeadoutFromLastLba(-1), 0);
    EXPECT_EQ(LeadoutFromLastLba(INT32_MAX), INT32_MIN);
    FormatDriveHeader(header, sizeof header, "D:", 0);
    EXPECT_EQ(std::string(header).substr(0, 37), "Drive[D:]  Leadout : 00:02:00 (LBN:0)");
    EXPECT_GT(FormatDriveHeader(header, sizeof header, "D:", INT32_MAX), 0);

    char small[12];
    EXPECT_EQ(FormatDriveHeader(small, sizeof small, "D:", 1000), 0);
    EXPECT_STREQ(small, "Drive[D:]  ");
}

} // namespace
