// Copying a whole disc to BIN/CUE: the track layout read from the TOC, the
// pregaps found on the disc, the cue sheet, and the save items (one .bin of
// raw sectors per track, then the sheet). The library's cue reader opens
// the copy with the same TOC and the same raw bytes in every block.
// Portable: the TOC arrives as a READ TOC response, blocks through a reader.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "savejob.h"

enum CopyTrackMode { kCopyAudio, kCopyMode1, kCopyMode2 };

struct CopyTrack {
    int number;
    int session;
    uint8_t control;     // Q CONTROL nibble: 4 marks a data track
    int32_t start;       // INDEX 01
    int32_t pregap;      // blocks before INDEX 01 saved with the track (INDEX 00)
    int32_t end;         // one past the track's last block
    CopyTrackMode mode;
};

struct CopyLayout {
    std::vector<CopyTrack> tracks;   // in address order
};

enum { kMaxPregapScan = 750 };  // blocks searched for a pregap between tracks

// The layout of a full TOC (READ TOC format 2, MSF in BCD) or of a track TOC
// (format 0, binary MSF; one session). False when the response holds no
// track or its addresses do not rise.
bool LayoutFromFullToc(const uint8_t* resp, uint32_t size, CopyLayout* layout);
bool LayoutFromTrackToc(const uint8_t* resp, uint32_t size, CopyLayout* layout);

// Reads the disc to finish the layout: each data track's mode from its
// first block, the 150-block pregap before the first track of each later
// session, and a pregap between tracks of one session where the blocks
// before INDEX 01 are already of the next track's kind (audio without a
// sync pattern, data with it and its mode byte). Unreadable blocks end a
// search.
void FinishCopyLayout(CopyLayout* layout, SaveReader pfnRead, void* context);

// The .bin of track n beside the sheet: the sheet's name without its
// extension, "_nn.bin".
std::string CopyBinName(const std::string& cueName, int number);

// The cue sheet: REM SESSION nn, FILE "..." BINARY, TRACK nn
// AUDIO|MODE1/2352|MODE2/2352, INDEX 00 (with a pregap) and INDEX 01, CR LF.
std::string BuildCueSheet(const CopyLayout& layout, const std::string& cueName);

// One raw item per track, then the sheet (written last, so a copy cut short
// leaves no sheet that names missing files).
std::vector<SaveItem> PlanDiscCopy(const CopyLayout& layout, const std::string& cuePath);
