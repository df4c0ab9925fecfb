// Fuzzes the CHD reader: the input is a whole file (header, hunk map,
// metadata chain, hunks), opened through the disc model and read at the
// edges of every track and at every hunk of its first blocks.
#include "chd.h"
#include "harness.h"

static std::string image_path;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    image_path = MakeDataFile("x.chd", 0, 0) + "x.chd";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WriteSeedFile(image_path, std::vector<uint8_t>(data, data + size));
    Disc disc;
    char err[160] = "";
    bool ok = DiscOpenChd(image_path.c_str(), &disc, err, sizeof err);
    uint8_t raw[2352];
    SectorType type;
    for (int32_t lba = 0; ok && lba < 64; lba += 3)
        if (DiscReadRaw(disc, lba, raw, &type) == kDiscReadIoError) DiscReadProblem(disc, lba, (char*)raw, 256);
    CheckDisc(ok, &disc, err, sizeof err);
    return 0;
}
