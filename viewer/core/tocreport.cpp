// The TOC report renderers. Each line is formatted into a small local buffer and appended
// only if it fits the report together with the note that says the report was cut, so the
// text never outgrows its buffer and a cut report always says so.
#include "tocreport.h"

#include <stdio.h>
#include <string.h>

#include "bytes.h"
#include "cdgeometry.h"
#include "mmc.h"
#include "textutil.h"

namespace {

const char kTocReadError[] = "TOC Read error\r\n";
const char kTocNotAvailable[] = "Not available TOC data\r\n";
const char kTocTooShort[] = "*** The TOC response is too short for its header\r\n";
const char kReportCutNote[] = "*** The report is too long for its buffer; the rest is not shown\r\n";

enum { kLineSize = 160 };

struct TextSink {
    char* text;
    uint32_t size;
    uint32_t len;
    bool full;   // the cut note (or as much of it as fits) has been written
};

void SinkInit(TextSink* sink, char* text, uint32_t size)
{
    sink->text = text;
    sink->size = size;
    sink->len = 0;
    sink->full = size == 0;
    if (size > 0)
        text[0] = '\0';
}

void SinkWrite(TextSink* sink, const char* s, uint32_t n)
{
    uint32_t room = sink->size - sink->len - 1;  // keeps the terminator's byte
    if (n > room)
        n = room;
    memcpy(sink->text + sink->len, s, n);
    sink->len += n;
    sink->text[sink->len] = '\0';
}

// Appends a line if it leaves room for the cut note; otherwise writes the note and stops
// taking lines. Returns false once the report is full.
bool SinkLine(TextSink* sink, const char* line, int line_len)
{
    if (sink->full)
        return false;
    if (line_len < 0)
        line_len = 0;
    const uint32_t note_len = sizeof kReportCutNote - 1;
    uint64_t need = (uint64_t)sink->len + (uint32_t)line_len + note_len + 1;
    if (need <= sink->size) {
        SinkWrite(sink, line, (uint32_t)line_len);
        return true;
    }
    SinkWrite(sink, kReportCutNote, note_len);
    sink->full = true;
    return false;
}

// The length an snprintf into a buffer of size left in it (its result may be larger).
int LineLength(int n, uint32_t size)
{
    if (n < 0)
        return 0;
    return (uint32_t)n < size ? n : (int)size - 1;
}

// The note that ends a report whose descriptors run past the response buffer.
void DataCutNote(TextSink* sink, uint32_t data_len, uint32_t resp_size)
{
    char line[kLineSize];
    int n;
    if ((uint64_t)data_len + kTocDataLengthSize > resp_size)
        n = snprintf(line, sizeof line,
                     "*** TOC data length %u exceeds the %u-byte response; the rest is not shown\r\n",
                     data_len, resp_size);
    else
        n = snprintf(line, sizeof line,
                     "*** The last descriptor runs past the %u-byte response; not shown\r\n", resp_size);
    SinkLine(sink, line, LineLength(n, sizeof line));
}

// The two header lines and the heading shared by both formats.
bool WriteHeader(TextSink* sink, const uint8_t* resp, const char* first_fmt, const char* last_fmt,
                 const char* heading)
{
    char line[kLineSize];
    int n = snprintf(line, sizeof line, first_fmt, resp[kTocFirst]);
    if (!SinkLine(sink, line, LineLength(n, sizeof line)))
        return false;
    n = snprintf(line, sizeof line, last_fmt, resp[kTocLast]);
    if (!SinkLine(sink, line, LineLength(n, sizeof line)))
        return false;
    return SinkLine(sink, heading, (int)strlen(heading));
}

typedef int (*DescriptorFormatter)(const uint8_t* d, char* line, uint32_t size);

int FormatFullTocLine(const uint8_t* d, char* line, uint32_t size)
{
    const uint8_t point = d[kFullDescPoint];
    // MIN/SEC/FRAME of B0 (the next possible program area) and C0 (ATIP values).
    char time[16];
    if (point == kPointNextArea || point == kPointFirstLeadIn)
        snprintf(time, sizeof time, "%02X:%02X:%02X    ", d[kFullDescMin], d[kFullDescSec], d[kFullDescFrame]);
    else
        snprintf(time, sizeof time, "--------    ");
    char block[24];
    if (point == kPointFirstTrack || point == kPointLastTrack)
        snprintf(block, sizeof block, "--------\r\n");
    else
        snprintf(block, sizeof block, "%8ld   \r\n", (long)FullTocBlockAddress(d));
    const uint8_t adr_control = d[kFullDescAdrControl];
    int n = snprintf(line, size, "  %1x   %1x     %1x     %02X    %02X    %02X    %02X:%02X:%02X    %s%s",
                     d[kFullDescSession], adr_control >> 4, adr_control & 0x0F, d[kFullDescTno], point,
                     d[kFullDescZero], d[kFullDescPmin], d[kFullDescPsec], d[kFullDescPframe], time, block);
    return LineLength(n, size);
}

int FormatTrackTocLine(const uint8_t* d, char* line, uint32_t size)
{
    const uint8_t number = d[kTrackDescNumber];
    char track[8];
    if (number == kTocLeadoutTrack)
        snprintf(track, sizeof track, "%02X    ", number);
    else
        snprintf(track, sizeof track, "%02d    ", number);
    char block[24];
    // The reserved byte after the track number is zero; should it hold A0 or A1 the row is
    // treated like the full TOC's pointer rows, which carry no address.
    const uint8_t reserved = d[kTrackDescReserved];
    if (reserved == kPointFirstTrack || reserved == kPointLastTrack)
        snprintf(block, sizeof block, "--------\r\n");
    else
        snprintf(block, sizeof block, "%8ld   \r\n", (long)TrackTocBlockAddress(d));
    const uint8_t adr_control = d[kTrackDescAdrControl];
    int n = snprintf(line, size, " %1x     %1x     %s%02d    %02d    %02d:%02d:%02d    %s",
                     adr_control >> 4, adr_control & 0x0F, track, reserved, d[kTrackDescAddress],
                     d[kTrackDescMin], d[kTrackDescSec], d[kTrackDescFrame], block);
    return LineLength(n, size);
}

int32_t RenderToc(const uint8_t* resp, uint32_t resp_size, char* text, uint32_t text_size,
                  const char* first_fmt, const char* last_fmt, const char* heading,
                  uint32_t desc_size, DescriptorFormatter format_line)
{
    TextSink sink;
    SinkInit(&sink, text, text_size);
    const int32_t heading_len = (int32_t)strlen(heading);
    if (resp == nullptr || resp_size < kTocHeaderSize) {
        SinkLine(&sink, kTocTooShort, (int)sizeof kTocTooShort - 1);
        return heading_len;
    }
    if (!WriteHeader(&sink, resp, first_fmt, last_fmt, heading))
        return heading_len;

    const uint32_t data_len = get_be16(resp + kTocDataLength);
    // Descriptor bytes: the length counts first and last too; a length below that has none.
    const int32_t n = (int32_t)data_len - (kTocHeaderSize - kTocDataLengthSize);
    for (int32_t off = 0; off < n; off += (int32_t)desc_size) {
        const uint32_t start = kTocHeaderSize + (uint32_t)off;
        if ((uint64_t)start + desc_size > resp_size) {
            DataCutNote(&sink, data_len, resp_size);
            break;
        }
        char line[kLineSize];
        int len = format_line(resp + start, line, sizeof line);
        if (!SinkLine(&sink, line, len))
            break;
    }
    return heading_len;
}

}  // namespace

