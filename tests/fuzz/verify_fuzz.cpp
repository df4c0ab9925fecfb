// Fuzzes what a verify reads from a disc: the input is taken as a READ TOC
// response (full and track form) and as a raw sector with its block address.
#include <stdint.h>
#include <string.h>

#include "verify.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VerifyPlan plan;
    VerifyPlanFromFullToc(data, (uint32_t)size, &plan);
    VerifyPlanFromTrackToc(data, (uint32_t)size, &plan);
    if (size < 4) return 0;
    uint8_t raw[2352] = {};
    memcpy(raw, data + 4, size - 4 < sizeof raw ? size - 4 : sizeof raw);
    int32_t lbn;
    memcpy(&lbn, data, 4);
    SectorCheck check = CheckRawSector(raw, lbn, lbn & 1);
    char text[24];  // shorter than the longest texts
    FormatCheckStatus(check, text, sizeof text);
    FormatCheckFaults(check, text, sizeof text);
    VerifyFailure failure = {lbn, (lbn & 2) != 0, {true, raw[0], raw[1], raw[2]}, check};
    FormatVerifyLine(failure, "sense", text, sizeof text);
    return 0;
}
