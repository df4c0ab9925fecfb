// The disc image builder, read back by Debian's isoinfo and cd-info and by
// the sector checks; the hostile variants are checked field by field.
#include "discbuild.h"

#include <string.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bytes.h"
#include "external_tools.h"

namespace {

struct Listed {
    uint32_t size;
    int32_t extent;
};

// "isoinfo -l" output: path -> size and extent, "." and ".." left out.
std::map<std::string, Listed> ParseIsoinfoListing(const std::string& text)
{
    std::map<std::string, Listed> entries;
    std::istringstream lines(text);
    std::string line, dir;
    while (std::getline(lines, line)) {
        const std::string heading = "Directory listing of ";
        if (line.compare(0, heading.size(), heading) == 0) {
            dir = line.substr(heading.size());
            continue;
        }
        size_t close = line.find(']');
        if (line.size() < 10 || close == std::string::npos)
            continue;
        std::string fields = line;
        for (char& c : fields)
            if (c == '[' || c == ']')
                c = ' ';
        std::istringstream in(fields);
        std::string mode, month, name;
        int links, uid, gid, day, year, flags;
        Listed l;
        in >> mode >> links >> uid >> gid >> l.size >> month >> day >> year >> l.extent >> std::hex >> flags;
        name = line.substr(close + 1);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        if (!in || name == "." || name == "..")
            continue;
        entries[dir + name] = l;
    }
    return entries;
}

// The 2048 user-data bytes a drive returns at lba.
std::vector<uint8_t> UserBlock(const Disc& disc, int32_t lba)
{
    uint8_t raw[kRawSectorSize];
    std::vector<uint8_t> user(2048, 0);
    if (ReadDiscSector(disc, lba, raw))
        memcpy(user.data(), raw + (raw[kModeOffset] == 2 ? 24 : 16), 2048);
    return user;
}

bool Build(const std::string& script, Disc* disc)
{
    DiscPlan plan;
    std::string error;
    bool ok = ParseDiscScript(script, std::string(), &plan, &error) && BuildDisc(plan, disc, &error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

struct DiscTest : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
        dir = MakeTempDir("discbuild");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { RemoveTempDir(dir); }
    std::string Write(const Disc& disc, const char* name, const DiscWriteOptions& o = DiscWriteOptions())
    {
        std::string path = dir + "/" + name, error;
        EXPECT_TRUE(WriteDiscImage(disc, path, o, &error)) << error;
        return path;
    }
};

const char kTreeScript[] =
    "volume TREE_TEST\n"
    "publisher \"SOME PUBLISHER\"\n"
    "dir /EMPTY\n"
    "file /README.TXT text=\"hello\"\n"
    "file /A/B/DEEP.DAT size=5000\n"
    "file /A/HIDDEN.DAT size=10 hidden\n"
    "file /BIG/A_LONG_FILE_NAME_TO_FILL_THE_DIRECTORY.DAT size=1 count=60\n";

TEST_F(DiscTest, IsoinfoReadsTheVolumeAsBuilt)
{
    if (!ToolAvailable("isoinfo"))
        GTEST_SKIP() << "isoinfo not installed";
    Disc disc;
    ASSERT_TRUE(Build(kTreeScript, &disc));
    std::string iso = Write(disc, "tree.iso");
    std::string out;
    ASSERT_EQ(RunCommand("isoinfo -d -i " + ShellQuote(iso), &out), 0) << out;
    EXPECT_NE(out.find("Volume id: TREE_TEST"), std::string::npos) << out;
    EXPECT_NE(out.find("Publisher id: SOME PUBLISHER"), std::string::npos) << out;
    EXPECT_NE(out.find("Volume size is: " + std::to_string(disc.tracks[0].Length())), std::string::npos) << out;

    out.clear();
    ASSERT_EQ(RunCommand("isoinfo -l -i " + ShellQuote(iso), &out), 0) << out;
    std::map<std::string, Listed> listed = ParseIsoinfoListing(out);
    int compared = 0;
    for (const DiscEntry& e : disc.entries) {
        if (e.path == "/")
            continue;
        std::string name = e.is_dir ? e.path : e.path + ";1";
        auto it = listed.find(name);
        ASSERT_NE(it, listed.end()) << name << "\n" << out;
        EXPECT_EQ(it->second.size, e.size) << name;
        EXPECT_EQ(it->second.extent, e.extent) << name;
        ++compared;
    }
    EXPECT_EQ(compared, (int)listed.size());
    EXPECT_EQ(compared, 67);  // 4 directories, 63 files
    // Sixty long names need three blocks; every record is still listed.
    const DiscEntry* big = FindDiscEntry(disc, "/BIG");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->size, 3u * 2048);

    // File contents land at their extents.
    const DiscEntry* deep = FindDiscEntry(disc, "/A/B/DEEP.DAT");
    ASSERT_NE(deep, nullptr);
    std::vector<uint8_t> block = UserBlock(disc, deep->extent + 2);
    EXPECT_EQ(block[5000 - 4096 - 1], DiscPatternByte("/A/B/DEEP.DAT", 4999));
    EXPECT_EQ(block[5000 - 4096], 0);
}

// The bin of a one-file BIN/CUE image as sectors of the given size.
std::vector<uint8_t> ReadBin(const std::string& path)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return bytes;
}

