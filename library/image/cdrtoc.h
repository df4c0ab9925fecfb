// cdrdao TOC files (.toc): one session of tracks, each composed of pieces of
// its data files and of zero blocks. Portable; ParseCdrToc reads the text,
// DiscFromCdrToc opens the files it names and lays the tracks out.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "disc.h"

enum CdrTocMode {
    kCdrAudio, kCdrMode1, kCdrMode1Raw, kCdrMode2, kCdrMode2Form1, kCdrMode2Form2, kCdrMode2FormMix, kCdrMode2Raw,
};
enum CdrTocSessionType { kCdrSessionDa, kCdrSessionRom, kCdrSessionRomXa, kCdrSessionI };
enum { kCdrSubchannelSize = kDiscSubchannelSize, kCdrMaxText = 1 << 20, kCdrMaxTracks = 99 };

// Bytes one block of the mode takes in a data file (without subchannel data).
uint32_t CdrTocSectorSize(CdrTocMode mode);

struct CdrTocPiece {
    int file;          // index into CdrToc::files, -1 for zero data (ZERO, SILENCE, PREGAP)
    uint64_t offset;   // first byte in the file
    int64_t length;    // bytes (in the file, or of zero data); -1: to the end of the file
    bool swap;         // audio samples big-endian (raw audio files)
    int line;
};

struct CdrTocTrack {
    int line;
    CdrTocMode mode;
    bool subchannel;   // RW or RW_RAW: 96 bytes after every sector
    uint8_t control;   // Q-channel CONTROL nibble
    std::vector<CdrTocPiece> pieces;
    int start_pieces;  // pieces before START/PREGAP's end, -1 without a pregap
    int32_t start_blocks;  // START MM:SS:FF, -1 when it follows the pieces
    int start_line;
};

struct CdrTocFile {
    std::string name;
    int line;
};

struct CdrToc {
    CdrTocSessionType type;
    std::vector<CdrTocFile> files;
    std::vector<CdrTocTrack> tracks;
};

// Parses len bytes of TOC text. On failure returns false and writes
// "NAME, line N: reason" into err.
bool ParseCdrToc(const char* text, size_t len, const char* toc_name, CdrToc* toc, char* err, size_t err_len);

// True when the text begins as a TOC file does (after comments, a header or
// TRACK keyword), so that a .toc under another name is recognised.
bool LooksLikeCdrToc(const char* text, size_t len);

// Builds a disc of one session from a parsed TOC; names are relative to base_dir.
bool DiscFromCdrToc(const CdrToc& toc, const char* toc_name, const char* base_dir, Disc* disc, char* err,
                    size_t err_len);

// Reads a .toc file and the data files it names (used by DiscOpen).
bool DiscOpenCdrToc(const char* path, Disc* disc, char* err, size_t err_len);
