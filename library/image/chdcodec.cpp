// CHD CD hunk codecs on the real decoders: zlib (raw deflate), liblzma
// (raw LZMA1) and libFLAC (a stream of frames without its header).
#include "chdcodec.h"

#include <FLAC/stream_decoder.h>
#include <lzma.h>
#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <new>
#include <vector>

#include "bytes.h"
#include "cdgeometry.h"
#include "sector.h"

struct ChdCodecs {
    z_stream zlib;
    bool zlib_ready;
    lzma_stream lzma;
    FLAC__StreamDecoder* flac;
    std::vector<uint8_t> work;  // sector bytes of every frame, then their subchannel bytes
};

namespace {

bool Why(char* why, size_t why_len, const char* fmt, const char* detail = "")
{
    if (why_len) snprintf(why, why_len, fmt, detail);
    return false;
}

// The hunk's deflate stream, without zlib's header, fills out exactly.
bool Inflate(ChdCodecs* c, const uint8_t* src, size_t src_len, uint8_t* out, size_t out_len, const char* what,
             char* why, size_t why_len)
{
    z_stream& z = c->zlib;
    if (!c->zlib_ready || inflateReset(&z) != Z_OK) return Why(why, why_len, "the deflate decoder cannot start");
    z.next_in = const_cast<Bytef*>(src);
    z.avail_in = (uInt)src_len;
    z.next_out = out;
    z.avail_out = (uInt)out_len;
    int r = inflate(&z, Z_FINISH);
    if (z.total_out == out_len && (r == Z_STREAM_END || r == Z_OK || r == Z_BUF_ERROR)) return true;
    if (why_len)
        snprintf(why, why_len, "the %s (deflate) is damaged: %s", what,
                 r == Z_DATA_ERROR && z.msg ? z.msg : "it does not make a whole hunk");
    return false;
}

// Raw LZMA1 with the properties every CHD writer uses (lc 3, lp 0, pb 2) and
// no end marker: the decoded size is known.
bool Unlzma(ChdCodecs* c, const uint8_t* src, size_t src_len, uint8_t* out, size_t out_len, char* why,
            size_t why_len)
{
    lzma_options_lzma opt;
    memset(&opt, 0, sizeof opt);
    opt.dict_size = (uint32_t)std::max<size_t>(out_len, LZMA_DICT_SIZE_MIN);
    opt.lc = 3;
    opt.lp = 0;
    opt.pb = 2;
    opt.ext_size_low = (uint32_t)out_len;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_raw_decoder(&c->lzma, filters) != LZMA_OK) return Why(why, why_len, "the LZMA decoder cannot start");
    c->lzma.next_in = src;
    c->lzma.avail_in = src_len;
    c->lzma.next_out = out;
    c->lzma.avail_out = out_len;
    lzma_ret r = lzma_code(&c->lzma, LZMA_FINISH);
    if ((r == LZMA_STREAM_END || r == LZMA_OK) && c->lzma.avail_out == 0) return true;
    return Why(why, why_len, "the sector data (LZMA) is damaged");
}

// libFLAC reads a stream that starts with "fLaC" and STREAMINFO; a CHD hunk
// holds only the frames, so a fixed header (44.1 kHz, 2 channels, 16 bits,
// the block size patched in) is read first.
const uint8_t kFlacHeader[0x2A] = {
    'f', 'L', 'a', 'C', 0x80, 0x00, 0x00, 0x22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0xC4, 0x42, 0xF0,
};

struct FlacJob {
    uint8_t header[sizeof kFlacHeader];
    const uint8_t* src;
    size_t src_len;
    size_t pos;       // over header, then src
    uint8_t* out;     // samples as big-endian 16-bit pairs, as the CD codec stores audio
    size_t samples;   // stereo samples wanted
    size_t done;
    bool bad;
};

FLAC__StreamDecoderReadStatus FlacRead(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* ctx)
{
    FlacJob* j = static_cast<FlacJob*>(ctx);
    size_t total = sizeof j->header + j->src_len, n = 0;
    while (n < *bytes && j->pos < total) {
        size_t chunk;
        if (j->pos < sizeof j->header) {
            chunk = std::min(*bytes - n, sizeof j->header - j->pos);
            memcpy(buffer + n, j->header + j->pos, chunk);
        } else {
            chunk = std::min(*bytes - n, total - j->pos);
            memcpy(buffer + n, j->src + (j->pos - sizeof j->header), chunk);
        }
        n += chunk;
        j->pos += chunk;
    }
    *bytes = n;
    return n ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

FLAC__StreamDecoderTellStatus FlacTell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* ctx)
{
    *offset = static_cast<FlacJob*>(ctx)->pos;
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

FLAC__StreamDecoderWriteStatus FlacWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                         const FLAC__int32* const buffer[], void* ctx)
{
    FlacJob* j = static_cast<FlacJob*>(ctx);
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16) {
        j->bad = true;
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    for (unsigned i = 0; i < frame->header.blocksize && j->done < j->samples; ++i, ++j->done)
        for (int ch = 0; ch < 2; ++ch) put_be16(j->out + j->done * 4 + ch * 2, (uint16_t)buffer[ch][i]);
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void FlacMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata*, void*) {}

void FlacError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* ctx)
{
    static_cast<FlacJob*>(ctx)->bad = true;
}

// FLAC's block size for a hunk: a quarter of its bytes, halved down to 2048
// samples at most, as the CHD writer chose it.
unsigned FlacBlockSize(size_t bytes)
{
    size_t n = bytes / 4;
    while (n > 2048) n /= 2;
    return (unsigned)n;
}