TEST_F(DiscTest, BinCueOfDataAndAudioReadsBackAndEveryDataSectorChecks)
{
    Disc disc;
    ASSERT_TRUE(Build("track mode1\nfile /X.DAT size=9000\naudio seconds=2 tone=1000\naudio blocks=80 pregap=0\n",
                      &disc));
    ASSERT_EQ(disc.tracks.size(), 3u);
    EXPECT_EQ(disc.tracks[1].start, disc.tracks[0].Length() + 150);
    EXPECT_EQ(disc.tracks[2].start, disc.tracks[1].start + 150);
    std::string cue = Write(disc, "mixed.cue");
    std::vector<uint8_t> bin = ReadBin(dir + "/mixed.bin");
    ASSERT_EQ(bin.size(), (size_t)(disc.tracks[0].Length() + 150 + 150 + 80) * kRawSectorSize);
    for (int32_t i = 0; i < disc.tracks[0].Length(); ++i) {
        const uint8_t* raw = &bin[(size_t)i * kRawSectorSize];
        ASSERT_TRUE(CheckSector(raw)) << i;
        EXPECT_EQ(from_bcd(raw[14]) + 75 * from_bcd(raw[13]) + 4500 * from_bcd(raw[12]), i + 150);
    }
    std::string text;
    ASSERT_TRUE(ReadFileBytes(cue, reinterpret_cast<std::vector<uint8_t>*>(&bin)));
    text.assign(bin.begin(), bin.end());
    EXPECT_NE(text.find("TRACK 01 MODE1/2352"), std::string::npos) << text;
    EXPECT_NE(text.find("INDEX 00 00:00:"), std::string::npos) << text;
    EXPECT_EQ(text.find("REM SESSION"), std::string::npos) << text;

    if (!ToolAvailable("cd-info"))
        GTEST_SKIP() << "cd-info not installed";
    std::string out;
    RunCommand("cd " + ShellQuote(dir) + " && cd-info --no-device-info --no-cddb --cue-file mixed.cue", &out);
    for (const DiscTrack& t : disc.tracks) {
        char row[64];
        snprintf(row, sizeof row, "%d: %02d:%02d:%02d  %06d %s", t.number, (t.start + 150) / 4500,
                 (t.start + 150) / 75 % 60, (t.start + 150) % 75, t.start, t.kind == kTrackAudio ? "audio" : "data");
        EXPECT_NE(out.find(row), std::string::npos) << row << "\n" << out;
    }
    EXPECT_NE(out.find("ISO 9660: " + std::to_string(disc.tracks[0].Length()) + " blocks"), std::string::npos) << out;
}

