// Fuzzes the CloneCD reader: any .ccd text parses or fails with a terminated
// message; one that parses is laid out over a small .img made at start-up.
#include "ccd.h"
#include "harness.h"

static std::string img_path;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    img_path = MakeDataFile("x.img", 9 * 2352 + 100, 7) + "x.img";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CcdSheet ccd;
    char err[160];
    if (!ParseCcd(reinterpret_cast<const char*>(data), size, "fuzz.ccd", &ccd, err, sizeof err))
        return CheckDisc(false, nullptr, err, sizeof err), 0;
    if (ccd.entries.size() != (size_t)ccd.entry_count || ccd.entries.size() > kCcdMaxEntries) abort();
    Disc disc;
    bool ok = DiscAddFile(&disc, img_path, err, sizeof err) && DiscFromCcd(ccd, "fuzz.ccd", &disc, err, sizeof err);
    CheckDisc(ok, &disc, err, sizeof err);
    return 0;
}
