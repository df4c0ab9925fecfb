// ISO 9660 directory tree walk: one text line per directory entry,
// depth-first in on-disc record order, for the directory tree window.
// Portable: blocks come from a reader and lines go to a sink, both given
// by the caller, so the walk knows nothing of drives or list boxes.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "volume.h"

// Reads the block at an LBN, without its sync (kNoSyncSectorSize bytes),
// into raw (kRawSectorSize bytes); returns success. The drive's block length
// is the caller's business.
typedef bool (*BlockReader)(void* context, int32_t lbn, uint8_t* raw);

// Takes one line; returns false when it cannot hold any more (a full list
// box), which ends the listing of the current directory.
typedef bool (*LineSink)(void* context, const char* line);

constexpr uint32_t kMaxTreeLevel = 8;     // "All" in the tree window
constexpr size_t kTreeLineSize = 160;     // a line and its terminator
constexpr size_t kFileFlagsTextSize = 7;  // six letters and the terminator
constexpr size_t kXaAttributesTextSize = 24;
constexpr size_t kRecordDateTextSize = 32;
// Lines one build may add. A hostile directory hierarchy can name the same
// extents again and again (a tree of k subdirectories per level gives k^8
// lines); past this the sink counts as full.
constexpr uint32_t kMaxTreeLines = 500000;
// Block reads one build may make. A sound hierarchy reads each directory
// block once, and no CD holds more blocks than this; hostile data lengths
// or shared extents would otherwise read the disc over and over.
constexpr uint32_t kMaxTreeReads = 400000;

struct DirWalk {
    BlockReader pfnRead;
    void* pReadContext;
    LineSink pfnSink;
    void* pSinkContext;
    // Depth of the directory whose entries are being listed: 1 for the root
    // directory's entries. 0 outside a walk.
    uint32_t nTreeDepth;
    uint32_t nLines;  // lines added during this build
    uint32_t nReads;  // blocks read during this build
    // Extents of the directories being listed, by depth - 1.
    int32_t alAncestor[kMaxTreeLevel];
};

// A DirWalk ready for a build.
DirWalk MakeDirWalk(BlockReader pfnRead, void* pReadContext, LineSink pfnSink, void* pSinkContext);

enum TreeBuildResult {
    kTreeNoDescriptor,  // the volume descriptor block could not be read
    kTreeBadRoot,       // "Bad Root location" line added
    kTreeListed,        // root line added and the root directory walked
    kTreeFull,          // the sink refused the root line
};

// Reads the block at lbn as the reader does and copies the logical block
// in its user data (kIsoBlockSize bytes) to dest; dest is untouched when the read fails or the build's reads are
// used up.
bool ReadUserData(DirWalk* walk, int32_t lbn, uint8_t* dest);

// Lines of the whole hierarchy from the primary volume descriptor at
// lLastSession + 16: the root line, then ListDirectory of the root down to
// level (at most kMaxTreeLevel). A root extent not above 0 or not below lLeadout
// gives the single line "Bad Root location \t%8d".
TreeBuildResult BuildDirectoryTree(DirWalk* walk, int32_t lLastSession, int32_t lLeadout,
                                   uint32_t level);

// Lists the entries of one directory extent of length bytes, indented by the
// depth, and the contents of each subdirectory at once after its line while
// the depth is below level. False when a block read failed or the sink was
// full; the walk of the caller goes on regardless.
bool ListDirectory(DirWalk* walk, int32_t extent, int32_t length, uint32_t level);

// "DMPRAH": Directory, Multi-Extent, Protection, Record, Associated File,
// Existence (hidden); "-" where the flag is clear. Returns out.
const char* FormatFileFlags(uint8_t flags, char* out, size_t cap);

// The sixteen CD-ROM XA attribute bits (15 down to 0), a blank, then
// FormatFileFlags. Returns out.
const char* FormatXaAttributes(uint8_t flags, uint16_t xaAttributes, char* out, size_t cap);

// A 7-byte directory record date as "YYYY-MM-DD hh:mm:ss". Returns out.
const char* FormatRecordDate(const uint8_t* date7, char* out, size_t cap);

// The first block of a tree line: the decimal number after its last tab
// (leading blanks, an optional sign, digits up to the first other
// character; none give 0), held to the 32-bit range.
int32_t TreeLineExtent(const char* line);

// One entry line: indent blanks, then "%s\t%s %10d %s\t%8d" of name, column,
// length, date and extent, cut to fit cap. A name too long for the line is
// shortened so that the extent after the last tab is always complete.
void FormatTreeLine(char* out, size_t cap, uint32_t indent, const char* name, size_t nameLen,
                    const char* column, int32_t length, const char* date, int32_t extent);