TEST_F(DiscTest, XaDiscCarriesSignatureRecordsAndForm2Sectors)
{
    Disc disc;
    ASSERT_TRUE(Build("track mode2\nfile /V/MOVIE.XA size=5000 form2 filenum=1 channel=3\nfile /V/DOC.TXT size=3\n",
                      &disc));
    std::vector<uint8_t> pvd = UserBlock(disc, 16);
    EXPECT_EQ(memcmp(pvd.data() + 1024, "CD-XA001", 8), 0);
    const DiscEntry* movie = FindDiscEntry(disc, "/V/MOVIE.XA");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->size, 3u * 2048);  // 3 Form 2 blocks of 2324 bytes
    uint8_t raw[kRawSectorSize];
    for (int32_t b = 0; b < 3; ++b) {
        ASSERT_TRUE(ReadDiscSector(disc, movie->extent + b, raw));
        EXPECT_TRUE(CheckSector(raw));
        EXPECT_EQ(raw[16], 1);
        EXPECT_EQ(raw[17], 3);
        EXPECT_TRUE(raw[18] & kSubmodeForm2);
        EXPECT_EQ((raw[18] & kSubmodeEof) != 0, b == 2);
    }
    EXPECT_EQ(raw[24 + 5000 - 2 * 2324 - 1], DiscPatternByte("/V/MOVIE.XA", 4999));

    // The system use areas of /V: "." and ".." as directories, then DOC.TXT;1 and MOVIE.XA;1.
    const DiscEntry* v = FindDiscEntry(disc, "/V");
    ASSERT_NE(v, nullptr);
    std::vector<uint8_t> block = UserBlock(disc, v->extent);
    const uint16_t expected[] = {0x8D55, 0x8D55, 0x0D55, 0x1555};
    size_t at = 0;
    for (uint16_t attr : expected) {
        const uint8_t* r = &block[at];
        ASSERT_GT(r[0], 0);
        size_t n = r[32];
        const uint8_t* su = r + 33 + n + ((n & 1) ? 0 : 1);
        ASSERT_EQ(su + 14, r + r[0]);
        EXPECT_EQ(get_be16(su + 4), attr);
        EXPECT_EQ(su[6], 'X');
        EXPECT_EQ(su[7], 'A');
        at += r[0];
    }
    EXPECT_EQ(block[at], 0);
}

