// Small services every window of the shell uses: the viewer's strings and the
// help file.
#include "quillet.h"

#include <string.h>

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
