// Directory tree walk: exact lines from hand-built blocks, hostile records,
// and real images written by genisoimage compared with isoinfo -l.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bytes.h"
#include "iso9660/dirwalk.h"

namespace {

constexpr int32_t kLeadout = 1000;
const uint8_t kDate[7] = {96, 5, 23, 14, 30, 25, 36};  // 1996-05-23 14:30:25 +9:00

// ---- Block form -------------------------------------------------------------

// The 2340-byte block a drive returns: BCD address of lbn + 150, the mode,
// for mode 2 the form 1 subheader twice, then the user data.
void MakeBlock(uint8_t* raw, int32_t lbn, uint8_t mode, const uint8_t* user)
{
    memset(raw, 0, kIsoReadBlockSize);
    int32_t address = lbn + 150;
    raw[0] = to_bcd(address / 4500 % 100);
    raw[1] = to_bcd(address / 75 % 60);
    raw[2] = to_bcd(address % 75);
    raw[3] = mode;
    size_t at = 4;
    if (mode == 2) {
        static const uint8_t subheader[8] = {0, 0, 0x08, 0, 0, 0, 0x08, 0};
        memcpy(raw + 4, subheader, sizeof subheader);
        at = 12;
    }
    memcpy(raw + at, user, kIsoUserDataSize);
}

// ---- An in-memory disc ------------------------------------------------------

struct Disc {
    std::map<int32_t, std::vector<uint8_t>> blocks;  // user data by LBN
    uint8_t mode = 1;
    std::vector<int32_t> reads;

