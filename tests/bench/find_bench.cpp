// Find: the matcher alone in memory (GB/s, forward and back, with and
// without case, over random bytes and over zeros), and a search of a sparse
// 700 MB .iso through the virtual drive's SCSI target as the viewer runs it
// (READ TOC, then READ(10) batches at 2352 bytes, user data as detected).
// Best of three rounds; fails below the floors.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "cdb.h"
#include "find.h"
#include "target.h"

namespace {

enum : uint32_t { kImageBlocks = 700u * 1024 * 1024 / kUserDataSize, kMemoryBytes = 64u << 20 };
const double kMinGigabytesPerSecond = 1.0, kMinSectorsPerSecond = 150000;

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// GB/s of the best of three scans of data for a pattern it does not hold.
double ScanRate(const std::vector<uint8_t>& data, const char* text, bool ignore_case, bool backward)
{
    FindPattern p;
    char bad[3];
    if (ParseFindPattern(text, kFindText, ignore_case, &p, bad) != kFindPatternOk) abort();
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        long at = backward ? FindLastIn(p, data.data(), data.size(), 0, data.size())
                           : FindFirstIn(p, data.data(), data.size(), 0, data.size());
        double rate = data.size() / Seconds(start) / 1e9;
        if (at >= 0) abort();
        if (rate > best) best = rate;
    }
    return best;
}

struct Drive {
    Disc disc;
    Target target;
};

void ReadBlocks(void* ctx, int32_t lbn, int count, uint8_t* buffer, VerifyBlockStatus* status)
{
    Drive* d = (Drive*)ctx;
    uint8_t cdb[kCdbAreaSize], sense[18];
    int len = BuildRead10(cdb, lbn, count);
    if (TargetExecute(&d->target, cdb, len, buffer, (uint32_t)count * kRawSectorSize, sense, sizeof sense) != kScsiStatusGood)
        for (int i = 0; i < count; ++i) status[i] = VerifyBlockStatus{true, sense[2], sense[12], sense[13]};
}

// A whole search of the disc for a pattern it does not hold; blocks searched, -1 on failure.
int64_t SearchDisc(Drive* d)
{
    uint8_t cdb[kCdbAreaSize], params[kModeParamListSize], sense[18];
    int len = BuildModeSelect(cdb, params, kRawSectorSize);
    if (TargetExecute(&d->target, cdb, len, params, sizeof params, sense, sizeof sense) != kScsiStatusGood) return -1;
    // READ TOC, MSF, format 2 (full TOC), 4096 bytes.
    uint8_t toc_cdb[10] = {0x43, 0x02, 0x02, 0, 0, 0, 1, 0x10, 0x00, 0};
    static uint8_t toc[4096];
    if (TargetExecute(&d->target, toc_cdb, 10, toc, sizeof toc, sense, sizeof sense) != kScsiStatusGood) return -1;
    VerifyPlan plan;
    if (!VerifyPlanFromFullToc(toc, sizeof toc, &plan)) return -1;
    FindPattern p;
    char bad[3];
    ParseFindPattern("CD001", kFindText, true, &p, bad);
    static FindRun run;
    FindStart(&run, p, plan, false, false, 0, 0, kRawSectorSize);
    while (FindStep(&run, ReadBlocks, d)) {}
    return run.found || run.unreadable ? -1 : run.done;
}

}  // namespace

int main()
{
    bool ok = true;
    std::vector<uint8_t> random(kMemoryBytes), zeros(kMemoryBytes);
    uint32_t x = 12345;
    for (uint8_t& b : random) b = (uint8_t)((x = x * 1103515245u + 12345u) >> 24);
    const struct {
        const char* name;
        const std::vector<uint8_t>* data;
        const char* text;
        bool ignore_case, backward;
    } kScans[] = {
        {"random, forward", &random, "QUILLET", false, false},
        {"random, forward, no case", &random, "Quillet", true, false},
        {"random, backward", &random, "QUILLET", false, true},
        {"random, backward, no case", &random, "Quillet", true, true},
        {"zeros, forward", &zeros, "QUILLET", false, false},
        {"zeros, backward, no case", &zeros, "Quillet", true, true},
    };
    for (const auto& s : kScans) {
        double rate = ScanRate(*s.data, s.text, s.ignore_case, s.backward);
        bool floor = s.data == &random && !s.ignore_case && !s.backward;
        const char* verdict = !floor ? "" : rate >= kMinGigabytesPerSecond ? " (floor 1.0): ok" : " (floor 1.0): FAILED";
        printf("matcher, %-26s %6.2f GB/s%s\n", s.name, rate, verdict);
        if (floor) ok = ok && rate >= kMinGigabytesPerSecond;
    }

    char tmpl[] = "/tmp/find_bench.XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    std::string image = std::string(tmpl) + "/big.iso";
    FILE* fp = fopen(image.c_str(), "wb");
    if (!fp || fclose(fp) != 0 || truncate(image.c_str(), (off_t)kImageBlocks * kUserDataSize) != 0) abort();
    static Drive drive;
    char err[256];
    if (!DiscOpen(image.c_str(), &drive.disc, err, sizeof err)) {
        fprintf(stderr, "%s\n", err);
        abort();
    }
    TargetInit(&drive.target, &drive.disc);
    double rate = 0;
    for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        int64_t blocks = SearchDisc(&drive);
        double s = Seconds(start);
        ok = ok && blocks == kImageBlocks;
        if (blocks / s > rate) rate = blocks / s;
    }
    DiscClose(&drive.disc);
    ok = ok && rate >= kMinSectorsPerSecond;
    printf("find through the drive, 700 MB image: %.0f sectors/s, %.0f MB/s of raw sectors (floor %.0f): %s\n", rate,
           rate * kRawSectorSize / 1e6, kMinSectorsPerSecond, ok ? "ok" : "FAILED");
    std::string cleanup = std::string("rm -rf ") + tmpl;
    if (system(cleanup.c_str()) != 0) fprintf(stderr, "could not remove %s\n", tmpl);
    return ok ? 0 : 1;
}
