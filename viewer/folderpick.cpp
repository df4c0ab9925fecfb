#include "folderpick.h"

#include <string.h>

#include <shlobj.h>

bool PickFolder(HWND owner, const char* title, char* path)
{
    BROWSEINFOA info;
    memset(&info, 0, sizeof info);
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST id = SHBrowseForFolderA(&info);
    if (id == NULL)
        return false;
    bool ok = SHGetPathFromIDListA(id, path) != FALSE;
    CoTaskMemFree(id);
    return ok;
}