    std::vector<uint8_t>& Block(int32_t lbn)
    {
        std::vector<uint8_t>& b = blocks[lbn];
        b.resize(kIsoUserDataSize);
        return b;
    }
};

bool ReadDisc(void* context, int32_t lbn, uint8_t* raw)
{
    Disc* disc = (Disc*)context;
    disc->reads.push_back(lbn);
    auto it = disc->blocks.find(lbn);
    if (it == disc->blocks.end())
        return false;
    MakeBlock(raw, lbn, disc->mode, it->second.data());
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

// ---- Records and directories ------------------------------------------------

std::vector<uint8_t> XaSystemUse(uint16_t attributes)
{
    std::vector<uint8_t> su(14, 0);
    put_be16(&su[4], attributes);
    su[6] = 'X';
    su[7] = 'A';
    return su;
}

std::vector<uint8_t> Record(const std::string& name, int32_t extent, int32_t length, uint8_t flags,
                            const std::vector<uint8_t>& systemUse = {})
{
    size_t n = name.size();
    std::vector<uint8_t> r(33 + n + (n % 2 == 0 ? 1 : 0), 0);
    put_le32(&r[2], (uint32_t)extent);
    put_be32(&r[6], (uint32_t)extent);
    put_le32(&r[10], (uint32_t)length);
    put_be32(&r[14], (uint32_t)length);
    memcpy(&r[18], kDate, 7);
    r[25] = flags;
    put_le16(&r[28], 1);
    put_be16(&r[30], 1);
    r[32] = (uint8_t)n;
    memcpy(&r[33], name.data(), n);
    r.insert(r.end(), systemUse.begin(), systemUse.end());
    r[0] = (uint8_t)r.size();
    return r;
}

std::vector<uint8_t> DirRecord(const std::string& name, int32_t extent, int32_t length = 2048)
{
    return Record(name, extent, length, 0x02);
}

// Writes "." and ".." and the records from extent on, a record never
// crossing a block boundary; returns the data length.
int32_t PutDirectory(Disc& disc, int32_t extent, const std::vector<std::vector<uint8_t>>& records,
                     int32_t parent = 0)
{
    std::vector<std::vector<uint8_t>> all = {Record(std::string(1, '\0'), extent, 0, 0x02),
                                             Record(std::string(1, '\1'), parent, 0, 0x02)};
    all.insert(all.end(), records.begin(), records.end());
    int32_t lbn = extent;
    size_t pos = 0;
    disc.Block(lbn);
    for (const auto& r : all) {
        if (pos + r.size() > kIsoUserDataSize) {
            ++lbn;
            pos = 0;
        }
        memcpy(disc.Block(lbn).data() + pos, r.data(), r.size());
        pos += r.size();
    }
    int32_t length = (lbn - extent + 1) * (int32_t)kIsoUserDataSize;
    put_be32(&disc.Block(extent)[14], (uint32_t)length);
    return length;
}

void PutDescriptor(Disc& disc, int32_t rootExtent, int32_t rootLength, bool xa = false,
                   int32_t session = 0)
{
    std::vector<uint8_t>& vd = disc.Block(session + 16);
    memset(vd.data(), 0, vd.size());
    vd[0] = 1;
    memcpy(&vd[1], "CD001", 5);
    vd[6] = 1;
    std::vector<uint8_t> root = Record(std::string(1, '\0'), rootExtent, rootLength, 0x02);
    memcpy(&vd[156], root.data(), root.size());
    if (xa)
        memcpy(&vd[1024], "CD-XA001", 8);
}

struct Build {
    Lines lines;
    TreeBuildResult result;
    uint32_t depthAfter;
};

Build BuildTree(Disc& disc, uint32_t level, size_t capacity = SIZE_MAX, int32_t session = 0)
{
    Build b;
    b.lines.capacity = capacity;
    DirWalk walk = MakeDirWalk(ReadDisc, &disc, AddToLines, &b.lines);
    b.result = BuildDirectoryTree(&walk, session, kLeadout, level);
    b.depthAfter = walk.nTreeDepth;
    return b;
}

size_t Indent(const std::string& line) { return line.find_first_not_of(' '); }
std::string NameOf(const std::string& line)
{
    size_t i = Indent(line);
    return line.substr(i, line.find('\t') - i);
}
int32_t ExtentOf(const std::string& line) { return atoi(line.c_str() + line.rfind('\t') + 1); }

// ---- Columns ----------------------------------------------------------------

TEST(Columns, FileFlagsAndXaAttributes)
{
    struct Case {
        uint8_t flags;
        int xa;  // -1: plain layout
        const char* text;
    } cases[] = {
        {0x00, -1, "------"},
        {0x81, -1, "-M---H"},
        {0x02, -1, "D-----"},
        {0xFF, -1, "DMPRAH"},
        {0x60, -1, "------"},  // reserved bits show nothing
        {0x00, 0x0D55, "----1x-r-x-r-x-r ------"},
        {0x02, 0x0000, "---------------- D-----"},
        {0x02, 0x8D55, "d---1x-r-x-r-x-r D-----"},
        {0x81, 0xFFFF, "dAI21x-r-x-r-x-r -M---H"},
        {0x00, 0x02AA, "---------------- ------"},
    };
    for (const Case& c : cases) {
        char out[kXaAttributesTextSize];
        if (c.xa < 0)
            FormatFileFlags(c.flags, out, sizeof out);
        else
            FormatXaAttributes(c.flags, (uint16_t)c.xa, out, sizeof out);
        EXPECT_STREQ(c.text, out) << std::hex << (int)c.flags << " " << c.xa;
    }
}

TEST(Columns, RecordDateOfEveryByteValueFitsItsBuffer)
{
    char out[kRecordDateTextSize];
    EXPECT_STREQ("1996-05-23 14:30:25", FormatRecordDate(kDate, out, sizeof out));
    const uint8_t high[7] = {255, 255, 255, 255, 255, 255, 255};
    EXPECT_STREQ("2155-255-255 255:255:255", FormatRecordDate(high, out, sizeof out));
}

// ---- Exact lines ------------------------------------------------------------

TEST(DirectoryTree, PlainDiscLinesExactly)
{
    Disc disc;
    int32_t len = PutDirectory(disc, 20, {Record("README.TXT;1", 30, 1234, 0x00),
                                          DirRecord("SUB", 21),
                                          Record("HIDDEN.DAT;1", 31, -5, 0x81)});
    PutDirectory(disc, 21, {Record("A.C;1", 32, 7, 0)}, 20);
    PutDescriptor(disc, 20, len);
    Build b = BuildTree(disc, kMaxTreeLevel);
    EXPECT_EQ(kTreeListed, b.result);
    std::vector<std::string> expected = {
        "\\\tD-----       2048 1996-05-23 14:30:25\t      20",
        " README.TXT;1\t------       1234 1996-05-23 14:30:25\t      30",
        " SUB\tD-----       2048 1996-05-23 14:30:25\t      21",
        "  A.C;1\t------          7 1996-05-23 14:30:25\t      32",
        " HIDDEN.DAT;1\t-M---H         -5 1996-05-23 14:30:25\t      31",
    };
    EXPECT_EQ(expected, b.lines.text);
    EXPECT_EQ(0u, b.depthAfter);
}

TEST(DirectoryTree, XaDiscMixesXaAndPlainColumns)
{
    for (uint8_t mode : {1, 2}) {
        Disc disc;
        disc.mode = mode;
        int32_t len = PutDirectory(disc, 20, {Record("TRACK.XA;1", 40, 2048, 0x00, XaSystemUse(0x0D55)),
                                              Record("PLAIN.TXT;1", 41, 10, 0x00)});
        PutDescriptor(disc, 20, len, true);
        Build b = BuildTree(disc, kMaxTreeLevel);
        std::vector<std::string> expected = {
            "\\\t---------------- D-----       2048 1996-05-23 14:30:25\t      20",
            " TRACK.XA;1\t----1x-r-x-r-x-r ------       2048 1996-05-23 14:30:25\t      40",
            " PLAIN.TXT;1\t------         10 1996-05-23 14:30:25\t      41",
        };
        EXPECT_EQ(expected, b.lines.text) << "mode " << (int)mode;
    }
}

TEST(DirectoryTree, DescriptorOfTheLastSession)
{
    Disc disc;
    PutDescriptor(disc, 20, PutDirectory(disc, 20, {Record("OLD.TXT;1", 30, 1, 0)}));
    PutDescriptor(disc, 520, PutDirectory(disc, 520, {Record("NEW.TXT;1", 530, 1, 0)}), false, 500);
    Build b = BuildTree(disc, kMaxTreeLevel, SIZE_MAX, 500);
    ASSERT_EQ(2u, b.lines.text.size());
    EXPECT_EQ("NEW.TXT;1", NameOf(b.lines.text[1]));
    EXPECT_EQ(516, disc.reads.front());
}

TEST(DirectoryTree, RootWithOnlySelfAndParentGivesTheRootLineAlone)
{
    Disc disc;
    PutDescriptor(disc, 20, PutDirectory(disc, 20, {}));
    Build b = BuildTree(disc, kMaxTreeLevel);
    ASSERT_EQ(1u, b.lines.text.size());
    EXPECT_EQ("\\", NameOf(b.lines.text[0]));
}

TEST(DirectoryTree, ThreeBlockDirectoryReadBlockByBlock)
{
    Disc disc;
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < 120; ++i) {
        char name[16];
        snprintf(name, sizeof name, "FILE%03d.DAT;1", i);
        records.push_back(Record(name, 100 + i, i, 0));
    }
    int32_t len = PutDirectory(disc, 20, records);
    ASSERT_EQ(6144, len);
    PutDescriptor(disc, 20, len);
    Build b = BuildTree(disc, kMaxTreeLevel);
    EXPECT_EQ((std::vector<int32_t>{16, 20, 21, 22}), disc.reads);
    ASSERT_EQ(121u, b.lines.text.size());
    for (int i = 0; i < 120; ++i)
        EXPECT_EQ(100 + i, ExtentOf(b.lines.text[1 + i])) << i;
}

// Chain ROOT/L1/L2/.../L10, each directory also holding one file.
Disc DeepDisc()
{
    Disc disc;
    const int depth = 10;
    for (int d = depth; d >= 0; --d) {
        std::vector<std::vector<uint8_t>> recs = {Record("F" + std::to_string(d) + ".TXT;1", 500 + d, 1, 0)};
        if (d < depth)
            recs.insert(recs.begin(), DirRecord("L" + std::to_string(d + 1), 21 + d));
        int32_t len = PutDirectory(disc, 20 + d, recs, d == 0 ? 20 : 19 + d);
        if (d == 0)
            PutDescriptor(disc, 20, len);
    }
    return disc;
}

TEST(DirectoryTree, LevelBoundsTheDepthListed)
{
    struct Case {
        uint32_t level;
        size_t deepestIndent;
    } cases[] = {
        {0, 1},  {1, 1}, {2, 2}, {3, 3}, {7, 7}, {8, 8},
        {9, 8},  {1000, 8}, {0xFFFFFFFFu, 8},  // hand-edited settings stop at 8
    };
    for (const Case& c : cases) {
        Disc disc = DeepDisc();
        Build b = BuildTree(disc, c.level);
        size_t deepest = 0;
        for (const std::string& l : b.lines.text)
            deepest = std::max(deepest, Indent(l));
        EXPECT_EQ(c.deepestIndent, deepest) << "level " << c.level;
        // Every depth listed holds a directory line and a file line.
        EXPECT_EQ(1 + 2 * c.deepestIndent, b.lines.text.size()) << "level " << c.level;
        EXPECT_EQ(0u, b.depthAfter);
    }
}

TEST(DirectoryTree, BadRootGivesOneLine)
{
    struct Case {
        int32_t extent;
        const char* line;
    } cases[] = {
        {0, "Bad Root location \t       0"},
        {kLeadout, "Bad Root location \t    1000"},
        {-7, "Bad Root location \t      -7"},
        {0x7FFFFFFF, "Bad Root location \t2147483647"},
    };
    for (const Case& c : cases) {
        Disc disc;
        PutDirectory(disc, 20, {Record("X;1", 30, 1, 0)});
        PutDescriptor(disc, 20, 2048);
        put_be32(&disc.Block(16)[162], (uint32_t)c.extent);
        Build b = BuildTree(disc, kMaxTreeLevel);
        EXPECT_EQ(kTreeBadRoot, b.result);
        EXPECT_EQ(std::vector<std::string>{c.line}, b.lines.text);
        EXPECT_EQ((std::vector<int32_t>{16}), disc.reads);
    }
    // A zero-filled block 16, as on a disc that is not ISO 9660.
    Disc blank;
    blank.Block(16);
    EXPECT_EQ(std::vector<std::string>{"Bad Root location \t       0"}, BuildTree(blank, 8).lines.text);
}

TEST(DirectoryTree, UnreadableDescriptorLeavesTheListEmpty)
{
    Disc disc;
    Build b = BuildTree(disc, kMaxTreeLevel);
    EXPECT_EQ(kTreeNoDescriptor, b.result);
    EXPECT_TRUE(b.lines.text.empty());
}

TEST(DirectoryTree, UnreadableSubdirectorySkipsOnlyItsContents)
{
    Disc disc;
    int32_t len = PutDirectory(disc, 20, {DirRecord("GONE", 900), DirRecord("OK", 21),
                                          Record("LAST.TXT;1", 50, 1, 0)});
    PutDirectory(disc, 21, {Record("IN.TXT;1", 51, 1, 0)}, 20);
    PutDescriptor(disc, 20, len);
    for (int pass = 0; pass < 2; ++pass) {  // repeated builds give the same lines
        Build b = BuildTree(disc, kMaxTreeLevel);
        std::vector<std::pair<size_t, std::string>> got;
        for (const std::string& l : b.lines.text)
            got.push_back({Indent(l), NameOf(l)});
        std::vector<std::pair<size_t, std::string>> expected = {
            {0, "\\"}, {1, "GONE"}, {1, "OK"}, {2, "IN.TXT;1"}, {1, "LAST.TXT;1"},
        };
        EXPECT_EQ(expected, got);
        EXPECT_EQ(0u, b.depthAfter);
    }
}

TEST(DirectoryTree, FullSinkStopsTheCurrentDirectoryParentGoesOn)
{
    Disc disc;
    int32_t len = PutDirectory(disc, 20, {DirRecord("SUB", 21), Record("AFTER;1", 60, 1, 0)});
    PutDirectory(disc, 21, {Record("A;1", 61, 1, 0), Record("B;1", 62, 1, 0)}, 20);
    PutDescriptor(disc, 20, len);
    Build b = BuildTree(disc, kMaxTreeLevel, 3);
    EXPECT_EQ(3u, b.lines.text.size());
    EXPECT_EQ(0u, b.depthAfter);
    Build none = BuildTree(disc, kMaxTreeLevel, 0);
    EXPECT_EQ(kTreeFull, none.result);
}

// ---- Hostile records --------------------------------------------------------

TEST(HostileDirectory, LoopBackToAnAncestorEnds)
{
    Disc disc;
    // SUB's extent is the root's own; DEEPER leads back to SUB.
    int32_t len = PutDirectory(disc, 20, {DirRecord("LOOP", 20), DirRecord("SUB", 21),
                                          Record("F;1", 70, 1, 0)});
    PutDirectory(disc, 21, {DirRecord("DEEPER", 21), DirRecord("UP", 20)}, 20);
    PutDescriptor(disc, 20, len);
    Build b = BuildTree(disc, 0xFFFFFFFFu);
    std::vector<std::pair<size_t, std::string>> got;
    for (const std::string& l : b.lines.text)
        got.push_back({Indent(l), NameOf(l)});
    std::vector<std::pair<size_t, std::string>> expected = {
        {0, "\\"}, {1, "LOOP"}, {1, "SUB"}, {2, "DEEPER"}, {2, "UP"}, {1, "F;1"},
    };
    EXPECT_EQ(expected, got);
    EXPECT_EQ(0u, b.depthAfter);
}

TEST(HostileDirectory, FanOutOfSharedExtentsIsCapped)
{
    // Every level names the next one 60 times: 60^8 lines unless capped.
    Disc disc;
    for (int d = 0; d < 9; ++d) {
        std::vector<std::vector<uint8_t>> recs;
        for (int i = 0; i < 60; ++i)
            recs.push_back(DirRecord("D" + std::to_string(i), 21 + d));
        PutDirectory(disc, 20 + d, recs);
    }
    PutDescriptor(disc, 20, (int32_t)get_be32(&disc.Block(20)[14]));
    size_t count = 0;
    DirWalk walk = MakeDirWalk(ReadDisc, &disc, [](void* c, const char*) { ++*(size_t*)c; return true; },
                               &count);
    auto start = std::chrono::steady_clock::now();
    BuildDirectoryTree(&walk, 0, kLeadout, kMaxTreeLevel);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(kMaxTreeLines, count);
    EXPECT_EQ(0u, walk.nTreeDepth);
    EXPECT_LT(seconds, 60.0);
}

TEST(HostileDirectory, MalformedRecordsAreCutOrSkippedWithinTheBlock)
{
    Disc disc;
    std::vector<uint8_t>& blk = disc.Block(20);
    size_t pos = 0;
    auto put = [&](const std::vector<uint8_t>& r) {
        memcpy(blk.data() + pos, r.data(), r.size());
        pos += r.size();
    };
    put(Record(std::string(1, '\0'), 20, 4096, 0x02));
    // Identifier length 200 in a 40-byte record: the name is cut to the record.
    std::vector<uint8_t> longName = Record("ABCDEFG", 80, 1, 0);
    longName[32] = 200;
    put(longName);
    // A 20-byte record cannot hold the fixed part: skipped.
    std::vector<uint8_t> tiny(20, 0xEE);
    tiny[0] = 20;
    put(tiny);
    // "XA" would lie past the record end: the plain column is used.
    std::vector<uint8_t> shortSu = Record("SU;1", 81, 1, 0, {0, 0, 0, 0, 0x0D, 0x55});
    std::vector<uint8_t> xa = XaSystemUse(0x0D55);
    shortSu.insert(shortSu.end(), xa.begin() + 6, xa.begin() + 8);  // "XA" outside the length byte
    put(shortSu);
    blk[pos - 2] = 'X';
    // A zero length byte ends the block; what follows is not a record.
    pos += 1;
    put(Record("GHOST;1", 82, 1, 0));
    // The record at the block's end claims more than the block holds.
    std::vector<uint8_t>& blk2 = disc.Block(21);
    std::vector<uint8_t> next = Record("NEXT;1", 83, 1, 0);
    memcpy(blk2.data(), next.data(), next.size());
    std::vector<uint8_t> overrun = Record("OVER;1", 84, 1, 0);
    memcpy(blk2.data() + 2048 - 20, overrun.data(), 20);
    PutDescriptor(disc, 20, 4096);

    Build b = BuildTree(disc, kMaxTreeLevel);
    std::vector<std::string> names;
    for (const std::string& l : b.lines.text)
        names.push_back(NameOf(l));
    EXPECT_EQ((std::vector<std::string>{"\\", "ABCDEFG", "SU;1", "NEXT;1"}), names);
    ASSERT_EQ(4u, b.lines.text.size());
    EXPECT_NE(std::string::npos, b.lines.text[2].find("\t------ "));
}

TEST(HostileDirectory, LongestNameKeepsTheExtentColumnWithinTheLine)
{
    Disc disc;
    // The longest identifier a record with a 14-byte XA area can hold.
    std::string name(207, 'N');
    for (int d = 7; d >= 0; --d) {
        std::vector<std::vector<uint8_t>> recs = {Record(name, 12345678, 0x7FFFFFFF, 0, XaSystemUse(0xFFFF))};
        if (d < 7)
            recs.insert(recs.begin(), DirRecord("L", 21 + d));
        int32_t len = PutDirectory(disc, 20 + d, recs);
        if (d == 0)
            PutDescriptor(disc, 20, len, true);
    }
    Build b = BuildTree(disc, kMaxTreeLevel);
    size_t longOnes = 0;
    for (const std::string& l : b.lines.text) {
        EXPECT_LT(l.size(), kTreeLineSize);
        if (NameOf(l)[0] == 'N') {
            ++longOnes;
            EXPECT_EQ(kTreeLineSize - 1, l.size());
            EXPECT_EQ(12345678, ExtentOf(l));
            EXPECT_NE(std::string::npos, l.find("\tdAI21x-r-x-r-x-r ------ 2147483647 1996-05-23 14:30:25\t"));
        }
    }
    EXPECT_EQ(8u, longOnes);
}

TEST(HostileDirectory, HugeLengthsAndExtentsStayInRange)
{
    struct Case {
        int32_t extent;
        int32_t length;
    } cases[] = {
        {0x7FFFFFFE, 0x7FFFFFFF},  // would step past INT32_MAX
        {21, -2048},               // negative: nothing to read
        {21, 0x7FFFFFFF},          // reads until the first unreadable block
    };
    for (const Case& c : cases) {
        Disc disc;
        int32_t len = PutDirectory(disc, 20, {DirRecord("BIG", c.extent, c.length)});
        PutDirectory(disc, 21, {Record("IN;1", 90, 1, 0)}, 20);
        PutDescriptor(disc, 20, len);
        disc.reads.clear();
        Build b = BuildTree(disc, kMaxTreeLevel);
        EXPECT_LE(disc.reads.size(), 5u);
        for (int32_t r : disc.reads)
            EXPECT_GE(r, 0);
        EXPECT_EQ(0u, b.depthAfter);
    }
}

// ---- Real images ------------------------------------------------------------

std::string RunCommand(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

bool HaveTools() { return system("command -v genisoimage >/dev/null && command -v isoinfo >/dev/null") == 0; }

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        char templ[] = "/tmp/dirwalk_test.XXXXXX";
        if (mkdtemp(templ) != nullptr)
            path = templ;
    }
    ~TempDir()
    {
        if (!path.empty())
            std::filesystem::remove_all(path);
    }
};

