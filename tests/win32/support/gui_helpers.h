// Set-up and readings that several GUI tests share: a fixture with fresh
// settings that stops the viewer after each test, what the library itself
// reads from an image (to hold the viewer's windows against), the status
// line's block address, and top-level windows of any process.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_driver.h"

struct GuiTest : ::testing::Test {
    Viewer viewer;
    void SetUp() override { DeleteSettings(); }
    void TearDown() override
    {
        if (viewer.process != nullptr)
            StopViewer(&viewer);
    }
    // Starts the viewer on an image ("" for none), the path quoted.
    bool Start(const std::string& image = "")
    {
        return StartViewer(&viewer, image.empty() ? "" : "\"" + image + "\"");
    }
};

// Track starts by number, the lead-out and the last session's start, as the
// library reads them from the image; -1 where it cannot.
struct ImageToc {
    std::map<int, long> starts;
    long leadout = -1;
    long last_session = -1;
};
ImageToc ReadImageToc(const std::string& image);

// The status line, and its block address (-1 when the line does not parse).
StatusLine ViewerStatus(const Viewer& viewer);
long StatusLbn(const Viewer& viewer);
// The address dialog's jump command, handled before this returns.
void JumpTo(const Viewer& viewer, long lbn);

// Top-level windows of a class, of one process (pid 0: any).
std::vector<HWND> TopLevelWindows(const char* class_name, DWORD pid, bool visible_only);