const char kFullTocHeading[] =
    "Ss'sn Adr   Ctl   TNO   X    ZERO    PTIME        TIME    Block Address\r\n";
const char kTrackTocHeading[] =
    " Adr   Ctl   TNO   X    ZERO    PTIME     Block Address\r\n";

static_assert(sizeof kFullTocHeading - 1 == kFullTocHeaderLen, "full TOC heading width");
static_assert(sizeof kTrackTocHeading - 1 == kTrackTocHeaderLen, "track TOC heading width");
static_assert(sizeof kTocNotAvailable - 1 == kTocErrorHeaderLen, "error line width");

int32_t FullTocBlockAddress(const uint8_t* d)
{
    return from_bcd(d[kFullDescPmin]) * kFramesPerMinute + from_bcd(d[kFullDescPsec]) * kFramesPerSecond +
           from_bcd(d[kFullDescPframe]) - kPregapBlocks;
}

int32_t TrackTocBlockAddress(const uint8_t* d)
{
    return d[kTrackDescMin] * kFramesPerMinute + d[kTrackDescSec] * kFramesPerSecond + d[kTrackDescFrame] -
           kPregapBlocks;
}

int32_t RenderFullToc(const uint8_t* resp, uint32_t resp_size, char* text, uint32_t text_size)
{
    return RenderToc(resp, resp_size, text, text_size, "First Session No. : %d\r\n",
                     "Last  Session No. : %d\r\n", kFullTocHeading, kFullDescriptorSize,
                     FormatFullTocLine);
}

int32_t RenderTrackToc(const uint8_t* resp, uint32_t resp_size, char* text, uint32_t text_size)
{
    return RenderToc(resp, resp_size, text, text_size, "First Track No. : %d\r\n",
                     "Last  Track No. : %d\r\n", kTrackTocHeading, kTrackDescriptorSize,
                     FormatTrackTocLine);
}

int32_t RenderTocError(char* text, uint32_t text_size)
{
    TextSink sink;
    SinkInit(&sink, text, text_size);
    if (SinkLine(&sink, kTocReadError, (int)sizeof kTocReadError - 1))
        SinkLine(&sink, kTocNotAvailable, (int)sizeof kTocNotAvailable - 1);
    return kTocErrorHeaderLen;
}

int BuildTocReport(TocRequestFn request, void* ctx, char* text, uint32_t text_size, int32_t* header_len)
{
    // Zeroed, so a partial last descriptor shows zeros rather than stale stack bytes.
    uint8_t resp[kTocResponseSize];
    int32_t len;
    int rendered = 1;

    memset(resp, 0, sizeof resp);
    if (request(ctx, resp, sizeof resp, kTocFormatFull, 0) != kTocRequestFailed) {
        len = RenderFullToc(resp, sizeof resp, text, text_size);
    } else {
        memset(resp, 0, sizeof resp);
        if (request(ctx, resp, sizeof resp, kTocFormatTrack, 1) != kTocRequestFailed) {
            len = RenderTrackToc(resp, sizeof resp, text, text_size);
        } else {
            len = RenderTocError(text, text_size);
            rendered = 0;
        }
    }
    if (header_len != nullptr)
        *header_len = len;
    return rendered;
}

int32_t TocJumpAddress(const char* text, uint32_t text_len, uint32_t sel_start, uint32_t sel_end)
{
    char number[kTocJumpSelectionMax + 1];
    uint32_t n = 0;
    if (text != nullptr) {
        if (sel_end > text_len)
            sel_end = text_len;
        if (sel_start < sel_end) {
            n = sel_end - sel_start;
            if (n > kTocJumpSelectionMax)
                n = kTocJumpSelectionMax;
            memcpy(number, text + sel_start, n);
        }
    }
    number[n] = '\0';
    int64_t address = (int64_t)ParseLongLikeAtol(number) + kPregapBlocks;
    if (address > INT32_MAX)
        address = INT32_MAX;
    return (int32_t)address;
}
