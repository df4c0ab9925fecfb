// ISO 9660 directory tree walk.
#include "iso9660/dirwalk.h"

#include <stdio.h>
#include <string.h>

#include "bytes.h"

namespace {

// Primary volume descriptor: the root directory record starts at 156.
constexpr size_t kPvdRootExtent = 162;  // Location of Extent, big-endian half
constexpr size_t kPvdRootLength = 170;  // Data Length, big-endian half
constexpr size_t kPvdRootDate = 174;
constexpr size_t kPvdRootFlags = 181;
constexpr size_t kPvdXaSignature = 1024;  // in the Application Use area
constexpr char kXaSignature[] = "CD-XA001";

// Directory record.
constexpr size_t kRecExtent = 6;   // big-endian half
constexpr size_t kRecLength = 14;  // big-endian half
constexpr size_t kRecDate = 18;
constexpr size_t kRecFlags = 25;
constexpr size_t kRecNameLength = 32;
constexpr size_t kRecName = 33;
constexpr size_t kMinRecordLength = kRecName + 1;

constexpr uint8_t kFlagDirectory = 0x02;
constexpr uint8_t kSelfIdentifier = 0x00;    // the directory itself
constexpr uint8_t kParentIdentifier = 0x01;  // its parent

// CD-ROM XA system use record: attributes at 4-5 (big-endian), "XA" at 6-7.
constexpr size_t kXaAttributes = 4;
constexpr size_t kXaSignatureAt = 6;
constexpr size_t kXaRecordLength = 8;

struct FlagLetter {
    uint8_t mask;
    char letter;
};
constexpr FlagLetter kFlagLetters[6] = {
    {0x02, 'D'},  // Directory
    {0x80, 'M'},  // Multi-Extent
    {0x10, 'P'},  // Protection
    {0x08, 'R'},  // Record
    {0x04, 'A'},  // Associated File
    {0x01, 'H'},  // Existence: hidden
};

// Letter of XA attribute bit 15 - p at position p: directory, CD-DA,
// interleaved, form 2, form 1, then execute/read for world, group, owner.
// The odd bits of the permission part are reserved and always show "-".
constexpr char kXaLetters[] = "dAI21x-r-x-r-x-r";
constexpr size_t kXaBits = 16;

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
    int32_t extent = (int32_t)get_be32(rec + kRecExtent);
    int32_t length = (int32_t)get_be32(rec + kRecLength);

    char column[kXaAttributesTextSize];
    const uint8_t* su = rec + suOffset;
    if (suOffset + kXaRecordLength <= recLen && su[kXaSignatureAt] == 'X' &&
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
    if ((flags & kFlagDirectory) && level > walk->nTreeDepth && !IsAncestor(walk, extent))
        ListDirectory(walk, extent, length, level);
    return true;
}

bool ListExtent(DirWalk* walk, int32_t extent, int32_t length, uint32_t level)
{
    uint8_t block[kIsoUserDataSize];
    for (int64_t offset = 0; offset < length; offset += (int64_t)kIsoUserDataSize) {
        int64_t lbn = (int64_t)extent + offset / (int64_t)kIsoUserDataSize;
        if (lbn > INT32_MAX)
            return false;
        if (!ReadUserData(walk, (int32_t)lbn, block))
            return false;
        // A zero length byte ends the records of a block: records never
        // cross a block boundary and the rest of the block is padding.
        size_t pos = 0;
        while (pos < kIsoUserDataSize && block[pos] != 0) {
            size_t recLen = block[pos];
            if (pos + recLen > kIsoUserDataSize)
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
    uint8_t raw[kIsoRawBufferSize];
    memset(raw, 0, sizeof raw);
    if (!walk->pfnRead(walk->pReadContext, lbn, raw))
        return false;
    memcpy(dest, LocateUserData(raw, kIsoReadBlockSize), kIsoUserDataSize);
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
    uint8_t vd[kIsoUserDataSize];
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
        bits[p] = (xaAttributes & (1u << (kXaBits - 1 - p))) ? kXaLetters[p] : '-';
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
