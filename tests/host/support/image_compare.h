// Comparing two images as the virtual drive serves them: the READ TOC
// answers (formats 0 and 2, MSF and LBA) and every block's raw bytes and
// read result. Used for every image format against the BIN/CUE of the
// same layout.
#pragma once
#include <string>

#include "discbuild.h"

struct ImageCompareOptions {
    bool swap_audio = false;  // b's audio samples are byte-swapped (toc2cue's cue of a .toc)
    bool full_toc = true;     // compare READ TOC format 2 too
};

// Empty when both open and answer alike; else what differs first.
std::string CompareImages(const std::string& a, const std::string& b, const ImageCompareOptions& options = {});

// The layouts every format is compared on: one Mode 1 session with a tree;
// Mode 2 Form 1 and Form 2 files with audio after (a stored and an unstored
// pregap); two sessions.
extern const char kLayoutSingle[], kLayoutMixed[], kLayoutMulti[];

// Writes the layout as dir/cue/x.cue and as dir/EXT/x.EXT; false with error.
bool WriteLayoutPair(const char* script, const std::string& dir, const char* ext, DiscWriteOptions options,
                     std::string* error);
