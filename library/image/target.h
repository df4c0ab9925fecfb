// The SCSI target of the virtual drive: answers the MMC commands the library
// sends, from a disc model, as a CD-ROM drive answers them. Portable.
#pragma once
#include <stdint.h>

#include "disc.h"
#include "mmc.h"

struct Target {
    const Disc* disc;
    uint32_t block_length;  // set by MODE SELECT: kUserDataSize, kNoSyncSectorSize or kRawSectorSize
    bool medium_present;    // false after an eject
    uint32_t transferred;   // data bytes the last command moved
    char read_problem[256]; // why the last command's read failed, or empty
};

void TargetInit(Target* target, const Disc* disc);

// Runs one command. data/data_len is the caller's buffer (in or out by the
// command); sense/sense_len receives fixed-format sense data (kSenseFixedSize
// bytes at most) on CHECK CONDITION and is cleared otherwise. Returns the
// SCSI status (kScsiStatus...). Nothing is read or written outside the
// buffers given, whatever the CDB says.
int TargetExecute(Target* target, const uint8_t* cdb, uint32_t cdb_len, uint8_t* data, uint32_t data_len,
                  uint8_t* sense, uint32_t sense_len);

// Start of the last session's first track (the answer of the platform's
// last-session request), or false with no medium.
bool TargetLastSessionStart(const Target* target, int32_t* lba);

// The medium check of the platform: false with no medium.
bool TargetMediumPresent(const Target* target);
