// Fuzzes the cdrdao TOC reader: any text parses or fails with a terminated
// message; a TOC whose files are all the one data file made at start-up is
// laid out, and the first and last blocks of every track are read.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "cdrtoc.h"
#include "seeds.h"

namespace {

std::string base_dir;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char tmpl[] = "/tmp/cdrtoc_fuzz.XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    base_dir = std::string(tmpl) + "/";
    std::vector<uint8_t> data(7 * 2352 + 100);
    for (size_t i = 0; i < data.size(); ++i) data[i] = (uint8_t)(i * 13);
    WriteSeedFile(base_dir + "d.bin", data);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CdrToc toc;
    char err[160];
    bool ok = ParseCdrToc(reinterpret_cast<const char*>(data), size, "fuzz.toc", &toc, err, sizeof err);
    if (strnlen(err, sizeof err) == sizeof err) abort();
    if (!ok) return 0;
    if (toc.tracks.empty() || toc.tracks.size() > kCdrMaxTracks) abort();
    for (const CdrTocFile& f : toc.files)
        if (f.name != "d.bin") return 0;
    Disc disc;
    if (DiscFromCdrToc(toc, "fuzz.toc", base_dir.c_str(), &disc, err, sizeof err)) {
        uint8_t raw[2352];
        SectorType type;
        for (const DiscTrack& t : disc.tracks) {
            if (t.start < t.pregap_start || t.end <= t.start || t.end > kMaxLeadout) abort();
            for (int32_t lba : {t.pregap_start, t.stored_first, t.stored_first + t.stored_count - 1, t.end - 1})
                DiscReadRaw(disc, lba, raw, &type);
        }
    }
    DiscClose(&disc);
    return 0;
}
