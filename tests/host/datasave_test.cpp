// Getting data off a disc: safe names, the CDXA header, files and folders
// saved as the image builder recorded them, sector ranges, and whole-disc
// copies that the library's cue reader reads back unchanged.
#include <gtest/gtest.h>

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include "external_tools.h"
#include "isosave.h"
#include "toc.h"
#include "disccopy.h"
#include "saverange.h"

namespace {

bool ReadRaw(void* ctx, int32_t lbn, uint32_t count, uint8_t* raw)
{
    SectorType type;
    for (uint32_t i = 0; i < count; ++i)
        if (DiscReadRaw(*(Disc*)ctx, lbn + (int32_t)i, raw + (size_t)i * kRawSectorSize, &type) != kDiscReadOk)
            return false;
    return true;
}

bool ReadUser(void* ctx, int32_t lbn, uint8_t* user)
{
    uint8_t raw[kRawSectorSize];
    if (!ReadRaw(ctx, lbn, 1, raw)) return false;
    memcpy(user, raw + (raw[kModeOffset] == 2 ? kXaUserDataOffset : kDataOffset), kUserDataSize);
    return true;
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return bytes;
}

struct DataSave : ::testing::Test {
    std::string dir = MakeTempDir("datasave");
    BuiltDisc built;
    Disc disc;
    void TearDown() override { DiscClose(&disc); RemoveTempDir(dir); }
    // The script built in memory and written as a cue sheet, then opened.
    void Make(const char* script, const char* name = "src.cue")
    {
        std::string error;
        ASSERT_TRUE(BuildScriptDisc(script, &built, dir));
        ASSERT_TRUE(WriteDiscImage(built, dir + "/" + name, DiscWriteOptions(), &error)) << error;
        char err[512];
        ASSERT_TRUE(DiscOpen((dir + "/" + name).c_str(), &disc, err, sizeof err)) << err;
    }
    SaveJob Run(std::vector<SaveItem> items)
    {
        SaveJob job;
        StartSaveJob(&job, std::move(items), DiscLeadout(disc), ReadRaw, &disc);
        EXPECT_EQ(RunSaveJob(&job, 7), kSaveDone) << job.errorPath;
        return job;
    }
};

TEST(SafeFileName, DiscNamesBecomeOneHarmlessComponent)
{
    struct Case { const char* id; const char* safe; } cases[] = {
        {"..", "_"}, {"..\\..\\WIN.INI;1", ".._.._WIN.INI"}, {"A/B:C*D?E\"F<G>H|I", "A_B_C_D_E_F_G_H_I"},
        {"nul.txt;1", "_nul.txt"},
    };
    for (const Case& c : cases) EXPECT_EQ(SafeFileName(c.id, strlen(c.id)), c.safe) << c.id;
    std::string longName = std::string(300, 'A') + ".MPG;1";
    std::string safe = SafeFileName(longName.data(), longName.size());
    EXPECT_EQ(safe.size(), (size_t)kSafeNameMax);
    EXPECT_EQ(safe.substr(safe.size() - 4), ".MPG");
}

TEST(SaveRange, BlocksAsLbnOrCdTimeWithinTheDisc)
{
    struct Case { const char* first; const char* end; bool last; SaveRangeError error; int32_t lbn; uint32_t count; } cases[] = {
        {"0x10", "00:02:17", true, kRangeOk, 16, 2}, {"100", "1", false, kRangeBadFirst, 0, 0},
        {"1:2", "1", false, kRangeBadFirst, 0, 0}, {"10", "91", false, kRangeBadEnd, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t lbn = -1;
        uint32_t count = 0;
        EXPECT_EQ(CheckSaveRange(c.first, c.end, c.last, 100, &lbn, &count), c.error) << c.first << " " << c.end;
        EXPECT_TRUE(c.error != kRangeOk || (lbn == c.lbn && count == c.count)) << c.first << " " << c.end;
    }
}

TEST(Cdxa, HeaderAsWindowsPresentsForm2Files)
{
    const uint8_t xa[kXaSystemUseSize] = {0, 0, 0, 0, 0x15, 0x55, 'X', 'A', 1, 0, 0, 0, 0, 0};
    uint8_t h[kCdxaHeaderSize];
    BuildCdxaHeader(h, 3, xa);
    const uint8_t expected[kCdxaHeaderSize] = {
        'R', 'I', 'F', 'F', 0xB4, 0x1B, 0, 0, 'C', 'D', 'X', 'A',  // size 36 + 3 * 2352
        'f', 'm', 't', ' ', 16, 0, 0, 0,                            // fmt chunk of 16 bytes
        0, 0, 0, 0, 0x15, 0x55, 'X', 'A', 1, 0, 0, 0, 0, 0, 0, 0,   // XA record, 2 zero bytes
        'd', 'a', 't', 'a', 0x90, 0x1B, 0, 0};                      // 3 * 2352 bytes of sectors
    EXPECT_EQ(0, memcmp(h, expected, sizeof h));
}

TEST_F(DataSave, FolderFilesForm2AndMultiExtentAsRecorded)
{
    Make("track mode2\ndir /DIR\nfile /DIR/A.TXT text=\"Hello\"\nfile /DIR/BIG.DAT size=10000 extent=2\n"
         "file /DIR/VIDEO.DAT size=5000 form2\ndir /DIR/SUB\nfile /DIR/SUB/NUL.TXT size=3\n");
    const BuiltEntry* sub = FindDiscEntry(built, "/DIR");
    ASSERT_NE(sub, nullptr);
    IsoReads reads = {ReadUser, &disc, 0};
    std::vector<IsoEntry> entries;
    ASSERT_TRUE(ReadIsoDirectory(&reads, sub->extent, (int32_t)sub->size, &entries));
    ASSERT_EQ(entries.size(), 4u);  // BIG.DAT's three records joined
    EXPECT_TRUE(IsForm2Entry(entries[3]) && !IsForm2Entry(entries[0]));

    std::vector<SaveItem> items;
    ASSERT_TRUE(PlanFolderSave(&reads, sub->extent, (int32_t)sub->size, dir + "/out", &items));
    Run(items);
    // The bytes of each file: gui_save_test; here the sizes and the safe name.
    EXPECT_EQ(FileBytes(dir + "/out/A.TXT"), std::vector<uint8_t>({'H', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(FileBytes(dir + "/out/BIG.DAT").size(), 10000u);
    EXPECT_EQ(FileBytes(dir + "/out/SUB/_NUL.TXT").size(), 3u);
    EXPECT_EQ(FileBytes(dir + "/out/VIDEO.DAT").size(), kCdxaHeaderSize + 3u * kRawSectorSize);
}

TEST_F(DataSave, LoopingDirectorySavedOnce)
{
    Make("track mode1\ndir /A\ndir /A/B\nfile /A/X.TXT size=10\nhostile dir-loop /A/B\n");
    const BuiltEntry* root = FindDiscEntry(built, "/");
    IsoReads reads = {ReadUser, &disc, 0};
    std::vector<SaveItem> items;
    PlanFolderSave(&reads, root->extent, (int32_t)root->size, dir + "/out", &items);
    std::vector<std::string> paths;
    for (const SaveItem& item : items) paths.push_back(item.path.substr(dir.size()));
    EXPECT_EQ(paths, (std::vector<std::string>{"/out", "/out/A", "/out/A/X.TXT"}));
}

TEST_F(DataSave, LeadoutCutUnreadableZerosAndDetectedRanges)
{
    Make("track mode1\nfile /A.TXT size=5000\n");
    int32_t leadout = DiscLeadout(disc);
    SaveItem past = MakeSaveItem(kSaveUserData, dir + "/past.dat");
    past.extents.push_back(SaveExtent{leadout - 2, 4, 4 * 2048});
    SaveJob job = Run({past});
    EXPECT_EQ(FileBytes(dir + "/past.dat").size(), 2u * 2048);
    EXPECT_EQ(job.cut, std::vector<std::string>{dir + "/past.dat"});

    // A reader that fails block 17: zeros in its place, the block listed.
    SaveItem one = MakeSaveItem(kSaveRaw, dir + "/raw.bin");
    one.extents.push_back(SaveExtent{16, 3, 3 * 2352});
    StartSaveJob(&job, {one}, leadout, [](void* ctx, int32_t lbn, uint32_t count, uint8_t* raw) {
        return !(lbn <= 17 && lbn + (int32_t)count > 17) && ReadRaw(ctx, lbn, count, raw);
    }, &disc);
    ASSERT_EQ(RunSaveJob(&job, 8), kSaveDone);
    EXPECT_EQ(job.unreadable, std::vector<int32_t>{17});
    std::vector<uint8_t> bytes = FileBytes(dir + "/raw.bin");
    ASSERT_EQ(bytes.size(), 3u * 2352);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 2352, bytes.begin() + 4704), std::vector<uint8_t>(2352, 0));
    // A full disk (a link to /dev/full), and a cancel half-way: the file goes.
    SaveItem blocked = MakeSaveItem(kSaveRaw, dir + "/full.bin");
    blocked.extents.push_back(SaveExtent{16, 1, 2352});
    ASSERT_EQ(symlink("/dev/full", blocked.path.c_str()), 0);
    one.path = dir + "/cancelled.bin";
    StartSaveJob(&job, {blocked}, leadout, ReadRaw, &disc);
    EXPECT_TRUE(RunSaveJob(&job, 8) == kSaveFailed && job.error == kSaveWriteFailed && job.errnum == ENOSPC);
    StartSaveJob(&job, {one}, leadout, ReadRaw, &disc);
    EXPECT_EQ(StepSaveJob(&job, 1), kSaveRunning);
    CancelSaveJob(&job);
    EXPECT_EQ(job.state, kSaveCancelled);
    for (const char* gone : {"/full.bin", "/cancelled.bin"}) EXPECT_NE(access((dir + gone).c_str(), F_OK), 0) << gone;
}

// A multisession copy (the single-session one: gui_save_test).
TEST_F(DataSave, DiscCopyReopensWithSameTocAndRawBytes)
{
    Make("track mode2\nfile /A.TXT size=3000\naudio blocks=300\nsession\ntrack mode2\nfile /B.TXT size=100\n"
         "session\ntrack mode1\nfile /C.TXT size=9000\n");
    std::vector<uint8_t> toc;
    ASSERT_TRUE(BuildTocResponse(disc, kTocFormatFull, true, 1, &toc));
    CopyLayout layout;
    ASSERT_TRUE(LayoutFromFullToc(toc.data(), (uint32_t)toc.size(), &layout));
    FinishCopyLayout(&layout, ReadRaw, &disc);
    std::string cue = dir + "/copy.cue";
    Run(PlanDiscCopy(layout, cue));

    Disc copy;
    char err[512];
    ASSERT_TRUE(DiscOpen(cue.c_str(), &copy, err, sizeof err)) << err;
    for (int format : {kTocFormatTrack, kTocFormatFull}) {
        std::vector<uint8_t> a, b;
        ASSERT_TRUE(BuildTocResponse(disc, format, true, 1, &a) && BuildTocResponse(copy, format, true, 1, &b));
        EXPECT_EQ(a, b) << "format " << format;
    }
    // A pregap shows where the kind of track changes (audio after audio cannot be told).
    for (size_t i = 1; i < disc.tracks.size(); ++i)
        if (disc.tracks[i].control != disc.tracks[i - 1].control) {
            EXPECT_EQ(DiscFindTrack(copy, disc.tracks[i].pregap_start)->number, disc.tracks[i].number);
        }
    uint8_t a[kRawSectorSize], b[kRawSectorSize];
    SectorType ta, tb;
    for (int32_t lba = 0; lba < DiscLeadout(disc); ++lba) {
        DiscReadResult ra = DiscReadRaw(disc, lba, a, &ta);
        ASSERT_EQ(ra, DiscReadRaw(copy, lba, b, &tb)) << lba;
        if (ra == kDiscReadOk) {
            ASSERT_TRUE(memcmp(a, b, sizeof a) == 0 && ta == tb) << lba;
        }
    }
    DiscClose(&copy);
    // cd-info reads the sheet: a row for every track, audio where the copy says so.
    // libcdio opens the .bin named after the sheet before it reads the FILE lines.
    if (!ToolAvailable("cd-info"))
        return;
    std::string out, stem = cue.substr(0, cue.size() - 4);
    ASSERT_EQ(symlink((stem + "_01.bin").c_str(), (stem + ".bin").c_str()), 0);
    EXPECT_EQ(RunCommand("cd-info --no-device-info --no-cddb --cue-file " + ShellQuote(cue), &out), 0) << out;
    for (const CopyTrack& t : layout.tracks) {
        char row[16];
        snprintf(row, sizeof row, "\n%3d: ", t.number);
        size_t at = out.find(row);
        ASSERT_NE(at, std::string::npos) << out;
        EXPECT_EQ(out.substr(at, out.find('\n', at + 1) - at).find("audio") != std::string::npos, t.mode == kCopyAudio);
    }
}

}  // namespace
