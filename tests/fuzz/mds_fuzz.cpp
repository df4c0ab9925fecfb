// Fuzzes the Alcohol descriptor reader: any bytes parse or fail with a
// terminated message; tracks whose data file is "*.mdf" are laid out over a
// small .mdf made at start-up.
#include "harness.h"
#include "mds.h"

static std::string mds_path;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    mds_path = MakeDataFile("x.mdf", 9 * 2448 + 100, 11) + "x.mds";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<MdsTrack> tracks;
    char err[160];
    if (!ParseMds(data, size, "fuzz.mds", &tracks, err, sizeof err)) return CheckDisc(false, nullptr, err, sizeof err), 0;
    for (const MdsTrack& t : tracks)
        if (t.file != "*.mdf") return 0;
    Disc disc;
    CheckDisc(DiscFromMds(tracks, mds_path.c_str(), &disc, err, sizeof err), &disc, err, sizeof err);
    return 0;
}
