// Find: a pattern of bytes or code page 932 text, and a search through the
// data blocks of a disc, forward or back, in batches read through a caller's
// reader (the disc walk of verify.h). Matches may cross from one sector's
// data into the next. Portable: no window; the find dialog shows what these
// functions decide.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "dumpformat.h"
#include "verify.h"
#include "address.h"

enum {
    kFindMaxPattern = 256,    // bytes
    kFindTextSize = 1024,     // the typed pattern, terminator included
    kFindHistorySize = kAddressHistorySize,
};

enum FindPatternKind { kFindHexBytes, kFindText };

enum FindPatternError {
    kFindPatternOk,
    kFindPatternEmpty,
    kFindPatternOddDigits,    // a group of hex digits with an odd count
    kFindPatternBadChar,      // a character that is not a hex digit or a blank
    kFindPatternTooLong,      // over kFindMaxPattern bytes
};

// Each position accepts bytes[i] or alt[i]; they differ only at an ASCII
// letter of a text searched without case (never at the second byte of a
// double-byte character, which may look like a letter).
struct FindPattern {
    uint8_t bytes[kFindMaxPattern];
    uint8_t alt[kFindMaxPattern];
    uint32_t length;
    uint32_t anchor;          // the position scanned for first
};

// Hex: pairs of digits, blank-separated groups of even length ("43 44 30",
// "434430"). Text: the bytes as typed. bad_char receives the refused
// character (both bytes of a double-byte one), terminated.
FindPatternError ParseFindPattern(const char* text, FindPatternKind kind, bool ignore_case, FindPattern* pattern,
                                  char bad_char[3]);

// The first (or last) start s in [lo, hi) with the whole pattern inside
// data[0, size); -1 when none.
long FindFirstIn(const FindPattern& p, const uint8_t* data, size_t size, size_t lo, size_t hi);
long FindLastIn(const FindPattern& p, const uint8_t* data, size_t size, size_t lo, size_t hi);

// A match: its first byte, as the sector's data searched counts it.
struct FindHit {
    int32_t lbn;
    uint32_t offset;          // in the whole sector when raw, else in its user data
    bool raw;
    UserDataSpan user;        // the sector's user data as detected
};

// A search from a position (lbn, offset) of the searched data: forward it
// takes matches starting there or later, backward those starting before it.
struct FindRun {
    FindPattern pattern;
    bool backward, raw;
    int block_len;            // 2352, or 2340 (the sync is put back)
    VerifyPlan plan;
    int32_t cursor_lbn;
    uint32_t cursor_offset;
    int extent;               // extent being read, -1 or plan.extent_count when done
    int32_t next;             // next block to read in the direction
    // The data bytes next to the sector being searched (the previous
    // sector's tail forward, the following one's head backward), so that a
    // match across the boundary is found.
    uint8_t carry[kFindMaxPattern];
    uint32_t carry_len, carry_first_start;   // forward: starts below this index were searched
    int32_t carry_lbn;
    uint32_t carry_base;      // offset of carry[0] in its sector's data
    UserDataSpan carry_user;
    int64_t done, total, unreadable;
    int32_t first_unreadable;
    bool found;
    FindHit hit;
    std::vector<uint8_t> buffer;
};

void FindStart(FindRun* run, const FindPattern& pattern, const VerifyPlan& plan, bool backward, bool raw,
               int32_t lbn, uint32_t offset, int block_len);
// Reads and searches the next batch; false once a match is found or the
// walk has passed the end (or the start) of the disc.
bool FindStep(FindRun* run, VerifyReadFn read, void* ctx);

// The bytes of a match as the dump pane shows its sector (the whole sector
// or its user data): [first, end), cut at the end of the pane's data; empty
// (first == end) when the match lies outside it.
struct FindSelection {
    uint32_t first, end;
};
FindSelection FindHitInPane(const FindHit& hit, uint32_t length, bool pane_raw);

// Recent patterns, newest first, with the kind they were typed as. The ring
// of slots is the address input's.
struct FindHistory {
    AddressHistory slots;
    char text[kFindHistorySize][kFindTextSize];
    bool hex[kFindHistorySize];
};
void AddFindHistory(FindHistory* history, const char* text, bool hex);
// The i-th most recent; NULL when there are fewer.
const char* GetFindHistory(const FindHistory* history, int i, bool* hex);
