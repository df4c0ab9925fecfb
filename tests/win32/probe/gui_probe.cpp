// Loaded into the viewer's process by the GUI test driver: Wine keeps menus
// in the process that made them, so another process cannot read them. A
// remote thread runs ProbeMenus on a request block the driver wrote into the
// viewer's memory and reads back the lines it leaves there.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "gui_probe.h"

namespace {

struct Writer {
    char* out;
    size_t cap;
    size_t len;
    bool overflow;
};

void Append(Writer* w, const char* text)
{
    size_t n = strlen(text);
    if (w->len + n + 1 > w->cap) {
        w->overflow = true;
        return;
    }
    memcpy(w->out + w->len, text, n + 1);
    w->len += n;
}

// One line per item: path TAB id TAB state TAB caption LF; popups recurse.
void DumpMenu(Writer* w, HMENU menu, const char* path, int depth)
{
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count && depth < 8; i++) {
        char item_path[64];
        snprintf(item_path, sizeof item_path, "%s%s%d", path, *path ? "/" : "", i);
        char caption[256] = "";
        GetMenuStringA(menu, i, caption, sizeof caption, MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        HMENU sub = GetSubMenu(menu, i);
        int id = sub ? -1 : static_cast<int>(GetMenuItemID(menu, i));
        if (sub) state = (state & 0xFF) | MF_POPUP;   // the high byte holds the item count
        char line[400];
        snprintf(line, sizeof line, "%s\t%d\t%u\t%s\n", item_path, id, state, caption);
        Append(w, line);
        if (sub) DumpMenu(w, sub, item_path, depth + 1);
    }
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ProbeMenus(LPVOID param)
{
    ProbeRequest* request = static_cast<ProbeRequest*>(param);
    Writer w = {request->text, sizeof request->text, 0, false};
    request->text[0] = '\0';
    // A popup menu window ("#32768") is read as its menu, under "popup".
    char cls[16] = "";
    GetClassNameA(request->hwnd, cls, sizeof cls);
    if (strcmp(cls, "#32768") == 0) {
        if (HMENU popup = (HMENU)SendMessageA(request->hwnd, MN_GETHMENU, 0, 0)) DumpMenu(&w, popup, "popup", 0);
        request->done = w.overflow ? 2 : 1;
        return 0;
    }
    if (HMENU bar = GetMenu(request->hwnd)) DumpMenu(&w, bar, "", 0);
    if (HMENU sys = GetSystemMenu(request->hwnd, FALSE)) DumpMenu(&w, sys, "sys", 0);
    request->done = w.overflow ? 2 : 1;
    return 0;
}
