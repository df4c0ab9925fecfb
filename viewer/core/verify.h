// Disc verify: which blocks of a disc carry data (from its TOC), and a walk
// that reads them in batches through a caller's reader and checks each with
// CheckRawSector. Portable: the caller issues the reads and steps the walk one
// batch at a time, so a window can stay responsive and stop it between batches.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "sectorcheck.h"

enum {
    kVerifyMaxExtents = 99,      // one per track
    kVerifyBatchBlocks = 16,     // blocks a step reads at once
    kVerifyMaxListed = 10000,    // failures kept; the counts go on beyond
    kVerifyPostgapBlocks = 150,  // a data track's last 2 s before an audio track are that track's pause
};

struct VerifyExtent {
    int32_t first;
    int32_t count;
};

// The data blocks of a disc: every data track of every session; audio tracks
// and the lead-out/lead-in areas between sessions are counted as skipped.
struct VerifyPlan {
    int extent_count;
    VerifyExtent extents[kVerifyMaxExtents];
    int64_t total;    // blocks to check
    int64_t skipped;  // blocks not read
};

// From a READ TOC format 2 response (full TOC, BCD addresses) or format 0
// (track descriptors, binary MSF; all tracks in one session). size is the
// buffer's length; nothing beyond it, or beyond the response's own length, is
// read. False when the response names no track and lead-out.
bool VerifyPlanFromFullToc(const uint8_t* resp, uint32_t size, VerifyPlan* plan);
bool VerifyPlanFromTrackToc(const uint8_t* resp, uint32_t size, VerifyPlan* plan);

struct VerifyBlockStatus {
    bool unreadable;
    uint8_t sense_key, asc, ascq;
};

// Reads count blocks from lbn at the walk's block length into buffer and sets
// status[i] for each; an unreadable block's bytes are not looked at.
typedef void (*VerifyReadFn)(void* ctx, int32_t lbn, int count, uint8_t* buffer, VerifyBlockStatus* status);

struct VerifyFailure {
    int32_t lbn;
    bool unreadable;
    VerifyBlockStatus sense;  // when unreadable
    SectorCheck check;        // when read
};

struct VerifyRun {
    VerifyPlan plan;
    int block_len;    // 2352, or 2340 (no sync read: the check ignores it)
    int extent;       // next extent to read
    int32_t offset;   // blocks of it already read
    int64_t done, failed, unreadable;
    std::vector<VerifyFailure> failures;  // the first kVerifyMaxListed
    std::vector<uint8_t> buffer;
};

// block_len: 2352 or 2340.
void VerifyStart(VerifyRun* run, const VerifyPlan& plan, int block_len);
// Reads and checks the next batch; false once every block has been checked.
bool VerifyStep(VerifyRun* run, VerifyReadFn read, void* ctx);
bool VerifyFinished(const VerifyRun& run);

// A results-list line: LBN, CD time, mode, what failed; for an unreadable
// block "unreadable" and the sense (key/ASC/ASCQ and sense_text, may be "").
void FormatVerifyLine(const VerifyFailure& f, const char* sense_text, char* line, size_t size);
// The summary above the list; elapsed in milliseconds.
void FormatVerifySummary(const VerifyRun& run, bool cancelled, uint32_t elapsed_ms, char* text, size_t size);
