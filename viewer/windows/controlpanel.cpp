// Control panel.
// PLACEHOLDER: the control panel issue replaces this file.
#include "quillet.h"

INT_PTR CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
