// Fuzzes the Nero chunk-list reader: any chain of chunks is laid out over a
// small image made at start-up or refused with a terminated message.
#include "harness.h"
#include "nrg.h"

static std::string image_path;
static const uint64_t kImageSize = 8u << 20;  // sparse: the seeds' tracks fit

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    image_path = MakeDataFile("x.nrg", 4096, 5) + "x.nrg";
    if (truncate(image_path.c_str(), (off_t)kImageSize) != 0) abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Disc disc;
    char err[160] = "";
    bool ok = DiscAddFile(&disc, image_path, err, sizeof err) &&
              DiscFromNrgChain(data, size, kImageSize, true, "fuzz.nrg", &disc, err, sizeof err);
    CheckDisc(ok, &disc, err, sizeof err);
    return 0;
}
