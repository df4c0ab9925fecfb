// About box.
// PLACEHOLDER: the About box issue replaces this file.
#include "quillet.h"

INT_PTR CALLBACK AboutProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
