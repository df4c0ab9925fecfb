// READ TOC responses (MMC) of a disc model: format 0 (track descriptors),
// format 1 (session information) and format 2 (full TOC as the lead-in's Q
// subcode holds it).
#pragma once
#include <stdint.h>
#include <vector>

#include "disc.h"
#include "mmc.h"

// Builds the whole response for READ TOC with the given format (mmc.h's
// kTocFormat...), MSF bit and starting track/session number into out.
// Returns false when the CDB asks for something the disc cannot answer
// (unknown format, starting number past the last one): INVALID FIELD IN CDB.
bool BuildTocResponse(const Disc& disc, int format, bool msf, int start, std::vector<uint8_t>* out);

// Minute, second and frame of an absolute address (frames); minutes saturate
// at max_minutes so that the caller's field stays in range.
void FramesToMsf(int64_t frames, int max_minutes, uint8_t* m, uint8_t* s, uint8_t* f);
