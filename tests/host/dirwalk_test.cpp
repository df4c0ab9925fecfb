// Directory tree walk over images from the disc builder: exact lines, levels,
// sessions, multi-block directories, and hostile hierarchies and records.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bytes.h"
#include "discbuild.h"
#include "dirwalk.h"

namespace {

constexpr size_t kSyncSize = 12;  // a 2340-byte read leaves out the sync field

struct Image {
    BuiltDisc disc;
    std::vector<int32_t> reads;
    std::vector<std::string> lines;
    size_t capacity = SIZE_MAX;
};

bool MakeImage(const std::string& script, Image* image)
{
    DiscPlan plan;
    std::string error;
    bool ok = ParseDiscScript(script, std::string(), &plan, &error) && BuildDisc(plan, &image->disc, &error);
    EXPECT_TRUE(ok) << error << "\n" << script;
    return ok;
}

bool ReadImage(void* context, int32_t lbn, uint8_t* raw)
{
    Image* image = (Image*)context;
    image->reads.push_back(lbn);
    uint8_t full[kRawSectorSize];
    if (!ReadDiscSector(image->disc, lbn, full))
        return false;
    memcpy(raw, full + kSyncSize, kNoSyncSectorSize);
    return true;
}

bool AddLine(void* context, const char* line)
{
    Image* image = (Image*)context;
    if (image->lines.size() >= image->capacity)
        return false;
    image->lines.push_back(line);
    return true;
}

bool CountLine(void* context, const char*)
{
    ++*(size_t*)context;
    return true;
}

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

// The stored user data of a block, for patching a built image.
uint8_t* UserData(BuiltDisc& disc, int32_t lbn)
{
    for (BuiltTrack& t : disc.tracks) {
        int32_t first = t.start - (t.pregap_stored ? t.pregap : 0);
        if (lbn >= first && lbn < t.start + t.Length())
            return t.blocks[(size_t)(lbn - first)].data;
    }
    ADD_FAILURE() << "no block " << lbn;
    static uint8_t scratch[kRawSectorSize];
    return scratch;
}

// The directory record named id in the directory at path.
uint8_t* FindRecord(Image& image, const std::string& path, const std::string& id)
{
    const BuiltEntry* dir = FindDiscEntry(image.disc, path);
    for (uint32_t off = 0; dir != nullptr && off < dir->size; off += kIsoBlockSize) {
        uint8_t* block = UserData(image.disc, dir->extent + (int32_t)(off / kIsoBlockSize));
        for (size_t pos = 0; pos < kIsoBlockSize && block[pos] != 0; pos += block[pos])
            if (block[pos + 32] == id.size() && memcmp(block + pos + 33, id.data(), id.size()) == 0)
                return block + pos;
    }
    ADD_FAILURE() << "no record " << id << " in " << path;
    return UserData(image.disc, 0);
}

int32_t ExtentOf(Image& image, const std::string& path)
{
    const BuiltEntry* e = FindDiscEntry(image.disc, path);
    return e != nullptr ? e->extent : -1;
}

// Indentation and name of every line: the shape of the tree.
std::vector<std::string> Shape(const std::vector<std::string>& lines)
{
    std::vector<std::string> shape;
    for (const std::string& l : lines)
        shape.push_back(l.substr(0, l.find('\t')));
    return shape;
}

const char kDateScript[] = "date 1996-05-23 14:30:25\n";

std::string Line(Image& image, size_t indent, const std::string& name, const char* column, int length,
                 const std::string& path)
{
    char text[kTreeLineSize];
    snprintf(text, sizeof text, "%s\t%s %10d 1996-05-23 14:30:25\t%8d", name.c_str(), column, length,
             ExtentOf(image, path));
    return std::string(indent, ' ') + text;
}

TEST(Columns, FileFlagsXaAttributesAndDate)
{
    struct Case {
        uint8_t flags;
        int xa;  // -1: plain layout
        const char* text;
    } cases[] = {
        {0xFF, -1, "DMPRAH"}, {0x81, 0xFFFF, "dAI21x-r-x-r-x-r -M---H"},
    };
    for (const Case& c : cases) {
        char out[kXaAttributesTextSize];
        if (c.xa < 0)
            FormatFileFlags(c.flags, out, sizeof out);
        else
            FormatXaAttributes(c.flags, (uint16_t)c.xa, out, sizeof out);
        EXPECT_STREQ(c.text, out) << std::hex << (int)c.flags << " " << c.xa;
    }
    char date[kRecordDateTextSize];
    const uint8_t high[7] = {255, 255, 255, 255, 255, 255, 255};
    EXPECT_STREQ("2155-255-255 255:255:255", FormatRecordDate(high, date, sizeof date));
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
    // A name with a zero byte ends there.
    FormatTreeLine(line, sizeof line, 1, "AB\0CD", 5, "------", 1, "x", 2);
    EXPECT_STREQ(" AB\t------          1 x\t       2", line);

    // The extent is the number after the last tab.
    struct Case { const char* line; int32_t extent; } cases[] = {
        {"no tab  42abc", 0}, {"\t-99999999999999999999", INT32_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.extent, TreeLineExtent(c.line)) << c.line;
}

TEST(DirectoryTree, PlainDiscLinesExactly)
{
    Image image;
    ASSERT_TRUE(MakeImage(std::string(kDateScript) +
                              "file /README.TXT size=1234\ndir /SUB\nfile /SUB/A.C size=7\n"
                              "file /HIDDEN.DAT size=5 hidden\n",
                          &image));
    FindRecord(image, "/", "HIDDEN.DAT;1")[25] = 0x81;  // hidden, multi-extent
    EXPECT_EQ(kTreeListed, Walk(image, kMaxTreeLevel));
    std::vector<std::string> expected = {
        Line(image, 0, "\\", "D-----", 2048, "/"),
        Line(image, 1, "HIDDEN.DAT;1", "-M---H", 5, "/HIDDEN.DAT"),
        Line(image, 1, "README.TXT;1", "------", 1234, "/README.TXT"),
        Line(image, 1, "SUB", "D-----", 2048, "/SUB"),
        Line(image, 2, "A.C;1", "------", 7, "/SUB/A.C"),
    };
    EXPECT_EQ(expected, image.lines);
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
        for (const std::string& l : image.lines)
            deepest = std::max(deepest, l.find_first_not_of(' '));
        EXPECT_EQ(c.second, deepest) << "level " << c.first;
        EXPECT_EQ(2 * c.second, image.lines.size()) << "level " << c.first;
    }
}

TEST(DirectoryTree, BadRootGivesOneLineNamingTheExtent)
{
    struct Case {
        const char* script;
        int32_t extent;  // INT32_MIN: the disc's lead-out + 100
    } cases[] = {
        {"file /X.TXT size=1\nhostile root-zero\n", 0},
        {"file /X.TXT size=1\nhostile bad-root\n", INT32_MIN},
        {"audio seconds=1\n", 0},   // block 16 of silence reads as zeros
    };
    for (const Case& c : cases) {
        Image image;
        ASSERT_TRUE(MakeImage(c.script, &image));
        EXPECT_EQ(kTreeBadRoot, Walk(image, kMaxTreeLevel));
        ASSERT_EQ(1u, image.lines.size()) << c.script;
        int32_t extent = c.extent != INT32_MIN ? c.extent : image.disc.session_leadout.back() + 100;
        char line[kTreeLineSize];
        snprintf(line, sizeof line, "Bad Root location \t%8d", extent);
        EXPECT_EQ(line, image.lines[0]);
        EXPECT_EQ(1u, image.reads.size());
    }

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
        {"no files", "track mode1\n", SIZE_MAX, {"\\"}},
        {"unreadable subdirectory skips only its contents",
         "dir /GONE\nfile /GONE/LOST.TXT size=1\nfile /OK/IN.TXT size=1\nfile /Z.TXT size=1\n"
         "hostile dir-unreadable /GONE\n",
         SIZE_MAX, {"\\", " GONE", " OK", "  IN.TXT;1", " Z.TXT;1"}},
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
    Image image;
    ASSERT_TRUE(MakeImage("file /X.TXT size=1\n", &image));
    EXPECT_EQ(kTreeFull, Walk(image, kMaxTreeLevel, 0));
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
        for (int i = 0; i < kFan; ++i)
            script += "dir " + chain + "/" + name(level, i) + "\n";
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
    for (const std::string& l : image.lines)
        EXPECT_LT(l.size(), kTreeLineSize);
}

TEST(HostileDirectory, HugeLengthsAndExtentsStayBounded)
{
    // A directory near INT32_MAX would step past it; a negative length reads nothing.
    const std::pair<uint32_t, uint32_t> cases[] = {{0x7FFFFFFEu, 0x7FFFFFFFu}, {0, 0xFFFFF800u}};
    for (const auto& c : cases) {
        Image image;
        ASSERT_TRUE(MakeImage("file /BIG/IN.TXT size=1\n", &image));
        uint8_t* rec = FindRecord(image, "/", "BIG");
        if (c.first != 0)
            put_be32(rec + 6, c.first);
        put_be32(rec + 14, c.second);
        Walk(image, kMaxTreeLevel);
        EXPECT_LE(image.reads.size(), 3u);
        ASSERT_GE(image.lines.size(), 2u);
        EXPECT_EQ(" BIG", Shape(image.lines)[1]);
    }
}

TEST(HostileDirectory, ReadsPerBuildAreBounded)
{
    // A drive that answers every block with zeros and a root of 2 GB: the
    // walk stops at its read budget instead of reading a million blocks.
    static uint8_t vd[kIsoBlockSize];
    vd[0] = 1;
    put_be32(vd + 162, 20);
    put_be32(vd + 170, 0x7FFFFFFFu);
    BlockReader read = [](void*, int32_t lbn, uint8_t* raw) {
        memset(raw, 0, kNoSyncSectorSize);
        raw[3] = 1;
        if (lbn == 16)
            memcpy(raw + 4, vd, kIsoBlockSize);
        return true;
    };
    size_t count = 0;
    DirWalk walk = MakeDirWalk(read, nullptr, CountLine, &count);
    EXPECT_EQ(kTreeListed, BuildDirectoryTree(&walk, 0, INT32_MAX, kMaxTreeLevel));
    EXPECT_EQ(kMaxTreeReads, walk.nReads);
    EXPECT_EQ(1u, count);
}

}  // namespace
