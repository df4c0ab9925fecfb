// Program entry and the viewer's global state.
// PLACEHOLDER: the main window issue replaces this file.
#include "quillet.h"

HINSTANCE hInst;
HANDLE hDevice;
LONG lCurrentAddress = 166;
LONG lLeadout;
LONG lLastSession;
HWND hwndMain, hwndDump, hwndHeader, hwndStatus;
HWND hwndControl, hwndToc, hwndTree;
HGLOBAL hTocText;
HMENU hMenuContext;
BOOL bAutoSector = TRUE;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    hInst = instance;
    return 0;
}
