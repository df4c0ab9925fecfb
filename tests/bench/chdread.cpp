// Reads a CHD disc through the virtual drive's SCSI target, as the DLL
// serves it: random raw READ(10)s of one block, then every block in order
// in reads of 16. Prints both rates; with floors given, fails below them.
// Portable: built natively and for Win32, to compare the same reading under
// Wine. Usage: chdread DISC.chd [RANDOM_FLOOR SEQUENTIAL_FLOOR] (sectors/s)
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "cdb.h"
#include "target.h"

namespace {

struct Drive {
    Target target;
    bool Run(const uint8_t* cdb, int len, uint8_t* data, uint32_t data_len)
    {
        uint8_t sense[kSenseFixedSize];
        return TargetExecute(&target, cdb, (uint32_t)len, data, data_len, sense, sizeof sense) == kScsiStatusGood;
    }
};

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 4) return fprintf(stderr, "usage: chdread DISC.chd [RANDOM_FLOOR SEQUENTIAL_FLOOR]\n"), 2;
    Disc disc;
    char err[512];
    if (!DiscOpen(argv[1], &disc, err, sizeof err)) return fprintf(stderr, "chdread: %s\n", err), 2;
    Drive drive;
    TargetInit(&drive.target, &disc);
    uint8_t cdb[kCdbAreaSize], params[kModeParamListSize];
    if (!drive.Run(cdb, BuildModeSelect(cdb, params, kRawSectorSize), params, sizeof params)) return 2;
    const int32_t blocks = DiscLeadout(disc);
    const int kBatch = 16;
    std::vector<uint8_t> buffer((size_t)kBatch * kRawSectorSize);

    // Random: each read most likely needs a hunk of its own decoded.
    const int reads = 20000;
    uint32_t x = 7;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < reads; ++i) {
        int32_t lbn = (int32_t)((x = x * 1103515245u + 12345u) % (uint32_t)blocks);
        if (!drive.Run(cdb, BuildRead10(cdb, lbn, 1), buffer.data(), kRawSectorSize))
            return fprintf(stderr, "chdread: block %d does not read\n", lbn), 1;
    }
    double random = reads / Seconds(start);

    start = std::chrono::steady_clock::now();
    for (int32_t lbn = 0; lbn < blocks; lbn += kBatch) {
        int n = std::min(kBatch, blocks - lbn);
        if (!drive.Run(cdb, BuildRead10(cdb, lbn, (uint32_t)n), buffer.data(), (uint32_t)n * kRawSectorSize))
            return fprintf(stderr, "chdread: blocks from %d do not read\n", lbn), 1;
    }
    double sequential = blocks / Seconds(start);
    DiscClose(&disc);

    bool ok = argc == 2 || (random >= atof(argv[2]) && sequential >= atof(argv[3]));
    printf("CHD of %d blocks: random raw reads %.0f sectors/s, sequential %.0f sectors/s (%.1f MB/s)%s\n", blocks,
           random, sequential, sequential * kRawSectorSize / 1e6,
           argc == 2 ? "" : ok ? ": ok" : ": below the floors");
    return ok ? 0 : 1;
}
