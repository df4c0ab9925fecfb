// Address input: stepping and the INPUTBOX dialog.
// PLACEHOLDER: the address input issue replaces this file.
#include "quillet.h"

void OnAddressCommand(HWND, UINT) {}
INT_PTR CALLBACK InputProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
