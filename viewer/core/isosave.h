// Saving files and folders of an ISO 9660 volume as recorded: directory
// records read into entries (multi-extent files joined), disc names made
// safe for a Windows folder, and the save items of a file or a whole
// subtree. Portable: directory blocks come from a reader the caller gives.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "savejob.h"

// Reads the 2048 user-data bytes of the block at lbn; false when it fails.
typedef bool (*UserDataReader)(void* context, int32_t lbn, uint8_t* user);

enum {
    kIsoNameMax = 255,          // a File Identifier's length byte
    kSafeNameMax = 100,         // bytes a saved name keeps (room for folders under MAX_PATH)
    kMaxSaveDepth = 32,         // folder levels a save goes down
    kMaxFileExtents = 4096,     // records one multi-extent file may join
    kMaxSaveEntries = 200000,   // entries one folder save may take
    kMaxSaveReads = 400000,     // directory blocks one save may read
};

// One file or directory as its directory record(s) give it.
struct IsoEntry {
    std::string id;                    // File Identifier as recorded, up to a zero byte
    uint8_t flags;                     // of the last record
    bool hasXa;
    uint8_t xa[kXaSystemUseSize];      // CD-ROM XA system use record
    uint8_t date[7];
    std::vector<SaveExtent> extents;   // one per record; bytes = Data Length
};

// A directory's entries (without itself and its parent), records of a
// multi-extent file joined in recorded order. Reads are counted against
// *reads (at most kMaxSaveReads); false when a block could not be read.
struct IsoReads {
    UserDataReader pfnRead;
    void* pContext;
    uint32_t nReads;
};
bool ReadIsoDirectory(IsoReads* reads, int32_t extent, int32_t length, std::vector<IsoEntry>* out);

// Parses one directory record of recLen bytes that lies within its block;
// false when it is too short to hold its fixed part and identifier.
bool ParseIsoRecord(const uint8_t* rec, size_t recLen, IsoEntry* entry);

// A Form 2 file (XA attribute): saved as RIFF CDXA of raw sectors.
bool IsForm2Entry(const IsoEntry& entry);

// A disc name made safe as one path component on Windows: the version
// (";1") cut, characters Windows refuses and path separators replaced by
// "_", trailing dots and blanks dropped, device names (CON, NUL, COM1, ...
// with or without an extension) prefixed with "_", "." and ".." and empty
// names replaced, the length held to kSafeNameMax with the extension kept.
std::string SafeFileName(const char* id, size_t len);

// The item that saves an entry's data to path: its user data cut to the
// recorded sizes, or for a Form 2 file the CDXA file of whole sectors.
SaveItem PlanFileSave(const IsoEntry& entry, const std::string& path);

// Items that save a directory's whole subtree into folder (which is made
// first): folders and files under safe names, a name already taken in the
// same folder getting "~2", "~3", ...; each directory extent is saved once.
// False when the listing stopped early (read failure or a bound); the items
// so far are still usable.
bool PlanFolderSave(IsoReads* reads, int32_t extent, int32_t length, const std::string& folder,
                    std::vector<SaveItem>* items);

// A directory tree line taken apart: indentation, name, data length and
// first block.
struct TreeLineFields {
    uint32_t indent;
    std::string name;
    int32_t length;
    int32_t extent;
    bool directory;     // "D" in the flag letters
};
bool ParseTreeLine(const char* line, TreeLineFields* fields);
