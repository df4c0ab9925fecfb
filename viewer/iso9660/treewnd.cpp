// Directory tree window.
// PLACEHOLDER: the ISO 9660 issue replaces this file.
#include "quillet.h"

extern "C" INT_PTR CALLBACK DirViewProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
