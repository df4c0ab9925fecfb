// Directory tree window: saving the file or the folder of a line, from its
// menu item or its right-click menu. The line's directory is read again to
// find the records behind the line (all extents of a multi-extent file,
// the XA attributes of a Form 2 file).
#include <stdio.h>
#include <string.h>

#include "folderpick.h"
#include "iso9660.h"
#include "isosave.h"
#include "quillet.h"
#include "windows/savedlg.h"

namespace {

enum { kLineSize = 256 };

HWND TreeList(HWND tree) { return GetDlgItem(tree, IDC_TREE_LIST); }

bool LineAt(HWND list, LRESULT index, TreeLineFields* fields)
{
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, (WPARAM)index, 0);
    if (index < 0 || length == LB_ERR || length >= kLineSize)
        return false;
    char line[kLineSize];
    if (SendMessageA(list, LB_GETTEXT, (WPARAM)index, (LPARAM)line) == LB_ERR)
        return false;
    line[kLineSize - 1] = 0;
    return ParseTreeLine(line, fields);
}

// The selected line and, unless it is the root line, the line of the
// directory that holds it: the nearest line above with less indentation.
bool SelectedLine(HWND list, TreeLineFields* line, TreeLineFields* parent)
{
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR || !LineAt(list, index, line))
        return false;
    if (line->indent == 0)
        return true;
    for (LRESULT i = index - 1; i >= 0; --i)
        if (LineAt(list, i, parent) && parent->indent < line->indent)
            return parent->directory;
    return false;
}

void SaveFile(HWND tree, const TreeLineFields& line, const TreeLineFields& parent, const char* given)
{
    IsoReads reads = {DriveReadUser, tree, 0};
    std::vector<IsoEntry> entries;
    ReadIsoDirectory(&reads, parent.extent, parent.length, &entries);
    // The record with the line's first block; empty files may share one, so
    // a record whose name also matches comes first.
    const IsoEntry* found = NULL;
    for (const IsoEntry& e : entries) {
        bool match = false;
        for (const SaveExtent& x : e.extents)
            match = match || x.lbn == line.extent;
        if (match && (e.flags & kFileDirectory) == 0 && (found == NULL || e.id == line.name))
            found = &e;
    }
    if (found != NULL) {
        const IsoEntry& e = *found;
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s", given != NULL ? given : SafeFileName(e.id.data(), e.id.size()).c_str());
        if (given == NULL && !AskFilePath(tree, IDS_SAVE_FILTER, kFileDialogSave, NULL, path))
            return;
        std::vector<SaveItem> items(1, PlanFileSave(e, path));
        if (ConfirmOverwrite(tree, &items))
            RunSave(tree, items, kSaveKeepFinished);
        return;
    }
    MessageBeep(MB_ICONEXCLAMATION);
}

// The subtree goes into a folder named after the directory inside the one
// picked; the root's contents go straight into the picked folder.
void SaveFolder(HWND tree, const TreeLineFields& line, const char* given)
{
    char folder[MAX_PATH] = "", title[128];
    LoadText(IDS_SAVE_PICK_FOLDER, title, (int)sizeof title);
    if (given != NULL)
        snprintf(folder, sizeof folder, "%s", given);
    else if (!PickFolder(tree, title, folder))
        return;
    std::string target = folder;
    if (line.indent > 0)
        target += "\\" + SafeFileName(line.name.data(), line.name.size());
    IsoReads reads = {DriveReadUser, tree, 0};
    std::vector<SaveItem> items;
    HCURSOR previous = SetCursor(LoadCursorA(NULL, (LPCSTR)IDC_WAIT));
    bool complete = PlanFolderSave(&reads, line.extent, line.length, target, &items);
    SetCursor(previous);
    if (!complete)
        ShowSaveMessage(tree, IDS_SAVE_INCOMPLETE, "", MB_ICONEXCLAMATION);
    if (ConfirmOverwrite(tree, &items))
        RunSave(tree, items, kSaveKeepFinished);
}

}  // namespace

void OnSaveTreeEntry(HWND tree)
{
    SaveRequest request;
    bool driven = TakeDrivenSave(IDM_SAVE_FILE, &request) != FALSE;
    // A disabled main window means a modal dialog (another save) is up.
    if (hDevice == NULL || !IsWindowEnabled(hwndMain))
        return;
    if (driven && request.line >= 0)
        SendMessageA(TreeList(tree), LB_SETCURSEL, (WPARAM)request.line, 0);
    TreeLineFields line, parent;
    if (!SelectedLine(TreeList(tree), &line, &parent))
        return;
    const char* given = driven ? request.path : NULL;
    if (line.directory)
        SaveFolder(tree, line, given);
    else if (line.indent > 0)
        SaveFile(tree, line, parent, given);
}

void ShowTreeSaveMenu(HWND tree, LPARAM screenPoint)
{
    HWND list = TreeList(tree);
    POINT pt = {(short)LOWORD(screenPoint), (short)HIWORD(screenPoint)};
    if (screenPoint == -1) {  // from the keyboard: at the selected line
        RECT rect = {0, 0, 0, 0};
        SendMessageA(list, LB_GETITEMRECT, SendMessageA(list, LB_GETCURSEL, 0, 0), (LPARAM)&rect);
        pt.x = rect.left;
        pt.y = rect.bottom;
        ClientToScreen(list, &pt);
    } else {
        POINT client = pt;
        ScreenToClient(list, &client);
        LRESULT hit = SendMessageA(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
        if (HIWORD(hit) != 0)
            return;  // below the last line
        SendMessageA(list, LB_SETCURSEL, LOWORD(hit), 0);
    }
    TreeLineFields line, parent;
    if (!SelectedLine(list, &line, &parent))
        return;
    char text[128];
    if (!LoadText(line.directory ? IDS_SAVE_AS_FOLDER : IDS_SAVE_AS_FILE, text, (int)sizeof text))
        return;
    HMENU menu = CreatePopupMenu();
    if (menu == NULL)
        return;
    AppendMenuA(menu, MF_STRING, IDM_SAVE_FILE, text);
    TrackPopupMenu(menu, 0, pt.x, pt.y, 0, tree, NULL);
    DestroyMenu(menu);
}
