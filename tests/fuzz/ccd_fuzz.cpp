// Fuzzes the CloneCD reader: any .ccd text parses or fails with a terminated
// message; one that parses is laid out over a small .img made at start-up,
// its recorded TOC answered and the edges of every track read.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "ccd.h"
#include "seeds.h"
#include "toc.h"

namespace {

std::string img_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char tmpl[] = "/tmp/ccd_fuzz.XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    img_path = std::string(tmpl) + "/x.img";
    std::vector<uint8_t> data(9 * 2352 + 100);
    for (size_t i = 0; i < data.size(); ++i) data[i] = (uint8_t)(i * 7);
    WriteSeedFile(img_path, data);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CcdSheet ccd;
    char err[160];
    bool ok = ParseCcd(reinterpret_cast<const char*>(data), size, "fuzz.ccd", &ccd, err, sizeof err);
    if (strnlen(err, sizeof err) == sizeof err) abort();
    if (!ok) return 0;
    if (ccd.entries.size() != (size_t)ccd.entry_count || ccd.entries.size() > kCcdMaxEntries) abort();
    Disc disc;
    if (DiscAddFile(&disc, img_path, err, sizeof err) && DiscFromCcd(ccd, "fuzz.ccd", &disc, err, sizeof err)) {
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
