#include "message_box_hook.h"

#include <deque>

namespace {

struct HookState {
    HHOOK hook = NULL;
    std::deque<int> answers;
    std::vector<RecordedBox> boxes;
    std::vector<HWND> handled;
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
            rec.pressed = button;
            state.boxes.push_back(rec);
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

void ScopedBoxHook::Answer(std::initializer_list<int> answers)
{
    state.answers.insert(state.answers.end(), answers.begin(), answers.end());
}

const std::vector<RecordedBox>& ScopedBoxHook::boxes() const { return state.boxes; }

void ScopedBoxHook::Clear()
{
    state.boxes.clear();
    state.answers.clear();
}

std::string DefaultBoxCaption()
{
    static std::string caption;
    static bool known = false;
    if (!known) {
        // Ask the platform: show a box without a caption and read what it got.
        // Swapped, not copied: references into the recorded boxes stay valid.
        HHOOK saved_hook = state.hook;
        std::vector<RecordedBox> saved_boxes;
        saved_boxes.swap(state.boxes);
        std::deque<int> saved_answers;
        saved_answers.swap(state.answers);
        if (!saved_hook)
            state.hook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
        size_t before = state.boxes.size();
        MessageBoxA(NULL, "caption probe", NULL, MB_OK);
        if (state.boxes.size() > before)
            caption = state.boxes.back().caption;
        if (!saved_hook) {
            UnhookWindowsHookEx(state.hook);
            state.hook = NULL;
        }
        state.boxes.swap(saved_boxes);
        state.answers.swap(saved_answers);
        known = true;
    }
    return caption;
}
