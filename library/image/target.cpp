// SCSI target: TEST UNIT READY, READ CAPACITY, READ TOC, READ(10),
// MODE SELECT(6) and START STOP UNIT against a disc model.
#include "target.h"

#include <string.h>

#include <vector>

#include "bytes.h"
#include "toc.h"

namespace {

enum {
    kOpTestUnitReady = 0x00, kOpModeSelect6 = 0x15, kOpStartStopUnit = 0x1B, kOpReadCapacity = 0x25,
    kOpRead10 = 0x28, kOpReadToc = 0x43,
};

enum {
    kBlock2048 = kUserDataSize, kBlock2340 = kRawSectorSize - kSyncSize, kBlock2352 = kRawSectorSize,
    kReadCapacitySize = 8, kModeHeader6Size = 4, kBlockDescriptorSize = 8,
    kSenseCurrentFixed = 0x70, kSenseValid = 0x80, kSenseAdditionalLength = 10,
};

struct Sense {
    uint8_t key, asc, ascq;
};
const Sense kNoMedium = {0x02, 0x3A, 0x00};
const Sense kReadError = {0x03, 0x11, 0x00};
const Sense kInvalidOpcode = {0x05, 0x20, 0x00};
const Sense kLbaOutOfRange = {0x05, 0x21, 0x00};
const Sense kInvalidFieldInCdb = {0x05, 0x24, 0x00};
const Sense kInvalidParameterList = {0x05, 0x26, 0x00};
const Sense kIllegalModeForTrack = {0x05, 0x64, 0x00};

struct Command {
    const uint8_t* cdb;
    uint32_t cdb_len;
    uint8_t* data;
    uint32_t data_len;
    uint8_t* sense;
    uint32_t sense_len;
};

int Check(const Command& c, Sense s, bool info_valid = false, uint32_t info = 0)
{
    uint8_t fixed[kSenseFixedSize] = {};
    fixed[0] = (uint8_t)(kSenseCurrentFixed | (info_valid ? kSenseValid : 0));
    fixed[2] = s.key;
    put_be32(fixed + 3, info);
    fixed[7] = kSenseAdditionalLength;
    fixed[12] = s.asc;
    fixed[13] = s.ascq;
    uint32_t n = c.sense_len < (uint32_t)kSenseFixedSize ? c.sense_len : (uint32_t)kSenseFixedSize;
    if (n) memcpy(c.sense, fixed, n);
    return kScsiCheckCondition;
}

// Bytes a command's CDB must have, by its group code (bits 7-5 of the opcode).
uint32_t CdbSize(uint8_t opcode)
{
    switch (opcode >> 5) {
    case 0: return 6;
    case 1:
    case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return 0;
    }
}

int TestUnitReady(Target*, const Command&) { return kScsiGood; }

int ReadCapacity(Target* t, const Command& c)
{
    if (c.data_len < kReadCapacitySize) return Check(c, kInvalidFieldInCdb);
    put_be32(c.data, (uint32_t)(DiscLeadout(*t->disc) - 1));  // last LBA
    put_be32(c.data + 4, kBlock2048);
    t->transferred = kReadCapacitySize;
    return kScsiGood;
}

int ReadToc(Target* t, const Command& c)
{
    bool msf = (c.cdb[1] & 0x02) != 0;
    // Format in byte 2 bits 3-0 (MMC), or in the old place, byte 9 bits 7-6.
    int format = c.cdb[2] & 0x0F;
    if (format == 0) format = c.cdb[9] >> 6;
    uint32_t alloc = get_be16(c.cdb + 7);
    std::vector<uint8_t> response;
    if (!BuildTocResponse(*t->disc, format, msf, c.cdb[6], &response)) return Check(c, kInvalidFieldInCdb);
    // A short allocation length truncates; the data length keeps the full size.
    uint32_t n = (uint32_t)response.size();
    if (n > alloc) n = alloc;
    if (n > c.data_len) n = c.data_len;
    if (n) memcpy(c.data, response.data(), n);
    t->transferred = n;
    return kScsiGood;
}

int Read10(Target* t, const Command& c)
{
    uint32_t lba = get_be32(c.cdb + 2);
    uint32_t count = get_be16(c.cdb + 7);
    uint32_t block = t->block_length;
    if ((uint64_t)count * block != c.data_len) return Check(c, kInvalidFieldInCdb);
    uint8_t raw[kRawSectorSize];
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t at = lba + i;
        SectorType type;
        DiscReadResult r = at > (uint32_t)INT32_MAX ? kDiscReadOutOfRange : DiscReadRaw(*t->disc, (int32_t)at, raw, &type);
        if (r == kDiscReadOutOfRange) return Check(c, kLbaOutOfRange, true, at);
        if (r != kDiscReadOk) return Check(c, kReadError, true, at);
        uint8_t* dst = c.data + (size_t)i * block;
        if (block == kBlock2048) {
            // Only sectors that carry 2048 bytes of user data can be read so.
            if (type == kSectorMode1)
                memcpy(dst, raw + kSyncSize + kHeaderSize, kBlock2048);
            else if (type == kSectorMode2Form1)
                memcpy(dst, raw + kSyncSize + kHeaderSize + kSubheaderSize, kBlock2048);
            else
                return Check(c, kIllegalModeForTrack, true, at);
        } else {
            memcpy(dst, raw + (kRawSectorSize - block), block);
        }
        t->transferred += block;
    }
    return kScsiGood;
}

