// The disc label dialog and the directory tree window of the real viewer,
// driven from outside: the last session's descriptor, the warning for a disc
// without one; the tree at the saved level, its level menu, rebuilds, jumps,
// closing from its own menu, and the level and rectangle kept across a restart.
#include <windows.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_helpers.h"
#include "viewer/resource.h"

namespace {

// Indentation and name of every line of the tree.
std::vector<std::string> Shape(HWND tree, std::vector<std::string>* lines = nullptr)
{
    std::vector<std::string> all = ListBoxLines(GetDlgItem(tree, IDC_TREE_LIST)), shape;
    for (const std::string& l : all)
        shape.push_back(l.substr(0, l.find('\t')));
    if (lines != nullptr)
        *lines = all;
    return shape;
}

long LastColumn(const std::string& line) { return atol(line.c_str() + line.rfind('\t') + 1); }

bool LevelChecked(const Viewer& viewer, HWND tree, int level)
{
    std::vector<MenuItem> items;
    const MenuItem* item = ReadMenus(viewer, tree, &items) ? FindMenuId(items, IDM_TREE_LEVEL_BASE + level) : nullptr;
    return item != nullptr && (item->state & MF_CHECKED) != 0;
}

bool ListFillsTheWindow(HWND tree)
{
    RECT client, box;
    GetClientRect(tree, &client);
    GetWindowRect(GetDlgItem(tree, IDC_TREE_LIST), &box);
    MapWindowPoints(nullptr, tree, (POINT*)&box, 2);
    return EqualRect(&client, &box);
}

struct IsoWindows : GuiTest {
    HWND OpenTree()
    {
        PostCommand(viewer.main, IDM_TREE);
        HWND tree = FindViewerWindow(viewer, "#32770", "Directory Tree");
        Settle(viewer);
        return tree;
    }
};

TEST_F(IsoWindows, LabelShowsTheLastSessionsDescriptorOrWarns)
{
    ASSERT_TRUE(Start(GuiImage("iso-multi.cue")));
    PostCommand(viewer.main, IDM_LABEL);
    HWND dlg = FindViewerWindow(viewer, "#32770", "Disc Label");
    ASSERT_NE(nullptr, dlg);
    // The first session's volume has another name.
    EXPECT_EQ("QUILLET_ISO_LAST" + std::string(16, ' '), ControlText(dlg, IDC_LABEL_FIRST + 1));
    Screenshot(dlg, "iso_label");
    PostCommand(dlg, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(dlg));
    // The drive is back at 2048 bytes a block: the dump still shows the sector.
    SendCommand(viewer.main, IDM_REFRESH);
    Settle(viewer);
    EXPECT_FALSE(BoxShown(viewer));
    EXPECT_GE(StatusLbn(viewer), 0);
    StopViewer(&viewer);

    ASSERT_TRUE(Start(GuiImage("iso-blank.cue")));
    PostCommand(viewer.main, IDM_LABEL);
    Box box;
    ASSERT_TRUE(WaitBox(viewer, &box));
    EXPECT_EQ("Disc Label", box.caption);
    EXPECT_EQ("Not ISO9660 format", box.text);
    AnswerBox(box, IDOK);
    Settle(viewer);
    EXPECT_EQ(nullptr, FindViewerWindow(viewer, "#32770", "Disc Label", 500));
}

TEST_F(IsoWindows, TreeLevelsRebuildJumpCloseAndRestart)
{
    WriteSettingDword("Tree Level", 1000);   // hand-edited: shows as "All(&8)"
    ASSERT_TRUE(Start(SampleDisc()));
    HWND tree = OpenTree();
    ASSERT_NE(nullptr, tree);
    HWND list = GetDlgItem(tree, IDC_TREE_LIST);
    EXPECT_TRUE(MenuChecked(viewer, IDM_TREE));
    EXPECT_TRUE(LevelChecked(viewer, tree, 8));
    EXPECT_TRUE(ListFillsTheWindow(tree));
    // The second session's hierarchy (DOCS/MORE/ADDED.TXT is only there).
    const std::vector<std::string> all = {"\\",           " DOCS",       "  MANUAL.TXT;1", "  MORE",
                                          "   ADDED.TXT;1", "  NOTES.TXT;1", " MOVIES",        "  INTRO.XA;1",
                                          "  OUTRO.XA;1",   " README.TXT;1"};
    std::vector<std::string> lines;
    ASSERT_EQ(all, Shape(tree, &lines));
    SendCommand(tree, IDM_TREE_LEVEL_BASE + 2);
    EXPECT_EQ(all.size() - 1, Shape(tree).size());
    EXPECT_TRUE(LevelChecked(viewer, tree, 2));
    EXPECT_FALSE(LevelChecked(viewer, tree, 8));

    // F5 in the main window rebuilds the list and selects its first line.
    SendCommand(tree, IDM_TREE_LEVEL_BASE + 8);
    SendMessageA(list, LB_SETCURSEL, 3, 0);
    PostKey(viewer.main, VK_F5);
    Settle(viewer);
    EXPECT_EQ(0, (int)SendMessageA(list, LB_GETCURSEL, 0, 0));
    ASSERT_EQ(all.size(), Shape(tree).size());

    // A double click on INTRO.XA jumps to its first block; "Jump" after a
    // rebuild goes to the root directory's first block.
    SendMessageA(list, LB_SETCURSEL, 7, 0);
    PostControlNotify(tree, IDC_TREE_LIST, LBN_DBLCLK);
    Settle(viewer);
    EXPECT_EQ(LastColumn(lines[7]), StatusLbn(viewer));
    SendCommand(viewer.main, IDM_REFRESH);
    Settle(viewer);
    PostCommand(tree, IDM_TREE_JUMP);
    Settle(viewer);
    EXPECT_EQ(LastColumn(lines[0]), StatusLbn(viewer));
    Screenshot(tree, "iso_tree");

    // Level 1 and a new rectangle, closed from its own menu, survive a restart.
    SendCommand(tree, IDM_TREE_LEVEL_BASE + 1);
    EXPECT_EQ(4u, Shape(tree).size());
    SetWindowPos(tree, nullptr, 40, 50, 420, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    Settle(viewer);
    EXPECT_TRUE(ListFillsTheWindow(tree));
    RECT before, after;
    GetWindowRect(tree, &before);
    PostCommand(tree, IDM_TREE_CLOSE);
    EXPECT_TRUE(WaitWindowGone(tree));
    Settle(viewer);
    EXPECT_FALSE(MenuChecked(viewer, IDM_TREE));
    StopViewer(&viewer);
    ASSERT_TRUE(Start(SampleDisc()));
    tree = OpenTree();
    ASSERT_NE(nullptr, tree);
    GetWindowRect(tree, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_TRUE(LevelChecked(viewer, tree, 1));
    EXPECT_EQ(4u, Shape(tree).size());
}

// Cut copies of a disc open: a whole block shows, the partial last block
// (FILE.TXT's) fails with the library's box, and the tree is built from the
// directories, which are all readable.
TEST_F(IsoWindows, CutImagesShowWhatIsReadable)
{
    for (const char* name : {"short.iso", "short.bin"}) {
        SCOPED_TRACE(name);
        const long partial = ReadImageToc(GuiImage(name)).leadout - 1;
        ASSERT_TRUE(Start(GuiImage(name)));
        JumpTo(viewer, partial - 1);
        EXPECT_EQ(partial - 1, StatusLbn(viewer));
        JumpTo(viewer, partial);
        Box box;
        ASSERT_TRUE(WaitBox(viewer, &box));
        EXPECT_EQ(Cp932(u8"メディアに関するエラー"), box.caption);
        EXPECT_EQ(Cp932(u8"CIRCで修復不可能なエラー\nAdditional sense code:[11] Code Qualify:[00]"), box.text);
        AnswerBox(box, IDCANCEL);
        Settle(viewer);
        EXPECT_FALSE(BoxShown(viewer));
        HWND tree = OpenTree();
        ASSERT_NE(nullptr, tree);
        EXPECT_EQ((std::vector<std::string>{"\\", " DATA", "  FILE.TXT;1"}), Shape(tree));
        EXPECT_FALSE(BoxShown(viewer));
        StopViewer(&viewer);
    }
}

}  // namespace
