// Getting data off the disc: a save is a list of items (folders to make,
// files to fill from runs of blocks, small texts), carried out a batch of
// blocks at a time so that the shell can show progress and stay responsive.
// Unreadable blocks are written as zeros and listed; blocks past the
// lead-out are not read and the file is reported as cut. A write error stops
// the job and removes the partial file; so does a cancel.
// Portable: blocks come from a reader the caller gives; files are written
// through stdio.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>


// How an item's blocks become file bytes.
enum SaveItemKind {
    kSaveFolder,     // make the folder (it may exist)
    kSaveUserData,   // the user data of each block (Mode 1 / Form 1), cut to the byte count
    kSaveCdxa,       // RIFF "CDXA": a 44-byte header, then whole raw sectors
    kSaveRaw,        // whole 2352-byte raw sectors
    kSaveDetected,   // the user data the sector header declares, sector by sector
    kSaveText,       // the item's text, no blocks (a cue sheet)
};

// A run of blocks and the bytes taken from it (user data items cut the last
// block; the others take whole blocks).
struct SaveExtent {
    int32_t lbn;
    uint32_t blocks;
    uint64_t bytes;
};

enum { kXaSystemUseSize = 14, kCdxaHeaderSize = 44, kSaveMaxListed = 32 };

struct SaveItem {
    SaveItemKind kind;
    std::string path;                    // where it is written
    std::vector<SaveExtent> extents;     // in file order
    uint8_t xa[kXaSystemUseSize];        // kSaveCdxa: the record's XA system use bytes
    bool hasDate;
    uint8_t date[7];                     // ISO 9660 recording date, set as the file's time
    std::string text;                    // kSaveText
    bool skip;                           // left out (the user keeps an existing file)
};

SaveItem MakeSaveItem(SaveItemKind kind, const std::string& path);

// Reads count consecutive blocks as raw 2352-byte sectors into raw; false
// when any of them could not be read.
typedef bool (*SaveReader)(void* context, int32_t lbn, uint32_t count, uint8_t* raw);

enum SaveState { kSaveRunning, kSaveDone, kSaveFailed, kSaveCancelled };
enum SaveError { kSaveNoError, kSaveCannotCreate, kSaveWriteFailed, kSaveFolderFailed };

struct SaveJob {
    std::vector<SaveItem> items;
    int32_t leadout;          // blocks at or past it are never read
    SaveReader pfnRead;
    void* pReadContext;
    // Position: item, extent within it, block within the extent.
    size_t item, extent;
    uint32_t block;
    uint64_t itemBytes;       // written into the current file so far
    FILE* out;
    std::string outPath;
    uint64_t totalBlocks, doneBlocks;
    // Report: unreadable blocks (the first kSaveMaxListed and a count), and
    // the files cut at the lead-out.
    std::vector<int32_t> unreadable;
    uint32_t nUnreadable;
    std::vector<std::string> cut;
    uint32_t nFiles;          // files finished
    SaveState state;
    SaveError error;
    int errnum;               // errno of the failed call
    std::string errorPath;
};

// Prepares a job: clips every extent at the lead-out (recording the cut
// files) and counts the blocks to read.
void StartSaveJob(SaveJob* job, std::vector<SaveItem> items, int32_t leadout, SaveReader pfnRead,
                  void* pReadContext);

// Reads and writes up to maxBlocks blocks (at least one step); returns the
// state after it.
SaveState StepSaveJob(SaveJob* job, uint32_t maxBlocks);

// Stops a running job: the file being written is closed and removed.
void CancelSaveJob(SaveJob* job);

// Runs a job to its end (host tools and tests).
SaveState RunSaveJob(SaveJob* job, uint32_t batch);

// The 44-byte RIFF header of a CDXA file holding blocks raw sectors: "RIFF",
// size, "CDXA", "fmt " chunk of 16 bytes (the XA system use record as
// recorded and two zero bytes), "data" chunk header.
void BuildCdxaHeader(uint8_t* out44, uint32_t blocks, const uint8_t* xa14);

