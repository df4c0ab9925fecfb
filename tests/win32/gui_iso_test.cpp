// The disc label dialog and the directory tree window of the real viewer,
// driven from outside: the last session's descriptor, the warning for a disc
// without one; the tree at the saved level, its level menu, rebuilds, jumps,
// closing from its own menu, and the level kept across a restart.
#include <windows.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

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
    return MenuChecked(viewer, IDM_TREE_LEVEL_BASE + level, tree);
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
    // The second session's hierarchy (DOCS/MORE/ADDED.TXT is only there); the
    // lines themselves are the tree model's host test's.
    const size_t all = 10;
    std::vector<std::string> lines;
    ASSERT_EQ(all, Shape(tree, &lines).size());
    EXPECT_EQ("   ADDED.TXT;1", Shape(tree)[4]);
    SendCommand(tree, IDM_TREE_LEVEL_BASE + 2);
    EXPECT_EQ(all - 1, Shape(tree).size());
    EXPECT_TRUE(LevelChecked(viewer, tree, 2));
    SendCommand(tree, IDM_TREE_LEVEL_BASE + 8);

    // A double click on INTRO.XA jumps to its first block; "Jump" after a
    // rebuild goes to the root directory's first block.
    SendMessageA(list, LB_SETCURSEL, 7, 0);
    PostMessageA(tree, WM_COMMAND, MAKEWPARAM(IDC_TREE_LIST, LBN_DBLCLK), (LPARAM)list);
    Settle(viewer);
    EXPECT_EQ(LastColumn(lines[7]), StatusLbn(viewer));
    SendCommand(viewer.main, IDM_REFRESH);
    Settle(viewer);
    PostCommand(tree, IDM_TREE_JUMP);
    Settle(viewer);
    EXPECT_EQ(LastColumn(lines[0]), StatusLbn(viewer));
    Screenshot(tree, "iso_tree");

    // Level 1, closed from its own menu, survives a restart.
    SendCommand(tree, IDM_TREE_LEVEL_BASE + 1);
    EXPECT_EQ(4u, Shape(tree).size());
    PostCommand(tree, IDM_TREE_CLOSE);
    EXPECT_TRUE(WaitWindowGone(tree));
    Settle(viewer);
    EXPECT_FALSE(MenuChecked(viewer, IDM_TREE));
    StopViewer(&viewer);
    ASSERT_TRUE(Start(SampleDisc()));
    tree = OpenTree();
    ASSERT_NE(nullptr, tree);
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
        AnswerBox(box, IDCANCEL);
        Settle(viewer);
        EXPECT_FALSE(BoxShown(viewer));
        HWND tree = OpenTree();
        ASSERT_NE(nullptr, tree);
        EXPECT_EQ("  FILE.TXT;1", Shape(tree).back());
        EXPECT_FALSE(BoxShown(viewer));
        StopViewer(&viewer);
    }
}

}  // namespace
