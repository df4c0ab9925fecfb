// Fuzzes the Nero chunk-list reader: any chain of chunks is laid out over a
// small image made at start-up or refused with a terminated message; the
// edges of every track are read.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "nrg.h"
#include "seeds.h"
#include "toc.h"

namespace {

std::string image_path;
const uint64_t kImageSize = 8u << 20;  // sparse: the seeds' tracks fit

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ExpandHexSeeds();
    char tmpl[] = "/tmp/nrg_fuzz.XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    image_path = std::string(tmpl) + "/x.nrg";
    std::vector<uint8_t> data(4096);
    for (size_t i = 0; i < data.size(); ++i) data[i] = (uint8_t)(i * 5);
    WriteSeedFile(image_path, data);
    if (truncate(image_path.c_str(), (off_t)kImageSize) != 0) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Disc disc;
    char err[160];
    err[0] = 0;
    if (DiscAddFile(&disc, image_path, err, sizeof err) &&
        DiscFromNrgChain(data, size, kImageSize, true, "fuzz.nrg", &disc, err, sizeof err)) {
        std::vector<uint8_t> toc;
        for (int format = 0; format < 3; ++format) BuildTocResponse(disc, format, true, 0, &toc);
        uint8_t raw[2352];
        SectorType type;
        for (const DiscTrack& t : disc.tracks) {
            if (t.start < t.pregap_start || t.end <= t.start || t.end > kMaxLeadout) abort();
            for (int32_t lba : {t.pregap_start, t.stored_first, t.start, t.end - 1}) DiscReadRaw(disc, lba, raw, &type);
        }
    }
    if (strnlen(err, sizeof err) == sizeof err) abort();
    DiscClose(&disc);
    return 0;
}
