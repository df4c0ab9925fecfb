// Nero images (.nrg): the sectors first, then a chain of chunks, found
// through the footer at the very end: "NERO" and a 32-bit offset (old
// images) or "NER5" and a 64-bit one. Chunks: CUES/CUEX (cue points: the
// block of every index), DAOI/DAOX (disc-at-once tracks: sector size, mode,
// file offsets), ETNF/ETN2 (track-at-once tracks), SINF (tracks a session),
// MTYP, END!. All integers big-endian.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

#include "disc.h"

enum {
    kNrgMaxChunks = 1024, kNrgMaxChain = 1 << 20,
    // Track modes of DAO and TAO entries, by what the image stores a block.
    kNrgMode1 = 0x00, kNrgMode2Form1 = 0x02, kNrgMode2 = 0x03, kNrgMode1Raw = 0x05, kNrgMode2Raw = 0x06,
    kNrgAudio = 0x07, kNrgMode1Sub = 0x0F, kNrgAudioSub = 0x10, kNrgMode2Sub = 0x11,
};

// Lays the disc out from the chunk chain (chain: the bytes from the first
// chunk to the footer, which starts at chain_offset in a file of file_size
// bytes); disc->files[0] is the image itself.
bool DiscFromNrgChain(const uint8_t* chain, size_t len, uint64_t chain_offset, bool v2, const char* name, Disc* disc,
                      char* err, size_t err_len);

bool DiscOpenNrg(const char* path, Disc* disc, char* err, size_t err_len);

// True when the file ends in a Nero footer.
bool HasNrgFooter(const char* path);
