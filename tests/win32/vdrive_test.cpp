// Disc images through the real exports of tamrisk.dll: cdrOpenImage, then the
// CD-ROM commands a viewer sends, and the boxes shown for broken images.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "gui_driver.h"
#include "message_box_hook.h"
#include "tamrisk.h"

namespace {

typedef std::vector<uint8_t> Bytes;

std::string TempDir()
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    char dir[MAX_PATH];
    snprintf(dir, sizeof dir, "%svdrive_test_%lu\\", base, GetCurrentProcessId());
    CreateDirectoryA(dir, NULL);
    return dir;
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    FILE* fp = fopen(path.c_str(), "wb");
    ASSERT_NE(fp, nullptr) << path;
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), fp);
    fclose(fp);
}

Bytes Pattern(size_t size, int seed)
{
    Bytes v(size);
    for (size_t i = 0; i < v.size(); ++i) v[i] = (uint8_t)(i * 31 + seed + i / 2048);
    return v;
}

// Data track 1 (20 blocks) and audio track 2 (10 blocks), in two files.
class ImageDrive : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = TempDir();
        WriteFile(dir_ + "data.iso", Pattern(20 * 2048, 1));
        WriteFile(dir_ + "tone.bin", Pattern(10 * 2352, 2));
        std::string cue =
            "FILE \"data.iso\" BINARY\r\n  TRACK 01 MODE1/2048\r\n    INDEX 01 00:00:00\r\n"
            "FILE tone.bin BINARY\r\n  TRACK 02 AUDIO\r\n    INDEX 01 00:00:00\r\n";
        WriteFile(dir_ + "disc.cue", Bytes(cue.begin(), cue.end()));
        device_ = cdrOpenImage(NULL, (dir_ + "disc.cue").c_str());
        ASSERT_NE(device_, INVALID_HANDLE_VALUE);
    }
    void TearDown() override
    {
        if (device_ != INVALID_HANDLE_VALUE) {
            cdrMode(NULL, device_, 2048);  // the block length is the library's, not the device's
            EXPECT_TRUE(cdrClose(device_));
        }
    }
    std::string dir_;
    HANDLE device_ = INVALID_HANDLE_VALUE;
};

// What a good image answers reaches the caller through the same exports in
// every GUI test (ReadImageToc, the dump, the tree); the answers themselves
// are the SCSI target's test. Here what fails, and how it is told.
TEST_F(ImageDrive, FailuresCarryTheSenseOfADrive)
{
    static uint8_t buffer[2352];
    {
        // Audio at 2048: illegal mode for this track; Retry once, then Cancel.
        ScopedBoxHook hook({IDRETRY, IDCANCEL});
        EXPECT_EQ(cdrRead(NULL, device_, buffer, 20, 1, CDR_REPORT), CDR_FAILED);
        ASSERT_EQ(hook.boxes().size(), 2u);
        EXPECT_EQ(hook.boxes()[0].style, (unsigned)MB_RETRYCANCEL);
    }
    {
        ScopedBoxHook hook({IDCANCEL});
        ASSERT_EQ(cdrEject(NULL, device_), CDR_SUCCESS);
        EXPECT_EQ(cdrInit(NULL, device_, CDR_SILENT), 0);
        EXPECT_EQ(cdrGetLastSession(device_), -1);
        EXPECT_EQ(cdrRead(NULL, device_, buffer, 0, 1, CDR_SILENT), CDR_FAILED);
        LONG block, last;
        EXPECT_EQ(cdrSize(NULL, device_, &block, &last), CDR_FAILED);  // always reported: one box, Cancel
        EXPECT_EQ(hook.boxes().size(), 1u);
    }
}

