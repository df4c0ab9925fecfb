// Sector dump view, portable part: the raw sector image, which of its bytes
// are user data, the hex dump texts and the status line.
//
// Every text goes into a caller's buffer of a given size and is always
// NUL-terminated there (when the size is not 0). Functions that write a text
// return its length, or 0 when it did not fit; the buffer then holds as much
// as fits (whole lines for a dump).
#pragma once
#include <stdint.h>

#include "cdgeometry.h"   // kXaUserDataOffset, kSyncPattern

// ECMA-130 sector geometry as the dump view sees it.
enum {
    kSectorSyncLength = 12,     // 00, FF x 10, 00
    kSectorHeaderLength = 4,    // minute, second, frame, mode
    kSectorModeOffset = 15,     // mode byte of the header in the raw image
    kSectorDataOffset = 16,     // first byte after the header
    kXaSubheaderLength = 4,     // file, channel, submode, coding; recorded twice
    kXaSubmodeOffset = 18,      // submode byte of the first subheader copy
    kXaSubmodeForm2 = 0x20,     // submode bit: Form 2
    kRawBlockLength = 2340,     // one block read at block length 2340: the sector less its sync
    kRawImageLength = 2352,     // the whole sector
    kUserData2048 = 2048,       // Mode 1 and Mode 2 Form 1 user data
    kMode2DataLength = 2336,    // Mode 2 without the subheader taken apart
    kForm2DataLength = 2324,    // Mode 2 Form 2 user data
};

// Dump text sizing: a line is at most 80 characters with CR LF (offsets
// below 0x10000), a raw image makes 147 lines.
enum {
    kDumpBytesPerLine = 16,
    kDumpLineMax = 80,
    kDumpLinesMax = (kRawImageLength + kDumpBytesPerLine - 1) / kDumpBytesPerLine,
    kDumpTextSize = kDumpLinesMax * kDumpLineMax + 1,   // 11761: either text, terminator included
};

// FormatDump's length for "the user data the header declares".
enum { kDumpUserData = -1 };

// Puts the sync pattern into raw[0..11].
// Returns false (and writes nothing) when raw_size < kSectorSyncLength.
bool WriteSyncPattern(uint8_t* raw, uint32_t raw_size);

// Rebuilds the 2352-byte raw image from a block read at block length 2340:
// the sync pattern, then the block. The block may already lie at raw + 12
// (read in place). False, nothing written, when either buffer is too small.
bool RebuildRawImage(uint8_t* raw, uint32_t raw_size, const uint8_t* block, uint32_t block_size);

// What the header of a raw image says its user data is.
enum UserDataKind {
    kUserDataMode1,          // mode 1: 2048 bytes from 16
    kUserDataMode2Formless,  // mode 2, subheader copies differ: 2336 bytes from 16
    kUserDataForm1,          // mode 2 Form 1: 2048 bytes from 24
    kUserDataForm2,          // mode 2 Form 2: 2324 bytes from 24
    kUserDataWhole,          // any other mode byte (0, audio, damage): the whole image
};

struct UserDataSpan {
    UserDataKind kind;
    uint32_t offset;  // in the raw image
    uint32_t length;
};

// Decides the user data of a raw image. The span always lies inside raw_size:
// an image shorter than a whole sector is taken as a whole.
UserDataSpan DetectUserData(const uint8_t* raw, uint32_t raw_size);

// Which text the dump pane shows: the detection mode (bAutoSector) set picks
// the user data, clear picks the whole image.
enum DumpTextKind { kDumpTextRaw, kDumpTextUserData };
DumpTextKind DumpTextForMode(bool auto_sector);

// One dump line of count bytes (1..16) at offset: " %04X ", "%02X " per byte
// with an extra blank before the ninth, six blanks, the character column
// (0x20-0x7E as themselves, others as '.', a blank after the eighth when
// there are more than eight), CR LF. Returns its length, 0 when it does not
// fit or count is out of range.
int FormatDumpLine(char* out, uint32_t out_size, uint32_t offset, const uint8_t* bytes, uint32_t count);

// The dump text of a raw image of raw_size bytes. length kRawImageLength (or
// any length from 1 to raw_size) formats that many bytes from offset 0;
// kDumpUserData formats the span DetectUserData picks, offsets counted from
// its first byte. Returns the text's length, 0 when the length is not valid
// for the image or the text did not fit.
int FormatDump(char* out, uint32_t out_size, const uint8_t* raw, uint32_t raw_size, int32_t length);

// Status line of the sector at address (LBN + 150):
// "LBN = %6d [mm:ss:ff]    Mode-%d Sector" with the header's mode byte.
enum { kStatusLineSize = 80 };
int FormatStatusLine(char* out, uint32_t out_size, int32_t address, uint8_t mode_byte);

// Which step commands are available at address on a disc of leadout blocks:
// previous not at LBN 0, next not at the last block. Equalities only: an
// address outside the disc leaves both available.
struct StepAvailability {
    bool previous;
    bool next;
};
StepAvailability StepControlsFor(int32_t address, int32_t leadout);

// Where the hex digits of the byte at offset (counted as FormatDump counts
// them) begin in a dump text; a selection of bytes [first, end) in the pane
// runs from DumpHexPosition(first) to DumpHexPosition(end - 1) + 2.
uint32_t DumpHexPosition(uint32_t offset);
