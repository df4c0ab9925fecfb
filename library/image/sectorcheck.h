// Integrity check of a raw sector (ECMA-130, CD-ROM XA): header address and
// mode, subheader copies, EDC, the reserved bytes and the RSPC P/Q parity,
// each judged as the sector's mode and form demand. Portable; the EDC and ECC
// arithmetic is the sector synthesis's own (sector.h).
#pragma once
#include <stddef.h>
#include <stdint.h>

// What the check took the sector for.
enum SectorCheckKind {
    kCheckedMode0, kCheckedMode1, kCheckedMode2Formless, kCheckedForm1, kCheckedForm2, kCheckedUnknownMode
};

// Failing parts, one bit each.
enum SectorFault {
    kFaultSync = 0x001,       // the 12-byte sync pattern
    kFaultAddress = 0x002,    // header address is not the block's LBN + 150 in BCD
    kFaultMode = 0x004,       // mode byte other than 0, 1, 2
    kFaultSubheader = 0x008,  // the two Mode 2 subheader copies differ
    kFaultEdc = 0x010,
    kFaultEccP = 0x020,
    kFaultEccQ = 0x040,
    kFaultReserved = 0x080,   // Mode 1: the 8 bytes after the EDC are not zero
    kFaultZeroData = 0x100,   // Mode 0: user data not all zero
};

enum SectorEdcState { kEdcNone, kEdcNotRecorded, kEdcChecked };

struct SectorCheck {
    SectorCheckKind kind;
    unsigned faults;          // SectorFault bits; 0 for a sound sector
    SectorEdcState edc;       // whether the form carries an EDC that was judged
    bool has_ecc;             // Mode 1 and Form 1
};

// Flags of CheckRawSector.
enum {
    kCheckIgnoreSync = 1,     // bytes 0-11 were not read (2340-byte blocks) but filled in
};

// Checks the 2352-byte image of the block at lbn.
SectorCheck CheckRawSector(const uint8_t* raw2352, int32_t lbn, unsigned flags);

// Short status: "EDC OK  ECC OK", "EDC NG", "ECC NG (Q)", "HDR NG  EDC OK", "EDC --".
void FormatCheckStatus(const SectorCheck& check, char* text, size_t text_size);
// What failed, for a list: "EDC, ECC P, ECC Q"; "" for a sound sector.
void FormatCheckFaults(const SectorCheck& check, char* text, size_t text_size);
// "Mode 1", "Mode 2 Form 1", "Mode 2 Form 2", "Mode 2", "Mode 0", "Mode ?".
const char* CheckKindName(SectorCheckKind kind);
