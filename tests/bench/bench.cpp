// Benchmarks, one per argument (kBenches names them and their limits), each
// the best of three rounds (the machine is shared); each prints its number
// and fails past its limit.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

#include "cdb.h"
#include "dumpformat.h"
#include "dirwalk.h"
#include "find.h"
#include "target.h"
#include "verify.h"
#include "disccopy.h"

namespace {

std::string dir;
const uint8_t kReadFullToc[10] = {0x43, 0x02, 0x02, 0, 0, 0, 1, 0x10, 0x00, 0};

void Check(bool ok, const char* what)
{
    if (!ok) fprintf(stderr, "bench: %s failed\n", what), exit(2);
}

double Best(const std::function<void()>& run)
{
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void WriteFile(const std::string& name, const void* data, size_t size, off_t total = 0)
{
    FILE* fp = fopen((dir + name).c_str(), "wb");
    Check(fp && fwrite(data, 1, size, fp) == size && fclose(fp) == 0, name.c_str());
    Check(total == 0 || truncate((dir + name).c_str(), total) == 0, "truncate");
}

struct Drive {
    Disc disc;
    Target target;
    // Opens dir/name, and sets the block length unless it is 0.
    Drive(const std::string& name, int32_t block_length)
    {
        char err[256];
        Check(DiscOpen((dir + name).c_str(), &disc, err, sizeof err), err);
        TargetInit(&target, &disc);
        Check(block_length == 0 || SetBlockLength(block_length), "MODE SELECT");
    }
    ~Drive() { DiscClose(&disc); }
    bool Run(const uint8_t* cdb, int len, uint8_t* data, uint32_t data_len)
    {
        uint8_t sense[kSenseFixedSize];
        return TargetExecute(&target, cdb, (uint32_t)len, data, data_len, sense, sizeof sense) == kScsiStatusGood;
    }
    bool SetBlockLength(int32_t length)
    {
        uint8_t cdb[kCdbAreaSize], params[kModeParamListSize];
        return Run(cdb, BuildModeSelect(cdb, params, length), params, sizeof params);
    }
    bool Read(int32_t lbn, uint32_t count, uint8_t* out, uint32_t len)
    {
        uint8_t cdb[kCdbAreaSize];
        return Run(cdb, BuildRead10(cdb, lbn, count), out, len);
    }
};

// Random READ(10)s at 2352 bytes from a sparse 700 MB raw image through the SCSI target.
double VdriveBench()
{
    const uint32_t blocks = 700u * 1024 * 1024 / kRawSectorSize;
    // The first sector's sync and mode byte make it a raw Mode 1 image; the rest is a hole.
    uint8_t raw[kRawSectorSize] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1};
    WriteFile("big.bin", raw, sizeof raw, (off_t)blocks * kRawSectorSize);
    Drive drive("big.bin", kRawSectorSize);
    uint32_t x = 11;
    const int reads = 100000;
    return reads / Best([&] {
        for (int i = 0; i < reads; ++i)
            Check(drive.Read((int32_t)((x = x * 1103515245u + 12345u) % blocks), 1, raw, sizeof raw), "READ(10)");
    });
}

// A 20,000-entry genisoimage volume's tree through the virtual drive (2340-byte reads).
double TreeBench()
{
    // T0..T9, each with S0..S98; 19 empty files in every one of the 1,000 directories.
    Check(system(("cd " + dir + " && mkdir src && cd src && for t in $(seq 0 9); do for d in T$t "
                  "$(seq -f T$t/S%g 0 98); do mkdir $d && (cd $d && touch $(seq -f F%g.DAT 0 18)); done; done && "
                  "genisoimage -quiet -o " + dir + "tree.iso " + dir + "src").c_str()) == 0, "genisoimage");
    Drive drive("tree.iso", kNoSyncSectorSize);
    int32_t last_session = 0;
    Check(TargetLastSessionStart(&drive.target, &last_session), "last session");
    size_t lines = 0;
    double seconds = Best([&] {
        lines = 0;
        DirWalk walk = MakeDirWalk(
            [](void* d, int32_t lbn, uint8_t* raw) { return ((Drive*)d)->Read(lbn, 1, raw, kNoSyncSectorSize); }, &drive,
            [](void* n, const char*) { return ++*(size_t*)n != 0; }, &lines);
        BuildDirectoryTree(&walk, last_session, DiscLeadout(drive.disc), kMaxTreeLevel);
    });
    Check(lines == 20001, "tree lines");   // the root line on top of the 20,000 entries
    return seconds * 1e3;
}

// Both texts of one Mode 2 Form 2 sector.
double DumpBench()
{
    static uint8_t raw[kRawSectorSize];
    static char text[kDumpTextSize];
    WriteSyncPattern(raw, sizeof raw);
    const uint8_t header[12] = {0x00, 0x02, 0x16, 0x02, 0x01, 0x01, 0x64, 0x0F, 0x01, 0x01, 0x64, 0x0F};
    memcpy(raw + 12, header, sizeof header);
    for (uint32_t i = kXaUserDataOffset; i < kRawSectorSize; i++)
        raw[i] = (uint8_t)(i * 7);
    const int sectors = 2000;
    double seconds = Best([&] {
        for (int i = 0; i < sectors; ++i) {
            raw[100] = (uint8_t)i;
            FormatDump(text, sizeof text, raw, sizeof raw, kRawSectorSize);
            FormatDump(text, sizeof text, raw, sizeof raw, kDumpUserData);
        }
    });
    return seconds * 1e6 / sectors;
}

void ReadVerifyBlocks(void* ctx, int32_t lbn, int count, uint8_t* buffer, VerifyBlockStatus* status)
{
    if (!((Drive*)ctx)->Read(lbn, (uint32_t)count, buffer, (uint32_t)count * kRawSectorSize))
        std::fill(status, status + count, VerifyBlockStatus{true, 0, 0, 0});
}

// A verify, or a find of a pattern it does not hold, of a sparse 700 MB .iso
// through the SCSI target as the viewer runs them: READ TOC, then READ(10)
// batches at 2352 bytes.
double WholeDiscBench(bool search)
{
    const uint32_t blocks = 700u * 1024 * 1024 / kUserDataSize;
    WriteFile("big.iso", "", 0, (off_t)blocks * kUserDataSize);
    Drive drive("big.iso", kRawSectorSize);
    static uint8_t toc[4096];
    VerifyPlan plan;
    Check(drive.Run(kReadFullToc, 10, toc, sizeof toc) && VerifyPlanFromFullToc(toc, sizeof toc, &plan), "TOC");
    FindPattern pattern;
    char bad[3];
    Check(ParseFindPattern("CD001", kFindText, true, &pattern, bad) == kFindPatternOk, "pattern");
    double seconds = Best([&] {
        static VerifyRun verify;
        static FindRun find;
        if (search) {
            FindStart(&find, pattern, plan, false, false, 0, 0, kRawSectorSize);
            while (FindStep(&find, ReadVerifyBlocks, &drive)) {}
            Check(!find.found && !find.unreadable && find.done == blocks, "search");
        } else {
            VerifyStart(&verify, plan, kRawSectorSize);
            while (VerifyStep(&verify, ReadVerifyBlocks, &drive)) {}
            Check(!verify.failed && !verify.unreadable && verify.done == blocks, "verify");
        }
    });
    return blocks / seconds;
}

// The matcher alone over 64 MB of random bytes in memory, forward, case kept.
double MatcherBench()
{
    std::string data(64u << 20, '\0');
    uint32_t x = 12345;
    for (char& b : data) b = (char)((x = x * 1103515245u + 12345u) >> 24);
    FindPattern pattern;
    char bad[3];
    Check(ParseFindPattern("QUILLET", kFindText, false, &pattern, bad) == kFindPatternOk, "pattern");
    const uint8_t* bytes = (const uint8_t*)data.data();
    return data.size() / 1e9 /
           Best([&] { Check(FindFirstIn(pattern, bytes, data.size(), 0, data.size()) < 0, "matcher"); });
}

// The shell's drive read: raw length for the batch, 2048 again after it.
bool ReadBatch(void* context, int32_t lbn, uint32_t count, uint8_t* raw)
{
    Drive* drive = (Drive*)context;
    bool ok = drive->SetBlockLength(kRawSectorSize) && drive->Read(lbn, count, raw, count * kRawSectorSize);
    return drive->SetBlockLength(kUserDataSize) && ok;
}

// A whole-disc copy to BIN/CUE of a 300 MB image, MODE SELECT around every batch.
double CopyBench()
{
    // A 300 MB disc: a Mode 1 track of real (non-sparse) sectors and an audio track after a pregap.
    const uint32_t data_blocks = 120000;
    std::string data((size_t)data_blocks * kRawSectorSize, '\0');
    for (uint32_t lba = 0; lba < data_blocks; ++lba) {
        uint8_t user[kUserDataSize];
        memset(user, (int)(lba & 0xFF), sizeof user);
        BuildRawSector((uint8_t*)&data[(size_t)lba * kRawSectorSize], (int32_t)lba, kSectorMode1, user, nullptr);
    }
    WriteFile("src.bin", data.data(), data.size());
    std::string audio((size_t)10000 * kRawSectorSize, '\x5A');
    WriteFile("audio.bin", audio.data(), audio.size());
    std::string cue = "FILE \"src.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
                      "FILE \"audio.bin\" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n";
    WriteFile("src.cue", cue.data(), cue.size());
    Drive drive("src.cue", 0);
    double seconds = Best([&] {
        static uint8_t toc[4096];
        CopyLayout layout;
        Check(drive.Run(kReadFullToc, 10, toc, sizeof toc) && LayoutFromFullToc(toc, sizeof toc, &layout), "TOC");
        FinishCopyLayout(&layout, ReadBatch, &drive);
        SaveJob job;
        StartSaveJob(&job, PlanDiscCopy(layout, dir + "copy.cue"), DiscLeadout(drive.disc), ReadBatch, &drive);
        Check(RunSaveJob(&job, 48) == kSaveDone && job.doneBlocks == (uint64_t)DiscLeadout(drive.disc), "copy");
    });
    return DiscLeadout(drive.disc) * (double)kRawSectorSize / 1e6 / seconds;
}

struct Bench {
    const char *name, *what;
    double limit;
    bool ceiling;  // the limit is a most, not a least
    double (*run)();
};
const Bench kBenches[] = {
    {"vdrive", "random raw reads, sectors/s", 200000, false, VdriveBench},
    {"tree", "20,000-entry tree through the virtual drive, ms", 1000, true, TreeBench},
    {"dump", "both dump texts of one sector, us", 200, true, DumpBench},
    {"verify", "verify through the virtual drive, sectors/s", 150000, false, [] { return WholeDiscBench(false); }},
    {"search", "search through the virtual drive, sectors/s", 150000, false, [] { return WholeDiscBench(true); }},
    {"matcher", "matcher over random bytes, GB/s", 1, false, MatcherBench},
    {"copy", "disc copy through the virtual drive, MB/s", 100, false, CopyBench},
};

}  // namespace

int main(int argc, char** argv)
{
    char tmpl[] = "/tmp/quillet_bench.XXXXXX";
    Check(mkdtemp(tmpl) != nullptr, "mkdtemp");
    dir = std::string(tmpl) + "/";
    bool ok = false;
    for (const Bench& b : kBenches) {
        if (argc < 2 || strcmp(argv[1], b.name) != 0) continue;
        double value = b.run();
        ok = b.ceiling ? value <= b.limit : value >= b.limit;
        printf("%s: %.1f (%s %g): %s\n", b.what, value, b.ceiling ? "ceiling" : "floor", b.limit, ok ? "ok" : "FAILED");
    }
    if (system(("rm -rf " + dir).c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", dir.c_str());
    return ok ? 0 : 1;
}
