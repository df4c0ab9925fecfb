#include "message_box_hook.h"

#include <deque>
#include <utility>

namespace {

struct HookState {
    HHOOK hook = NULL;
    std::deque<int> answers;
    std::vector<RecordedBox> boxes;
    std::vector<HWND> handled;
    std::function<void()> while_open;
};

thread_local HookState state;

bool IsVisibleChild(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item && (GetWindowLongA(item, GWL_STYLE) & WS_VISIBLE);
}

unsigned ButtonStyle(HWND box)
{
    struct Set { unsigned style; std::initializer_list<int> ids; };
    static const Set sets[] = {
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
        {MB_YESNO, {IDYES, IDNO}},
        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
        {MB_OKCANCEL, {IDOK, IDCANCEL}},
    };
    for (const Set& set : sets) {
        bool all = true;
        for (int id : set.ids)
            all = all && IsVisibleChild(box, id);
        if (all)
            return set.style;
    }
    return MB_OK;
}

struct IconSearch { HICON icon; };

BOOL CALLBACK FindIcon(HWND child, LPARAM param)
{
    char cls[16] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        HICON icon = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
        if (icon) {
            ((IconSearch*)param)->icon = icon;
            return FALSE;
        }
    }
    return TRUE;
}

unsigned IconStyle(HWND box)
{
    IconSearch search = {NULL};
    EnumChildWindows(box, FindIcon, (LPARAM)&search);
    if (!search.icon)
        return 0;
    struct Icon { LPCSTR id; unsigned style; };
    static const Icon icons[] = {
        {IDI_HAND, MB_ICONHAND}, {IDI_QUESTION, MB_ICONQUESTION},
        {IDI_EXCLAMATION, MB_ICONEXCLAMATION}, {IDI_ASTERISK, MB_ICONASTERISK},
    };
    for (const Icon& i : icons)
        if (LoadIconA(NULL, i.id) == search.icon)
            return i.style;
    return 0xF0;   // an icon, but not a system one
}

std::string WindowText(HWND window)
{
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = (HWND)wparam;
        char cls[16] = {};
        GetClassNameA(box, cls, sizeof cls);
        bool seen = false;
        for (HWND h : state.handled)
            seen = seen || h == box;
        if (!seen && lstrcmpA(cls, "#32770") == 0) {
            state.handled.push_back(box);
            RecordedBox rec;
            rec.caption = WindowText(box);
            HWND text = GetDlgItem(box, 0xFFFF);
            rec.text = text ? WindowText(text) : std::string();
            rec.style = ButtonStyle(box) | IconStyle(box);
            int button;
            if (!state.answers.empty()) {
                button = state.answers.front();
                state.answers.pop_front();
            } else {
                button = IsVisibleChild(box, IDCANCEL) ? IDCANCEL : IDOK;
            }
            state.boxes.push_back(rec);
            if (state.while_open) {
                std::function<void()> action;
                std::swap(action, state.while_open);
                action();
            }
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
        }
    }
    return CallNextHookEx(state.hook, code, wparam, lparam);
}

}  // namespace

ScopedBoxHook::ScopedBoxHook(std::initializer_list<int> answers)
{
    DefaultBoxCaption();   // probed once, before this hook records anything
    state = HookState();
    state.answers.assign(answers.begin(), answers.end());
    state.hook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
}

ScopedBoxHook::~ScopedBoxHook()
{
    if (state.hook)
        UnhookWindowsHookEx(state.hook);
    state = HookState();
}

void ScopedBoxHook::WhileNextBoxOpen(std::function<void()> action) { state.while_open = std::move(action); }

const std::vector<RecordedBox>& ScopedBoxHook::boxes() const { return state.boxes; }

std::string DefaultBoxCaption()
{
    static std::string caption;
    static bool known = false;
    if (!known) {
        // Ask the platform: show a box without a caption under a hook of its
        // own and read what it got. Swapped, not copied, so that references
        // into an active hook's recorded boxes stay valid.
        HookState saved;
        std::swap(saved, state);
        state.hook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
        MessageBoxA(NULL, "caption probe", NULL, MB_OK);
        if (!state.boxes.empty())
            caption = state.boxes.back().caption;
        UnhookWindowsHookEx(state.hook);
        std::swap(saved, state);
        known = true;
    }
    return caption;
}
