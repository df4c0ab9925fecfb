// Sector dump view, portable part.
#include "dumpformat.h"

#include <stdio.h>
#include <string.h>

#include "cdtime.h"

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Byte columns of one line: "XX " each, one more blank before the ninth.
const uint32_t kHalfLine = kDumpBytesPerLine / 2;
const uint32_t kGapBeforeColumn = 6;

// User data per mode as the header and the XA subheader declare it. The two
// subheader copies must agree before the submode is trusted; a mode 2 sector
// whose copies differ is shown formless.
struct UserDataRule {
    UserDataKind kind;
    uint32_t offset;
    uint32_t length;
};
const UserDataRule kUserDataRules[] = {
    {kUserDataMode1, kDataOffset, kUserDataSize},
    {kUserDataMode2Formless, kDataOffset, kMode2DataSize},
    {kUserDataForm1, kXaUserDataOffset, kUserDataSize},
    {kUserDataForm2, kXaUserDataOffset, kForm2UserDataSize},
    {kUserDataWhole, 0, kRawSectorSize},
};

UserDataSpan SpanOf(UserDataKind kind)
{
    for (const UserDataRule& r : kUserDataRules) {
        if (r.kind == kind)
            return UserDataSpan{r.kind, r.offset, r.length};
    }
    return UserDataSpan{kUserDataWhole, 0, kRawSectorSize};
}

// Hex digits needed for the offset field: at least four.
uint32_t OffsetDigits(uint32_t offset)
{
    uint32_t digits = 4;
    while (digits < 8 && (offset >> (digits * 4)) != 0)
        digits++;
    return digits;
}

uint32_t DumpLineLength(uint32_t offset, uint32_t count)
{
    uint32_t gap = count > kHalfLine ? 1 : 0;
    return 1 + OffsetDigits(offset) + 1      // " %04X "
           + 3 * count + gap                 // "%02X " fields
           + kGapBeforeColumn + count + gap  // character column
           + 2;                              // CR LF
}

// Writes a line known to fit; returns its length.
uint32_t WriteDumpLine(char* p, uint32_t offset, const uint8_t* bytes, uint32_t count)
{
    char* const start = p;
    *p++ = ' ';
    for (uint32_t d = OffsetDigits(offset); d-- > 0;)
        *p++ = kHexDigits[(offset >> (d * 4)) & 0xF];
    *p++ = ' ';
    for (uint32_t i = 0; i < count; i++) {
        if (i == kHalfLine)
            *p++ = ' ';
        *p++ = kHexDigits[bytes[i] >> 4];
        *p++ = kHexDigits[bytes[i] & 0xF];
        *p++ = ' ';
    }
    for (uint32_t i = 0; i < kGapBeforeColumn; i++)
        *p++ = ' ';
    for (uint32_t i = 0; i < count; i++) {
        if (i == kHalfLine)
            *p++ = ' ';
        // Only printable ASCII stands for itself: control bytes, DEL and the
        // upper half (Shift-JIS lead bytes, half-width katakana) would garble
        // the column or swallow the following byte.
        uint8_t b = bytes[i];
        *p++ = (b >= 0x20 && b <= 0x7E) ? (char)b : '.';
    }
    *p++ = '\r';
    *p++ = '\n';
    return (uint32_t)(p - start);
}

// Decimal text of v into out (at least 21 bytes).
void FormatSigned64(char* out, int64_t v)
{
    char digits[20];
    uint64_t mag = v < 0 ? (uint64_t)0 - (uint64_t)v : (uint64_t)v;
    int n = 0;
    do {
        digits[n++] = (char)('0' + mag % 10);
        mag /= 10;
    } while (mag != 0);
    char* p = out;
    if (v < 0)
        *p++ = '-';
    while (n > 0)
        *p++ = digits[--n];
    *p = '\0';
}

} // namespace

bool WriteSyncPattern(uint8_t* raw, uint32_t raw_size)
{
    if (raw == nullptr || raw_size < kSyncSize)
        return false;
    memcpy(raw, kSyncPattern, kSyncSize);
    return true;
}

