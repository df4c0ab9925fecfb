// Fuzzes the Alcohol descriptor reader: any bytes parse or fail with a
// terminated message; tracks whose data file is "*.mdf" are laid out over a
// small .mdf made at start-up and the edges of every track read.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "mds.h"
#include "seeds.h"
#include "toc.h"

namespace {

std::string mds_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ExpandHexSeeds();
    char tmpl[] = "/tmp/mds_fuzz.XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    mds_path = std::string(tmpl) + "/x.mds";
    std::vector<uint8_t> data(9 * 2448 + 100);
    for (size_t i = 0; i < data.size(); ++i) data[i] = (uint8_t)(i * 11);
    WriteSeedFile(std::string(tmpl) + "/x.mdf", data);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<MdsTrack> tracks;
    char err[160];
    bool ok = ParseMds(data, size, "fuzz.mds", &tracks, err, sizeof err);
    if (strnlen(err, sizeof err) == sizeof err) abort();
    if (!ok) return 0;
    for (const MdsTrack& t : tracks)
        if (t.file != "*.mdf") return 0;
    Disc disc;
    if (DiscFromMds(tracks, mds_path.c_str(), &disc, err, sizeof err)) {
        std::vector<uint8_t> toc;
        for (int format = 0; format < 3; ++format) BuildTocResponse(disc, format, true, 0, &toc);
        uint8_t raw[2352];
        SectorType type;
        for (const DiscTrack& t : disc.tracks) {
            if (t.start < t.pregap_start || t.end <= t.start || t.end > kMaxLeadout) abort();
            for (int32_t lba : {t.pregap_start, t.stored_first, t.start, t.end - 1}) DiscReadRaw(disc, lba, raw, &type);
        }
    }
    DiscClose(&disc);
    return 0;
}
