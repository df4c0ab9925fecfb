// SCSI command descriptor blocks for the CD-ROM command set, and the few
// response fields the library itself reads. Portable: no platform headers.
//
// Each builder writes only the first N bytes of the caller's CDB area (bytes
// beyond the current command's length keep whatever an earlier command left
// there and are never sent) and returns N.
#pragma once
#include <stdint.h>

#include "cdgeometry.h"
#include "mmc.h"

enum { kCdbAreaSize = 12 };

// Output area of the platform's last-session request: room for more than
// its 12 bytes (the READ TOC session-format header and one descriptor).
enum { kLastSessionResponseSize = 100 };

int BuildTestUnitReady(uint8_t* cdb);                                   // 6 bytes
int BuildReadCapacity(uint8_t* cdb);                                    // 10 bytes
// READ TOC/PMA/ATIP with the MSF bit, starting track 1; alloc_len keeps its
// low 16 bits, format its low 2 bits (bits 7-6 of byte 9).
int BuildReadToc(uint8_t* cdb, uint32_t alloc_len, uint32_t format);    // 10 bytes
// READ(10); a negative LBN is sent in two's complement, blocks keeps its low
// 16 bits (65536 sends 0).
int BuildRead10(uint8_t* cdb, int32_t lbn, uint32_t blocks);            // 10 bytes
int BuildEject(uint8_t* cdb);                                           // 6 bytes: START STOP UNIT, LoEj
// The logical block lengths a CD-ROM drive is switched between: user data
// only, the raw sector without its sync field, and the whole raw sector.
bool IsSupportedBlockLength(int32_t block_len);
// MODE SELECT(6), PF set, with a 12-byte parameter list (mode parameter
// header + one block descriptor carrying block_len) written to params.
// Returns 6; for a length IsSupportedBlockLength refuses, writes nothing
// and returns 0.
int BuildModeSelect(uint8_t* cdb, uint8_t* params, int32_t block_len);
// Bytes a READ(10) of `blocks` transfers at block_len: (uint16_t)blocks * block_len;
// 0 for a negative block_len.
uint32_t Read10DataLength(uint32_t blocks, int32_t block_len);
// READ CAPACITY response: last LBA from bytes 1-3 and block length from bytes
// 5-7, 24 bits each (bytes 0 and 4 are not read).
void ParseReadCapacity(const uint8_t* resp8, int32_t* last_lbn, int32_t* block_len);
// IOCTL_CDROM_GET_LAST_SESSION output (CDROM_TOC_SESSION_DATA): the address of
// the first track of the last session, bytes 8-11 big-endian; -1 when out_len < 12.
int32_t ParseLastSession(const uint8_t* out, uint32_t out_len);