// Decodes out_len bytes of audio; *used is how many bytes of src the FLAC
// frames took, where the subchannel data starts.
bool Unflac(ChdCodecs* c, const uint8_t* src, size_t src_len, uint8_t* out, size_t out_len, size_t* used,
            char* why, size_t why_len)
{
    if (!c->flac) return Why(why, why_len, "the FLAC decoder cannot start");
    FlacJob j{};
    memcpy(j.header, kFlacHeader, sizeof j.header);
    unsigned block = FlacBlockSize(out_len);
    put_be16(j.header + 8, block);
    put_be16(j.header + 10, block);
    j.src = src;
    j.src_len = src_len;
    j.out = out;
    j.samples = out_len / 4;
    if (FLAC__stream_decoder_init_stream(c->flac, FlacRead, nullptr, FlacTell, nullptr, nullptr, FlacWrite,
                                         FlacMetadata, FlacError, &j) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return Why(why, why_len, "the FLAC decoder cannot start");
    bool ok = FLAC__stream_decoder_process_until_end_of_metadata(c->flac);
    // Every call decodes a frame or consumes input, which is finite; the
    // bound only guards against a decoder that does neither.
    for (size_t calls = 0; ok && !j.bad && j.done < j.samples && calls < j.samples + 64; ++calls) {
        ok = FLAC__stream_decoder_process_single(c->flac);
        FLAC__StreamDecoderState s = FLAC__stream_decoder_get_state(c->flac);
        if (s == FLAC__STREAM_DECODER_END_OF_STREAM || s == FLAC__STREAM_DECODER_ABORTED) break;
    }
    FLAC__uint64 position = 0;
    ok = ok && !j.bad && j.done == j.samples && FLAC__stream_decoder_get_decode_position(c->flac, &position) &&
         position >= sizeof j.header && position - sizeof j.header <= src_len;
    FLAC__stream_decoder_finish(c->flac);
    if (!ok) return Why(why, why_len, "the audio data (FLAC) is damaged");
    *used = (size_t)(position - sizeof j.header);
    return true;
}

}  // namespace

ChdCodecs* ChdCodecsCreate()
{
    ChdCodecs* c = new (std::nothrow) ChdCodecs();
    if (!c) return nullptr;
    c->zlib_ready = inflateInit2(&c->zlib, -MAX_WBITS) == Z_OK;
    c->lzma = LZMA_STREAM_INIT;
    c->flac = FLAC__stream_decoder_new();
    return c;
}

void ChdCodecsDestroy(ChdCodecs* c)
{
    if (!c) return;
    if (c->zlib_ready) inflateEnd(&c->zlib);
    lzma_end(&c->lzma);
    if (c->flac) FLAC__stream_decoder_delete(c->flac);
    delete c;
}

bool ChdCodecKnown(uint32_t codec)
{
    return codec == kChdCodecCdZlib || codec == kChdCodecCdLzma || codec == kChdCodecCdFlac;
}

bool ChdDecodeHunk(ChdCodecs* c, uint32_t codec, const uint8_t* src, size_t src_len, uint8_t* out, size_t out_len,
                   char* why, size_t why_len)
{
    if (!ChdCodecKnown(codec)) return Why(why, why_len, "unknown codec");
    size_t frames = out_len / kChdFrameSize;
    if (frames == 0 || out_len % kChdFrameSize) return Why(why, why_len, "the hunk is not whole CD frames");
    size_t sector_bytes = frames * kChdSectorBytes, sub_bytes = frames * kChdSubcodeBytes;
    c->work.resize(out_len);
    uint8_t* sectors = c->work.data();
    uint8_t* subcode = sectors + sector_bytes;

    const uint8_t* ecc_flags = nullptr;
    size_t base_start = 0, sub_start;
    if (codec == kChdCodecCdFlac) {
        size_t used = 0;
        if (!Unflac(c, src, src_len, sectors, sector_bytes, &used, why, why_len)) return false;
        sub_start = used;
    } else {
        size_t ecc_bytes = (frames + 7) / 8, length_bytes = out_len < 65536 ? 2 : 3;
        base_start = ecc_bytes + length_bytes;
        if (src_len < base_start) return Why(why, why_len, "the compressed hunk is too short");
        ecc_flags = src;
        size_t base_len = length_bytes == 2 ? get_be16(src + ecc_bytes) : get_be24(src + ecc_bytes);
        if (base_len > src_len - base_start) return Why(why, why_len, "the sector data runs past the hunk");
        bool ok = codec == kChdCodecCdLzma
                      ? Unlzma(c, src + base_start, base_len, sectors, sector_bytes, why, why_len)
                      : Inflate(c, src + base_start, base_len, sectors, sector_bytes, "sector data", why, why_len);
        if (!ok) return false;
        sub_start = base_start + base_len;
    }
    if (!Inflate(c, src + sub_start, src_len - sub_start, subcode, sub_bytes, "subchannel data", why, why_len))
        return false;

    for (size_t f = 0; f < frames; ++f) {
        uint8_t* frame = out + f * kChdFrameSize;
        memcpy(frame, sectors + f * kChdSectorBytes, kChdSectorBytes);
        memcpy(frame + kChdSectorBytes, subcode + f * kChdSubcodeBytes, kChdSubcodeBytes);
        // The writer dropped sync and P/Q where they were exactly what the
        // data gives (Mode 2 Form 1 reckons them with the header zeroed):
        // put them back.
        if (ecc_flags && (ecc_flags[f / 8] >> (f % 8)) & 1) {
            memcpy(frame, kSyncPattern, kSyncSize);
            uint8_t header[kHeaderSize];
            memcpy(header, frame + kSyncSize, kHeaderSize);
            if (frame[kModeOffset] == 2) memset(frame + kSyncSize, 0, kHeaderSize);
            ComputeEccPQ(frame);
            memcpy(frame + kSyncSize, header, kHeaderSize);
        }
    }
    return true;
}
