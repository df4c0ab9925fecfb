// Loaded into the viewer's process by the GUI test driver: Wine keeps menus
// in the process that made them, so another process cannot read them. A
// remote thread runs ProbeMenus on a request block the driver wrote into the
// viewer's memory and reads back the lines it leaves there.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "gui_probe.h"

namespace {

// One line per item: path TAB id TAB state TAB caption LF; popups recurse.
// False when the text did not fit.
bool DumpMenu(ProbeRequest* request, size_t* len, HMENU menu, const char* path, int depth)
{
    for (int i = 0; i < GetMenuItemCount(menu) && depth < 8; i++) {
        char item_path[64], caption[256] = "";
        snprintf(item_path, sizeof item_path, "%s%s%d", path, *path ? "/" : "", i);
        GetMenuStringA(menu, i, caption, sizeof caption, MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        HMENU sub = GetSubMenu(menu, i);
        if (sub) state = (state & 0xFF) | MF_POPUP;   // the high byte holds the item count
        size_t room = sizeof request->text - *len;
        int n = snprintf(request->text + *len, room, "%s\t%d\t%u\t%s\n", item_path,
                         sub ? -1 : static_cast<int>(GetMenuItemID(menu, i)), state, caption);
        if (n < 0 || (size_t)n >= room) return false;
        *len += n;
        if (sub && !DumpMenu(request, len, sub, item_path, depth + 1)) return false;
    }
    return true;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ProbeMenus(LPVOID param)
{
    ProbeRequest* request = static_cast<ProbeRequest*>(param);
    size_t len = 0;
    request->text[0] = '\0';
    // A popup menu window ("#32768") is read as its menu, under "popup".
    char cls[16] = "";
    GetClassNameA(request->hwnd, cls, sizeof cls);
    bool ok = true;
    if (strcmp(cls, "#32768") == 0) {
        if (HMENU popup = (HMENU)SendMessageA(request->hwnd, MN_GETHMENU, 0, 0))
            ok = DumpMenu(request, &len, popup, "popup", 0);
    } else if (HMENU bar = GetMenu(request->hwnd)) {
        ok = DumpMenu(request, &len, bar, "", 0);
    }
    request->done = ok ? 1 : 2;
    return 0;
}
