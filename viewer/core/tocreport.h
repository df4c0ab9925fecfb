// The TOC report: READ TOC responses (MMC, MSF form) rendered as fixed-column text
// with CR LF line ends, and the block address picked out of a selection of it.
// Portable: no window, no device; the caller issues READ TOC through a callback.
#pragma once
#include <stdint.h>

// The response layout and the formats asked for (kTocFormatFull, else
// kTocFormatTrack) are those of mmc.h.
enum {
    kTocResponseSize = 4096,     // READ TOC buffer and allocation length
    kTocReportSize = 24000,      // the viewer's report buffer (hTocText)
    kTocJumpSelectionMax = 127,  // characters of a selection taken for a jump
};

// nTocHeaderLen values: the length of the column heading (CR LF included) written by a
// build, which sets the TOC window's width in average characters.
enum {
    kFullTocHeaderLen = 73,
    kTrackTocHeaderLen = 57,
    kTocErrorHeaderLen = 24,     // "Not available TOC data\r\n"
};

extern const char kFullTocHeading[];   // column heading of the full TOC
extern const char kTrackTocHeading[];  // column heading of the track TOC

// Render one response into text (text_size bytes, always NUL-terminated when text_size > 0).
// resp_size is the number of bytes of the response buffer; nothing beyond it is read, even
// when the response's data length claims more. A partial last descriptor is rendered from
// the bytes that follow it in the buffer. Where the data or the text buffer ends first, the
// report ends with a line that says so. Returns the heading length (nTocHeaderLen).
int32_t RenderFullToc(const uint8_t* resp, uint32_t resp_size, char* text, uint32_t text_size);
int32_t RenderTrackToc(const uint8_t* resp, uint32_t resp_size, char* text, uint32_t text_size);
// The two error lines of a build where neither request succeeded; returns kTocErrorHeaderLen.
int32_t RenderTocError(char* text, uint32_t text_size);

// Block address (LBN) of a full-TOC descriptor: PMIN, PSEC, PFRAME in BCD, nibbles above 9
// taken at face value, minus the pregap (kPregapBlocks).
int32_t FullTocBlockAddress(const uint8_t* descriptor11);
// Block address of a track descriptor: binary M, S, F.
int32_t TrackTocBlockAddress(const uint8_t* descriptor8);

// Issues READ TOC into buffer (alloc_len bytes) with the given format and report flag and
// returns the library's command result; only 2 counts as failure.
typedef int (*TocRequestFn)(void* ctx, uint8_t* buffer, uint32_t alloc_len, int format, int report);
enum { kTocRequestFailed = 2 };

// The whole build: the full TOC silently, else the track TOC with Retry/Cancel reporting,
// else the error lines. Returns 1 when a TOC was rendered, 0 when both requests failed;
// *header_len (may be null) receives nTocHeaderLen.
int BuildTocReport(TocRequestFn request, void* ctx, char* text, uint32_t text_size, int32_t* header_len);

// The jump target of a selection [sel_start, sel_end) of the report text (text_len
// characters): at most the first 127 selected characters, read as a decimal number the way
// atol reads it (no digits: 0), as an absolute address, number + kPregapBlocks, saturated to
// 32 bits.
// Selection bounds beyond the text are clamped.
int32_t TocJumpAddress(const char* text, uint32_t text_len, uint32_t sel_start, uint32_t sel_end);
