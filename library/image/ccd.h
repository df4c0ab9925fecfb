// CloneCD images: the .ccd text records the full TOC of every session as
// [Entry N] sections (the Q subcode of the lead-in), [TRACK N] sections add
// modes and INDEX 0/1; the .img beside it holds the raw 2352-byte sectors of
// every session's tracks one after another (the areas between sessions are
// not stored), an optional .sub 96 bytes of subchannel data a block.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

#include "disc.h"

enum { kCcdMaxEntries = 1000, kCcdMaxText = 1 << 20 };

struct CcdEntry {
    int session, point, adr, control, track_no;
    int amin, asec, aframe, zero, pmin, psec, pframe;
    int line;  // of the [Entry N] header, 0 when the entry is missing
};

struct CcdTrack {
    int mode;              // 0 audio, 1, 2; -1 when not given
    int32_t index0, index1;  // -1 when not given
};

struct CcdSheet {
    int entry_count;
    int session_count;
    std::vector<CcdEntry> entries;
    CcdTrack tracks[100];  // by track number
};

// Parses the .ccd text. On failure returns false with "NAME, line N: reason".
bool ParseCcd(const char* text, size_t len, const char* ccd_name, CcdSheet* ccd, char* err, size_t err_len);

// Lays the disc out from the entries over img (and sub, null when absent):
// already opened as disc->files[0] (and [1]).
bool DiscFromCcd(const CcdSheet& ccd, const char* ccd_name, Disc* disc, char* err, size_t err_len);

// Reads NAME.ccd with NAME.img and, when present, NAME.sub (used by DiscOpen).
bool DiscOpenCcd(const char* path, Disc* disc, char* err, size_t err_len);

bool LooksLikeCcd(const char* text, size_t len);
