// Disc image builder: ISO 9660 (optionally CD-ROM XA) data tracks, Form 2
// files, audio tracks and several sessions, written as .iso or BIN/CUE.
// Used by the tests of every layer and by the mkdisc tool.
//
// Script, one statement a line ('#' starts a comment; values with blanks in
// double quotes):
//   volume NAME | system ID | volume-set ID | publisher ID | preparer ID |
//   application ID | copyright ID | abstract ID | bibliographic ID
//   date YYYY-MM-DD HH:MM:SS        recording and volume dates
//   xa on|off                        XA records and signature (default: on for Mode 2)
//   session                          starts the next session
//   track mode1|mode2 [gap=stored]   the session's data track (first in its session)
//   audio seconds=N|blocks=N|pcm=FILE [tone=HZ] [pregap=N] [gap=stored|cue]
//   dir PATH [hidden]
//   file PATH [size=N] [form2] [hidden] [text="..."] [src=FILE] [filenum=N]
//             [channel=N] [count=N] [extent=N]   count=N makes NAME0001.EXT ... NAMEnnnn.EXT;
//             extent=N records the file in extents of N blocks (multi-extent flag)
//   hostile bad-root | root-zero | overclaim [blocks=N] | truncate [blocks=N]
//   hostile dir-loop PATH | dir-unreadable PATH | record-overrun PATH | name-overrun PATH
//   damage LBN KIND [count=N]        planted faults (damage.h); raw sectors only
// Files get the version suffix ";1" unless their name has one. A later
// session's tree holds everything of the earlier ones; its files keep their
// extents, its directories are written anew.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "damage.h"
#include "sector.h"

enum TrackKind { kTrackMode1, kTrackMode2, kTrackAudio };

struct DiscDate {
    int year = 2001, month = 2, day = 3, hour = 4, minute = 5, second = 6;
};

struct DiscEntrySpec {
    std::string path;           // "/A/B/X.DAT"
    bool is_dir = false;
    bool hidden = false;
    bool form2 = false;
    uint32_t size = 0;          // bytes of user data
    bool has_text = false;
    std::string text;           // literal contents (size follows it)
    std::string source;         // host file with the contents
    uint8_t file_number = 0;    // XA file number (record and subheaders)
    uint8_t channel = 0;
    uint32_t extent_blocks = 0; // >0: one record per this many blocks (multi-extent)
};

struct DiscTrackSpec {
    TrackKind kind = kTrackMode1;
    int32_t blocks = 0;         // audio length
    std::string pcm;            // audio: 16-bit stereo little-endian PCM file
    int tone_hz = 0;            // audio: sine tone when no PCM (0: silence)
    int32_t pregap = -1;        // blocks; -1: 150 after another track, else none
    bool pregap_stored = true;  // INDEX 00 in the file, else a PREGAP line
    bool pregap_given = false;
};

struct DiscHostileSpec {
    std::string kind;
    std::string path;
    int32_t blocks = 0;
};

struct DiscSessionSpec {
    std::vector<DiscTrackSpec> tracks;     // the data track, if any, first
    std::vector<DiscEntrySpec> entries;    // added in this session
    std::vector<DiscHostileSpec> hostile;  // applied to this session's volume
};

struct DiscPlan {
    std::string volume_id = "QUILLET_TEST", system_id = "LINUX", volume_set_id, publisher_id,
                preparer_id = "QUILLET MKDISC", application_id, copyright_id, abstract_id, bibliographic_id;
    int xa = -1;                // -1: on for Mode 2 data tracks
    DiscDate date;
    std::vector<DiscSessionSpec> sessions;
    std::vector<DiscDamageSpec> damage;
};

// One stored block: user data as its type takes it (2048, 2324, 2352 bytes).
struct BuiltBlock {
    SectorType type;
    uint8_t subheader[kSubheaderCopySize];
    uint8_t data[kRawSectorSize];
};

struct BuiltTrack {
    int number = 0;             // 1-based
    int session = 0;            // 1-based
    TrackKind kind = kTrackMode1;
    int32_t start = 0;          // LBN of INDEX 01
    int32_t pregap = 0;         // blocks before INDEX 01
    bool pregap_stored = false; // those blocks lead blocks[]
    std::vector<BuiltBlock> blocks;
    int32_t Length() const { return (int32_t)blocks.size() - (pregap_stored ? pregap : 0); }
};

// An entry as the volume of one session records it.
struct BuiltEntry {
    int session = 0;
    std::string path;           // "/" for the root
    bool is_dir = false;
    int32_t extent = 0;
    uint32_t size = 0;          // recorded data length
};

struct BuiltDisc {
    std::vector<BuiltTrack> tracks;
    std::vector<int32_t> session_start;    // INDEX 01 of each session's first track
    std::vector<int32_t> session_leadout;  // LBN after each session's last track
    std::vector<BuiltEntry> entries;
    int32_t truncate_blocks = 0;           // blocks cut from the end of the written image
    std::vector<DiscDamageSpec> damage;    // applied to the raw sectors as they are written and read
};

struct DiscWriteOptions {
    int mode1_size = kRawSectorSize;       // 2048 or 2352
    int mode2_size = kRawSectorSize;       // 2336 or 2352
    bool split = false;                    // one BIN per track
    bool subchannel = false;               // 96 bytes of subchannel data a block (.toc, .ccd, .mds, .nrg)
    bool nrg_old = false;                  // .nrg: the old chunks and footer (32-bit, NERO)
};

// base_dir resolves relative pcm= and src= paths.
bool ParseDiscScript(const std::string& text, const std::string& base_dir, DiscPlan* plan, std::string* error);
bool BuildDisc(const DiscPlan& plan, BuiltDisc* disc, std::string* error);
// path ending in .iso: 2048-byte user data of a single Mode 1 track;
// .cue: the cue sheet and its BIN file(s) beside it; .toc: a cdrdao TOC file
// of one session and its .bin; .ccd: CloneCD's .ccd, .img and (subchannel)
// .sub; .mds: Alcohol's .mds and .mdf; .nrg: a Nero image.
bool WriteDiscImage(const BuiltDisc& disc, const std::string& path, const DiscWriteOptions& options, std::string* error);
bool MakeDiscImage(const std::string& script, const std::string& path, const DiscWriteOptions& options,
                   std::string* error);

// The raw sector a drive reads at lba; false where no track is recorded.
bool ReadDiscSector(const BuiltDisc& disc, int32_t lba, uint8_t* raw2352);
// An entry of the given session's volume (0: the last with a volume).
const BuiltEntry* FindDiscEntry(const BuiltDisc& disc, const std::string& path, int session = 0);
// Contents of generated files: byte at offset of the file at path.
uint8_t DiscPatternByte(const std::string& path, uint32_t offset);