// Serves an image file of 2048-byte blocks as Mode 1 2340-byte blocks.
struct ImageFile {
    std::ifstream file;
    int64_t blocks = 0;
};

bool ReadImage(void* context, int32_t lbn, uint8_t* raw)
{
    ImageFile* image = (ImageFile*)context;
    if (lbn < 0 || lbn >= image->blocks)
        return false;
    uint8_t user[kIsoUserDataSize];
    image->file.seekg((std::streamoff)lbn * (std::streamoff)kIsoUserDataSize);
    if (!image->file.read((char*)user, sizeof user))
        return false;
    MakeBlock(raw, lbn, 1, user);
    return true;
}

struct Entry {
    int64_t size;
    int32_t extent;
    bool operator==(const Entry& o) const { return size == o.size && extent == o.extent; }
};

// Path -> entry from isoinfo -l, "." and ".." left out.
std::map<std::string, Entry> IsoinfoListing(const std::string& iso)
{
    std::map<std::string, Entry> entries;
    std::string text = RunCommand("isoinfo -l -i " + iso);
    std::string dir;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::string heading = "Directory listing of ";
        if (line.compare(0, heading.size(), heading) == 0) {
            dir = line.substr(heading.size());
            continue;
        }
        size_t open = line.find('['), close = line.find(']');
        if (open == std::string::npos || close == std::string::npos || line.size() < close + 3)
            continue;
        std::string name = line.substr(close + 3);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (name == "." || name == "..")
            continue;
        // "perms links uid gid size Mon dd yyyy [extent flags]  name"
        char perms[16];
        long links, uid, gid;
        long long size;
        if (sscanf(line.c_str(), "%15s %ld %ld %ld %lld", perms, &links, &uid, &gid, &size) != 5)
            continue;
        entries[dir + name] = Entry{size, atoi(line.c_str() + open + 1)};
    }
    return entries;
}

