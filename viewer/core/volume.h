// ISO 9660 primary volume descriptor: where the user data of a block read
// without its sync lies, whether a block holds a descriptor, and the label
// fields as the disc label dialog shows them.
// Portable: no window system, no module state.
//
// The ISO 9660 readers read blocks of kNoSyncSectorSize bytes (the raw
// sector less its sync) into buffers of kRawSectorSize, so they see the
// header and the XA subheader; a logical block is kUserDataSize bytes of it.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "cdgeometry.h"
#include "iso9660.h"

// Offset of the user data in a block read without its sync: after the
// header and the subheader copies of a mode 2 sector, else after the header.
size_t UserDataOffset(const uint8_t* block);

// The user data of such a block, or NULL when blockLen cannot hold it.
const uint8_t* LocateUserData(const uint8_t* block, size_t blockLen);

// kIsoStandardId ("CD001") or "CD-I" at the standard identifier of the user data.
bool IsVolumeDescriptor(const uint8_t* userData);

enum VolumeFieldKind { kVolumeText, kVolumeDate };

struct VolumeField {
    int nControl;            // edit control of the label dialog
    const char* szCaption;   // label beside it
    uint16_t offset;         // within the descriptor's logical block
    uint16_t length;
    VolumeFieldKind kind;
};

constexpr size_t kVolumeFieldCount = 13;
extern const VolumeField kVolumeFields[kVolumeFieldCount];

// Largest text of a field: the longest identifier and the terminator.
constexpr size_t kVolumeTextSize = kPvdLongIdSize + 1;
// "%04d/%02d/%02d %02d:%02d:%02d" and the terminator.
constexpr size_t kVolumeDateTextSize = 20;

// An ISO 9660 volume date (kVolumeDateSize bytes) as "YYYY/MM/DD hh:mm:ss". Each digit group
// is read as a decimal number (leading blanks, optional sign, digits up to
// the first other byte or a zero byte; none give 0); hundredths and the
// Greenwich offset are not shown. Writes at most cap bytes, terminated.
void FormatVolumeDate(const uint8_t* field17, char* out, size_t cap);

// One field as the dialog shows it: identifiers as stored, blanks included,
// ending early at a zero byte; dates through FormatVolumeDate.
void FormatVolumeField(const uint8_t* userData, const VolumeField& field, char* out, size_t cap);

struct VolumeLabel {
    char szText[kVolumeFieldCount][kVolumeTextSize];  // in kVolumeFields order
};

// Locates the user data of a block read without its sync, checks the identification and
// fills every field. False (label untouched) when the block is too short or
// holds no volume descriptor.
bool DecodeVolumeLabel(const uint8_t* block, size_t blockLen, VolumeLabel* label);
