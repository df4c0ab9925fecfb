// The request block shared by the GUI test driver and the probe it loads
// into the viewer's process.
#pragma once
#include <windows.h>

struct ProbeRequest {
    HWND hwnd;          // window whose menu bar is read
    LONG done;          // 1 when written, 2 when the text was cut
    char text[65536];   // "path\tid\tstate\tcaption\n" per item
};
