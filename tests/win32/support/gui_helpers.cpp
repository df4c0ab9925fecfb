#include "gui_helpers.h"

#include <stdio.h>

#include "tamrisk.h"
#include "viewer/resource.h"

namespace {

const int kStatus = IDC_STATUS, kJumpAddress = IDM_JUMP_ADDRESS;
const long kPregap = 150;

}  // namespace

ImageToc ReadImageToc(const std::string& image)
{
    ImageToc toc;
    HANDLE device = cdrOpenImage(nullptr, image.c_str());
    EXPECT_NE(device, INVALID_HANDLE_VALUE) << image;
    if (device == INVALID_HANDLE_VALUE)
        return toc;
    std::vector<unsigned char> resp(4096);
    EXPECT_EQ(cdrToc(nullptr, device, resp.data(), (DWORD)resp.size(), 0, CDR_SILENT), CDR_SUCCESS);
    // Track descriptors with MSF addresses; the lead-out (AA) comes from READ CAPACITY.
    const unsigned end = (resp[0] << 8 | resp[1]) + 2;
    for (unsigned off = 4; off + 8 <= end && off + 8 <= resp.size(); off += 8) {
        const unsigned char* d = &resp[off];
        if (d[2] != 0xAA)
            toc.starts[d[2]] = d[5] * 4500L + d[6] * 75L + d[7] - kPregap;
    }
    LONG block = 0, last = 0;
    if (cdrSize(nullptr, device, &block, &last) == CDR_SUCCESS)
        toc.leadout = last + 1;
    toc.last_session = cdrGetLastSession(device);
    cdrClose(device);
    return toc;
}

StatusLine ViewerStatus(const Viewer& viewer)
{
    const std::string text = ControlText(viewer.main, kStatus);
    StatusLine status;
    char time[16] = "";
    int used = 0;
    status.ok = sscanf(text.c_str(), "LBN = %d [%15[^]]]    Mode-%d Sector%n", &status.lbn, time, &status.mode,
                       &used) == 3 && used == (int)text.size();
    return status;
}

long StatusLbn(const Viewer& viewer)
{
    StatusLine status = ViewerStatus(viewer);
    return status.ok ? status.lbn : -1;
}

void JumpTo(const Viewer& viewer, long lbn)
{
    PostCommand(viewer.main, kJumpAddress, lbn + kPregap);
    EXPECT_TRUE(Settle(viewer));
}
