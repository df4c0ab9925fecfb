// CD geometry and time (ECMA-130): frames, blocks, the raw sector's layout
// and the areas of a multisession disc. Portable: used by the library, the
// virtual drive, the viewer, the tools and the tests alike.
#pragma once
#include <stdint.h>

// CD time: 75 frames (blocks) a second. Block 0 of the data area is at
// address 150 (00:02:00): an address is LBN + kPregapBlocks.
enum {
    kFramesPerSecond = 75,
    kSecondsPerMinute = 60,
    kFramesPerMinute = 4500,
    kPregapBlocks = 150,
    // The last address a CD time can express, 99:59:74, and the count that
    // wraps the 100-minute clock (MMC maps lead-in addresses through it).
    kMaxCdTimeFrames = 449999,
    kCdTimeWrapFrames = 450000,
};

// Lengths of a raw sector and of its parts. A drive reads a block at 2048
// (user data), 2340 (the sector less its sync) or 2352 (the whole sector).
enum {
    kRawSectorSize = 2352,
    kNoSyncSectorSize = 2340,
    kUserDataSize = 2048,        // Mode 1 and Mode 2 Form 1
    kMode2DataSize = 2336,       // Mode 2 after the header, subheader included
    kForm2UserDataSize = 2324,   // Mode 2 Form 2
    kSyncSize = 12,              // 00, FF x 10, 00
    kHeaderSize = 4,             // minute, second, frame (BCD), mode
    kSubheaderSize = 8,          // file, channel, submode, coding; recorded twice
    kSubheaderCopySize = 4,
    kEccPSize = 172,
    kEccQSize = 104,
};

// Byte offsets inside a raw 2352-byte sector.
enum {
    kHeaderOffset = 12,
    kModeOffset = 15,
    kDataOffset = 16,            // Mode 1 user data, Mode 2 subheader
    kSubmodeOffset = 18,         // submode byte of the first subheader copy
    kXaUserDataOffset = 24,      // Mode 2 Form 1/2 user data
    kMode1EdcOffset = 2064,      // EDC over bytes 0..2063
    kMode1ZeroOffset = 2068,     // 8 reserved zero bytes
    kForm1EdcOffset = 2072,      // EDC over bytes 16..2071
    kEccPOffset = 2076,
    kEccQOffset = 2248,
    kForm2EdcOffset = 2348,      // EDC over bytes 16..2347 (0: not recorded)
};

// Mode 2 subheader submode bits (CD-ROM XA).
enum {
    kSubmodeEor = 0x01, kSubmodeVideo = 0x02, kSubmodeAudio = 0x04, kSubmodeData = 0x08,
    kSubmodeTrigger = 0x10, kSubmodeForm2 = 0x20, kSubmodeRealTime = 0x40, kSubmodeEof = 0x80,
};

// The layout adds up: sync, header, subheader copies, data, EDC, parities.
static_assert(kDataOffset == kSyncSize + kHeaderSize && kModeOffset == kDataOffset - 1, "header");
static_assert(kXaUserDataOffset == kDataOffset + kSubheaderSize && kSubheaderSize == 2 * kSubheaderCopySize,
              "subheader");
static_assert(kMode1EdcOffset == kDataOffset + kUserDataSize && kForm1EdcOffset == kXaUserDataOffset + kUserDataSize &&
                  kForm2EdcOffset == kXaUserDataOffset + kForm2UserDataSize, "EDC");
static_assert(kEccQOffset == kEccPOffset + kEccPSize && kEccQOffset + kEccQSize == kRawSectorSize, "ECC");
static_assert(kMode2DataSize == kRawSectorSize - kDataOffset && kNoSyncSectorSize == kRawSectorSize - kSyncSize,
              "sizes");

extern const uint8_t kSyncPattern[kSyncSize];

// Areas between sessions (Orange Book): the first session's lead-out is 6750
// blocks, a later one's 2250; every lead-in 4500; then the next session's
// first track has its 150-block pregap.
enum {
    kLeadoutFirstSession = 6750,
    kLeadoutLaterSession = 2250,
    kLeadinBlocks = 4500,
    kFirstSessionGap = kLeadoutFirstSession + kLeadinBlocks + kPregapBlocks,   // 11400
    kLaterSessionGap = kLeadoutLaterSession + kLeadinBlocks + kPregapBlocks,   // 6900
};

// BCD as CD subcode and sector headers carry it (0..99).
inline uint8_t to_bcd(int v) { return (uint8_t)(((v / 10) << 4) | (v % 10)); }
inline int from_bcd(uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }
