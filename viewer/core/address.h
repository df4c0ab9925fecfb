// Address input: reading a typed block address, checking it against the disc, converting
// between CD time and block address as the user types, and the history of accepted
// addresses. Portable: no window; the dialog shows what these functions decide.
#pragma once
#include <stdint.h>

#include "resource.h"

enum {
    kAddressTextSize = 80,      // the block address field and message text buffer
    kAddressHistorySize = 20,
};

// Accepted block addresses (LBNs), newest at next - 1; once 20 have been written the ring
// overwrites its oldest entry. Zero-initialise to start empty.
struct AddressHistory {
    int32_t entries[kAddressHistorySize];
    int32_t next;       // nHistoryNext: 0..19
    bool wrapped;       // bHistoryWrapped
};

void AddHistory(AddressHistory* history, int32_t lbn);
// The i-th most recent entry (0 = newest); false when there are fewer than i + 1 entries.
bool GetHistory(const AddressHistory* history, int32_t i, int32_t* lbn);

// A number read with automatic base as strtol reads it with base 0: blanks skipped, an
// optional sign, then 0x/0X hexadecimal, a leading 0 octal, else decimal. Values beyond
// 32 bits clamp to INT32_MIN or INT32_MAX. stop is the index of the first character not
// used (the length of the text when all was used; 0 when there were no digits at all).
struct ParsedAddress {
    int32_t value;
    uint32_t stop;
};
void ParseAddressText(const char* text, ParsedAddress* out);

// The decision on OK. error_id is 0 when the address is accepted, else the message to show
// (the range is checked before the stop character). value is the number read; bad_char the
// stop character for IDS_ADDRESS_BAD_CHAR, both bytes of it when it is a code page 932
// double-byte character (a full-width digit typed through an input method), so that the
// message shows the character rather than half of it.
struct AddressCheck {
    unsigned error_id;
    int32_t value;
    char bad_char[3];
};
unsigned CheckAddressInput(const char* text, int32_t leadout, AddressCheck* out);

// Fills an error message from its string-table text: "%d" takes the lead-out, "%c" the stop
// character (one or two bytes), "%%" is a percent sign; other text is copied as it stands. The format is never
// handed to printf. Always terminated when out_size > 0; returns the length written.
int FormatAddressError(char* out, uint32_t out_size, const char* format, int32_t leadout,
                       const AddressCheck* check);

// The address after a step of delta blocks (+1 next, -1 previous). A typed jump can put the
// view anywhere in the 32-bit range, so the step saturates there instead of overflowing.
int32_t StepAddress(int32_t address, int32_t delta);

// Live conversions of the dialog. Fields are read as atol reads them (no digits: 0).
// CD time fields -> block address: minutes * kFramesPerMinute + seconds * kFramesPerSecond +
// frames - kPregapBlocks, no range check of seconds or frames, saturated to 32 bits.
int32_t CdTimeToBlock(const char* minutes, const char* seconds, const char* frames);
// Block address text -> the absolute address (LBN + kPregapBlocks, saturated) whose CD time the fields show.
int32_t BlockTextToAddress(const char* block_text);
// Block address text -> the three CD time fields ("%02d" each), each of kCdTimeFieldSize bytes.
void BlockTextToCdTime(const char* block_text, char* minutes, char* seconds, char* frames);
