// Benchmarks of the virtual drive, one per argument, each the best of five rounds (the machine is
// shared) against its floor; each prints its numbers and fails past the floor.
//   vdrive  random READ(10)s at 2352 bytes from a sparse 700 MB raw image
//           through the SCSI target; opening a 99-track cue sheet
//   tree    the directory tree of a 20,000-entry genisoimage volume in memory
//           and through the virtual drive (MODE SELECT 2340, one READ(10) a
//           block, as the tree window reads), isoinfo -l timed beside it
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cdb.h"
#include "dirwalk.h"
#include "target.h"

namespace {

std::string dir;

void Check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "bench: %s failed\n", what);
        exit(2);
    }
}

// Seconds of the fastest of five runs.
double Best(const std::function<void()>& run)
{
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// A drive on an image, its blocks read as `block_len` bytes.
struct Drive {
    Disc disc;
    Target target;
    Drive(const std::string& path, int32_t block_len)
    {
        char err[256];
        Check(DiscOpen(path.c_str(), &disc, err, sizeof err), err);
        TargetInit(&target, &disc);
        uint8_t cdb[kCdbAreaSize], params[kModeParamListSize], sense[kSenseFixedSize];
        int n = BuildModeSelect(cdb, params, block_len);
        Check(TargetExecute(&target, cdb, (uint32_t)n, params, sizeof params, sense, sizeof sense) == kScsiStatusGood,
              "MODE SELECT");
    }
    ~Drive() { DiscClose(&disc); }
    bool Read(int32_t lbn, uint8_t* out, uint32_t len)
    {
        uint8_t cdb[kCdbAreaSize], sense[kSenseFixedSize];
        int n = BuildRead10(cdb, lbn, 1);
        return TargetExecute(&target, cdb, (uint32_t)n, out, len, sense, sizeof sense) == kScsiStatusGood;
    }
};

bool VdriveBench()
{
    const uint32_t blocks = 700u * 1024 * 1024 / kRawSectorSize;
    // The first sector's sync and mode byte make it a raw Mode 1 image; the rest is a hole.
    uint8_t raw[kRawSectorSize] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1};
    FILE* fp = fopen((dir + "big.bin").c_str(), "wb");
    Check(fp && fwrite(raw, 1, sizeof raw, fp) == sizeof raw && fclose(fp) == 0, "big.bin");
    Check(truncate((dir + "big.bin").c_str(), (off_t)blocks * kRawSectorSize) == 0, "truncate");
    std::string cue = "FILE \"big.bin\" BINARY\r\n";
    for (int t = 1, f = 0; t <= 99; ++t, f += 100) {
        char line[64];
        snprintf(line, sizeof line, "  TRACK %02d AUDIO\r\n    INDEX 01 %02d:%02d:%02d\r\n", t, f / 4500, f / 75 % 60,
                 f % 75);
        cue += line;
    }
    fp = fopen((dir + "tracks.cue").c_str(), "wb");
    Check(fp && fwrite(cue.data(), 1, cue.size(), fp) == cue.size() && fclose(fp) == 0, "tracks.cue");

    Drive drive(dir + "big.bin", kRawSectorSize);
    std::mt19937 rng(11);
    const int reads = 100000;
    double rate = reads / Best([&] {
        for (int i = 0; i < reads; ++i)
            Check(drive.Read((int32_t)(rng() % blocks), raw, sizeof raw), "READ(10)");
    });
    double open = Best([&] {
        Disc disc;
        char err[256];
        Check(DiscOpen((dir + "tracks.cue").c_str(), &disc, err, sizeof err), err);
        DiscClose(&disc);
    });
    // Memory does not grow with the image: the disc model holds one entry per track.
    bool ok = rate >= 200000 && open < 0.010 && drive.disc.tracks.size() == 1;
    printf("random raw reads: %.0f sectors/s (floor 200000); 99-track cue open: %.3f ms (limit 10 ms): %s\n", rate,
           open * 1e3, ok ? "ok" : "FAILED");
    return ok;
}

bool CountLine(void* context, const char*)
{
    ++*(size_t*)context;
    return true;
}

std::vector<uint8_t> image;   // the volume's 2048-byte blocks

// A Mode 1 block of 2340 bytes from the image in memory.
bool ReadMemory(void*, int32_t lbn, uint8_t* raw)
{
    if (lbn < 0 || (size_t)lbn >= image.size() / kUserDataSize)
        return false;
    memset(raw, 0, 4);
    raw[3] = 1;
    memcpy(raw + 4, image.data() + (size_t)lbn * kUserDataSize, kUserDataSize);
    return true;
}

bool ReadDrive(void* context, int32_t lbn, uint8_t* raw)
{
    return ((Drive*)context)->Read(lbn, raw, kNoSyncSectorSize);
}

size_t BuildTree(BlockReader read, void* context, int32_t last_session, int32_t leadout)
{
    size_t lines = 0;
    DirWalk walk = MakeDirWalk(read, context, CountLine, &lines);
    BuildDirectoryTree(&walk, last_session, leadout, kMaxTreeLevel);
    return lines;
}

bool TreeBench()
{
    // T0..T9, each with S0..S98; 19 empty files in every one of the 1,000 directories.
    const std::string iso = dir + "tree.iso";
    Check(system(("cd " + dir + " && mkdir src && cd src && for t in $(seq 0 9); do for d in T$t "
                  "$(seq -f T$t/S%g 0 98); do mkdir $d && (cd $d && touch $(seq -f F%g.DAT 0 18)); done; done && "
                  "genisoimage -quiet -o " + iso + " " + dir + "src").c_str()) == 0, "genisoimage");
    FILE* fp = fopen(iso.c_str(), "rb");
    Check(fp != nullptr, "tree.iso");
    uint8_t block[kUserDataSize];
    while (fread(block, 1, sizeof block, fp) == sizeof block)
        image.insert(image.end(), block, block + sizeof block);
    fclose(fp);

    Drive drive(iso, kNoSyncSectorSize);
    int32_t last_session = 0, leadout = DiscLeadout(drive.disc);
    Check(TargetLastSessionStart(&drive.target, &last_session), "last session");
    size_t lines = 0;
    double memory = Best([&] { BuildTree(ReadMemory, nullptr, 0, (int32_t)(image.size() / kUserDataSize)); });
    double through = Best([&] { lines = BuildTree(ReadDrive, &drive, last_session, leadout); });
    double isoinfo = Best([&] { Check(system(("isoinfo -l -i " + iso + " > /dev/null").c_str()) == 0, "isoinfo"); });
    // The root line comes on top of the 20,000 entries.
    bool ok = lines == 20001 && through < 1.0;
    printf("tree of %zu lines (%zu blocks): in memory %.1f ms, virtual drive %.1f ms (limit 1000 ms), "
           "isoinfo -l %.1f ms: %s\n",
           lines, image.size() / kUserDataSize, memory * 1e3, through * 1e3, isoinfo * 1e3, ok ? "ok" : "FAILED");
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string which = argc > 1 ? argv[1] : "";
    char tmpl[] = "/tmp/quillet_bench.XXXXXX";
    Check(mkdtemp(tmpl) != nullptr, "mkdtemp");
    dir = std::string(tmpl) + "/";
    bool ok = which == "vdrive" ? VdriveBench() : which == "tree" && TreeBench();
    if (system(("rm -rf " + dir).c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", dir.c_str());
    return ok ? 0 : 1;
}
