// Directory tree build of a genisoimage volume of 20,000 entries in 1,000
// directories: the walker over blocks held in memory, the walker through the
// virtual drive (MODE SELECT 2340, one READ(10) a block, as the tree window
// reads), and isoinfo -l on the same image timed beside them. The ctest test
// fails when a build through the drive takes a second or more.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "cdb.h"
#include "iso9660/dirwalk.h"
#include "target.h"

namespace {

constexpr int kTopDirs = 10, kSubDirs = 99, kFilesPerDir = 19;  // 1,000 directories, 20,000 entries
constexpr size_t kEntries = 20000;
constexpr double kMaxDriveBuildSeconds = 1.0;

std::string dir, iso;
std::vector<uint8_t> image;  // the volume's 2048-byte blocks

bool Run(const std::string& command)
{
    return system(command.c_str()) == 0;
}

void MakeImage()
{
    char tmpl[] = "/tmp/tree_bench.XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    dir = tmpl;
    iso = dir + "/tree.iso";
    // Directories T0..T9, each with S0..S98; 19 empty files in every one.
    std::string src = dir + "/src";
    if (mkdir(src.c_str(), 0755) != 0) abort();
    for (int t = 0; t < kTopDirs; ++t) {
        std::string top = src + "/T" + std::to_string(t);
        for (int s = -1; s < kSubDirs; ++s) {
            std::string d = s < 0 ? top : top + "/S" + std::to_string(s);
            if (mkdir(d.c_str(), 0755) != 0) abort();
            for (int f = 0; f < kFilesPerDir; ++f) {
                FILE* fp = fopen((d + "/F" + std::to_string(f) + ".DAT").c_str(), "wb");
                if (!fp) abort();
                fclose(fp);
            }
        }
    }
    if (!Run("genisoimage -quiet -o " + iso + " " + dir + "/src")) abort();
    FILE* fp = fopen(iso.c_str(), "rb");
    if (!fp) abort();
    uint8_t block[kIsoUserDataSize];
    while (fread(block, 1, sizeof block, fp) == sizeof block)
        image.insert(image.end(), block, block + sizeof block);
    fclose(fp);
}

bool CountLine(void* context, const char*)
{
    ++*(size_t*)context;
    return true;
}

// A Mode 1 block of 2340 bytes from the image in memory.
bool ReadMemory(void*, int32_t lbn, uint8_t* raw)
{
    if (lbn < 0 || (size_t)lbn >= image.size() / kIsoUserDataSize)
        return false;
    memset(raw, 0, 4);
    raw[3] = 1;
    memcpy(raw + 4, image.data() + (size_t)lbn * kIsoUserDataSize, kIsoUserDataSize);
    return true;
}

struct Drive {
    Disc disc;
    Target target;
    int32_t lastSession = 0;
    Drive()
    {
        char err[256];
        if (!DiscOpen(iso.c_str(), &disc, err, sizeof err)) {
            fprintf(stderr, "%s\n", err);
            abort();
        }
        TargetInit(&target, &disc);
        if (!TargetLastSessionStart(&target, &lastSession)) abort();
        uint8_t cdb[kCdbAreaSize], params[kModeParamListSize], sense[kSenseFixedSize];
        int n = BuildModeSelect(cdb, params, kNoSyncSectorSize);
        if (TargetExecute(&target, cdb, (uint32_t)n, params, sizeof params, sense, sizeof sense) != kScsiStatusGood)
            abort();
    }
    ~Drive() { DiscClose(&disc); }
};

bool ReadDrive(void* context, int32_t lbn, uint8_t* raw)
{
    uint8_t cdb[kCdbAreaSize], sense[kSenseFixedSize];
    int n = BuildRead10(cdb, lbn, 1);
    return TargetExecute(&((Drive*)context)->target, cdb, (uint32_t)n, raw, kIsoReadBlockSize, sense,
                         sizeof sense) == kScsiStatusGood;
}

// Lines of one whole build; the root line comes on top of the entries.
size_t BuildTree(BlockReader read, void* context, int32_t lastSession, int32_t leadout)
{
    size_t lines = 0;
    DirWalk walk = MakeDirWalk(read, context, CountLine, &lines);
    BuildDirectoryTree(&walk, lastSession, leadout, kMaxTreeLevel);
    return lines;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main()
{
    MakeImage();

    // Best of several rounds: the machine is shared.
    Drive drive;
    int32_t leadout = DiscLeadout(drive.disc);
    double memory = 1e9, virtualDrive = 1e9, isoinfo = 1e9;
    size_t lines = 0;
    for (int round = 0; round < 5; ++round) {
        auto t = std::chrono::steady_clock::now();
        BuildTree(ReadMemory, nullptr, 0, (int32_t)(image.size() / kIsoUserDataSize));
        memory = std::min(memory, Seconds(t));
        t = std::chrono::steady_clock::now();
        lines = BuildTree(ReadDrive, &drive, drive.lastSession, leadout);
        virtualDrive = std::min(virtualDrive, Seconds(t));
        t = std::chrono::steady_clock::now();
        if (!Run("isoinfo -l -i " + iso + " > /dev/null")) return 1;
        isoinfo = std::min(isoinfo, Seconds(t));
    }
    bool ok = lines == kEntries + 1 && virtualDrive < kMaxDriveBuildSeconds;
    printf("tree of %zu lines (%zu blocks): in memory %.1f ms, virtual drive %.1f ms (limit %.0f ms), "
           "isoinfo -l %.1f ms: %s\n",
           lines, image.size() / kIsoUserDataSize, memory * 1e3, virtualDrive * 1e3, kMaxDriveBuildSeconds * 1e3,
           isoinfo * 1e3, ok ? "ok" : "FAILED");
    if (!Run("rm -rf " + dir)) fprintf(stderr, "could not remove %s\n", dir.c_str());
    return ok ? 0 : 1;
}
