// TOC report text and the TOC window.
// PLACEHOLDER: the TOC issue replaces this file.
#include "quillet.h"

int BuildTocText(HWND, char*) { return 0; }
INT_PTR CALLBACK TocProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
