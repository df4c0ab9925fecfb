// Benchmarks, one per argument, each the best of three rounds (the machine is
// shared) against its floor; each prints its number and fails past the floor.
//   vdrive  random READ(10)s at 2352 bytes from a sparse 700 MB raw image through the SCSI target
//   tree    a 20,000-entry genisoimage volume's tree through the virtual drive (2340-byte reads)
//   dump    both texts of one Mode 2 Form 2 sector
//   verify  a verify of a sparse 700 MB .iso through the SCSI target
//   copy    a whole-disc copy to BIN/CUE of a 300 MB image, MODE SELECT around every batch
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>

#include "cdb.h"
#include "dumpformat.h"
#include "dirwalk.h"
#include "target.h"
#include "verify.h"
#include "disccopy.h"

namespace {

std::string dir;
const uint8_t kReadFullToc[10] = {0x43, 0x02, 0x02, 0, 0, 0, 1, 0x10, 0x00, 0};

void Check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "bench: %s failed\n", what);
        exit(2);
    }
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

bool Report(const char* what, double value, double floor, bool ceiling)
{
    bool ok = ceiling ? value <= floor : value >= floor;
    printf("%s: %.1f (%s %.0f): %s\n", what, value, ceiling ? "ceiling" : "floor", floor, ok ? "ok" : "FAILED");
    return ok;
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
    explicit Drive(const std::string& name)
    {
        char err[256];
        Check(DiscOpen((dir + name).c_str(), &disc, err, sizeof err), err);
        TargetInit(&target, &disc);
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

bool VdriveBench()
{
    const uint32_t blocks = 700u * 1024 * 1024 / kRawSectorSize;
    // The first sector's sync and mode byte make it a raw Mode 1 image; the rest is a hole.
    uint8_t raw[kRawSectorSize] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1};
    WriteFile("big.bin", raw, sizeof raw, (off_t)blocks * kRawSectorSize);
    Drive drive("big.bin");
    Check(drive.SetBlockLength(kRawSectorSize), "MODE SELECT");
    std::mt19937 rng(11);
    const int reads = 100000;
    double rate = reads / Best([&] {
        for (int i = 0; i < reads; ++i)
            Check(drive.Read((int32_t)(rng() % blocks), 1, raw, sizeof raw), "READ(10)");
    });
    return Report("random raw reads, sectors/s", rate, 200000, false);
}

bool CountLine(void* context, const char*)
{
    ++*(size_t*)context;
    return true;
}

bool ReadDrive(void* context, int32_t lbn, uint8_t* raw)
{
    return ((Drive*)context)->Read(lbn, 1, raw, kNoSyncSectorSize);
}

bool TreeBench()
{
    // T0..T9, each with S0..S98; 19 empty files in every one of the 1,000 directories.
    Check(system(("cd " + dir + " && mkdir src && cd src && for t in $(seq 0 9); do for d in T$t "
                  "$(seq -f T$t/S%g 0 98); do mkdir $d && (cd $d && touch $(seq -f F%g.DAT 0 18)); done; done && "
                  "genisoimage -quiet -o " + dir + "tree.iso " + dir + "src").c_str()) == 0, "genisoimage");
    Drive drive("tree.iso");
    Check(drive.SetBlockLength(kNoSyncSectorSize), "MODE SELECT");
    int32_t last_session = 0;
    Check(TargetLastSessionStart(&drive.target, &last_session), "last session");
    size_t lines = 0;
    double seconds = Best([&] {
        lines = 0;
        DirWalk walk = MakeDirWalk(ReadDrive, &drive, CountLine, &lines);
        BuildDirectoryTree(&walk, last_session, DiscLeadout(drive.disc), kMaxTreeLevel);
    });
    Check(lines == 20001, "tree lines");   // the root line on top of the 20,000 entries
    return Report("20,000-entry tree through the virtual drive, ms", seconds * 1e3, 1000, true);
}

bool DumpBench()
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
    return Report("both dump texts of one sector, us", seconds * 1e6 / sectors, 200, true);
}

void ReadVerifyBlocks(void* ctx, int32_t lbn, int count, uint8_t* buffer, VerifyBlockStatus* status)
{
    if (!((Drive*)ctx)->Read(lbn, (uint32_t)count, buffer, (uint32_t)count * kRawSectorSize))
        for (int i = 0; i < count; ++i)
            status[i] = VerifyBlockStatus{true, 0, 0, 0};
}

bool VerifyBench()
{
    const uint32_t blocks = 700u * 1024 * 1024 / kUserDataSize;
    WriteFile("big.iso", "", 0, (off_t)blocks * kUserDataSize);
    Drive drive("big.iso");
    Check(drive.SetBlockLength(kRawSectorSize), "MODE SELECT");
    static uint8_t toc[4096];
    VerifyPlan plan;
    Check(drive.Run(kReadFullToc, 10, toc, sizeof toc) && VerifyPlanFromFullToc(toc, sizeof toc, &plan), "TOC");
    double seconds = Best([&] {
        VerifyRun run;
        VerifyStart(&run, plan, kRawSectorSize);
        while (VerifyStep(&run, ReadVerifyBlocks, &drive)) {}
        Check(!run.failed && !run.unreadable && run.done == blocks, "verify");
    });
    return Report("verify through the virtual drive, sectors/s", blocks / seconds, 150000, false);
}

// The shell's drive read: raw length for the batch, 2048 again after it.
bool ReadBatch(void* context, int32_t lbn, uint32_t count, uint8_t* raw)
{
    Drive* drive = (Drive*)context;
    bool ok = drive->SetBlockLength(kRawSectorSize) && drive->Read(lbn, count, raw, count * kRawSectorSize);
    return drive->SetBlockLength(kUserDataSize) && ok;
}

bool CopyBench()
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
    Drive drive("src.cue");
    double seconds = Best([&] {
        static uint8_t toc[4096];
        CopyLayout layout;
        Check(drive.Run(kReadFullToc, 10, toc, sizeof toc) && LayoutFromFullToc(toc, sizeof toc, &layout), "TOC");
        FinishCopyLayout(&layout, ReadBatch, &drive);
        SaveJob job;
        StartSaveJob(&job, PlanDiscCopy(layout, dir + "copy.cue"), DiscLeadout(drive.disc), ReadBatch, &drive);
        Check(RunSaveJob(&job, 48) == kSaveDone && job.doneBlocks == (uint64_t)DiscLeadout(drive.disc), "copy");
    });
    return Report("disc copy through the virtual drive, MB/s",
                  DiscLeadout(drive.disc) * (double)kRawSectorSize / 1e6 / seconds, 100, false);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string which = argc > 1 ? argv[1] : "";
    char tmpl[] = "/tmp/quillet_bench.XXXXXX";
    Check(mkdtemp(tmpl) != nullptr, "mkdtemp");
    dir = std::string(tmpl) + "/";
    bool ok = which == "vdrive" ? VdriveBench() : which == "tree" ? TreeBench() : which == "dump" ? DumpBench()
            : which == "verify" ? VerifyBench() : which == "copy" && CopyBench();
    if (system(("rm -rf " + dir).c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", dir.c_str());
    return ok ? 0 : 1;
}
