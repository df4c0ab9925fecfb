// The disc label dialog and the directory tree window of the real viewer,
// driven from outside: the last session's descriptor, the warning for a disc
// without one, the tree at the saved level, rebuilds, jumps, closing from its
// own menu, and the level and rectangle kept across a restart.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cp932.h"
#include "gui_helpers.h"
#include "viewer/resource.h"

namespace {

const int kLabelCommand = IDM_LABEL, kTreeCommand = IDM_TREE, kRefresh = IDM_REFRESH;
const int kTreeList = IDC_TREE_LIST;
const int kLevelBase = IDM_TREE_LEVEL_BASE, kTreeJump = IDM_TREE_JUMP, kTreeClose = IDM_TREE_CLOSE;

std::string RightTrimmed(std::string s)
{
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

std::vector<std::string> TreeLines(HWND tree) { return ListBoxLines(GetDlgItem(tree, kTreeList)); }

// Indentation and name of every line.
std::vector<std::string> Shape(const std::vector<std::string>& lines)
{
    std::vector<std::string> shape;
    for (const std::string& l : lines)
        shape.push_back(l.substr(0, l.find('\t')));
    return shape;
}

long LastColumn(const std::string& line) { return atol(line.c_str() + line.rfind('\t') + 1); }

int SelectedLine(HWND tree) { return (int)SendDlgItemMessageA(tree, kTreeList, LB_GETCURSEL, 0, 0); }

bool TreeItemChecked(const Viewer& viewer, HWND tree, int id)
{
    std::vector<MenuItem> items;
    const MenuItem* item = ReadMenus(viewer, tree, &items) ? FindMenuId(items, id) : nullptr;
    return item != nullptr && (item->state & MF_CHECKED) != 0;
}

void ExpectListFillsTheWindow(HWND tree)
{
    RECT client, box;
    GetClientRect(tree, &client);
    GetWindowRect(GetDlgItem(tree, kTreeList), &box);
    MapWindowPoints(nullptr, tree, (POINT*)&box, 2);
    EXPECT_TRUE(EqualRect(&client, &box));
}

// ---- Disc label ----

struct IsoWindows : GuiTest {
    HWND OpenTree()
    {
        PostCommand(viewer.main, kTreeCommand);
        HWND tree = FindViewerWindow(viewer, "#32770", "Directory Tree");
        Settle(viewer);
        return tree;
    }
};

TEST_F(IsoWindows, LabelShowsTheLastSessionsDescriptor)
{
    ASSERT_TRUE(Start(GuiImage("iso-multi.cue")));
    PostCommand(viewer.main, kLabelCommand);
    HWND dlg = FindViewerWindow(viewer, "#32770", "Disc Label");
    ASSERT_NE(nullptr, dlg);
    // The first session's descriptor names FIRST_SESSION.
    EXPECT_EQ("QUILLET_ISO_LAST", RightTrimmed(ControlText(dlg, IDC_LABEL_FIRST + 1)));
    EXPECT_EQ(32u, ControlText(dlg, IDC_LABEL_FIRST + 1).size());  // padding blanks shown as stored
    // One date; the other fields are volume_test's and isoinfo_compare_test's.
    EXPECT_EQ("1996/05/23 14:30:25", ControlText(dlg, IDC_LABEL_FIRST + 9));
    Screenshot(dlg, "iso_label");
    PostCommand(dlg, IDCANCEL);
    EXPECT_TRUE(WaitWindowGone(dlg));
    EXPECT_FALSE(BoxShown(viewer));

    // The drive is back at 2048 bytes a block: the dump still shows the sector.
    SendCommand(viewer.main, kRefresh);
    Settle(viewer);
    EXPECT_GE(StatusLbn(viewer), 0);
}

TEST_F(IsoWindows, LabelOfADiscWithoutDescriptorWarnsAndNeverShows)
{
    ASSERT_TRUE(Start(GuiImage("iso-blank.cue")));
    PostCommand(viewer.main, kLabelCommand);
    Box box;
    ASSERT_TRUE(WaitBox(viewer, &box));
    EXPECT_EQ("Disc Label", box.caption);
    EXPECT_EQ("Not ISO9660 format", box.text);
    AnswerBox(box, IDOK);
    Settle(viewer);
    EXPECT_EQ(nullptr, FindViewerWindow(viewer, "#32770", "Disc Label", 500));
    EXPECT_FALSE(BoxShown(viewer));
}

// ---- Directory tree ----

TEST_F(IsoWindows, TreeLevelsRebuildJumpAndClose)
{
    WriteSettingDword("Tree Level", 2);
    ASSERT_TRUE(Start(SampleDisc()));
    HWND tree = OpenTree();
    ASSERT_NE(nullptr, tree);
    HWND list = GetDlgItem(tree, kTreeList);
    EXPECT_TRUE(MenuChecked(viewer, kTreeCommand));
    EXPECT_TRUE(TreeItemChecked(viewer, tree, kLevelBase + 2));
    ExpectListFillsTheWindow(tree);
    std::vector<MenuItem> items;
    ASSERT_TRUE(ReadMenus(viewer, tree, &items));
    const MenuItem* jump = FindMenuId(items, kTreeJump);
    ASSERT_NE(nullptr, jump);
    EXPECT_EQ(Cp932(u8"ｼﾞｬﾝﾌﾟ(&J) >>"), jump->caption);
    // The second session's hierarchy (DOCS/MORE is only there), two levels;
    // an XA disc, so the root line has the XA column.
    std::vector<std::string> level2 = {"\\",       " DOCS",        "  MANUAL.TXT;1", "  MORE",
                                       "  NOTES.TXT;1", " MOVIES", "  INTRO.XA;1",   "  OUTRO.XA;1",
                                       " README.TXT;1"};
    std::vector<std::string> lines = TreeLines(tree);
    ASSERT_EQ(level2, Shape(lines));
    EXPECT_EQ(0, SelectedLine(tree));
    EXPECT_NE(std::string::npos, lines[0].find("\t---------------- D----- "));

    // "All(&8)" lists MORE's file too and moves the check mark; F5 in the
    // main window rebuilds the list and selects its first line.
    SendCommand(tree, kLevelBase + 8);
    std::vector<std::string> all = level2;
    all.insert(all.begin() + 4, "   ADDED.TXT;1");
    EXPECT_EQ(all, Shape(TreeLines(tree)));
    EXPECT_TRUE(TreeItemChecked(viewer, tree, kLevelBase + 8));
    EXPECT_FALSE(TreeItemChecked(viewer, tree, kLevelBase + 2));
    SendMessageA(list, LB_SETCURSEL, 3, 0);
    PostKey(viewer.main, VK_F5);
    Settle(viewer);
    EXPECT_EQ(0, SelectedLine(tree));
    lines = TreeLines(tree);
    ASSERT_EQ(all, Shape(lines));

    // A double click on INTRO.XA jumps the dump to its first block; "Jump"
    // after a rebuild goes to the root directory's first block.
    const size_t intro = 7;
    SendMessageA(list, LB_SETCURSEL, intro, 0);
    PostControlNotify(tree, kTreeList, LBN_DBLCLK);
    Settle(viewer);
    EXPECT_EQ(LastColumn(lines[intro]), StatusLbn(viewer));
    SendCommand(viewer.main, kRefresh);
    Settle(viewer);
    PostCommand(tree, kTreeJump);
    Settle(viewer);
    EXPECT_EQ(LastColumn(lines[0]), StatusLbn(viewer));
    SetWindowPos(tree, nullptr, 20, 20, 640, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    Settle(viewer);
    ExpectListFillsTheWindow(tree);
    Screenshot(tree, "iso_tree");

    // Closing from its own menu: the main menu's item unchecked, level saved.
    PostCommand(tree, kTreeClose);
    EXPECT_TRUE(WaitWindowGone(tree));
    Settle(viewer);
    EXPECT_FALSE(MenuChecked(viewer, kTreeCommand));
    DWORD level = 0;
    EXPECT_TRUE(ReadSettingDword("Tree Level", &level));
    EXPECT_EQ(8u, level);
}

TEST_F(IsoWindows, HandEditedLevelShowsAsItsNearestItem)
{
    WriteSettingDword("Tree Level", 1000);
    ASSERT_TRUE(Start(SampleDisc()));
    HWND tree = OpenTree();
    ASSERT_NE(nullptr, tree);
    EXPECT_TRUE(TreeItemChecked(viewer, tree, kLevelBase + 8));
    EXPECT_EQ(10u, TreeLines(tree).size());
    PostCommand(tree, kTreeClose);
    EXPECT_TRUE(WaitWindowGone(tree));
    Settle(viewer);
    DWORD level = 0;
    EXPECT_TRUE(ReadSettingDword("Tree Level", &level));
    EXPECT_EQ(8u, level);
}

// Cut copies of a disc open: a whole block shows, the partial last block
// (FILE.TXT's) fails with the library's box, and the tree is built from the
// directories, which are all readable.
TEST_F(IsoWindows, CutImagesShowWhatIsReadable)
{
    for (const char* name : {"damaged.iso", "damaged.bin"}) {
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
        EXPECT_EQ((std::vector<std::string>{"\\", " DATA", "  FILE.TXT;1"}), Shape(TreeLines(tree)));
        EXPECT_FALSE(BoxShown(viewer));
        StopViewer(&viewer);
    }
}

TEST_F(IsoWindows, LevelAndRectangleSurviveARestart)
{
    ASSERT_TRUE(Start(SampleDisc()));
    HWND tree = OpenTree();
    ASSERT_NE(nullptr, tree);
    SendCommand(tree, kLevelBase + 1);
    EXPECT_EQ((std::vector<std::string>{"\\", " DOCS", " MOVIES", " README.TXT;1"}), Shape(TreeLines(tree)));
    SetWindowPos(tree, nullptr, 40, 50, 420, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    Settle(viewer);
    RECT before, after;
    GetWindowRect(tree, &before);
    StopViewer(&viewer);   // the exit destroys the tree window, which saves its state

    ASSERT_TRUE(Start(SampleDisc()));
    tree = OpenTree();
    ASSERT_NE(nullptr, tree);
    GetWindowRect(tree, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_TRUE(TreeItemChecked(viewer, tree, kLevelBase + 1));
    EXPECT_EQ(4u, TreeLines(tree).size());
    ExpectListFillsTheWindow(tree);
}

}  // namespace
