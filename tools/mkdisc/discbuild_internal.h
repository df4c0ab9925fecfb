// What the builder's parts share: limits, the volume being laid out across
// sessions, and the CD-ROM XA helpers. Not part of the builder's interface.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "cdgeometry.h"
#include "discbuild.h"

namespace discbuild {

enum {
    kMaxDiscBlocks = kMaxCdTimeFrames + 1 - kPregapBlocks,  // 99:59:74 less the first pregap
    kMaxFileSize = 64 * 1024 * 1024,
    kMaxIdentifier = 207,       // 33 + 207 + 1 + 14 = 255, the largest record
    kMaxDepth = 64,
    kMaxCount = 10000,
};

// Sets *error (when given) and returns false.
bool Fail(std::string* error, const std::string& text);

// Reads a host file of at most limit bytes (or its first limit bytes when truncate).
bool ReadHostFile(const std::string& path, size_t limit, bool truncate, std::vector<uint8_t>* bytes,
                  std::string* error);

// ---------------------------------------------------------------------------
// ISO 9660 volume (volume.cpp)

struct Node {
    std::string name;           // path component
    bool is_dir = false;
    int parent = -1;
    std::vector<int> children;
    const DiscEntrySpec* plan = nullptr;  // files and declared directories
    int session = 0;            // 0-based session that recorded the file
    int32_t extent = -1;        // files: fixed once written
    uint32_t blocks = 0;
    uint32_t file_size = 0;     // bytes written for a file
    // per-volume, directories
    int number = 0;             // path table number
    uint32_t dir_size = 0;
    std::string path;
};

struct Volume {
    std::vector<Node> nodes;    // node 0 is the root
};

struct HostileSet {
    const std::vector<DiscHostileSpec>* list;
    const DiscHostileSpec* Find(const char* kind, const std::string& path = std::string()) const;
};

struct VolumeJob {
    const DiscPlan* plan;
    Volume* volume;
    int session;                // 0-based
    int32_t start;              // track start LBN
    bool xa;
    bool mode2;
    HostileSet hostile;
    std::vector<BuiltBlock>* blocks;
    BuiltDisc* disc;
};

// Adds the path's directories and the entry; a later file of the same path replaces the earlier.
bool AddEntry(Volume* v, const DiscEntrySpec& e, int session, std::string* error);
// Writes the session's new files, its directories, path tables and descriptors
// into job.blocks and records the volume's entries in job.disc.
bool BuildVolume(VolumeJob& job, std::string* error);

// ---------------------------------------------------------------------------
// CD-ROM XA (xa.cpp)

// Attributes of the XA system use record.
uint16_t XaAttributes(bool is_dir, bool form2);
// The system use record after a directory record's identifier.
void PutXaRecord(uint8_t* su, uint16_t attributes, uint8_t file_number);
// User bytes a file's block holds: 2048 in Form 1, 2324 in Form 2.
uint32_t FileUserSize(bool form2);
// Subheader of a block no file claims: data in Mode 2, all zero otherwise.
void SetEmptySubheader(BuiltBlock* b, bool mode2);
// Subheader of a file's block: its file number, channel and form.
void SetFileSubheader(BuiltBlock* b, const DiscEntrySpec& e);
// The last block of a file or directory ends its record and its file.
void MarkFileEnd(BuiltBlock* b);

}  // namespace discbuild
