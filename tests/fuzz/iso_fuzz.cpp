// Fuzzes the ISO 9660 readers: the volume label fields of a raw 2340-byte
// block, and the directory walk over a disc whose blocks from LBN 16 on (the
// volume descriptor first) are the input's 2048-byte blocks. Every block is
// handed over in a buffer of its exact size, so a stray read is caught.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "dirwalk.h"
#include "volume.h"
#include "seeds.h"

namespace {

struct Disc {
    const uint8_t* data;
    size_t size;
    int32_t blocks;
};

constexpr int32_t kFirstLbn = kVolumeDescriptorLbn;

bool ReadBlock(void* context, int32_t lbn, uint8_t* raw)
{
    const Disc* disc = static_cast<const Disc*>(context);
    if (lbn < kFirstLbn || lbn - kFirstLbn >= disc->blocks) return false;
    size_t at = (size_t)(lbn - kFirstLbn) * kIsoBlockSize;
    size_t n = disc->size - at < kIsoBlockSize ? disc->size - at : kIsoBlockSize;
    memset(raw, 0, kRawSectorSize);
    raw[3] = 1;  // a mode 1 header: the user data follows it at 4
    memcpy(raw + 4, disc->data + at, n);
    return true;
}

bool TakeLine(void*, const char* line)
{
    if (strnlen(line, kTreeLineSize) == kTreeLineSize) abort();
    return true;
}

void PutBoth32(uint8_t* p, uint32_t v)  // ISO 9660 both-endian field
{
    for (int i = 0; i < 4; ++i) p[i] = p[7 - i] = (uint8_t)(v >> (8 * i));
}

// A directory record; a system use area makes it a CD-ROM XA record.
std::vector<uint8_t> Record(uint32_t extent, uint32_t length, uint8_t flags, const std::string& name, bool xa)
{
    size_t len = 33 + name.size();
    len += len % 2;
    std::vector<uint8_t> r(len + (xa ? 14 : 0), 0);
    r[0] = (uint8_t)r.size();
    PutBoth32(&r[2], extent);
    PutBoth32(&r[10], length);
    const uint8_t date[7] = {96, 5, 23, 14, 30, 25, 36};
    memcpy(&r[18], date, sizeof date);
    r[25] = flags;
    r[32] = (uint8_t)name.size();
    memcpy(&r[33], name.data(), name.size());
    if (xa) {
        r[len + 4] = 0x0D;  // attributes: form 1, readable
        r[len + 5] = 0x55;
        r[len + 6] = 'X';
        r[len + 7] = 'A';
    }
    return r;
}

// Descriptor, root directory (a subdirectory and an XA file), subdirectory.
std::vector<uint8_t> SeedDisc()
{
    std::vector<uint8_t> disc(3 * kIsoBlockSize, 0);
    uint8_t* pvd = disc.data();
    memcpy(pvd, "\x01" "CD001" "\x01", 7);
    std::vector<uint8_t> root = Record(17, 2048, 2, std::string(1, '\0'), false);
    memcpy(pvd + 156, root.data(), root.size());
    memcpy(pvd + 1024, "CD-XA001", 8);
    size_t at = kIsoBlockSize;
    for (const auto& r : {Record(17, 2048, 2, std::string(1, '\0'), true), Record(17, 2048, 2, "\x01", true),
                          Record(18, 2048, 2, "SUBDIR", true), Record(19, 5, 0, "FILE.TXT;1", true)}) {
        memcpy(&disc[at], r.data(), r.size());
        at += r.size();
    }
    at = 2 * kIsoBlockSize;
    for (const auto& r : {Record(18, 2048, 2, std::string(1, '\0'), false), Record(17, 2048, 2, "\x01", false)}) {
        memcpy(&disc[at], r.data(), r.size());
        at += r.size();
    }
    return disc;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* dir = ExpandHexSeeds()) WriteSeedFile(std::string(dir) + "/disc.bin", SeedDisc());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The label: the input's first bytes as a raw block, mode byte included.
    std::vector<uint8_t> block(kNoSyncSectorSize, 0);
    memcpy(block.data(), data, size < block.size() ? size : block.size());
    VolumeLabel label;
    if (DecodeVolumeLabel(block.data(), block.size(), &label)) {
        for (size_t i = 0; i < kVolumeFieldCount; ++i)
            if (strnlen(label.szText[i], kVolumeTextSize) == kVolumeTextSize) abort();
    }

    if (size == 0) return 0;
    std::vector<uint8_t> bytes(data, data + size);
    Disc disc = {bytes.data(), bytes.size(), (int32_t)((size + kIsoBlockSize - 1) / kIsoBlockSize)};
    DirWalk walk = MakeDirWalk(ReadBlock, &disc, TakeLine, nullptr);
    BuildDirectoryTree(&walk, 0, kFirstLbn + disc.blocks, kMaxTreeLevel);
    if (walk.nLines > kMaxTreeLines || walk.nReads > kMaxTreeReads) abort();
    return 0;
}
