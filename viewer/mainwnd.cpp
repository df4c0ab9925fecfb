// Main window: procedure, layout, colours, command table, refresh.
// PLACEHOLDER: the main window issue replaces this file.
#include "quillet.h"

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void ShowContextMenu(HWND, UINT, LPARAM) {}