// Path -> entry from the walker's lines, paths rebuilt from the indentation.
// The text between the tabs is "column size date time"; an XA column has a
// blank of its own, so the fields are counted from the right.
std::map<std::string, Entry> WalkerListing(const std::vector<std::string>& lines, size_t* xaLines)
{
    std::map<std::string, Entry> entries;
    std::vector<std::string> parents = {"/"};
    *xaLines = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        size_t tab1 = l.find('\t'), tab2 = l.rfind('\t');
        std::vector<std::string> fields;
        std::string middle = l.substr(tab1 + 1, tab2 - tab1 - 1);
        for (size_t at = 0; at < middle.size();) {
            size_t end = middle.find(' ', at);
            if (end == std::string::npos)
                end = middle.size();
            if (end > at)
                fields.push_back(middle.substr(at, end - at));
            at = end + 1;
        }
        if (fields.size() != 4 && fields.size() != 5) {
            ADD_FAILURE() << "malformed line: " << l;
            continue;
        }
        *xaLines += fields.size() == 5;
        const std::string& plain = fields[fields.size() - 4];
        std::string name = NameOf(l);
        parents.resize(Indent(l));
        entries[parents.back() + name] = Entry{atoll(fields[fields.size() - 3].c_str()), ExtentOf(l)};
        if (plain[0] == 'D')
            parents.push_back(parents.back() + name + "/");
    }
    return entries;
}

