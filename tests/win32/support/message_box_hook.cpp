#include "message_box_hook.h"

#include <algorithm>
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

// The MB_ button set the tests tell apart (Retry/Cancel, OK/Cancel, else OK)
// and the MB_ icon of the system icon the box shows (0xF0 for another icon).
unsigned BoxStyle(HWND box)
{
    unsigned style = !IsVisibleChild(box, IDCANCEL) ? MB_OK : IsVisibleChild(box, IDRETRY) ? MB_RETRYCANCEL
                                                                                          : MB_OKCANCEL;
    HICON icon = NULL;
    for (HWND child = GetWindow(box, GW_CHILD); child && !icon; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[16] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            icon = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
    }
    if (!icon)
        return style;
    static const std::pair<LPCSTR, unsigned> icons[] = {
        {IDI_HAND, MB_ICONHAND}, {IDI_EXCLAMATION, MB_ICONEXCLAMATION}, {IDI_ASTERISK, MB_ICONASTERISK}};
    for (const auto& i : icons)
        if (LoadIconA(NULL, i.first) == icon)
            return style | i.second;
    return style | 0xF0;
}

std::string WindowText(HWND window)
{
    char text[2048] = {};
    if (window)
        GetWindowTextA(window, text, sizeof text);
    return text;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wparam, LPARAM lparam)
{
    HWND box = (HWND)wparam;
    char cls[16] = {};
    if (code == HCBT_ACTIVATE && GetClassNameA(box, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0 &&
        std::find(state.handled.begin(), state.handled.end(), box) == state.handled.end()) {
        state.handled.push_back(box);
        state.boxes.push_back(RecordedBox{WindowText(box), WindowText(GetDlgItem(box, 0xFFFF)), BoxStyle(box)});
        int button = IsVisibleChild(box, IDCANCEL) ? IDCANCEL : IDOK;
        if (!state.answers.empty()) {
            button = state.answers.front();
            state.answers.pop_front();
        }
        if (state.while_open) {
            std::function<void()> action;
            std::swap(action, state.while_open);
            action();
        }
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
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
