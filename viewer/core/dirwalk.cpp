// ISO 9660 directory tree walk.
#include "dirwalk.h"

#include <stdio.h>
#include <string.h>

#include "bytes.h"

namespace {

// The root directory record of the primary volume descriptor.
constexpr size_t kPvdRootExtent = kPvdRootRecord + kRecExtentBe;
constexpr size_t kPvdRootLength = kPvdRootRecord + kRecDataLengthBe;
constexpr size_t kPvdRootDate = kPvdRootRecord + kRecDate;
constexpr size_t kPvdRootFlags = kPvdRootRecord + kRecFlags;

// The fixed part of a directory record and one identifier byte.
constexpr size_t kMinRecordLength = kRecName + 1;
// What the walker reads of an XA system use record: attributes and "XA".
constexpr size_t kXaFieldsRead = kXaSignatureAt + 2;

struct FlagLetter {
    uint16_t mask;
    char letter;
};
constexpr FlagLetter kFlagLetters[] = {
    {kFileDirectory, 'D'},
    {kFileMultiExtent, 'M'},
    {kFileProtection, 'P'},
    {kFileRecord, 'R'},
    {kFileAssociated, 'A'},
    {kFileHidden, 'H'},  // Existence
};
static_assert(sizeof kFlagLetters / sizeof kFlagLetters[0] + 1 == kFileFlagsTextSize, "one letter per flag");

// XA attribute letters from bit 15 down to bit 0: directory, CD-DA,
// interleaved, form 2, form 1, then execute/read for world, group, owner.
// Bits 9, 7, 5, 3 and 1 are reserved and always show "-" (mask 0).
constexpr FlagLetter kXaLetters[] = {
    {kXaDirectory, 'd'}, {kXaCdda, 'A'}, {kXaInterleaved, 'I'}, {kXaForm2, '2'},
    {kXaForm1, '1'}, {kXaWorldExecute, 'x'}, {0, '-'}, {kXaWorldRead, 'r'},
    {0, '-'}, {kXaGroupExecute, 'x'}, {0, '-'}, {kXaGroupRead, 'r'},
    {0, '-'}, {kXaOwnerExecute, 'x'}, {0, '-'}, {kXaOwnerRead, 'r'},
};
constexpr size_t kXaBits = sizeof kXaLetters / sizeof kXaLetters[0];

bool AddLine(DirWalk* walk, const char* line)
{
    if (walk->nLines >= kMaxTreeLines || !walk->pfnSink(walk->pSinkContext, line))
        return false;
    ++walk->nLines;
    return true;
}

bool IsAncestor(const DirWalk* walk, int32_t extent)
{
    for (uint32_t i = 0; i < walk->nTreeDepth && i < kMaxTreeLevel; ++i)
        if (walk->alAncestor[i] == extent)
            return true;
    return false;
}

// One directory record that lies wholly in its block. False when the sink
// is full.
bool ListRecord(DirWalk* walk, const uint8_t* rec, size_t recLen, uint32_t level)
{
    if (rec[kRecName] == kSelfIdentifier || rec[kRecName] == kParentIdentifier)
        return true;

    size_t nameLen = rec[kRecNameLength];
    // The system use area follows the identifier and its padding byte.
    size_t suOffset = kRecName + nameLen + (nameLen % 2 == 0 ? 1 : 0);
    if (kRecName + nameLen > recLen)
        nameLen = recLen - kRecName;  // identifier overruns the record: cut it

    uint8_t flags = rec[kRecFlags];
    int32_t extent = (int32_t)get_be32(rec + kRecExtentBe);
    int32_t length = (int32_t)get_be32(rec + kRecDataLengthBe);

    char column[kXaAttributesTextSize];
    const uint8_t* su = rec + suOffset;
    if (suOffset + kXaFieldsRead <= recLen && su[kXaSignatureAt] == 'X' &&
        su[kXaSignatureAt + 1] == 'A')
        FormatXaAttributes(flags, get_be16(su + kXaAttributes), column, sizeof column);
    else
        FormatFileFlags(flags, column, sizeof column);

    char date[kRecordDateTextSize];
    FormatRecordDate(rec + kRecDate, date, sizeof date);

    char line[kTreeLineSize];
    FormatTreeLine(line, sizeof line, walk->nTreeDepth, (const char*)rec + kRecName, nameLen,
                   column, length, date, extent);
    if (!AddLine(walk, line))
        return false;

    // A directory that names one of its own ancestors would list itself
    // inside itself; its line stands, its contents are not repeated.
    if ((flags & kFileDirectory) && level > walk->nTreeDepth && !IsAncestor(walk, extent))
        ListDirectory(walk, extent, length, level);
    return true;
}

bool ListExtent(DirWalk* walk, int32_t extent, int32_t length, uint32_t level)
{
    uint8_t block[kIsoBlockSize];
    for (int64_t offset = 0; offset < length; offset += kIsoBlockSize) {
        int64_t lbn = (int64_t)extent + offset / kIsoBlockSize;
        if (lbn > INT32_MAX)
            return false;
        if (!ReadUserData(walk, (int32_t)lbn, block))
            return false;
        // A zero length byte ends the records of a block: records never
        // cross a block boundary and the rest of the block is padding.
        size_t pos = 0;
        while (pos < kIsoBlockSize && block[pos + kRecLength] != 0) {
            size_t recLen = block[pos + kRecLength];
            if (pos + recLen > kIsoBlockSize)
                break;
            // Too short for the fixed part and one identifier byte: skipped.
            if (recLen >= kMinRecordLength && !ListRecord(walk, block + pos, recLen, level))
                return false;
            pos += recLen;
        }
    }
    return true;
}

}  // namespace

