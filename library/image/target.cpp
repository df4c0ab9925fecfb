// SCSI target: TEST UNIT READY, READ CAPACITY, READ TOC, READ(10),
// MODE SELECT(6) and START STOP UNIT against a disc model.
#include "target.h"

#include <string.h>

#include <vector>

#include "bytes.h"
#include "cdb.h"
#include "toc.h"

namespace {

struct Command {
    const uint8_t* cdb;
    uint32_t cdb_len;
    uint8_t* data;
    uint32_t data_len;
    uint8_t* sense;
    uint32_t sense_len;
};

int Check(const Command& c, SenseCode s, bool info_valid = false, uint32_t info = 0)
{
    uint8_t fixed[kSenseFixedSize] = {};
    fixed[0] = (uint8_t)(kSenseResponseCurrent | (info_valid ? kSenseValidBit : 0));
    fixed[kSenseKeyByte] = s.key;
    put_be32(fixed + kSenseInformation, info);
    fixed[kSenseAdditionalLengthByte] = kSenseAdditionalLength;
    fixed[kSenseAscByte] = s.asc;
    fixed[kSenseAscqByte] = s.ascq;
    uint32_t n = c.sense_len < (uint32_t)kSenseFixedSize ? c.sense_len : (uint32_t)kSenseFixedSize;
    if (n) memcpy(c.sense, fixed, n);
    return kScsiStatusCheckCondition;
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

int TestUnitReady(Target*, const Command&) { return kScsiStatusGood; }

int ReadCapacity(Target* t, const Command& c)
{
    if (c.data_len < kReadCapacityResponseSize) return Check(c, kSenseInvalidFieldInCdb);
    put_be32(c.data, (uint32_t)(DiscLeadout(*t->disc) - 1));  // last LBA
    put_be32(c.data + 4, kUserDataSize);
    t->transferred = kReadCapacityResponseSize;
    return kScsiStatusGood;
}

int ReadToc(Target* t, const Command& c)
{
    bool msf = (c.cdb[kCdbReadTocMsf] & kReadTocMsfBit) != 0;
    // Format in byte 2 bits 3-0 (MMC), or in the old place, byte 9 bits 7-6.
    int format = c.cdb[kCdbReadTocFormat] & 0x0F;
    if (format == 0) format = c.cdb[kCdbReadTocOldFormat] >> 6;
    uint32_t alloc = get_be16(c.cdb + kCdbReadTocAllocLength);
    std::vector<uint8_t> response;
    if (!BuildTocResponse(*t->disc, format, msf, c.cdb[kCdbReadTocStart], &response)) return Check(c, kSenseInvalidFieldInCdb);
    // A short allocation length truncates; the data length keeps the full size.
    uint32_t n = (uint32_t)response.size();
    if (n > alloc) n = alloc;
    if (n > c.data_len) n = c.data_len;
    if (n) memcpy(c.data, response.data(), n);
    t->transferred = n;
    return kScsiStatusGood;
}

int Read10(Target* t, const Command& c)
{
    uint32_t lba = get_be32(c.cdb + kCdbRead10Lba);
    uint32_t count = get_be16(c.cdb + kCdbRead10Blocks);
    uint32_t block = t->block_length;
    if ((uint64_t)count * block != c.data_len) return Check(c, kSenseInvalidFieldInCdb);
    uint8_t raw[kRawSectorSize];
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t at = lba + i;
        SectorType type;
        DiscReadResult r = at > (uint32_t)INT32_MAX ? kDiscReadOutOfRange : DiscReadRaw(*t->disc, (int32_t)at, raw, &type);
        if (r == kDiscReadOutOfRange) return Check(c, kSenseLbaOutOfRange, true, at);
        if (r != kDiscReadOk) {
            DiscReadProblem(*t->disc, (int32_t)at, t->read_problem, sizeof t->read_problem);
            return Check(c, kSenseUnrecoveredRead, true, at);
        }
        uint8_t* dst = c.data + (size_t)i * block;
        if (block == kUserDataSize) {
            // Only sectors that carry kUserDataSize bytes of user data can be read so.
            if (type == kSectorMode1)
                memcpy(dst, raw + kDataOffset, kUserDataSize);
            else if (type == kSectorMode2Form1)
                memcpy(dst, raw + kXaUserDataOffset, kUserDataSize);
            else
                return Check(c, kSenseIllegalModeForTrack, true, at);
        } else {
            memcpy(dst, raw + (kRawSectorSize - block), block);
        }
        t->transferred += block;
    }
    return kScsiStatusGood;
}

int ModeSelect6(Target* t, const Command& c)
{
    uint32_t list_len = c.cdb[kCdbModeSelectListLength];
    if (list_len > c.data_len) return Check(c, kSenseInvalidFieldInCdb);
    if (list_len == 0) return kScsiStatusGood;
    if (list_len < kModeHeader6Size) return Check(c, kSenseInvalidParameterList);
    uint32_t bd_len = c.data[kModeHeader6BlockDescLength];
    if (bd_len == 0) return kScsiStatusGood;  // mode pages only: nothing we keep
    if (bd_len != kBlockDescriptorSize || kModeHeader6Size + bd_len > list_len) return Check(c, kSenseInvalidParameterList);
    uint32_t length = get_be24(c.data + kModeHeader6Size + kBlockDescBlockLength);
    if (!IsSupportedBlockLength((int32_t)length)) return Check(c, kSenseInvalidParameterList);
    t->block_length = length;
    return kScsiStatusGood;
}

int StartStopUnit(Target* t, const Command& c)
{
    uint8_t flags = c.cdb[kCdbStartStopFlags];
    if (flags & kStartStopLoadEject) t->medium_present = (flags & kStartStopStart) != 0;  // eject, or load the same disc again
    return kScsiStatusGood;
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
    target->block_length = kUserDataSize;
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
    target->read_problem[0] = 0;
    Command c{cdb, cdb_len, data, data_len, sense, sense_len};
    if (!cdb || cdb_len == 0) return Check(c, kSenseInvalidOpcode);
    const Handler* h = nullptr;
    for (const Handler& k : kHandlers)
        if (k.opcode == cdb[0]) h = &k;
    if (!h) return Check(c, kSenseInvalidOpcode);
    if (cdb_len < CdbSize(cdb[0])) return Check(c, kSenseInvalidFieldInCdb);
    if (h->needs_medium && !target->medium_present) return Check(c, kSenseNoMedium);
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