UserDataSpan DetectUserData(const uint8_t* raw, uint32_t raw_size)
{
    if (raw == nullptr || raw_size < kRawSectorSize)
        return UserDataSpan{kUserDataWhole, 0, raw == nullptr ? 0 : raw_size};

    switch (raw[kModeOffset]) {
    case 1:
        return SpanOf(kUserDataMode1);
    case 2: {
        const uint8_t* sub = raw + kDataOffset;
        if (memcmp(sub, sub + kSubheaderCopySize, kSubheaderCopySize) != 0)
            return SpanOf(kUserDataMode2Formless);
        return SpanOf((raw[kSubmodeOffset] & kSubmodeForm2) ? kUserDataForm2 : kUserDataForm1);
    }
    default:
        return SpanOf(kUserDataWhole);
    }
}

DumpTextKind DumpTextForMode(bool auto_sector)
{
    return auto_sector ? kDumpTextUserData : kDumpTextRaw;
}

int FormatDumpLine(char* out, uint32_t out_size, uint32_t offset, const uint8_t* bytes, uint32_t count)
{
    if (out == nullptr || out_size == 0)
        return 0;
    out[0] = '\0';
    if (bytes == nullptr || count == 0 || count > kDumpBytesPerLine)
        return 0;
    uint32_t len = DumpLineLength(offset, count);
    if (len >= out_size)
        return 0;
    WriteDumpLine(out, offset, bytes, count);
    out[len] = '\0';
    return (int)len;
}

int FormatDump(char* out, uint32_t out_size, const uint8_t* raw, uint32_t raw_size, int32_t length)
{
    if (out == nullptr || out_size == 0)
        return 0;
    out[0] = '\0';
    if (raw == nullptr)
        return 0;

    uint32_t first, count;
    if (length == kDumpUserData) {
        UserDataSpan span = DetectUserData(raw, raw_size);
        first = span.offset;
        count = span.length;
    } else if (length > 0 && (uint32_t)length <= raw_size) {
        first = 0;
        count = (uint32_t)length;
    } else {
        return 0;
    }
    if (count == 0)
        return 0;

    const uint8_t* bytes = raw + first;
    uint32_t used = 0;
    for (uint32_t offset = 0; offset < count; offset += kDumpBytesPerLine) {
        uint32_t n = count - offset < (uint32_t)kDumpBytesPerLine ? count - offset : (uint32_t)kDumpBytesPerLine;
        int len = FormatDumpLine(out + used, out_size - used, offset, bytes + offset, n);
        if (len == 0)
            return 0;   // the line did not fit: whole lines only, terminated
        used += (uint32_t)len;
    }
    out[used] = '\0';
    return (int)used;
}

int FormatStatusLine(char* out, uint32_t out_size, int32_t address, uint8_t mode_byte)
{
    if (out == nullptr || out_size == 0)
        return 0;
    char time[kCdTimeTextSize];
    FormatCdTime(time, sizeof time, address);
    // A typed jump can carry any 32-bit address, so the LBN is taken in 64
    // bits and written by hand: not every C runtime the viewer meets knows %lld.
    char lbn[24];
    FormatSigned64(lbn, (int64_t)address - kPregapBlocks);
    int n = snprintf(out, out_size, "LBN = %6s [%s]    Mode-%d Sector", lbn, time, (int)mode_byte);
    if (n < 0 || (uint32_t)n >= out_size)
        return 0;
    return n;
}

StepAvailability StepControlsFor(int32_t address, int32_t leadout)
{
    long long first = kPregapBlocks;
    long long last = (long long)leadout - 1 + kPregapBlocks;
    return StepAvailability{address != first, address != last};
}

uint32_t DumpHexPosition(uint32_t offset)
{
    uint32_t line = offset / kDumpBytesPerLine, column = offset % kDumpBytesPerLine, at = 0;
    for (uint32_t i = 0; i < line; i++)
        at += DumpLineLength(i * kDumpBytesPerLine, kDumpBytesPerLine);
    uint32_t line_offset = line * kDumpBytesPerLine;
    return at + 1 + OffsetDigits(line_offset) + 1 + 3 * column + (column >= kHalfLine ? 1 : 0);
}