DirWalk MakeDirWalk(BlockReader pfnRead, void* pReadContext, LineSink pfnSink, void* pSinkContext)
{
    DirWalk walk;
    memset(&walk, 0, sizeof walk);
    walk.pfnRead = pfnRead;
    walk.pReadContext = pReadContext;
    walk.pfnSink = pfnSink;
    walk.pSinkContext = pSinkContext;
    return walk;
}

bool ReadUserData(DirWalk* walk, int32_t lbn, uint8_t* dest)
{
    if (walk->nReads >= kMaxTreeReads)
        return false;
    ++walk->nReads;
    uint8_t raw[kRawSectorSize];
    memset(raw, 0, sizeof raw);
    if (!walk->pfnRead(walk->pReadContext, lbn, raw))
        return false;
    static_assert((int)kUserDataSize == (int)kIsoBlockSize, "a logical block is a sector's user data");
    memcpy(dest, LocateUserData(raw, kNoSyncSectorSize), kIsoBlockSize);
    return true;
}

TreeBuildResult BuildDirectoryTree(DirWalk* walk, int32_t lLastSession, int32_t lLeadout,
                                   uint32_t level)
{
    walk->nTreeDepth = 0;
    walk->nLines = 0;
    walk->nReads = 0;
    // A hand-edited level must not let a looping hierarchy recurse further.
    if (level > kMaxTreeLevel)
        level = kMaxTreeLevel;

    int64_t vdLbn = (int64_t)lLastSession + kVolumeDescriptorLbn;
    uint8_t vd[kIsoBlockSize];
    if (vdLbn > INT32_MAX || !ReadUserData(walk, (int32_t)vdLbn, vd))
        return kTreeNoDescriptor;

    int32_t rootExtent = (int32_t)get_be32(vd + kPvdRootExtent);
    int32_t rootLength = (int32_t)get_be32(vd + kPvdRootLength);
    char line[kTreeLineSize];
    // Block 0 and anything at or past the lead-out cannot hold the root; a
    // negative extent (a big-endian field above 2^31) cannot either.
    if (rootExtent <= 0 || rootExtent >= lLeadout) {
        snprintf(line, sizeof line, "Bad Root location \t%8d", (int)rootExtent);
        AddLine(walk, line);
        return kTreeBadRoot;
    }

    char column[kXaAttributesTextSize];
    uint8_t rootFlags = vd[kPvdRootFlags];
    if (memcmp(vd + kPvdXaSignature, kXaSignature, sizeof kXaSignature - 1) == 0)
        FormatXaAttributes(rootFlags, 0, column, sizeof column);
    else
        FormatFileFlags(rootFlags, column, sizeof column);
    char date[kRecordDateTextSize];
    FormatRecordDate(vd + kPvdRootDate, date, sizeof date);
    FormatTreeLine(line, sizeof line, 0, "\\", 1, column, rootLength, date, rootExtent);
    if (!AddLine(walk, line))
        return kTreeFull;

    ListDirectory(walk, rootExtent, rootLength, level);
    return kTreeListed;
}

