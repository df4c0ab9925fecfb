// The module-global state the viewer's windows share (see quillet.h).
#include "quillet.h"

#include "cdgeometry.h"
#include "iso9660.h"

HINSTANCE hInst;
HANDLE hDevice;
LONG lCurrentAddress = kPregapBlocks + kVolumeDescriptorLbn;   // until a disc is opened
LONG lLeadout;
LONG lLastSession;
HWND hwndMain, hwndDump, hwndHeader, hwndStatus;
HWND hwndControl, hwndToc, hwndTree;
HGLOBAL hTocText;
HMENU hMenuContext;
BOOL bAutoSector = TRUE;
