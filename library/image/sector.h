// Raw CD-ROM sector synthesis (ECMA-130): sync, header, Mode 2 subheader,
// EDC and the RSPC P/Q parities. Portable; used by the virtual drive to
// rebuild what an image does not store, and by the disc image builder.
#pragma once
#include <stdint.h>

#include "cdgeometry.h"

enum SectorType { kSectorAudio, kSectorMode0, kSectorMode1, kSectorMode2Formless, kSectorMode2Form1, kSectorMode2Form2 };

// Raw sector of the block at lba from its user data.
//   Mode 1: 2048 bytes. Mode 2 Form 1: 2048, Form 2: 2324, after the subheader
//   (file, channel, submode, coding; null means all zero). Form 2 is also chosen
//   when the submode's Form 2 bit is set; a kSectorMode2Form2 sector always gets
//   that bit. The user buffer holds as many bytes as the type asked for says: a
//   Form 1 request turned Form 2 by its submode takes 2048 bytes and zero fill.
//   Formless Mode 2: 2336 bytes. Audio: 2352 bytes copied. Mode 0: all zero.
// user may be null for all-zero data.
void BuildRawSector(uint8_t* raw2352, int32_t lba, SectorType type, const uint8_t* user, const uint8_t* subheader4);

// Sync and header in front of the 2336 bytes stored by a MODE2/2336 track
// (which carry their own subheader, EDC and ECC).
void BuildMode2FromStored(uint8_t* raw2352, int32_t lba, const uint8_t* stored2336);

// Sync pattern and header: BCD minute/second/frame of lba + 150 and the mode byte.
// Addresses before -150 (the lead-in) wrap as MMC maps them (lba + 450150).
void WriteSectorHeader(uint8_t* raw2352, int32_t lba, uint8_t mode);
// The three BCD address bytes of that header.
void EncodeSectorAddress(int32_t lba, uint8_t bcd_msf[3]);

// CRC-32 of ECMA-130 (x^32+x^31+x^16+x^15+x^4+x^3+x+1, LSB first, no inversion).
// Stored little-endian after the bytes it covers.
uint32_t ComputeEdc(const uint8_t* data, uint32_t len);

// P then Q parity over bytes 12..2075 (+P for Q) as Mode 1 lays them out.
// For Mode 2 Form 1 the caller zeroes the header first.
void ComputeEccPQ(uint8_t* raw2352);

