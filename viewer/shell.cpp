// Small services every window of the shell uses: the viewer's strings and the
// help file.
#include "quillet.h"

#include <commdlg.h>
#include <string.h>

#include "drivetext.h"

BOOL LoadText(UINT id, char* buffer, int size)
{
    if (buffer == NULL || size <= 0)
        return FALSE;
    if (LoadStringA(hInst, id, buffer, size) > 0)
        return TRUE;
    buffer[0] = '\0';
    return FALSE;
}

bool IsLeadByte(uint8_t b)
{
    return IsDBCSLeadByte(b) != FALSE;
}

BOOL AskFilePath(HWND owner, UINT filter_id, FileDialogKind kind, const char* default_ext, char* path)
{
    enum { kFilterSize = 512 };
    char filter[kFilterSize + 2] = {0};   // the list ends with two terminators
    LoadText(filter_id, filter, kFilterSize);
    SplitFilterText(filter, IsLeadByte);
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = default_ext;
    if (kind == kFileDialogOpen) {
        ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
        return GetOpenFileNameA(&ofn);
    }
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return GetSaveFileNameA(&ofn);
}

const char* HelpFilePath(void)
{
    // A bare name would be looked up from the current directory, which is
    // wherever the program was started from.
    static char path[MAX_PATH];
    static const char kHelpFile[] = "quillet.hlp";
    DWORD length = GetModuleFileNameA(hInst, path, sizeof path);
    char* slash = length > 0 && length < sizeof path ? strrchr(path, '\\') : NULL;
    if (slash == NULL || (size_t)(slash + 1 - path) + sizeof kHelpFile > sizeof path)
        return kHelpFile;
    memcpy(slash + 1, kHelpFile, sizeof kHelpFile);
    return path;
}
