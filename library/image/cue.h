// CUE sheet parser: turns the text of a .cue file into a list of files and
// tracks. Portable; it does not open the files it names (disc.cpp does).
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

// How a track's sectors are stored in its BINARY file.
enum CueMode { kCueAudio, kCueMode1_2048, kCueMode1_2352, kCueMode2_2336, kCueMode2_2352 };

// Bytes one sector of the mode occupies in the file.
uint32_t CueModeSectorSize(CueMode mode);

enum { kCueMaxTracks = 99, kCueMaxText = 1 << 20 };

// Q-channel CONTROL bits a FLAGS line may set (the data bit, mmc.h's
// kControlDataTrack, follows from the track's mode).
enum { kControlPreEmphasis = 0x1, kControlCopyPermitted = 0x2, kControlFourChannel = 0x8 };

struct CueFile {
    std::string name;  // as written in the sheet, quotes removed
    int line;
};

// Times are in frames (blocks) relative to the start of the track's file.
struct CueTrack {
    int number;      // 1..99
    int session;     // 1-based, from REM SESSION
    int file;        // index into CueSheet::files
    int line;        // line of the TRACK command
    CueMode mode;
    uint8_t flags;   // kControl... bits from FLAGS
    int32_t index0;  // INDEX 00, or -1 when absent
    int32_t index1;  // INDEX 01
    int index1_line;
    int32_t pregap;  // PREGAP length (not stored in the file)
    int32_t postgap; // POSTGAP length (not stored in the file)
    int pregap_line;  // lines of the PREGAP and POSTGAP commands, 0 when absent
    int postgap_line;
};

struct CueSheet {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    int sessions;
};

// Parses len bytes of cue text. On failure returns false and writes
// "NAME, line N: reason" (NAME = cue_name) into err (always terminated).
bool ParseCue(const char* text, size_t len, const char* cue_name, CueSheet* sheet, char* err, size_t err_len);
