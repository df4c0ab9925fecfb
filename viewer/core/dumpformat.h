// Sector dump view, portable part: the raw sector image, which of its bytes
// are user data, the hex dump texts and the status line.
//
// Every text goes into a caller's buffer of a given size and is always
// NUL-terminated there (when the size is not 0). Functions that write a text
// return its length, or 0 when it did not fit; the buffer then holds as much
// as fits (whole lines for a dump).
#pragma once
#include <stdint.h>

#include "cdgeometry.h"

// Dump text sizing: a line is at most 80 characters with CR LF (offsets
// below 0x10000), a raw image makes 147 lines.
enum {
    kDumpBytesPerLine = 16,
    kDumpLineMax = 80,
    kDumpLinesMax = (kRawSectorSize + kDumpBytesPerLine - 1) / kDumpBytesPerLine,
    kDumpTextSize = kDumpLinesMax * kDumpLineMax + 1,   // 11761: either text, terminator included
};

// FormatDump's length for "the user data the header declares".
enum { kDumpUserData = -1 };

// Puts the sync pattern into raw[0..kSyncSize).
// Returns false (and writes nothing) when raw_size < kSyncSize.
bool WriteSyncPattern(uint8_t* raw, uint32_t raw_size);

// What the header of a raw image says its user data is.
enum UserDataKind {
    kUserDataMode1,          // mode 1: kUserDataSize bytes from kDataOffset
    kUserDataMode2Formless,  // mode 2, subheader copies differ: kMode2DataSize bytes from kDataOffset
    kUserDataForm1,          // mode 2 Form 1: kUserDataSize bytes from kXaUserDataOffset
    kUserDataForm2,          // mode 2 Form 2: kForm2UserDataSize bytes from kXaUserDataOffset
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

// The dump text of a raw image of raw_size bytes. length kRawSectorSize (or
// any length from 1 to raw_size) formats that many bytes from offset 0;
// kDumpUserData formats the span DetectUserData picks, offsets counted from
// its first byte. Returns the text's length, 0 when the length is not valid
// for the image or the text did not fit.
int FormatDump(char* out, uint32_t out_size, const uint8_t* raw, uint32_t raw_size, int32_t length);

// Status line of the sector at address (LBN + kPregapBlocks):
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
