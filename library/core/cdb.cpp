// CDB builders of the CD-ROM command set (SCSI-2 / MMC layouts).
#include "cdb.h"

#include <string.h>

#include "bytes.h"

namespace {

const uint8_t kTestUnitReadyCdb[6] = {kOpTestUnitReady, 0, 0, 0, 0, 0};
// LoEj set, Start clear.
const uint8_t kEjectCdb[6] = {kOpStartStopUnit, 0, 0, 0, kStartStopLoadEject, 0};
// PF set, SP clear, the parameter list length.
const uint8_t kModeSelectCdb[6] = {kOpModeSelect6, kModeSelectPageFormat, 0, 0, kModeParamListSize, 0};
// No relative address, LBA 0, PMI 0.
const uint8_t kReadCapacityCdb[10] = {kOpReadCapacity, 0, 0, 0, 0, 0, 0, 0, 0, 0};

const uint8_t kTocStartingTrack = 1;

template <size_t N> int CopyTemplate(uint8_t* cdb, const uint8_t (&tmpl)[N])
{
    memcpy(cdb, tmpl, N);
    return (int)N;
}

}  // namespace

int BuildTestUnitReady(uint8_t* cdb) { return CopyTemplate(cdb, kTestUnitReadyCdb); }

int BuildReadCapacity(uint8_t* cdb) { return CopyTemplate(cdb, kReadCapacityCdb); }

int BuildReadToc(uint8_t* cdb, uint32_t alloc_len, uint32_t format)
{
    memset(cdb, 0, 10);
    cdb[0] = kOpReadToc;
    cdb[kCdbReadTocMsf] = kReadTocMsfBit;
    cdb[kCdbReadTocStart] = kTocStartingTrack;
    put_be16(cdb + kCdbReadTocAllocLength, alloc_len & 0xFFFF);
    cdb[kCdbReadTocOldFormat] = (uint8_t)(format << 6);
    return 10;
}

int BuildRead10(uint8_t* cdb, int32_t lbn, uint32_t blocks)
{
    memset(cdb, 0, 10);
    cdb[0] = kOpRead10;
    put_be32(cdb + kCdbRead10Lba, (uint32_t)lbn);
    put_be16(cdb + kCdbRead10Blocks, blocks & 0xFFFF);
    return 10;
}

int BuildEject(uint8_t* cdb) { return CopyTemplate(cdb, kEjectCdb); }

bool IsSupportedBlockLength(int32_t block_len)
{
    return block_len == kUserDataSize || block_len == kNoSyncSectorSize || block_len == kRawSectorSize;
}

int BuildModeSelect(uint8_t* cdb, uint8_t* params, int32_t block_len)
{
    if (!IsSupportedBlockLength(block_len))
        return 0;
    // Mode parameter header (mode data length, medium type, device-specific
    // parameter, block descriptor length), then one block descriptor: density
    // code 0, number of blocks 0, reserved, block length.
    memset(params, 0, kModeParamListSize);
    params[kModeHeader6BlockDescLength] = kBlockDescriptorSize;
    put_be24(params + kModeHeader6Size + kBlockDescBlockLength, (uint32_t)block_len);
    return CopyTemplate(cdb, kModeSelectCdb);
}

uint32_t Read10DataLength(uint32_t blocks, int32_t block_len)
{
    if (block_len < 0)
        return 0;
    return (uint32_t)(uint16_t)blocks * (uint32_t)block_len;
}

void ParseReadCapacity(const uint8_t* resp8, int32_t* last_lbn, int32_t* block_len)
{
    *last_lbn = (int32_t)get_be24(resp8 + 1);
    *block_len = (int32_t)get_be24(resp8 + 5);
}

int32_t ParseLastSession(const uint8_t* out, uint32_t out_len)
{
    // The READ TOC session-format layout: header, then one track descriptor.
    if (out == nullptr || out_len < kTocHeaderSize + kTrackDescriptorSize)
        return -1;
    return (int32_t)get_be32(out + kTocHeaderSize + kTrackDescAddress);
}
