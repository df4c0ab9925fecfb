// Answers message boxes of the current thread and records what they showed.
// A thread-local WH_CBT hook sees each box as it is activated, reads its
// caption, text (control 0xFFFF) and buttons, and presses the next
// scripted button (Cancel, else OK, when the script has run out).
#pragma once
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

struct RecordedBox {
    std::string caption;   // in the ANSI code page
    std::string text;
    unsigned style;        // MB_ button set
};

class ScopedBoxHook {
public:
    explicit ScopedBoxHook(std::initializer_list<int> answers = {});
    ~ScopedBoxHook();
    ScopedBoxHook(const ScopedBoxHook&) = delete;
    ScopedBoxHook& operator=(const ScopedBoxHook&) = delete;

    // Runs action once while the next box is open, before it is answered.
    void WhileNextBoxOpen(std::function<void()> action);
    const std::vector<RecordedBox>& boxes() const;
};