void MakeFile(const std::filesystem::path& p, size_t bytes)
{
    std::ofstream f(p, std::ios::binary);
    std::string data(bytes, 'q');
    f << data;
}

TEST(RealImage, GenisoimageTreeMatchesIsoinfo)
{
    if (!HaveTools())
        GTEST_SKIP() << "genisoimage or isoinfo missing";
    TempDir tmp;
    ASSERT_FALSE(tmp.path.empty());
    std::filesystem::path tree = tmp.path / "tree";
    std::filesystem::create_directories(tree / "ONE/TWO/THREE/FOUR/FIVE");
    std::filesystem::create_directories(tree / "WIDE");
    std::filesystem::create_directories(tree / "ONE/SIDE");
    MakeFile(tree / "README.TXT", 5000);
    MakeFile(tree / "ONE/TWO/THREE/FOUR/FIVE/DEEP.BIN", 70000);
    MakeFile(tree / "ONE/SIDE/A Long Name With Spaces.txt", 12);
    for (int i = 0; i < 150; ++i)
        MakeFile(tree / ("WIDE/file" + std::to_string(i) + ".dat"), i * 37);
    std::string iso = (tmp.path / "real.iso").string();
    ASSERT_EQ(0, system(("genisoimage -quiet -J -R -o " + iso + " " + tree.string() + " 2>&1").c_str()));

    ImageFile image;
    image.file.open(iso, std::ios::binary);
    image.blocks = (int64_t)std::filesystem::file_size(iso) / (int64_t)kIsoUserDataSize;
    Lines lines;
    DirWalk walk = MakeDirWalk(ReadImage, &image, AddToLines, &lines);
    ASSERT_EQ(kTreeListed, BuildDirectoryTree(&walk, 0, (int32_t)image.blocks, kMaxTreeLevel));

    std::map<std::string, Entry> expected = IsoinfoListing(iso);
    size_t xaLines = 0;
    std::map<std::string, Entry> got = WalkerListing(lines.text, &xaLines);
    EXPECT_EQ(0u, xaLines);  // Rock Ridge areas are not XA records
    ASSERT_GT(expected.size(), 150u);
    EXPECT_EQ(expected.size(), got.size());
    for (const auto& e : expected) {
        auto it = got.find(e.first);
        ASSERT_NE(got.end(), it) << e.first;
        EXPECT_EQ(e.second.size, it->second.size) << e.first;
        EXPECT_EQ(e.second.extent, it->second.extent) << e.first;
    }
    // WIDE needs more than one block of records with Rock Ridge present.
    auto wide = got.find("/WIDE");
    ASSERT_NE(got.end(), wide);
    EXPECT_GT(wide->second.size, (int64_t)kIsoUserDataSize);
    EXPECT_EQ(0u, walk.nTreeDepth);
}

