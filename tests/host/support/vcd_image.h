// A Video CD image made by vcdxbuild for tests: v.cue and v.bin in dir.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

// Builds the image in dir (MODE2/2352, or MODE2/2336 with stored2336); bin
// receives the BIN file's bytes. Reports a test failure when vcdxbuild fails.
bool MakeVcd(const std::string& dir, bool stored2336, std::vector<uint8_t>* bin);
