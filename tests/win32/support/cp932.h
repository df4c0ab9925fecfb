// Expected texts for comparisons with what the ANSI API returns: UTF-8
// literals converted to code page 932.
#pragma once
#include <string>

std::string Cp932(const char* utf8);