TEST_F(DiscTest, SessionsFollowOrangeBookGeometryAndReferToEarlierFiles)
{
    Disc disc;
    ASSERT_TRUE(Build("track mode2\nfile /OLD.TXT size=100\naudio seconds=1\n"
                      "session\ntrack mode2\nfile /NEW.TXT size=100\n"
                      "session\ntrack mode2 gap=stored\nfile /NEWER.TXT size=100\n",
                      &disc));
    ASSERT_EQ(disc.session_start.size(), 3u);
    EXPECT_EQ(disc.session_start[0], 0);
    EXPECT_EQ(disc.session_start[1], disc.session_leadout[0] + 11400);
    EXPECT_EQ(disc.session_start[2], disc.session_leadout[1] + 6900);
    EXPECT_EQ(disc.session_leadout[0], disc.tracks[1].start + 75);

    const DiscEntry* old1 = FindDiscEntry(disc, "/OLD.TXT", 1);
    const DiscEntry* old3 = FindDiscEntry(disc, "/OLD.TXT", 3);
    ASSERT_NE(old1, nullptr);
    ASSERT_NE(old3, nullptr);
    EXPECT_EQ(old1->extent, old3->extent);
    EXPECT_GT(FindDiscEntry(disc, "/", 3)->extent, disc.session_start[2]);
    std::vector<uint8_t> pvd = UserBlock(disc, disc.session_start[2] + 16);
    EXPECT_EQ(memcmp(pvd.data() + 1, "CD001", 5), 0);
    EXPECT_EQ((int32_t)get_be32(pvd.data() + 84), disc.session_leadout[2]);  // volume space size

    // The stored pregap of session 3 lies just before its INDEX 01, inside the gap.
    uint8_t raw[kRawSectorSize];
    EXPECT_TRUE(ReadDiscSector(disc, disc.session_start[2] - 1, raw));
    EXPECT_FALSE(ReadDiscSector(disc, disc.session_start[2] - 151, raw));
    EXPECT_FALSE(ReadDiscSector(disc, disc.session_leadout[0], raw));

    std::string cue = Write(disc, "multi.cue");
    std::vector<uint8_t> bytes = ReadBin(cue);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("REM SESSION 02"), std::string::npos) << text;
    EXPECT_NE(text.find("REM SESSION 03"), std::string::npos) << text;

    // Every data sector of the BIN checks; session 3's first block has its own address.
    std::vector<uint8_t> bin = ReadBin(dir + "/multi.bin");
    size_t index = 0;
    for (const DiscTrack& t : disc.tracks) {
        for (size_t b = 0; b < t.blocks.size(); ++b, ++index) {
            if (t.kind != kTrackAudio) {
                ASSERT_TRUE(CheckSector(&bin[index * kRawSectorSize])) << index;
            }
        }
    }
    ASSERT_EQ(index * kRawSectorSize, bin.size());

    if (!ToolAvailable("isoinfo"))
        GTEST_SKIP() << "isoinfo not installed";
    // Session 3's track alone, as isoinfo reads a session written at a given block.
    const DiscTrack& last = disc.tracks.back();
    std::vector<uint8_t> cooked;
    for (int32_t lba = last.start; lba < last.start + last.Length(); ++lba) {
        std::vector<uint8_t> user = UserBlock(disc, lba);
        cooked.insert(cooked.end(), user.begin(), user.end());
    }
    std::string iso = dir + "/s3.iso";
    ASSERT_TRUE(WriteFileBytes(iso, cooked.data(), cooked.size()));
    std::string out;
    ASSERT_EQ(RunCommand("isoinfo -l -N " + std::to_string(last.start) + " -i " + ShellQuote(iso), &out), 0) << out;
    std::map<std::string, Listed> listed = ParseIsoinfoListing(out);
    ASSERT_EQ(listed.count("/OLD.TXT;1"), 1u) << out;
    EXPECT_EQ(listed["/OLD.TXT;1"].extent, old1->extent);
    EXPECT_EQ(listed["/NEWER.TXT;1"].extent, FindDiscEntry(disc, "/NEWER.TXT")->extent);
}

TEST_F(DiscTest, CookedVariantsStoreTheSameSectors)
{
    Disc disc;
    ASSERT_TRUE(Build("track mode2\nfile /F.DAT size=3000 form2\nfile /G.DAT size=3000\n", &disc));
    Write(disc, "raw.cue");
    DiscWriteOptions o;
    o.mode2_size = kMode2Size;
    std::string cue = Write(disc, "stored.cue", o);
    std::vector<uint8_t> raw = ReadBin(dir + "/raw.bin"), stored = ReadBin(dir + "/stored.bin");
    ASSERT_EQ(stored.size() / kMode2Size, raw.size() / kRawSectorSize);
    uint8_t rebuilt[kRawSectorSize];
    for (size_t i = 0; i < stored.size() / kMode2Size; ++i) {
        BuildMode2FromStored(rebuilt, (int32_t)i, &stored[i * kMode2Size]);
        ASSERT_EQ(memcmp(rebuilt, &raw[i * kRawSectorSize], kRawSectorSize), 0) << i;
    }
    std::vector<uint8_t> bytes = ReadBin(cue);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("MODE2/2336"), std::string::npos);

    // Mode 1 as 2048-byte blocks beside raw audio: one file per track.
    Disc mixed;
    ASSERT_TRUE(Build("file /A.TXT text=abc\naudio blocks=10\n", &mixed));
    o.mode1_size = 2048;
    cue = Write(mixed, "cooked.cue", o);
    bytes = ReadBin(cue);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("FILE \"cooked-01.bin\" BINARY"), std::string::npos) << text;
    EXPECT_NE(text.find("TRACK 01 MODE1/2048"), std::string::npos) << text;
    EXPECT_NE(text.find("FILE \"cooked-02.bin\" BINARY"), std::string::npos) << text;
    EXPECT_NE(text.find("INDEX 00 00:00:00"), std::string::npos) << text;
    EXPECT_NE(text.find("INDEX 01 00:02:00"), std::string::npos) << text;
    EXPECT_EQ(ReadBin(dir + "/cooked-01.bin").size(), (size_t)mixed.tracks[0].Length() * 2048);
    EXPECT_EQ(ReadBin(dir + "/cooked-02.bin").size(), (size_t)160 * kRawSectorSize);
}

