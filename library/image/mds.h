// Alcohol images: the binary .mds descriptor (header "MEDIA DESCRIPTOR",
// session blocks, 80-byte track blocks with mode, sector size, start block
// and file offset, 8-byte extra blocks with pregap and length, a footer that
// names the data file) and the .mdf it describes. All fields little-endian.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

#include "disc.h"

enum {
    kMdsHeaderSize = 88, kMdsSessionSize = 24, kMdsTrackSize = 80, kMdsExtraSize = 8, kMdsFooterSize = 16,
    kMdsMaxSize = 1 << 20,
    // Track block mode (low nibble) and subchannel byte.
    kMdsModeAudio = 0x9, kMdsMode1 = 0xA, kMdsMode2 = 0xB, kMdsMode2Form1 = 0xC, kMdsMode2Form2 = 0xD,
    kMdsSubchannelInterleaved = 0x08,
};

struct MdsTrack {
    int session, number;
    uint8_t mode, subchannel, control;
    uint32_t sector_size;
    int32_t start, pregap, length;
    uint64_t offset;
    std::string file;  // as recorded ("*.mdf": the descriptor's name with .mdf)
};

// Parses the descriptor bytes. On failure false with "NAME: reason".
bool ParseMds(const uint8_t* data, size_t len, const char* mds_name, std::vector<MdsTrack>* tracks, char* err,
              size_t err_len);

// Lays the tracks out, opening the data files (relative to the descriptor).
bool DiscFromMds(const std::vector<MdsTrack>& tracks, const char* mds_path, Disc* disc, char* err, size_t err_len);

bool DiscOpenMds(const char* path, Disc* disc, char* err, size_t err_len);

bool LooksLikeMds(const char* head, size_t len);
