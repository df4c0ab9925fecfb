// Fuzzes the cdrdao TOC reader: any text parses or fails with a terminated
// message; a TOC whose files are all the one data file made at start-up is
// laid out.
#include "cdrtoc.h"
#include "harness.h"

static std::string base_dir;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    base_dir = MakeDataFile("d.bin", 7 * 2352 + 100, 13);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CdrToc toc;
    char err[160];
    if (!ParseCdrToc(reinterpret_cast<const char*>(data), size, "fuzz.toc", &toc, err, sizeof err))
        return CheckDisc(false, nullptr, err, sizeof err), 0;
    if (toc.tracks.empty() || toc.tracks.size() > kCdrMaxTracks) abort();
    for (const CdrTocFile& f : toc.files)
        if (f.name != "d.bin") return 0;
    Disc disc;
    CheckDisc(DiscFromCdrToc(toc, "fuzz.toc", base_dir.c_str(), &disc, err, sizeof err), &disc, err, sizeof err);
    return 0;
}
