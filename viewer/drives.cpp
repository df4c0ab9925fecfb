// Drives and images: drive menu, open, header, eject, device menus.
// PLACEHOLDER: the main window issue replaces this file.
#include "quillet.h"

void BuildDriveMenu(HWND) {}
int OpenDrive(HWND, UINT) { return 0; }
int OpenImage(HWND, const char*) { return 0; }
void ShowDriveHeader(HWND) {}
void EjectDisc(HWND) {}
void EnableDeviceMenus(HWND, BOOL) {}
