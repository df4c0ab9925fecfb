// The hunk codecs of CHD files written for CDs. Each CD hunk holds whole
// frames of 2352 sector bytes and 96 subchannel bytes; the CD codecs keep
// the sector bytes of all frames first, compressed by the base codec, and
// the subchannel bytes after them, always deflated:
//   cdzl  deflate     + deflate
//   cdlz  LZMA        + deflate
//   cdfl  FLAC        + deflate  (audio: 16-bit stereo at 44.1 kHz)
// cdzl and cdlz start with one bit a frame (LSB first) telling that the
// frame's sync pattern and ECC P/Q were dropped and are to be rebuilt, then
// the length of the base part in 2 bytes (3 when the hunk is 64 KiB or more).
#pragma once
#include <stddef.h>
#include <stdint.h>

#define CHD_FOURCC(a, b, c, d) (((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d))

enum : uint32_t {
    kChdCodecCdZlib = CHD_FOURCC('c', 'd', 'z', 'l'),
    kChdCodecCdLzma = CHD_FOURCC('c', 'd', 'l', 'z'),
    kChdCodecCdFlac = CHD_FOURCC('c', 'd', 'f', 'l'),
};

enum {
    kChdFrameSize = 2448,       // a CD frame in a hunk: the sector, then P-W subchannel
    kChdSectorBytes = 2352,
    kChdSubcodeBytes = 96,
};

// Decoder state reused from hunk to hunk (zlib, LZMA and FLAC contexts and
// a work buffer); one per open file, not shared between threads.
struct ChdCodecs;

ChdCodecs* ChdCodecsCreate();
void ChdCodecsDestroy(ChdCodecs* codecs);

// True for the codecs ChdDecodeHunk knows.
bool ChdCodecKnown(uint32_t codec);

// Decodes one compressed hunk of src_len bytes into out (out_len bytes, a
// whole number of frames). False with the reason in why.
bool ChdDecodeHunk(ChdCodecs* codecs, uint32_t codec, const uint8_t* src, size_t src_len, uint8_t* out,
                   size_t out_len, char* why, size_t why_len);