bool ListDirectory(DirWalk* walk, int32_t extent, int32_t length, uint32_t level)
{
    if (level > kMaxTreeLevel)
        level = kMaxTreeLevel;
    if (walk->nTreeDepth >= kMaxTreeLevel)
        return false;
    walk->alAncestor[walk->nTreeDepth] = extent;
    ++walk->nTreeDepth;
    bool ok = ListExtent(walk, extent, length, level);
    --walk->nTreeDepth;
    return ok;
}

const char* FormatFileFlags(uint8_t flags, char* out, size_t cap)
{
    char text[kFileFlagsTextSize];
    for (size_t i = 0; i < sizeof kFlagLetters / sizeof kFlagLetters[0]; ++i)
        text[i] = (flags & kFlagLetters[i].mask) ? kFlagLetters[i].letter : '-';
    text[kFileFlagsTextSize - 1] = 0;
    snprintf(out, cap, "%s", text);
    return out;
}

const char* FormatXaAttributes(uint8_t flags, uint16_t xaAttributes, char* out, size_t cap)
{
    char bits[kXaBits + 1];
    for (size_t p = 0; p < kXaBits; ++p)
        bits[p] = (xaAttributes & kXaLetters[p].mask) ? kXaLetters[p].letter : '-';
    bits[kXaBits] = 0;
    char plain[kFileFlagsTextSize];
    FormatFileFlags(flags, plain, sizeof plain);
    snprintf(out, cap, "%s %s", bits, plain);
    return out;
}

const char* FormatRecordDate(const uint8_t* date7, char* out, size_t cap)
{
    // Years since 1900, month, day, hour, minute, second; byte 6, the
    // offset from Greenwich, is not shown.
    snprintf(out, cap, "%04d-%02d-%02d %02d:%02d:%02d", date7[0] + 1900, date7[1], date7[2],
             date7[3], date7[4], date7[5]);
    return out;
}

void FormatTreeLine(char* out, size_t cap, uint32_t indent, const char* name, size_t nameLen,
                    const char* column, int32_t length, const char* date, int32_t extent)
{
    if (out == NULL || cap == 0)
        return;
    char tail[kTreeLineSize];
    int n = snprintf(tail, sizeof tail, "\t%s %10d %s\t%8d", column, (int)length, date, (int)extent);
    size_t tailLen = n < 0 ? 0 : ((size_t)n < sizeof tail ? (size_t)n : sizeof tail - 1);

    size_t limit = cap - 1;
    size_t pos = 0;
    while (pos < indent && pos < limit)
        out[pos++] = ' ';
    size_t nameRoom = limit > pos + tailLen ? limit - pos - tailLen : 0;
    for (size_t i = 0; i < nameLen && i < nameRoom && name[i] != 0; ++i)
        out[pos++] = name[i];
    for (size_t i = 0; i < tailLen && pos < limit; ++i)
        out[pos++] = tail[i];
    out[pos] = 0;
}

int32_t TreeLineExtent(const char* line)
{
    if (line == NULL)
        return 0;
    const char* s = strrchr(line, '\t');
    s = s != NULL ? s + 1 : line;
    while (*s == ' ' || (*s >= '\t' && *s <= '\r'))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    int64_t value = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        value = value * 10 + (*s - '0');
        if (value > (int64_t)INT32_MAX + 1)
            value = (int64_t)INT32_MAX + 1;  // saturate; keeps the product small
    }
    if (negative)
        return (int32_t)-value;
    return value > INT32_MAX ? INT32_MAX : (int32_t)value;
}
