// Program entry: one copy at a time, the main window, and the message loop
// that serves the accelerators and the three modeless side windows.
#include "quillet.h"

static const char kClassName[] = "Quillet";
static const char kTitle[] = "SCSI Quillet Utility";
enum { kTextSize = 256 };

static BOOL RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "Quillet");
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszMenuName = "Quillet";
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

// The side windows take their own keys (Tab, arrows) before the main window does.
static BOOL IsSideWindowMessage(MSG* msg)
{
    HWND side[] = {hwndControl, hwndToc, hwndTree};
    for (HWND w : side) {
        if (w != NULL && IsDialogMessageA(w, msg))
            return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    hInst = instance;
    if (FindWindowA(kClassName, kTitle) != NULL) {
        char text[kTextSize];
        LoadText(IDS_ALREADY_RUNNING, text, sizeof text);
        MessageBoxA(NULL, text, kTitle, MB_ICONINFORMATION);
        return 0;
    }
    if (!RegisterMainClass(instance))
        return 0;
    if (CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, 0, 0, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL,
                        instance, NULL) == NULL) {
        CloseSettings();
        return 0;
    }
    ShowWindow(hwndMain, show);

    HACCEL accelerators = LoadAcceleratorsA(instance, "Quillet");
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (accelerators != NULL && TranslateAcceleratorA(hwndMain, accelerators, &msg))
            continue;
        if (IsSideWindowMessage(&msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    CloseSettings();
    return (int)msg.wParam;
}