TEST(RealImage, BenchmarkTwentyThousandEntries)
{
    if (!HaveTools())
        GTEST_SKIP() << "genisoimage or isoinfo missing";
    TempDir tmp;
    ASSERT_FALSE(tmp.path.empty());
    // 10 top directories of 99 subdirectories each: 1,000 directories, 19
    // empty files in each: 20,000 entries below the root.
    std::filesystem::path tree = tmp.path / "tree";
    int dirs = 0;
    for (int t = 0; t < 10; ++t) {
        std::filesystem::path top = tree / ("T" + std::to_string(t));
        std::vector<std::filesystem::path> all = {top};
        for (int s = 0; s < 99; ++s)
            all.push_back(top / ("S" + std::to_string(s)));
        for (const auto& d : all) {
            std::filesystem::create_directories(d);
            ++dirs;
            for (int f = 0; f < 19; ++f)
                std::ofstream(d / ("F" + std::to_string(f) + ".DAT"));
        }
    }
    ASSERT_EQ(1000, dirs);
    std::string iso = (tmp.path / "bench.iso").string();
    ASSERT_EQ(0, system(("genisoimage -quiet -o " + iso + " " + tree.string() + " 2>&1").c_str()));

    std::vector<uint8_t> data;
    {
        std::ifstream f(iso, std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    struct Memory {
        const std::vector<uint8_t>* data;
    } memory = {&data};
    BlockReader readMemory = [](void* c, int32_t lbn, uint8_t* raw) {
        const std::vector<uint8_t>& d = *((Memory*)c)->data;
        if (lbn < 0 || (size_t)lbn >= d.size() / kIsoUserDataSize)
            return false;
        MakeBlock(raw, lbn, 1, d.data() + (size_t)lbn * kIsoUserDataSize);
        return true;
    };
    size_t count = 0;
    DirWalk walk = MakeDirWalk(readMemory, &memory, [](void* c, const char*) { ++*(size_t*)c; return true; },
                               &count);
    auto t0 = std::chrono::steady_clock::now();
    BuildDirectoryTree(&walk, 0, (int32_t)(data.size() / kIsoUserDataSize), kMaxTreeLevel);
    double walkMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(20001u, count);

    auto t1 = std::chrono::steady_clock::now();
    std::string listing = RunCommand("isoinfo -l -i " + iso);
    double isoinfoMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t1).count();
    EXPECT_FALSE(listing.empty());
    printf("tree build of %zu lines, in-memory blocks: %.1f ms; isoinfo -l: %.1f ms\n", count, walkMs,
           isoinfoMs);
    RecordProperty("walk_ms", std::to_string(walkMs));
    RecordProperty("isoinfo_ms", std::to_string(isoinfoMs));
}

}  // namespace