TEST_F(DiscTest, HostFilesBecomeFileContentsAndAudio)
{
    std::vector<uint8_t> pcm(3000), doc(2100);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = (uint8_t)(i * 3);
    for (size_t i = 0; i < doc.size(); ++i)
        doc[i] = (uint8_t)(i ^ 0x5A);
    ASSERT_TRUE(WriteFileBytes(dir + "/a.pcm", pcm.data(), pcm.size()));
    ASSERT_TRUE(WriteFileBytes(dir + "/doc.bin", doc.data(), doc.size()));
    std::string script = "file /DOC.BIN src=doc.bin\nfile /CUT.BIN src=doc.bin size=10\naudio pcm=a.pcm\n";
    DiscPlan plan;
    Disc disc;
    std::string error;
    ASSERT_TRUE(ParseDiscScript(script, dir, &plan, &error) && BuildDisc(plan, &disc, &error)) << error;
    const DiscEntry* e = FindDiscEntry(disc, "/DOC.BIN");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->size, 2100u);
    EXPECT_EQ(UserBlock(disc, e->extent + 1)[51], doc[2048 + 51]);
    EXPECT_EQ(FindDiscEntry(disc, "/CUT.BIN")->size, 10u);
    const DiscTrack& audio = disc.tracks.back();
    ASSERT_EQ(audio.Length(), 2);
    uint8_t raw[kRawSectorSize];
    ASSERT_TRUE(ReadDiscSector(disc, audio.start + 1, raw));
    EXPECT_EQ(memcmp(raw, &pcm[kRawSectorSize], 3000 - kRawSectorSize), 0);
    EXPECT_EQ(raw[3000 - kRawSectorSize], 0);
}

// The first record of the directory at extent whose identifier is name.
const uint8_t* FindRecord(const std::vector<uint8_t>& block, const char* name)
{
    for (size_t at = 0; at < block.size() && block[at];) {
        const uint8_t* r = &block[at];
        size_t n = strlen(name);
        if (at + 33 + n <= block.size() && memcmp(r + 33, name, n) == 0)
            return r;
        at += r[0];
    }
    return nullptr;
}

