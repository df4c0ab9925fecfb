// CD time text: a frame count as minutes, seconds and frames, "%02d" per field.
// Division and remainder truncate toward zero, so negative counts give
// negative fields ("-1" frames for -1). The offset of LBN 0 is the caller's:
// pass LBN + kPregapBlocks for a block.
#pragma once
#include <stdint.h>

#include "cdgeometry.h"

// A field holds any 32-bit value with its sign ("-477218" at most); the joined
// text of any frame count fits kCdTimeTextSize.
enum { kCdTimeFieldSize = 12, kCdTimeTextSize = 16 };

// Each field buffer is kCdTimeFieldSize bytes; returns strlen(frames_text).
int FormatCdTimeFields(int32_t frames, char* minutes, char* seconds, char* frames_text);
// "mm:ss:ff" into out, never past out_size (always terminated when out_size > 0);
// returns the characters written.
int FormatCdTime(char* out, uint32_t out_size, int32_t frames);
