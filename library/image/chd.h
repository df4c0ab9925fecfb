// CHD ("compressed hunks of data") version 5 files holding a CD, as archive
// tools write them. All integers big-endian.
//   Header (124 bytes): "MComprHD", length, version, four codec tags, logical
//     size, map and metadata offsets, hunk and unit sizes, SHA-1s (raw data,
//     data with metadata, parent).
//   Map: where each hunk lives. Without codecs, 4 bytes a hunk (its offset
//     in hunk-size units, 0: all zero or the parent's). With codecs, a
//     16-byte header and a bit stream: Huffman-coded hunk kinds with runs,
//     then per hunk its length and CRC-16, or the hunk it repeats.
//   Metadata: a chain of tagged entries; "CHT2" (older: "CHTR") says, one
//     entry a track, its type, subchannel, frames, pregap and postgap.
//   Data: each track's frames (2352 sector and 96 subchannel bytes) padded to
//     a multiple of four frames; audio samples big-endian.
// A file whose parts point nowhere sensible opens as far as it can: a bad
// hunk makes its own blocks unreadable, with the reason, and nothing else.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "disc.h"

enum {
    kChdHeaderSize = 124,
    kChdMapHeaderSize = 16,
    kChdMetaHeaderSize = 16,
    kChdTrackPadding = 4,
    kChdMaxMetaEntries = 4096,
    kChdMaxHunkBytes = 1 << 20,
    kChdSha1Offset = 84,  // in the header: SHA-1 of the data and metadata, which a child names as its parent
    kChdMaxParents = 4,
};

struct ChdHeader {
    uint32_t codecs[4];
    uint64_t logical_bytes;
    uint64_t map_offset;
    uint64_t meta_offset;
    uint32_t hunk_bytes;
    uint32_t unit_bytes;
    bool has_parent;
    uint8_t parent_sha1[20];
};

// Where a hunk's bytes come from, decoded from the map.
enum ChdHunkKind : uint8_t {
    kChdHunkCodec0, kChdHunkCodec1, kChdHunkCodec2, kChdHunkCodec3,  // compressed by codecs[n]
    kChdHunkRaw,       // stored as is
    kChdHunkSelf,      // a copy of an earlier hunk of this file (offset: its number)
    kChdHunkParent,    // the parent's unit at offset
    kChdHunkZero,      // not stored, all zero (maps without codecs)
    kChdHunkBadCopy,   // a copy of a hunk that does not come before it
};

struct ChdHunk {
    uint8_t kind;
    uint32_t length;
    uint64_t offset;
    uint16_t crc;
    bool has_crc;  // the map gives the CRC of the decoded hunk
};

// One track as its metadata entry describes it.
struct ChdTrack {
    int number;
    char type[16];       // MODE1, MODE1_RAW, MODE2, MODE2_FORM1, MODE2_FORM2, MODE2_FORM_MIX, MODE2_RAW, AUDIO
    char subtype[8];     // RW, RW_RAW, NONE
    int32_t frames;      // frames stored, pregap included when pregap_stored
    int32_t pregap;
    bool pregap_stored;  // "V" in front of PGTYPE: the pregap's frames are in the file
    int32_t postgap;
};

// CRC-16 (CCITT: x^16+x^12+x^5+1, MSB first, initial 0xFFFF) of map and hunks.
uint16_t ChdCrc16(const uint8_t* data, size_t len, uint16_t crc = 0xFFFF);

// The header from the file's first bytes; false with the reason.
bool ChdParseHeader(const uint8_t* data, size_t len, ChdHeader* h, char* err, size_t err_len);

// The hunk map from the bytes at map_offset (len of them: for a map with
// codecs, its 16-byte header and the bit stream). Each self reference is
// resolved to the hunk it copies.
bool ChdDecodeMap(const ChdHeader& h, const uint8_t* map, size_t len, std::vector<ChdHunk>* hunks, char* err,
                  size_t err_len);

// One CHT2 or CHTR text (NUL-terminated or len bytes).
bool ChdParseTrack(const char* text, size_t len, ChdTrack* t, char* err, size_t err_len);

// Lays the tracks out on the disc; the sectors of each are read through
// disc->files[file], whose logical bytes the CHD holds.
bool DiscFromChdTracks(const std::vector<ChdTrack>& tracks, int file, Disc* disc, char* err, size_t err_len);

// An open CHD: header, map, metadata and a small cache of decoded hunks.
struct ChdFile;

// Opens path as disc->files[0] and lays its tracks out.
bool DiscOpenChd(const char* path, Disc* disc, char* err, size_t err_len);

// len logical bytes at offset; false when a hunk they need cannot be had.
bool ChdRead(ChdFile* chd, uint64_t offset, void* buf, size_t len);
// Why the last ChdRead failed, naming the hunk.
const char* ChdProblem(const ChdFile* chd);

void ChdClose(ChdFile* chd);

bool LooksLikeChd(const char* head, size_t len);
