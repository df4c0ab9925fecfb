// The disc model behind the virtual drive: sessions, tracks and their index
// points, laid out in logical block addresses as a drive reports them, and the
// reading of any block as the raw sector (kRawSectorSize) a drive returns. Sectors
// are read from the image files on demand; nothing is loaded whole.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "cue.h"
#include "sector.h"

enum {
    // The latest lead-out a disc may have: 99:59:74, the largest time the
    // TOC's BCD fields hold, less the kPregapBlocks before LBN 0. A longer disc
    // would get a TOC that cannot say where it ends while READ CAPACITY can.
    kMaxLeadout = kMaxCdTimeFrames - kPregapBlocks,
    // Subchannel data some images keep with a block: P to W, 96 bytes.
    kDiscSubchannelSize = 96,
};

struct DiscTrack {
    int number;
    int session;
    CueMode mode;      // how the file stores the sectors
    uint8_t control;   // Q-channel CONTROL nibble
    int32_t pregap_start;  // first block of the pregap (== start when there is none)
    int32_t start;         // INDEX 01
    int32_t end;           // one past the last block, postgap included
    int file;              // index into Disc::files
    int32_t stored_first;  // first block stored in the file
    int32_t stored_count;  // blocks stored in the file from stored_first
    uint64_t file_offset;  // byte offset of stored_first in the file
    // How other image formats store a track; all zero for cue sheets and
    // plain images, where mode alone says it.
    uint32_t stride;       // bytes from one stored block to the next (0: the mode's sector size)
    uint8_t xa_form;       // 1, 2: Mode 2 Form 1/Form 2 user data only (2048/2324 bytes; mode is 2336)
    bool formless;         // Mode 2 without subheader: 2336 bytes of user data
    bool swap_audio;       // audio samples stored big-endian
    // Subchannel data stored with the track (skipped for the sectors, kept
    // for later use): 96 bytes a block at sub_offset + n * sub_stride.
    bool has_sub;
    int sub_file;
    uint64_t sub_offset;
    uint32_t sub_stride;
};

struct DiscSession {
    int number;
    int first_track;  // index into Disc::tracks
    int last_track;   // index into Disc::tracks
    int32_t leadout;  // first block of the session's lead-out
    bool xa;          // holds a Mode 2 track: disc type 0x20 in the TOC
};

struct ChdFile;

struct DiscFile {
    std::string path;
    FILE* fp;
    uint64_t size;
    // A CHD: offsets are into its decoded data, not into the file.
    ChdFile* chd = nullptr;
};

// Identity of an open file, the same whatever name or path reached it.
struct DiscFileId {
    uint64_t volume;
    uint64_t file;
};

// Fills id for an open file; false where the platform cannot tell. Defined
// in disc.cpp on POSIX hosts and by the Win32 shell (library/fileid.cpp).
bool DiscFileIdentity(FILE* fp, DiscFileId* id);
// Names of the files in folder dir (empty or ending in a separator) whose
// names end in suffix, in any case. Defined beside DiscFileIdentity.
std::vector<std::string> DiscListFolder(const std::string& dir, const char* suffix);

struct Disc {
    std::vector<DiscFile> files;
    std::vector<DiscTrack> tracks;
    std::vector<DiscSession> sessions;
    // A full TOC as an image records it (11-byte READ TOC format 2
    // descriptors, in order); empty when the TOC follows from the tracks.
    std::vector<uint8_t> recorded_toc;
};

// Opens .iso, raw .bin/.img, .cue, cdrdao .toc, CloneCD .ccd (or its .img),
// Alcohol .mds (or its .mdf), Nero .nrg and CHD, chosen by the extension and,
// where that says nothing, by the content.
// On failure returns false with a message naming the file (and line) in err.
bool DiscOpen(const char* path, Disc* disc, char* err, size_t err_len);

// Builds a disc from a parsed cue sheet; file names are relative to
// base_dir (empty or ending in a separator). A data file that is the sheet
// itself (sheet_id, when given) is refused. Used by DiscOpen.
bool DiscFromCue(const CueSheet& sheet, const char* cue_name, const char* base_dir, const DiscFileId* sheet_id,
                 Disc* disc, char* err, size_t err_len);

void DiscClose(Disc* disc);

// Shared by the image readers of every format.
// Opens path unbuffered and appends it to disc->files; on failure err tells
// why (as strerror does) and nothing is appended.
bool DiscAddFile(Disc* disc, const std::string& path, char* err, size_t err_len);
// A name from a descriptor relative to base_dir (empty or ending in a separator).
std::string DiscResolveName(const char* base_dir, const std::string& name);
// The folder part of path, separator included.
std::string DiscBaseDir(const char* path);
// Groups the tracks into sessions (by DiscTrack::session, in order).
void DiscFinishSessions(Disc* disc);
// Bytes one block of the track occupies in its file.
uint32_t DiscStride(const DiscTrack& t);
bool DiscEndsWithNoCase(const char* s, const char* suffix);
// An image reader's refusal: "name: text" or, for a line > 0, "name, line N:
// text" into err (never past err_len). Returns false.
bool DiscFail(char* err, size_t err_len, const char* name, int line, const char* fmt, ...)
    __attribute__((format(printf, 5, 6)));
// The text alone into err (never past err_len). Returns false.
bool DiscFailText(char* err, size_t err_len, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
// len bytes of an open image file at offset; false when they are not all there.
bool DiscReadAt(const DiscFile& file, uint64_t offset, void* buf, size_t len);

// Lead-out of the last session: the number of addressable blocks.
int32_t DiscLeadout(const Disc& disc);

// Track holding lba (pregap and postgap included), or null for an address
// outside every track (before 0, between sessions, past the lead-out).
const DiscTrack* DiscFindTrack(const Disc& disc, int32_t lba);

enum DiscReadResult { kDiscReadOk, kDiscReadOutOfRange, kDiscReadIoError };

// The block at lba as a drive returns it raw, and its sector type.
DiscReadResult DiscReadRaw(const Disc& disc, int32_t lba, uint8_t* raw2352, SectorType* type);

// Why the block at lba, which DiscReadRaw just failed with kDiscReadIoError,
// cannot be read: into text (never past text_len).
void DiscReadProblem(const Disc& disc, int32_t lba, char* text, size_t text_len);
