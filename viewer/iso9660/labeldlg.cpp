// Disc label dialog.
// PLACEHOLDER: the ISO 9660 issue replaces this file.
#include "quillet.h"

extern "C" INT_PTR CALLBACK LabelProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
