// The status and sense decision: given the status of a command and its sense
// buffer (fixed format), what the command's result is, or which Retry/Cancel
// box to show. Portable: the Japanese texts of the string table come in
// through a lookup; the box itself is shown by the caller.
#pragma once
#include <stdint.h>

#include "cdrresult.h"
#include "mmc.h"
#include "tamrisk_ids.h"

// The text of a string-table id ("" if none; a null return is read as "").
typedef const char* (*StringLookup)(void* ctx, unsigned id);

enum { kCaptionSize = 128, kDescriptionSize = 130, kMessageSize = 512 };

// The user's Retry (IDRETRY): the library repeats the command; no export
// returns it. The other results are cdrresult.h's.
enum { kResultRetry = 4 };
// MessageBox styles: MB_RETRYCANCEL with MB_ICONERROR / MB_ICONINFORMATION.
enum { kStyleRetryCancelError = 0x15, kStyleRetryCancelInfo = 0x45 };

struct ScsiOutcome {
    int result;            // the command result when ask is false (CDR_SUCCESS or CDR_FAILED)
    bool ask;              // show a Retry/Cancel box; its answer (kResultRetry, CDR_FAILED) is the result
    unsigned style;        // MB_ style value of that box (0x15 or 0x45)
    bool has_caption;      // false: the platform's default caption
    char caption[kCaptionSize];          // sense-key caption (the library's cap_str); filled
                                         // whenever the sense key was named, even if the box
                                         // does not use it as its caption
    bool has_description;
    char description[kDescriptionSize];  // ASC/ASCQ description (the library's szSCSIstr)
    char text[kMessageSize];             // the box's body
};

// status: the SCSI status byte, or -1 for a failed request. sense: the sense
// buffer (may be null); bytes at or beyond sense_len read as 0, as in a
// cleared buffer. report: nonzero puts failures to the user. lookup may be null.
void DecideScsiOutcome(int status, const uint8_t* sense, uint32_t sense_len, int report,
                       StringLookup lookup, void* ctx, ScsiOutcome* out);

// The string id of an ASC/ASCQ pair, or 0 where the reserved-error text applies
// (and for ASC 0x80, which the decision treats as success before asking).
unsigned SenseDescriptionId(uint8_t asc, uint8_t ascq);
// The caption string id of a sense key (low 4 bits), or 0 where the key has no
// text of its own (0 and 6 never get that far; 12, 13 and 15 take the fatal text).
unsigned SenseKeyCaptionId(uint8_t sense_key);

// The data of sense_table.cpp: ASC/ASCQ rows searched in order, the first
// match wins. ascq kAnyAscq matches every qualifier, so a wildcard row after
// specific rows of the same ASC covers the "other" qualifiers; id 0 means the
// reserved-error text.
enum { kAnyAscq = -1 };
struct SenseDescriptionRow {
    uint8_t asc;
    int16_t ascq;   // 0-255, or kAnyAscq
    uint16_t id;
};
extern const SenseDescriptionRow kSenseDescriptionRows[];
extern const unsigned kSenseDescriptionRowCount;
extern const uint16_t kSenseKeyCaptionIds[16];
