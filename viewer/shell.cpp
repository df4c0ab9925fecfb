// Small services every window of the shell uses: the viewer's strings.
#include "quillet.h"

BOOL LoadText(UINT id, char* buffer, int size)
{
    if (buffer == NULL || size <= 0)
        return FALSE;
    if (LoadStringA(hInst, id, buffer, size) > 0)
        return TRUE;
    buffer[0] = '\0';
    return FALSE;
}
