// The disc model's file identity on Windows: the volume and the file index,
// which stay the same whatever name, case or path reached the file.
#include <windows.h>
#include <io.h>
#include <stdio.h>

#include "disc.h"

bool DiscFileIdentity(FILE* fp, DiscFileId* id)
{
    HANDLE file = (HANDLE)_get_osfhandle(_fileno(fp));
    BY_HANDLE_FILE_INFORMATION info;
    if (file == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file, &info))
        return false;
    id->volume = info.dwVolumeSerialNumber;
    id->file = (uint64_t)info.nFileIndexHigh << 32 | info.nFileIndexLow;
    return true;
}