TEST_F(DiscTest, HostileVariantsBreakWhatTheySay)
{
    const char* base = "dir /A\nfile /A/X.DAT size=10\nfile /A/Y.DAT size=10\n";
    Disc disc;

    ASSERT_TRUE(Build(std::string(base) + "hostile bad-root\n", &disc));
    std::vector<uint8_t> pvd = UserBlock(disc, 16);
    EXPECT_GE(get_be32(pvd.data() + 162), get_be32(pvd.data() + 84));

    ASSERT_TRUE(Build(std::string(base) + "hostile root-zero\n", &disc));
    EXPECT_EQ(get_be32(UserBlock(disc, 16).data() + 162), 0u);

    ASSERT_TRUE(Build(std::string(base) + "hostile overclaim blocks=500\n", &disc));
    EXPECT_EQ((int32_t)get_be32(UserBlock(disc, 16).data() + 84), disc.tracks[0].Length() + 500);

    ASSERT_TRUE(Build(std::string(base) + "hostile dir-loop /A\n", &disc));
    const DiscEntry* root = FindDiscEntry(disc, "/");
    std::vector<uint8_t> root_block = UserBlock(disc, root->extent);
    const uint8_t* a = FindRecord(root_block, "A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ((int32_t)get_be32(a + 6), root->extent);

    ASSERT_TRUE(Build(std::string(base) + "hostile dir-unreadable /A\n", &disc));
    root_block = UserBlock(disc, FindDiscEntry(disc, "/")->extent);
    a = FindRecord(root_block, "A");
    ASSERT_NE(a, nullptr);
    EXPECT_GE((int32_t)get_be32(a + 6), disc.session_leadout[0]);

    ASSERT_TRUE(Build(std::string(base) + "hostile name-overrun /A/X.DAT\n", &disc));
    std::vector<uint8_t> a_block = UserBlock(disc, FindDiscEntry(disc, "/A")->extent);
    const uint8_t* x = FindRecord(a_block, "X.DAT");
    ASSERT_NE(x, nullptr);
    EXPECT_GT(33 + x[32], x[0]);
    const uint8_t* y = FindRecord(a_block, "Y.DAT");
    EXPECT_NE(y, nullptr);  // the walk by record lengths still finds the next one

    ASSERT_TRUE(Build(std::string(base) + "hostile record-overrun /A\n", &disc));
    std::vector<uint8_t> block = UserBlock(disc, FindDiscEntry(disc, "/A")->extent);
    size_t at = 0;
    while (at < block.size() && block[at] && at + block[at] <= block.size())
        at += block[at];
    // Zero padding, then a record that starts in the block and ends past it.
    while (at < block.size() && block[at] == 0)
        ++at;
    ASSERT_LT(at, block.size());
    EXPECT_GT(at + block[at], block.size());

    ASSERT_TRUE(Build(std::string(base) + "hostile truncate blocks=3\n", &disc));
    Write(disc, "cut.cue");
    EXPECT_EQ(ReadBin(dir + "/cut.bin").size(), (size_t)(disc.tracks[0].Length() - 3) * kRawSectorSize);
}

TEST(DiscScript, RejectsBadScriptsWithTheLine)
{
    struct Case { const char* script; const char* message; } cases[] = {
        {"frobnicate\n", "line 1: unknown statement"},
        {"dir /A\nfile /A/../X size=1\n", "line 2: bad path"},
        {"file relative.txt\n", "bad path"},
        {"file /X size=99999999999\n", "bad file option"},
        {"track mode1\nfile /X size=10 form2\n", "Form 2 files need a Mode 2 track"},
        {"file /A size=1\nfile /A/B size=1\n", "A is a file"},
        {"audio seconds=1\ntrack mode1\n", "first track of its session"},
        {"file /X size=1\nsession\nsession\nfile /Y size=1\n", "session 2 is empty"},
        {"audio\n", "audio needs"},
        {"file /X size=1\nhostile dir-loop /NOPE\n", "no entry /NOPE"},
        {"file /X size=1\nhostile dir-loop /X\n", "/X is not a directory"},
        {"hostile frob\n", "unknown hostile kind"},
        {"date 1996-13-01 00:00:00\n", "date needs"},
    };
    for (const Case& c : cases) {
        DiscPlan plan;
        Disc disc;
        std::string error;
        bool ok = ParseDiscScript(c.script, std::string(), &plan, &error) && BuildDisc(plan, &disc, &error);
        EXPECT_FALSE(ok) << c.script;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.script << " gave: " << error;
    }
}

TEST(DiscScript, IsoRefusesWhatItCannotHold)
{
    Disc disc;
    ASSERT_TRUE(Build("track mode2\nfile /X size=1\n", &disc));
    std::string error;
    EXPECT_FALSE(WriteDiscImage(disc, "/nonexistent/x.iso", DiscWriteOptions(), &error));
    EXPECT_NE(error.find("single Mode 1 track"), std::string::npos) << error;
    EXPECT_FALSE(WriteDiscImage(disc, "/nonexistent/x.img", DiscWriteOptions(), &error));
}

TEST(SampleDisc, IsBuiltWithTwoSessionsAndAudio)
{
    std::vector<uint8_t> cue;
    std::string path = std::string(QUILLET_BINARY_DIR) + "/sample/sample.cue";
    if (!ReadFileBytes(path, &cue))
        GTEST_SKIP() << "sample disc not built";
    std::string text(cue.begin(), cue.end());
    EXPECT_NE(text.find("REM SESSION 02"), std::string::npos);
    EXPECT_NE(text.find("AUDIO"), std::string::npos);
}

}  // namespace
