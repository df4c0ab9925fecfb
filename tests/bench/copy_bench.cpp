// Whole-disc copy to BIN/CUE through the virtual drive, as the viewer runs
// it: READ TOC, then batches of READ(10) at 2352 bytes, each between two
// MODE SELECTs, written as one .bin per track. Reports MB/s of raw sectors
// written; fails below the floor.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "bytes.h"
#include "target.h"
#include "disccopy.h"

namespace {

// A 300 MB disc: a Mode 1 track of real (non-sparse) sectors and an audio track.
enum : uint32_t { kDataBlocks = 120000, kAudioBlocks = 10000 };
const double kMinMegabytesPerSecond = 100;

bool Command(Target* target, const uint8_t* cdb, uint32_t len, uint8_t* data, uint32_t data_len)
{
    uint8_t sense[18];
    return TargetExecute(target, cdb, len, data, data_len, sense, sizeof sense) == kScsiStatusGood;
}

bool SetBlockLength(Target* target, uint32_t length)
{
    uint8_t list[12] = {0, 0, 0, 8};
    put_be24(list + 9, length);
    const uint8_t select[6] = {0x15, 0x10, 0, 0, 12, 0};
    return Command(target, select, 6, list, 12);
}

// The shell's drive read: raw length for the batch, 2048 again after it.
bool ReadBatch(void* context, int32_t lbn, uint32_t count, uint8_t* raw)
{
    Target* target = (Target*)context;
    uint8_t cdb[10] = {0x28};
    put_be32(cdb + 2, (uint32_t)lbn);
    put_be16(cdb + 7, count);
    bool ok = SetBlockLength(target, kRawSectorSize) && Command(target, cdb, 10, raw, count * kRawSectorSize);
    SetBlockLength(target, kUserDataSize);
    return ok;
}

std::string MakeImage(const std::string& dir)
{
    FILE* fp = fopen((dir + "/src.bin").c_str(), "wb");
    static uint8_t raw[kRawSectorSize];
    for (uint32_t lba = 0; lba < kDataBlocks; ++lba) {
        uint8_t user[kUserDataSize];
        memset(user, (int)(lba & 0xFF), sizeof user);
        BuildRawSector(raw, (int32_t)lba, kSectorMode1, user, nullptr);
        fwrite(raw, 1, sizeof raw, fp);
    }
    fclose(fp);
    fp = fopen((dir + "/audio.bin").c_str(), "wb");
    memset(raw, 0x5A, sizeof raw);
    for (uint32_t i = 0; i < kAudioBlocks; ++i) fwrite(raw, 1, sizeof raw, fp);
    fclose(fp);
    std::string cue = "FILE \"src.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
                      "FILE \"audio.bin\" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n";
    fp = fopen((dir + "/src.cue").c_str(), "wb");
    fwrite(cue.data(), 1, cue.size(), fp);
    fclose(fp);
    return dir + "/src.cue";
}

}  // namespace

int main()
{
    char tmpl[] = "/tmp/copy_bench.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    std::string dir = tmpl;
    Disc disc;
    Target target;
    char err[256];
    if (!DiscOpen(MakeImage(dir).c_str(), &disc, err, sizeof err)) {
        fprintf(stderr, "%s\n", err);
        return 1;
    }
    TargetInit(&target, &disc);
    double best = 0;
    bool same = true;
    for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        static uint8_t toc[4096];
        const uint8_t read_toc[10] = {0x43, 0x02, 0x02, 0, 0, 0, 1, 0x10, 0x00, 0};
        CopyLayout layout;
        if (!Command(&target, read_toc, 10, toc, sizeof toc) || !LayoutFromFullToc(toc, sizeof toc, &layout))
            return 1;
        FinishCopyLayout(&layout, ReadBatch, &target);
        SaveJob job;
        StartSaveJob(&job, PlanDiscCopy(layout, dir + "/copy.cue"), DiscLeadout(disc), ReadBatch, &target);
        if (RunSaveJob(&job, 48) != kSaveDone) return 1;
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double rate = (double)job.doneBlocks * kRawSectorSize / 1e6 / seconds;
        best = rate > best ? rate : best;
        same = same && job.doneBlocks == (uint64_t)DiscLeadout(disc) && layout.tracks.size() == 2 &&
               layout.tracks[1].pregap == 150;
    }
    DiscClose(&disc);
    bool ok = best >= kMinMegabytesPerSecond && same;
    printf("disc copy through the virtual drive: %.0f MB/s (floor %.0f), %u blocks: %s\n", best,
           kMinMegabytesPerSecond, kDataBlocks + 150 + kAudioBlocks, ok ? "ok" : "FAILED");
    std::string cleanup = "rm -rf " + dir;
    if (system(cleanup.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
    return ok ? 0 : 1;
}
