// Getting data off a disc in the real viewer, its save commands driven with
// a target path (WM_COPYDATA, as the viewer documents it): files, a Form 2
// file, a multi-extent file and a folder from the tree as the image builder
// recorded them, a hostile name kept inside the folder, a sector range, and a disc copy that reopens with the same TOC and bytes.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_helpers.h"
#include "tamrisk.h"
#include "viewer/resource.h"

namespace {

const long kRaw = 2352;

// The viewer's request record (windows/savedlg.h), dwData "QSAV".
struct SaveRequest {
    UINT command;
    LONG line, first, count, userData;
    char path[MAX_PATH];
};

std::string FileText(const std::string& path)
{
    std::string text;
    FILE* fp = fopen(path.c_str(), "rb");
    if (fp == nullptr) return "<missing " + path + ">";
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, fp)) > 0;) text.append(buf, n);
    fclose(fp);
    return text;
}

// Raw sectors as the library reads them from an image.
std::string ImageSectors(const std::string& image, long lbn, long count)
{
    std::string raw((size_t)(count * kRaw), '\0');
    HANDLE device = cdrOpenImage(nullptr, image.c_str());
    EXPECT_NE(device, INVALID_HANDLE_VALUE) << image;
    EXPECT_EQ(cdrMode(nullptr, device, kRaw), 0);
    for (long i = 0; i < count; ++i)
        EXPECT_EQ(cdrRead(nullptr, device, &raw[(size_t)(i * kRaw)], lbn + i, 1, 0), 0) << lbn + i;
    cdrClose(device);
    return raw;
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &f);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &f)) {
        std::string name = f.cFileName, full = path + "\\" + name;
        if (name == "." || name == "..") continue;
        (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveTree(full) : (void)DeleteFileA(full.c_str());
    }
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    RemoveDirectoryA(path.c_str());
}

struct SaveData : GuiTest {
    std::string dir;
    HWND tree = nullptr;
    void SetUp() override
    {
        GuiTest::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir = std::string(temp) + "quillet-save-" + std::to_string(GetCurrentProcessId());
        RemoveTree(dir);
        CreateDirectoryA(dir.c_str(), nullptr);
        CreateDirectoryA((dir + "\\in").c_str(), nullptr);
        WriteSettingDword("Tree Level", 8);
    }
    void TearDown() override
    {
        GuiTest::TearDown();
        RemoveTree(dir);
    }
    int Line(const char* name)
    {
        std::vector<std::string> lines = ListBoxLines(GetDlgItem(tree, IDC_TREE_LIST));
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(name) != std::string::npos) return (int)i;
        ADD_FAILURE() << name;
        return 0;
    }
    // Sends the request and answers the closing report.
    void Save(HWND to, UINT command, const std::string& path, LONG line = -1, LONG first = 0, LONG count = 0,
                     LONG user = 0)
    {
        SaveRequest r = {command, line, first, count, user, {}};
        snprintf(r.path, sizeof r.path, "%s", path.c_str());
        COPYDATASTRUCT data = {0x51534156, sizeof r, &r};
        EXPECT_TRUE(SendMessageA(to, WM_COPYDATA, 0, (LPARAM)&data));
        Box box;
        EXPECT_TRUE(WaitBox(viewer, &box, 120000));
        AnswerBox(box, IDOK);
        Settle(viewer);
    }
};

TEST_F(SaveData, FilesAndFolderFromTheTreeAsRecorded)
{
    ASSERT_TRUE(Start(GuiImage("save.cue")));
    PostCommand(viewer.main, IDM_TREE);
    tree = FindViewerWindow(viewer, "#32770", "Directory Tree");
    ASSERT_NE(nullptr, tree);
    Settle(viewer);
    Save(tree, IDM_SAVE_FILE, dir + "\\a.txt", Line("A.TXT;1"));
    EXPECT_EQ("Saved from the tree.", FileText(dir + "\\a.txt"));

    // The second of BIG.DAT's three records: the whole file all the same.
    std::vector<std::string> lines = ListBoxLines(GetDlgItem(tree, IDC_TREE_LIST));
    Save(tree, IDM_SAVE_FILE, dir + "\\big.dat", Line("BIG.DAT;1") + 1);
    std::string big = FileText(dir + "\\big.dat");
    EXPECT_EQ(10000u, big.size());

    // Form 2: RIFF CDXA of the file's raw sectors, their user data the builder's.
    int video = Line("VIDEO.DAT;1");
    long extent = atol(lines[video].c_str() + lines[video].rfind('\t') + 1);
    Save(tree, IDM_SAVE_FILE, dir + "\\video.dat", video);
    std::string cdxa = FileText(dir + "\\video.dat");
    ASSERT_EQ(44u + 3 * kRaw, cdxa.size());
    EXPECT_EQ(0, memcmp(cdxa.data(), "RIFF", 4));
    EXPECT_EQ(ImageSectors(GuiImage("save.cue"), extent, 3), cdxa.substr(44));

    // The folder: names without versions, the hostile one inside it.
    Save(tree, IDM_SAVE_FILE, dir + "\\in", Line(" DIR"));
    EXPECT_EQ("One level down.", FileText(dir + "\\in\\DIR\\SUB\\B.TXT"));
    EXPECT_EQ(big, FileText(dir + "\\in\\DIR\\BIG.DAT"));
    EXPECT_EQ("Hostile name.", FileText(dir + "\\in\\DIR\\.._.._EVIL1"));
    for (const char* outside : {"\\EVIL1", "\\in\\EVIL1"})
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir + outside).c_str())) << outside;
}

TEST_F(SaveData, SectorRangeAndCopyReopensTheSame)
{
    const std::string image = GuiImage("save.cue");
    ASSERT_TRUE(Start(image));
    std::string range = dir + "\\range.bin";
    Save(viewer.main, IDM_SAVE_SECTORS, range, -1, 16, 2, 0);
    EXPECT_EQ(ImageSectors(image, 16, 2), FileText(range));

    std::string copy = dir + "\\copy.cue";
    Save(viewer.main, IDM_COPY_DISC, copy);
    ImageToc a = ReadImageToc(image), b = ReadImageToc(copy);
    EXPECT_EQ(a.starts, b.starts);
    EXPECT_EQ(ImageSectors(image, 0, a.leadout), ImageSectors(copy, 0, b.leadout));
}

}  // namespace
