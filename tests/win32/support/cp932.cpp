#include "cp932.h"

#include <windows.h>

#include <vector>

std::string Cp932(const char* utf8)
{
    std::vector<wchar_t> wide(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, NULL, 0) + 1);
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), (int)wide.size());
    std::vector<char> text(2 * wide.size() + 1);
    WideCharToMultiByte(932, 0, wide.data(), -1, text.data(), (int)text.size(), NULL, NULL);
    return text.data();
}
