// The shell's folder browser. Kept apart from quillet.h: <shlobj.h> declares
// COM names (OpenControlPanel among them) that clash with the viewer's.
#pragma once
#include <windows.h>

// path holds MAX_PATH bytes; false when the user cancels.
bool PickFolder(HWND owner, const char* title, char* path);
