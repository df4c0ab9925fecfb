// Drive list and header line texts, portable part: the root list the system
// gives, the drive submenu captions, device paths and the header above the
// dump with its column ruler.
//
// Texts go into a caller's buffer of a given size, always NUL-terminated
// there (when the size is not 0); functions return the text's length, or 0
// when it did not fit (the buffer then holds as much as fits).
#pragma once
#include <stdint.h>

// Drive letters A to Z, each root "X:\" and its terminator, and the empty
// string that ends the list: the buffer that holds every root the system can
// report. Request the list into a buffer of this size.
enum {
    kMaxDriveRoots = 26,
    kDriveRootSize = 4,  // "X:\" and terminator
    kDriveRootListSize = kMaxDriveRoots * kDriveRootSize + 1,
};

// Texts of the drive list.
enum {
    kVolumeLabelSize = 256,   // label buffer of the volume query
    kDriveCaptionSize = 300,  // "X: [label]" with the longest label
    kDriveNameSize = 80,      // the chosen drive's name, "X:"
    kDevicePathSize = 128,
    kDriveHeaderSize = 256,
};

extern const char kNoDiscLabel[];   // "No or Invalid Disc"
extern const char kColumnRuler[];   // the header's second line, less its leading blank

struct DriveRootList {
    int count;
    char roots[kMaxDriveRoots][kDriveRootSize];  // "D:\", in the order of the list
};

// Parses a root list as the system writes it: roots one after another, each
// NUL-terminated, the list ended by an empty string. Only list_size bytes are
// read, so a list cut short by its buffer (no final terminator) ends there.
// Entries that are not a drive root ("X:" with an optional backslash) are
// skipped; a letter already listed is not listed twice; at most
// kMaxDriveRoots are kept. Returns the number of roots.
int ParseDriveRoots(const char* list, uint32_t list_size, DriveRootList* out);

// Drive submenu caption "%s [%s]": the root without its backslash and the
// volume label, or kNoDiscLabel when label is null (no readable disc). The
// label is read up to kVolumeLabelSize bytes even without a terminator.
int FormatDriveCaption(char* out, uint32_t out_size, const char* root, const char* label);

// The drive name of a submenu caption: the caption up to its first blank.
int DriveNameFromCaption(char* out, uint32_t out_size, const char* caption);

// Device path "\\.\" followed by the drive name ("D:").
int FormatDevicePath(char* out, uint32_t out_size, const char* drive_name);
// Device path of a drive letter: "\\.\D:".
int FormatDevicePathForLetter(char* out, uint32_t out_size, char letter);

// The number of blocks on the disc from READ CAPACITY's last LBA: last + 1,
// wrapping as 32-bit arithmetic does rather than overflowing.
int32_t LeadoutFromLastLba(int32_t last_lba);

// The header above the dump: "Drive[%s]  Leadout : %s (LBN:%d)\n %s" with the
// drive name, the lead-out as CD time (leadout + kPregapBlocks), the lead-out LBN and
// the column ruler.
int FormatDriveHeader(char* out, uint32_t out_size, const char* drive_name, int32_t leadout);

// ---- Disc images ----

// Tells whether a byte opens a two-byte character in the code page the text
// is in (IsDBCSLeadByte in the shell): such a pair's second byte may equal
// '\\' or '|' and must not be taken for one.
typedef bool (*LeadBytePredicate)(uint8_t byte);

// The file name of a path: what follows its last '\\', '/' or drive colon.
// A null predicate reads the path as single-byte text.
const char* FileNameOfPath(const char* path, LeadBytePredicate is_lead);

// The image path given on a program's command line (GetCommandLineA: the
// program name first, quoted or not). The argument may be quoted; unquoted it
// runs to the end of the line, trailing blanks dropped, so a path with blanks
// works either way. Returns its length; 0 (and an empty out) when there is no
// argument or it does not fit, so a cut path is never opened.
int ImagePathFromCommandLine(char* out, uint32_t out_size, const char* command_line);

// Turns a filter text of the form "name|pattern|name|pattern|" into the
// NUL-separated list the open-file dialog takes, in place. The text must sit
// in a buffer with at least one more zero byte after it (the list ends with
// two). Returns the number of separators replaced.
int SplitFilterText(char* text, LeadBytePredicate is_lead);
