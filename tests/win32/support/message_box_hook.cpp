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

// The MB_ button set the tests tell apart (Retry/Cancel, OK/Cancel, else OK).
unsigned BoxStyle(HWND box)
{
    return !IsVisibleChild(box, IDCANCEL) ? MB_OK : IsVisibleChild(box, IDRETRY) ? MB_RETRYCANCEL : MB_OKCANCEL;
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
