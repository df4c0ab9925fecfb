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
#include "iso9660/dirwalk.h"

namespace {

constexpr size_t kSyncSize = 12;  // a 2340-byte read leaves out the sync field

struct Image {
    Disc disc;
    std::vector<int32_t> reads;
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
    memcpy(raw, full + kSyncSize, kIsoReadBlockSize);
    return true;
}

struct Lines {
    std::vector<std::string> text;
    size_t capacity = SIZE_MAX;
};

bool AddToLines(void* context, const char* line)
{
    Lines* lines = (Lines*)context;
    if (lines->text.size() >= lines->capacity)
        return false;
    lines->text.push_back(line);
    return true;
}

bool CountLine(void* context, const char*)
{
    ++*(size_t*)context;
    return true;
}

struct Tree {
    std::vector<std::string> lines;
    TreeBuildResult result;
    uint32_t depthAfter;
};

// The walk as the tree window runs it: descriptor of the last session,
// lead-out of the disc.
Tree Walk(Image& image, uint32_t level, size_t capacity = SIZE_MAX)
{
    Lines lines;
    lines.capacity = capacity;
    image.reads.clear();
    DirWalk walk = MakeDirWalk(ReadImage, &image, AddToLines, &lines);
    Tree t;
    t.result = BuildDirectoryTree(&walk, image.disc.session_start.back(), image.disc.session_leadout.back(), level);
    t.lines = lines.text;
    t.depthAfter = walk.nTreeDepth;
    return t;
}

// The stored user data of a block, for patching a built image.
uint8_t* UserData(Disc& disc, int32_t lbn)
{
    for (DiscTrack& t : disc.tracks) {
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
    const DiscEntry* dir = FindDiscEntry(image.disc, path);
    if (dir == nullptr) {
        ADD_FAILURE() << "no directory " << path;
        return UserData(image.disc, 0);
    }
    for (uint32_t off = 0; off < dir->size; off += kIsoUserDataSize) {
        uint8_t* block = UserData(image.disc, dir->extent + (int32_t)(off / kIsoUserDataSize));
        for (size_t pos = 0; pos < kIsoUserDataSize && block[pos] != 0; pos += block[pos])
            if (block[pos + 32] == id.size() && memcmp(block + pos + 33, id.data(), id.size()) == 0)
                return block + pos;
    }
    ADD_FAILURE() << "no record " << id << " in " << path;
    return UserData(image.disc, 0);
}

int32_t ExtentOf(Image& image, const std::string& path)
{
    const DiscEntry* e = FindDiscEntry(image.disc, path);
    EXPECT_NE(nullptr, e) << path;
    return e != nullptr ? e->extent : -1;
}

size_t Indent(const std::string& line) { return line.find_first_not_of(' '); }

// Indentation and name of every line: the shape of the tree.
std::vector<std::string> Shape(const std::vector<std::string>& lines)
{
    std::vector<std::string> shape;
    for (const std::string& l : lines)
        shape.push_back(l.substr(0, l.find('\t')));
    return shape;
}

std::string Line(size_t indent, const std::string& name, const char* column, int length, const char* date,
                 int extent)
{
    char text[kTreeLineSize];
    snprintf(text, sizeof text, "%s\t%s %10d %s\t%8d", name.c_str(), column, length, date, extent);
    return std::string(indent, ' ') + text;
}

const char kDateScript[] = "date 1996-05-23 14:30:25\n";
const char kDateText[] = "1996-05-23 14:30:25";

// ---- Columns and line parts ---------------------------------------------------

TEST(Columns, FileFlagsAndXaAttributes)
{
    struct Case {
        uint8_t flags;
        int xa;  // -1: plain layout
        const char* text;
    } cases[] = {
        {0x00, -1, "------"},
        {0x81, -1, "-M---H"},
        {0xFF, -1, "DMPRAH"},
        {0x60, -1, "------"},  // reserved bits show nothing
        {0x00, 0x0D55, "----1x-r-x-r-x-r ------"},
        {0x02, 0x0000, "---------------- D-----"},
        {0x81, 0xFFFF, "dAI21x-r-x-r-x-r -M---H"},
        {0x00, 0x02AA, "---------------- ------"},  // reserved odd bits
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

TEST(TreeLine, LongestLineKeepsTheExtentAfterTheLastTab)
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
}

TEST(TreeLine, ExtentIsTheNumberAfterTheLastTab)
{
    struct Case {
        const char* line;
        int32_t extent;
    } cases[] = {
        {" FILE;1\t------          1 1996-05-23 14:30:25\t      23", 23},
        {"Bad Root location \t       0", 0},
        {"Bad Root location \t      -7", -7},
        {"\t+15x", 15},
        {"no tab  42abc", 0},
        {"   42", 42},
        {"a\tb\t", 0},
        {"\t99999999999999999999", INT32_MAX},
        {"\t-99999999999999999999", INT32_MIN},
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.extent, TreeLineExtent(c.line)) << c.line;
}

// ---- Lines of built images ----------------------------------------------------

TEST(DirectoryTree, PlainDiscLinesExactly)
{
    Image image;
    ASSERT_TRUE(MakeImage(std::string(kDateScript) +
                              "file /README.TXT size=1234\n"
                              "dir /SUB\n"
                              "file /SUB/A.C size=7\n"
                              "file /HIDDEN.DAT size=5 hidden\n",
                          &image));
    FindRecord(image, "/", "HIDDEN.DAT;1")[25] = 0x81;  // hidden, multi-extent
    Tree t = Walk(image, kMaxTreeLevel);
    EXPECT_EQ(kTreeListed, t.result);
    std::vector<std::string> expected = {
        Line(0, "\\", "D-----", 2048, kDateText, ExtentOf(image, "/")),
        Line(1, "HIDDEN.DAT;1", "-M---H", 5, kDateText, ExtentOf(image, "/HIDDEN.DAT")),
        Line(1, "README.TXT;1", "------", 1234, kDateText, ExtentOf(image, "/README.TXT")),
        Line(1, "SUB", "D-----", 2048, kDateText, ExtentOf(image, "/SUB")),
        Line(2, "A.C;1", "------", 7, kDateText, ExtentOf(image, "/SUB/A.C")),
    };
    EXPECT_EQ(expected, t.lines);
    EXPECT_EQ(0u, t.depthAfter);
    EXPECT_EQ(16, image.reads.front());
}

TEST(DirectoryTree, XaDiscMixesXaAndPlainColumns)
{
    Image image;
    ASSERT_TRUE(MakeImage(std::string(kDateScript) +
                              "track mode2\n"
                              "file /DATA.BIN size=3000\n"
                              "file /MOVIE.DAT size=4648 form2\n"
                              "file /PLAIN.TXT size=10\n",
                          &image));
    // A record whose system use area lacks the "XA" signature keeps the plain column.
    uint8_t* plain = FindRecord(image, "/", "PLAIN.TXT;1");
    plain[plain[0] - 14 + 6] = 0;
    Tree t = Walk(image, kMaxTreeLevel);
    ASSERT_EQ(4u, t.lines.size());
    EXPECT_EQ(Line(0, "\\", "---------------- D-----", 2048, kDateText, ExtentOf(image, "/")), t.lines[0]);
    EXPECT_EQ(Line(1, "DATA.BIN;1", "----1x-r-x-r-x-r ------", 3000, kDateText, ExtentOf(image, "/DATA.BIN")),
              t.lines[1]);
    EXPECT_NE(std::string::npos, t.lines[2].find("\t---2-x-r-x-r-x-r ------ "));
    EXPECT_EQ(Line(1, "PLAIN.TXT;1", "------", 10, kDateText, ExtentOf(image, "/PLAIN.TXT")), t.lines[3]);
}

TEST(DirectoryTree, LastSessionAndSingleRootLine)
{
    Image two;
    ASSERT_TRUE(MakeImage("file /OLD.TXT size=1\nsession\ntrack mode1\nfile /NEW.TXT size=1\n", &two));
    ASSERT_EQ(2u, two.disc.session_start.size());
    Tree t = Walk(two, kMaxTreeLevel);
    EXPECT_EQ(two.disc.session_start[1] + 16, two.reads.front());
    EXPECT_EQ((std::vector<std::string>{"\\", " NEW.TXT;1", " OLD.TXT;1"}), Shape(t.lines));
    EXPECT_EQ(ExtentOf(two, "/"), TreeLineExtent(t.lines[0].c_str()));

    Image empty;
    ASSERT_TRUE(MakeImage("track mode1\n", &empty));
    EXPECT_EQ(std::vector<std::string>{"\\"}, Shape(Walk(empty, kMaxTreeLevel).lines));
}

TEST(DirectoryTree, ThreeBlockDirectoryReadBlockByBlockInOrder)
{
    Image image;
    ASSERT_TRUE(MakeImage("file /BIG/F.DAT count=120\nfile /Z.TXT size=1\n", &image));
    const DiscEntry* big = FindDiscEntry(image.disc, "/BIG");
    ASSERT_NE(nullptr, big);
    ASSERT_EQ(3 * kIsoUserDataSize, big->size);
    Tree t = Walk(image, kMaxTreeLevel);
    ASSERT_EQ(1u + 1u + 120u + 1u, t.lines.size());
    auto at = std::find(image.reads.begin(), image.reads.end(), big->extent);
    ASSERT_NE(image.reads.end(), at);
    ASSERT_LE(3, image.reads.end() - at);
    EXPECT_EQ((std::vector<int32_t>{big->extent, big->extent + 1, big->extent + 2}),
              std::vector<int32_t>(at, at + 3));
    for (int i = 0; i < 120; ++i) {
        char name[32];
        snprintf(name, sizeof name, "  F%04d.DAT;1", i + 1);
        EXPECT_EQ(name, Shape(t.lines)[2 + (size_t)i]);
    }
    EXPECT_EQ(" Z.TXT;1", Shape(t.lines).back());
}

TEST(DirectoryTree, LevelBoundsTheDepthListed)
{
    // /L1/L2/.../L10, each directory also holding one file.
    std::string script, path;
    for (int d = 1; d <= 10; ++d) {
        path += "/L" + std::to_string(d);
        script += "file " + path + "/F.TXT size=1\n";  // the root holds L1 alone
    }
    Image image;
    ASSERT_TRUE(MakeImage(script, &image));
    struct Case {
        uint32_t level;
        size_t deepest;
    } cases[] = {
        {0, 1}, {1, 1}, {2, 2}, {3, 3}, {8, 8},
        {9, 8}, {0xFFFFFFFFu, 8},  // hand-edited settings stop at 8
    };
    for (const Case& c : cases) {
        Tree t = Walk(image, c.level);
        size_t deepest = 0;
        for (const std::string& l : t.lines)
            deepest = std::max(deepest, Indent(l));
        EXPECT_EQ(c.deepest, deepest) << "level " << c.level;
        EXPECT_EQ(2 * c.deepest, t.lines.size()) << "level " << c.level;
        EXPECT_EQ(0u, t.depthAfter);
    }
}

// ---- Failures -----------------------------------------------------------------

TEST(DirectoryTree, BadRootGivesOneLineNamingTheExtent)
{
    struct Case {
        const char* script;
        int32_t extent;  // -1: the lead-out + 100 of the volume
    } cases[] = {
        {"file /X.TXT size=1\nhostile root-zero\n", 0},
        {"file /X.TXT size=1\nhostile bad-root\n", -1},
        {"audio seconds=1\n", 0},  // block 16 of silence reads as zeros
    };
    for (const Case& c : cases) {
        Image image;
        ASSERT_TRUE(MakeImage(c.script, &image));
        Tree t = Walk(image, kMaxTreeLevel);
        ASSERT_EQ(1u, t.lines.size()) << c.script;
        EXPECT_EQ(kTreeBadRoot, t.result);
        EXPECT_EQ(0u, t.lines[0].rfind("Bad Root location \t", 0)) << t.lines[0];
        if (c.extent >= 0)
            EXPECT_EQ(c.extent, TreeLineExtent(t.lines[0].c_str()));
        else
            EXPECT_GE(TreeLineExtent(t.lines[0].c_str()), image.disc.session_leadout.back());
        EXPECT_EQ(1u, image.reads.size());
    }
    // A negative extent (big-endian field above 2^31) is no root either.
    Image image;
    ASSERT_TRUE(MakeImage("file /X.TXT size=1\n", &image));
    put_be32(UserData(image.disc, 16) + 162, 0xFFFFFFF9u);
    EXPECT_EQ(std::vector<std::string>{"Bad Root location \t      -7"}, Walk(image, 8).lines);
}

TEST(DirectoryTree, UnreadableDescriptorLeavesTheListEmpty)
{
    Image image;
    ASSERT_TRUE(MakeImage("file /X.TXT size=1\n", &image));
    Lines lines;
    DirWalk walk = MakeDirWalk(ReadImage, &image, AddToLines, &lines);
    EXPECT_EQ(kTreeNoDescriptor, BuildDirectoryTree(&walk, 100000, 200000, kMaxTreeLevel));
    EXPECT_EQ(kTreeNoDescriptor, BuildDirectoryTree(&walk, INT32_MAX, INT32_MAX, kMaxTreeLevel));
    EXPECT_TRUE(lines.text.empty());
}

TEST(DirectoryTree, UnreadableSubdirectorySkipsOnlyItsContents)
{
    Image image;
    ASSERT_TRUE(MakeImage("dir /GONE\nfile /GONE/LOST.TXT size=1\nfile /OK/IN.TXT size=1\n"
                          "file /Z.TXT size=1\nhostile dir-unreadable /GONE\n",
                          &image));
    for (int pass = 0; pass < 2; ++pass) {  // repeated builds give the same lines
        Tree t = Walk(image, kMaxTreeLevel);
        EXPECT_EQ((std::vector<std::string>{"\\", " GONE", " OK", "  IN.TXT;1", " Z.TXT;1"}), Shape(t.lines));
        EXPECT_EQ(0u, t.depthAfter);
    }
}

TEST(DirectoryTree, FullSinkStopsTheCurrentDirectoryParentGoesOn)
{
    Image image;
    ASSERT_TRUE(MakeImage("file /SUB/A.TXT size=1\nfile /SUB/B.TXT size=1\nfile /Z.TXT size=1\n", &image));
    // Room for the root line, SUB and A: B is refused, Z too.
    Tree t = Walk(image, kMaxTreeLevel, 3);
    EXPECT_EQ((std::vector<std::string>{"\\", " SUB", "  A.TXT;1"}), Shape(t.lines));
    EXPECT_EQ(0u, t.depthAfter);
    EXPECT_EQ(kTreeFull, Walk(image, kMaxTreeLevel, 0).result);
}

// ---- Hostile hierarchies and records ------------------------------------------

TEST(HostileDirectory, LoopBackToAnAncestorEndsWhateverTheLevel)
{
    Image image;
    ASSERT_TRUE(MakeImage("dir /LOOP\nfile /SUB/DEEPER/X.TXT size=1\nfile /SUB/F.TXT size=1\n"
                          "hostile dir-loop /LOOP\nhostile dir-loop /SUB/DEEPER\n",
                          &image));
    for (uint32_t level : {8u, 9u, 1000u, 0xFFFFFFFFu}) {
        Tree t = Walk(image, level);
        EXPECT_EQ((std::vector<std::string>{"\\", " LOOP", " SUB", "  DEEPER", "  F.TXT;1"}), Shape(t.lines))
            << level;
        EXPECT_EQ(0u, t.depthAfter);
    }
}

TEST(HostileDirectory, FanOutOfSharedExtentsIsCapped)
{
    // Eight levels of 60 directories; every record of a level is then pointed
    // at the first directory of that level: 60^8 lines unless capped.
    const int kFan = 60;
    std::string script, chain;
    std::vector<std::string> parents;
    for (int level = 0; level < 8; ++level) {
        parents.push_back(chain.empty() ? "/" : chain);
        for (int i = 0; i < kFan; ++i) {
            char name[8];
            snprintf(name, sizeof name, "%c%02d", 'A' + level, i);
            script += "dir " + chain + "/" + name + "\n";
        }
        char first[8];
        snprintf(first, sizeof first, "/%c00", 'A' + level);
        chain += first;
    }
    Image image;
    ASSERT_TRUE(MakeImage(script, &image));
    for (int level = 0; level < 8; ++level) {
        char first[8];
        snprintf(first, sizeof first, "%c00", 'A' + level);
        const uint8_t* shared = FindRecord(image, parents[(size_t)level], first);
        for (int i = 1; i < kFan; ++i) {
            char name[8];
            snprintf(name, sizeof name, "%c%02d", 'A' + level, i);
            memcpy(FindRecord(image, parents[(size_t)level], name) + 2, shared + 2, 16);  // extent, length
        }
    }
    size_t count = 0;
    DirWalk walk = MakeDirWalk(ReadImage, &image, CountLine,
                               &count);
    auto start = std::chrono::steady_clock::now();
    BuildDirectoryTree(&walk, 0, image.disc.session_leadout.back(), kMaxTreeLevel);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(kMaxTreeLines, count);
    EXPECT_LE(walk.nReads, kMaxTreeReads);
    EXPECT_EQ(0u, walk.nTreeDepth);
    EXPECT_LT(seconds, 60.0);
}

TEST(HostileDirectory, OverrunningRecordsAreCutOrSkippedWithinTheBlock)
{
    Image image;
    ASSERT_TRUE(MakeImage("track mode2\nfile /D/A.TXT size=1\nfile /D/B.TXT size=1\n"
                          "hostile name-overrun /D/A.TXT\nhostile record-overrun /D\n",
                          &image));
    Tree t = Walk(image, kMaxTreeLevel);
    // A's identifier length runs 40 bytes past its record: the name is cut at
    // the record's end (its XA area shows as name bytes) and the walk goes on
    // with B; the record that runs past the block's end is not listed.
    ASSERT_EQ(4u, t.lines.size());
    EXPECT_EQ(0u, t.lines[2].rfind("  A.TXT;1", 0)) << t.lines[2];
    EXPECT_EQ("  B.TXT;1", Shape(t.lines)[3]);
    for (const std::string& l : t.lines)
        EXPECT_LT(l.size(), kTreeLineSize);
}

TEST(HostileDirectory, HugeLengthsAndExtentsStayBounded)
{
    struct Case {
        uint32_t extent;  // 0: keep
        uint32_t length;
        size_t maxReads;
    } cases[] = {
        {0x7FFFFFFEu, 0x7FFFFFFFu, 3},  // would step past INT32_MAX
        {0, 0xFFFFF800u, 2},            // negative: nothing to read
        {0, 0x7FFFFFFFu, 400},          // reads until the first unreadable block
    };
    for (const Case& c : cases) {
        Image image;
        ASSERT_TRUE(MakeImage("file /BIG/IN.TXT size=1\n", &image));
        uint8_t* rec = FindRecord(image, "/", "BIG");
        if (c.extent != 0)
            put_be32(rec + 6, c.extent);
        put_be32(rec + 14, c.length);
        Tree t = Walk(image, kMaxTreeLevel);
        EXPECT_LE(image.reads.size(), c.maxReads);
        for (int32_t r : image.reads)
            EXPECT_GE(r, 0);
        EXPECT_EQ(0u, t.depthAfter);
        EXPECT_EQ(" BIG", Shape(t.lines)[1]);
    }
}

TEST(HostileDirectory, ReadsPerBuildAreBounded)
{
    // A drive that answers every block with zeros and a root of 2 GB: the
    // walk stops at its read budget instead of reading a million blocks.
    struct Zeros {
        uint8_t vd[kIsoUserDataSize];
    } zeros = {};
    zeros.vd[0] = 1;
    put_be32(zeros.vd + 162, 20);
    put_be32(zeros.vd + 170, 0x7FFFFFFFu);
    BlockReader read = [](void* c, int32_t lbn, uint8_t* raw) {
        memset(raw, 0, kIsoReadBlockSize);
        raw[3] = 1;
        if (lbn == 16)
            memcpy(raw + 4, ((Zeros*)c)->vd, kIsoUserDataSize);
        return true;
    };
    size_t count = 0;
    DirWalk walk = MakeDirWalk(read, &zeros, CountLine, &count);
    EXPECT_EQ(kTreeListed, BuildDirectoryTree(&walk, 0, INT32_MAX, kMaxTreeLevel));
    EXPECT_EQ(kMaxTreeReads, walk.nReads);
    EXPECT_EQ(1u, count);
}

}  // namespace
