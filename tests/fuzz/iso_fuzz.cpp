// Fuzzes the ISO 9660 readers: the volume label fields of a raw 2340-byte
// block, and the directory walk over a disc whose blocks from LBN 16 on (the
// volume descriptor first) are the input's 2048-byte blocks. Every block is
// handed over in a buffer of its exact size, so a stray read is caught.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "dirwalk.h"
#include "volume.h"

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

}  // namespace

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
