// Directory tree walk over images from the disc builder: exact lines, levels,
// sessions, multi-block directories, and hostile hierarchies and records.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "dirwalk.h"
#include "external_tools.h"

namespace {

constexpr size_t kSyncSize = 12;  // a 2340-byte read leaves out the sync field

// A built disc, the blocks the walk read, the lines it gave and how many the list takes.
struct Image {
    BuiltDisc disc;
    std::vector<int32_t> reads;
    std::vector<std::string> lines;
    size_t capacity = SIZE_MAX;
};

bool MakeImage(const std::string& script, Image* image) { return BuildScriptDisc(script, &image->disc); }

bool ReadImage(void* context, int32_t lbn, uint8_t* raw)
{
    Image* image = (Image*)context;
    uint8_t full[kRawSectorSize];
    image->reads.push_back(lbn);
    if (!ReadDiscSector(image->disc, lbn, full)) return false;
    memcpy(raw, full + kSyncSize, kNoSyncSectorSize);
    return true;
}

bool AddLine(void* context, const char* line)
{
    Image* image = (Image*)context;
    bool room = image->lines.size() < image->capacity;
    if (room) image->lines.push_back(line);
    return room;
}

bool CountLine(void* context, const char*) { return ++*(size_t*)context != 0; }

// The walk as the tree window runs it: descriptor of the last session,
// lead-out of the disc. Every walk ends back at depth 0.
TreeBuildResult Walk(Image& image, uint32_t level, size_t capacity = SIZE_MAX)
{
    image.lines.clear();
    image.reads.clear();
    image.capacity = capacity;
    DirWalk walk = MakeDirWalk(ReadImage, &image, AddLine, &image);
    TreeBuildResult result =
        BuildDirectoryTree(&walk, image.disc.session_start.back(), image.disc.session_leadout.back(), level);
    EXPECT_EQ(0u, walk.nTreeDepth) << "level " << level;
    return result;
}

// The directory record named id in the directory at path.
uint8_t* FindRecord(Image& image, const std::string& path, const std::string& id)
{
    const BuiltEntry* dir = FindDiscEntry(image.disc, path);
    for (uint32_t off = 0; dir != nullptr && off < dir->size; off += kIsoBlockSize) {
        uint8_t* block = StoredUserData(image.disc, dir->extent + (int32_t)(off / kIsoBlockSize));
        for (size_t pos = 0; pos < kIsoBlockSize && block[pos] != 0; pos += block[pos])
            if (block[pos + 32] == id.size() && memcmp(block + pos + 33, id.data(), id.size()) == 0)
                return block + pos;
    }
    ADD_FAILURE() << "no record " << id << " in " << path;
    return StoredUserData(image.disc, 0);
}

// Indentation and name of every line: the shape of the tree.
std::vector<std::string> Shape(const std::vector<std::string>& lines)
{
    std::vector<std::string> shape;
    for (const std::string& l : lines) shape.push_back(l.substr(0, l.find('\t')));
    return shape;
}

TEST(TreeLine, LongestLineKeepsTheExtentWhichIsTheNumberAfterTheLastTab)
{
    std::string name(255, 'N');
    char line[kTreeLineSize];
    FormatTreeLine(line, sizeof line, kMaxTreeLevel, name.data(), name.size(), "dAI21x-r-x-r-x-r -M---H",
                   INT32_MIN, "2155-255-255 255:255:255", INT32_MAX);
    EXPECT_EQ(kTreeLineSize - 1, strlen(line));
    EXPECT_EQ(INT32_MAX, TreeLineExtent(line));
    EXPECT_EQ(std::string(8, ' ') + "NNN", std::string(line, 11));
    EXPECT_EQ(INT32_MIN, TreeLineExtent("\t-99999999999999999999"));
}

TEST(DirectoryTree, PlainDiscLinesExactly)
{
    Image image;
    ASSERT_TRUE(MakeImage("date 1996-05-23 14:30:25\nfile /README.TXT size=1234\ndir /SUB\nfile /SUB/A.C size=7\n"
                              "file /HIDDEN.DAT size=5 hidden\n",
                          &image));
    FindRecord(image, "/", "HIDDEN.DAT;1")[25] = 0x81;  // hidden, multi-extent
    EXPECT_EQ(kTreeListed, Walk(image, kMaxTreeLevel));
    char line[kTreeLineSize];
    snprintf(line, sizeof line, " HIDDEN.DAT;1\t-M---H          5 1996-05-23 14:30:25\t%8d",
             FindDiscEntry(image.disc, "/HIDDEN.DAT")->extent);
    EXPECT_EQ(line, image.lines[1]);
    EXPECT_EQ((std::vector<std::string>{"\\", " HIDDEN.DAT;1", " README.TXT;1", " SUB", "  A.C;1"}), Shape(image.lines));
    EXPECT_EQ(16, image.reads.front());
}

TEST(DirectoryTree, LevelBoundsTheDepthListed)
{
    // /L1/L2/.../L10, each directory also holding one file; the root holds L1 alone.
    std::string script, path;
    for (int d = 1; d <= 10; ++d) {
        path += "/L" + std::to_string(d);
        script += "file " + path + "/F.TXT size=1\n";
    }
    Image image;
    ASSERT_TRUE(MakeImage(script, &image));
    // Hand-edited settings above 8 stop at 8.
    const std::pair<uint32_t, size_t> cases[] = {{0, 1}, {9, 8}, {0xFFFFFFFFu, 8}};
    for (const auto& c : cases) {
        Walk(image, c.first);
        size_t deepest = 0;
        for (const std::string& l : image.lines) deepest = std::max(deepest, l.find_first_not_of(' '));
        EXPECT_EQ(c.second, deepest) << "level " << c.first;
        EXPECT_EQ(2 * c.second, image.lines.size()) << "level " << c.first;
    }
}

TEST(DirectoryTree, BadRootGivesOneLineNamingTheExtent)
{
    Image bad;
    ASSERT_TRUE(MakeImage("file /X.TXT size=1\nhostile bad-root\n", &bad));
    EXPECT_EQ(kTreeBadRoot, Walk(bad, kMaxTreeLevel));
    char line[kTreeLineSize];
    snprintf(line, sizeof line, "Bad Root location \t%8d", bad.disc.session_leadout.back() + 100);
    EXPECT_EQ(std::vector<std::string>{line}, bad.lines);

    // An unreadable descriptor leaves the list empty.
    Image image;
    ASSERT_TRUE(MakeImage("file /X.TXT size=1\n", &image));
    DirWalk walk = MakeDirWalk(ReadImage, &image, AddLine, &image);
    EXPECT_EQ(kTreeNoDescriptor, BuildDirectoryTree(&walk, INT32_MAX, INT32_MAX, kMaxTreeLevel));
    EXPECT_TRUE(image.lines.empty());
}

TEST(DirectoryTree, ShapeOfSessionsAndDamagedOrRefusedListings)
{
    struct Case { const char* name; const char* script; size_t capacity; std::vector<std::string> shape; } cases[] = {
        {"last session", "file /OLD.TXT size=1\nsession\ntrack mode1\nfile /NEW.TXT size=1\n", SIZE_MAX,
         {"\\", " NEW.TXT;1", " OLD.TXT;1"}},
        // Room for the root line, SUB and A: B is refused, Z too.
        {"full sink", "file /SUB/A.TXT size=1\nfile /SUB/B.TXT size=1\nfile /Z.TXT size=1\n", 3,
         {"\\", " SUB", "  A.TXT;1"}},
        {"loop back to an ancestor",
         "dir /LOOP\nfile /SUB/DEEPER/X.TXT size=1\nfile /SUB/F.TXT size=1\n"
         "hostile dir-loop /LOOP\nhostile dir-loop /SUB/DEEPER\n",
         SIZE_MAX, {"\\", " LOOP", " SUB", "  DEEPER", "  F.TXT;1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image image;
        ASSERT_TRUE(MakeImage(c.script, &image));
        Walk(image, kMaxTreeLevel, c.capacity);
        EXPECT_EQ(c.shape, Shape(image.lines));
        EXPECT_EQ(image.disc.session_start.back() + 16, image.reads.front());   // the last session's
    }
}

TEST(HostileDirectory, FanOutOfSharedExtentsIsCapped)
{
    // Eight levels of 60 directories, every record of a level then pointed
    // at the first directory of that level: 60^8 lines unless capped.
    const int kFan = 60;
    auto name = [](int level, int i) {
        char text[8];
        snprintf(text, sizeof text, "%c%02d", 'A' + level, i);
        return std::string(text);
    };
    std::string script, chain;
    std::vector<std::string> parents;
    for (int level = 0; level < 8; ++level) {
        parents.push_back(chain.empty() ? "/" : chain);
        for (int i = 0; i < kFan; ++i) script += "dir " + chain + "/" + name(level, i) + "\n";
        chain += "/" + name(level, 0);
    }
    Image image;
    ASSERT_TRUE(MakeImage(script, &image));
    for (int level = 0; level < 8; ++level) {
        const uint8_t* shared = FindRecord(image, parents[(size_t)level], name(level, 0));
        for (int i = 1; i < kFan; ++i)  // extent and data length
            memcpy(FindRecord(image, parents[(size_t)level], name(level, i)) + 2, shared + 2, 16);
    }
    size_t count = 0;
    DirWalk walk = MakeDirWalk(ReadImage, &image, CountLine, &count);
    auto start = std::chrono::steady_clock::now();
    BuildDirectoryTree(&walk, 0, image.disc.session_leadout.back(), kMaxTreeLevel);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 60.0);
    EXPECT_EQ(kMaxTreeLines, count);
    EXPECT_LE(walk.nReads, kMaxTreeReads);
    EXPECT_EQ(0u, walk.nTreeDepth);
}

TEST(HostileDirectory, OverrunningRecordsAreCutOrSkippedWithinTheBlock)
{
    Image image;
    ASSERT_TRUE(MakeImage("track mode2\nfile /D/A.TXT size=1\nfile /D/B.TXT size=1\n"
                          "hostile name-overrun /D/A.TXT\nhostile record-overrun /D\n",
                          &image));
    Walk(image, kMaxTreeLevel);
    // A's identifier length runs 40 bytes past its record: the name is cut at
    // the record's end (its XA area shows as name bytes) and the walk goes on
    // with B; the record that runs past the block's end is not listed.
    ASSERT_EQ(4u, image.lines.size());
    EXPECT_EQ(0u, image.lines[2].rfind("  A.TXT;1", 0)) << image.lines[2];
    EXPECT_EQ("  B.TXT;1", Shape(image.lines)[3]);
    for (const std::string& l : image.lines) EXPECT_LT(l.size(), kTreeLineSize);
}

}  // namespace
