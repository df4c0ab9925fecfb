// Comparing two images as the virtual drive serves them: the READ TOC
// answers (formats 0 and 2, MSF and LBA) and every block's raw bytes and
// read result. Used for every image format against the BIN/CUE of the
// same layout.
#pragma once
#include <string>

struct ImageCompareOptions {
    bool swap_audio = false;  // b's audio samples are byte-swapped (toc2cue's cue of a .toc)
    bool full_toc = true;     // compare READ TOC format 2 too
};

// Empty when both open and answer alike; else what differs first.
std::string CompareImages(const std::string& a, const std::string& b, const ImageCompareOptions& options = {});