int ModeSelect6(Target* t, const Command& c)
{
    uint32_t list_len = c.cdb[4];
    if (list_len > c.data_len) return Check(c, kInvalidFieldInCdb);
    if (list_len == 0) return kScsiGood;
    if (list_len < kModeHeader6Size) return Check(c, kInvalidParameterList);
    uint32_t bd_len = c.data[3];
    if (bd_len == 0) return kScsiGood;  // mode pages only: nothing we keep
    if (bd_len != kBlockDescriptorSize || kModeHeader6Size + bd_len > list_len) return Check(c, kInvalidParameterList);
    uint32_t length = get_be24(c.data + kModeHeader6Size + 5);
    if (length != kBlock2048 && length != kBlock2340 && length != kBlock2352) return Check(c, kInvalidParameterList);
    t->block_length = length;
    return kScsiGood;
}

int StartStopUnit(Target* t, const Command& c)
{
    enum { kStart = 0x01, kLoadEject = 0x02 };
    uint8_t flags = c.cdb[4];
    if (flags & kLoadEject) t->medium_present = (flags & kStart) != 0;  // eject, or load the same disc again
    return kScsiGood;
}

struct Handler {
    uint8_t opcode;
    bool needs_medium;
    int (*run)(Target*, const Command&);
};
const Handler kHandlers[] = {
    {kOpTestUnitReady, true, TestUnitReady}, {kOpModeSelect6, false, ModeSelect6},
    {kOpStartStopUnit, false, StartStopUnit}, {kOpReadCapacity, true, ReadCapacity},
    {kOpRead10, true, Read10},               {kOpReadToc, true, ReadToc},
};

}  // namespace

void TargetInit(Target* target, const Disc* disc)
{
    target->disc = disc;
    target->block_length = kBlock2048;
    target->medium_present = true;
    target->transferred = 0;
}

int TargetExecute(Target* target, const uint8_t* cdb, uint32_t cdb_len, uint8_t* data, uint32_t data_len,
                  uint8_t* sense, uint32_t sense_len)
{
    if (!sense) sense_len = 0;
    if (sense_len) memset(sense, 0, sense_len);
    if (!data) data_len = 0;
    target->transferred = 0;
    Command c{cdb, cdb_len, data, data_len, sense, sense_len};
    if (!cdb || cdb_len == 0) return Check(c, kInvalidOpcode);
    const Handler* h = nullptr;
    for (const Handler& k : kHandlers)
        if (k.opcode == cdb[0]) h = &k;
    if (!h) return Check(c, kInvalidOpcode);
    if (cdb_len < CdbSize(cdb[0])) return Check(c, kInvalidFieldInCdb);
    if (h->needs_medium && !target->medium_present) return Check(c, kNoMedium);
    return h->run(target, c);
}

bool TargetLastSessionStart(const Target* target, int32_t* lba)
{
    if (!target->medium_present || target->disc->sessions.empty()) return false;
    const DiscSession& s = target->disc->sessions.back();
    *lba = target->disc->tracks[s.first_track].start;
    return true;
}

bool TargetMediumPresent(const Target* target) { return target->medium_present; }
