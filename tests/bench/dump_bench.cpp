// Formatting one displayed sector, as every step of the view does: the raw
// text (147 lines) and the user-data text of a Mode 2 Form 2 sector, the
// longest, best of five rounds against a ceiling of 200 us per sector.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>

#include "dumpformat.h"

int main()
{
    static uint8_t raw[kRawSectorSize];
    static char text[kDumpTextSize];
    WriteSyncPattern(raw, sizeof raw);
    const uint8_t header[12] = {0x00, 0x02, 0x16, 0x02, 0x01, 0x01, 0x64, 0x0F, 0x01, 0x01, 0x64, 0x0F};
    memcpy(raw + 12, header, sizeof header);
    for (uint32_t i = kXaUserDataOffset; i < kRawSectorSize; i++)
        raw[i] = (uint8_t)(i * 7);
    const int sectors = 2000;
    long total = 0;
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < sectors; ++i) {
            raw[100] = (uint8_t)i;
            total += FormatDump(text, sizeof text, raw, sizeof raw, kRawSectorSize) +
                     FormatDump(text, sizeof text, raw, sizeof raw, kDumpUserData);
        }
        best = std::min(best, std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / sectors);
    }
    // 147 raw lines and 146 Form 2 lines, the last one of 4 bytes.
    bool ok = best <= 200 && total == 5L * sectors * (147 * 80 + 145 * 80 + 30);
    printf("dump formatting: %.2f us per sector, both texts (ceiling 200 us): %s\n", best, ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
