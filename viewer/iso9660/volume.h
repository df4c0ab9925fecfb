// ISO 9660 primary volume descriptor: where the user data of a 2340-byte
// block lies, whether a block holds a descriptor, and the label fields as
// the disc label dialog shows them.
// Portable: no window system, no module state.
#pragma once
#include <stddef.h>
#include <stdint.h>

constexpr size_t kIsoUserDataSize = 2048;   // user data of one logical block
constexpr size_t kIsoReadBlockSize = 2340;  // sector without its 12-byte sync field
constexpr size_t kIsoRawBufferSize = 2352;  // a whole raw sector; the read buffer
constexpr int32_t kVolumeDescriptorLbn = 16; // counted from the session start

// Offset of the 2048 user-data bytes in a 2340-byte block: 12 for a mode 2
// sector (after the 8-byte subheader), else 4 (after the header).
size_t UserDataOffset(const uint8_t* block);

// The user data of a 2340-byte block, or NULL when blockLen cannot hold it.
const uint8_t* LocateUserData(const uint8_t* block, size_t blockLen);

// "CD001" at bytes 1-5 or "CD-I" at bytes 1-4 of the user data.
bool IsVolumeDescriptor(const uint8_t* userData);

enum VolumeFieldKind { kVolumeText, kVolumeDate };

struct VolumeField {
    int nControl;            // edit control of the label dialog
    const char* szCaption;   // label beside it
    uint16_t offset;         // within the 2048 user-data bytes
    uint16_t length;
    VolumeFieldKind kind;
};

constexpr size_t kVolumeFieldCount = 13;
extern const VolumeField kVolumeFields[kVolumeFieldCount];

// Largest text of a field: 128 identifier bytes and the terminator.
constexpr size_t kVolumeTextSize = 129;
// "%04d/%02d/%02d %02d:%02d:%02d" and the terminator.
constexpr size_t kVolumeDateTextSize = 20;

// A 17-byte ISO 9660 volume date as "YYYY/MM/DD hh:mm:ss". Each digit group
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

// Locates the user data of a 2340-byte block, checks the identification and
// fills every field. False (label untouched) when the block is too short or
// holds no volume descriptor.
bool DecodeVolumeLabel(const uint8_t* block, size_t blockLen, VolumeLabel* label);
