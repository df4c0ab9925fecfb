// Set-up and readings that several GUI tests share: a fixture with fresh
// settings that stops the viewer after each test, what the library itself
// reads from an image (to hold the viewer's windows against), the status
// line's block address.
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

// The dump pane's status line fields: "LBN = %6d [MM:SS:FF]    Mode-%d Sector",
// and its block address (-1 when the line does not parse).
struct StatusLine {
    bool ok = false;
    int lbn = 0, mode = 0;
};
StatusLine ViewerStatus(const Viewer& viewer);
long StatusLbn(const Viewer& viewer);
// The address dialog's jump command, handled before this returns.
void JumpTo(const Viewer& viewer, long lbn);