TEST(ImageOpen, BrokenImagesShowABoxAndGiveNoHandle)
{
    // What is wrong with each image is the disc model's own test; here the box says it.
    const std::string dir = TempDir();
    auto cue = [&](const char* name, const std::string& text) {
        WriteFile(dir + name, Bytes(text.begin(), text.end()));
        return dir + name;
    };
    // The sheet named by another case and path: the same file all the same.
    const std::string self = "..\\" + dir.substr(dir.rfind('\\', dir.size() - 2) + 1) + "SELF.CUE";
    struct Case { std::string path; const char* says; } cases[] = {
        {"", "No disc image file was given."},
        {cue("self.cue", "FILE \"" + self + "\" BINARY\r\nTRACK 01 MODE1/2048\r\nINDEX 01 00:00:00\r\n"),
         "SELF.CUE\" is this cue sheet, not a data file"},
    };
    for (const Case& c : cases) {
        ScopedBoxHook hook;
        EXPECT_EQ(cdrOpenImage(NULL, c.path.c_str()), INVALID_HANDLE_VALUE);
        ASSERT_EQ(hook.boxes().size(), 1u) << c.says;
        EXPECT_NE(hook.boxes()[0].text.find(c.says), std::string::npos) << hook.boxes()[0].text;
    }
}

// The other image formats through the DLL: the READ TOC answers and every
// raw block equal those of the BIN/CUE of the same layout (formats.sh).
TEST(ImageFormats, ServeWhatTheirCueServes)
{
    ScopedBoxHook hook;
    HANDLE cue = cdrOpenImage(NULL, GuiImage("formats\\cue\\x.cue").c_str());
    ASSERT_NE(cue, INVALID_HANDLE_VALUE);
    LONG block = 0, last = 0;
    ASSERT_EQ(cdrSize(NULL, cue, &block, &last), 0);
    ASSERT_GT(last, 800);  // data, 150 + 300 audio, 150 + 200 audio
    ASSERT_EQ(cdrMode(NULL, cue, 2352), 0);
    static uint8_t a[2352], b[2352], toc_a[2048], toc_b[2048];
    for (const char* name : {"toc\\x.toc", "ccd\\x.ccd", "mds\\x.mds", "nrg\\x.nrg", "chd\\x.chd"}) {
        HANDLE device = cdrOpenImage(NULL, GuiImage((std::string("formats\\") + name).c_str()).c_str());
        ASSERT_NE(device, INVALID_HANDLE_VALUE) << name;
        for (DWORD format : {0u, 2u}) {
            ASSERT_EQ(cdrToc(NULL, cue, toc_a, sizeof toc_a, format, 0), 0);
            ASSERT_EQ(cdrToc(NULL, device, toc_b, sizeof toc_b, format, 0), 0);
            EXPECT_EQ(memcmp(toc_a, toc_b, 2 + get_be16(toc_a)), 0) << name << " format " << format;
        }
        ASSERT_EQ(cdrMode(NULL, device, 2352), 0);
        for (LONG lbn = 0; lbn <= last; ++lbn) {
            ASSERT_EQ(cdrRead(NULL, cue, a, lbn, 1, 0), 0) << lbn;
            ASSERT_EQ(cdrRead(NULL, device, b, lbn, 1, 0), 0) << name << " " << lbn;
            ASSERT_EQ(memcmp(a, b, sizeof a), 0) << name << " " << lbn;
        }
        cdrMode(NULL, device, 2048);
        EXPECT_TRUE(cdrClose(device));
    }
    cdrMode(NULL, cue, 2048);
    EXPECT_TRUE(cdrClose(cue));
    EXPECT_TRUE(hook.boxes().empty());
}

// A CHD block whose hunk cannot be decoded: the box says why under the
// drive's text, and the blocks of other hunks read.
TEST(ImageFormats, UnreadableChdBlockTellsWhy)
{
    HANDLE device = cdrOpenImage(NULL, GuiImage("formats\\chd\\bad.chd").c_str());
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    static uint8_t buffer[2048];
    ScopedBoxHook hook({IDCANCEL});
    EXPECT_EQ(cdrRead(NULL, device, buffer, 16, 1, CDR_REPORT), CDR_FAILED);
    ASSERT_EQ(hook.boxes().size(), 1u);
    const std::string& text = hook.boxes()[0].text;
    EXPECT_NE(text.find("hunk 2 of "), std::string::npos) << text;
    EXPECT_NE(text.find("\"cdzs\", a codec that is not supported"), std::string::npos) << text;
    ASSERT_EQ(cdrMode(NULL, device, 2352), 0);
    static uint8_t raw[2352];
    EXPECT_EQ(cdrRead(NULL, device, raw, 300, 1, CDR_SILENT), 0);
    cdrMode(NULL, device, 2048);
    EXPECT_TRUE(cdrClose(device));
}

}  // namespace
