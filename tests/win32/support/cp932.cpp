#include "cp932.h"

#include <windows.h>

#include <vector>

std::string Cp932(const char* utf8)
{
    int wide_length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, NULL, 0);
    if (wide_length <= 0)
        return std::string();
    std::vector<wchar_t> wide(wide_length);
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), wide_length);
    int length = WideCharToMultiByte(932, 0, wide.data(), -1, NULL, 0, NULL, NULL);
    if (length <= 0)
        return std::string();
    std::vector<char> text(length);
    WideCharToMultiByte(932, 0, wide.data(), -1, text.data(), length, NULL, NULL);
    return std::string(text.data());
}
