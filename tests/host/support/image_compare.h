// Comparing two images as the virtual drive serves them: the READ TOC
// answers (formats 0 and 2, MSF and LBA) and every block's raw bytes and
// read result. Used for every image format against the BIN/CUE of the
// same layout.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "discbuild.h"
#include "external_tools.h"

// Empty when both open and answer alike; else what differs first.
// swap_audio: b's audio samples are byte-swapped (toc2cue's cue of a .toc).
std::string CompareImages(const std::string& a, const std::string& b, bool swap_audio = false);

// The layouts every format is compared on: one Mode 1 session with a tree;
// Mode 2 Form 1 and Form 2 files with audio after (a stored and an unstored
// pregap); two sessions.
extern const char kLayoutSingle[], kLayoutMixed[], kLayoutMulti[];

// Writes the layout as dir/cue/x.cue and as dir/EXT/x.EXT; false with error.
bool WriteLayoutPair(const char* script, const std::string& dir, const char* ext, DiscWriteOptions options,
                     std::string* error);

// A test's own folder, ending in '/', removed after it.
struct FormatFiles : ::testing::Test {
    std::string dir = MakeTempDir("formats") + "/";
    void TearDown() override { RemoveTempDir(dir.substr(0, dir.size() - 1)); }
};

// Empty when path is refused with an error naming the file and holding
// message; else what happened.
std::string Refusal(const std::string& path, const std::string& message);

// How blocks first to last of path read, a DiscReadResult digit each.
std::string ReadResults(const std::string& path, int32_t first, int32_t last);
