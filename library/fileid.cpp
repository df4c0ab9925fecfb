// The disc model's file identity on Windows (the volume and the file index,
// which stay the same whatever name, case or path reached the file) and its
// folder listing.
#include <windows.h>
#include <io.h>
#include <stdio.h>

#include <algorithm>

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

std::vector<std::string> DiscListFolder(const std::string& dir, const char* suffix)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && DiscEndsWithNoCase(found.cFileName, suffix))
            names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}
