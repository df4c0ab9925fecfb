// Fuzzes the SCSI target with command sequences against a small two-session
// disc: [cdb length][cdb bytes][data length, 16-bit LE] ... Every data buffer
// is exactly as long as the command says, so a stray read or write is caught.
#include "harness.h"
#include "target.h"

static Disc disc;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string dir = MakeDataFile("a.iso", 20 * 2048, 1);
    WriteSeedFile(dir + "b.bin", std::vector<uint8_t>(6 * 2352, 0x22));
    WriteSeedFile(dir + "c.bin", std::vector<uint8_t>(4 * 2336, 0x33));
    std::string cue = "FILE a.iso BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"
                      "FILE b.bin BINARY\nTRACK 02 AUDIO\nPREGAP 00:00:10\nINDEX 00 00:00:00\nINDEX 01 00:00:02\nPOSTGAP 00:00:05\n"
                      "REM SESSION 02\nFILE c.bin BINARY\nTRACK 03 MODE2/2336\nINDEX 01 00:00:00\n";
    WriteSeedFile(dir + "d.cue", std::vector<uint8_t>(cue.begin(), cue.end()));
    char err[256];
    if (!DiscOpen((dir + "d.cue").c_str(), &disc, err, sizeof err)) fprintf(stderr, "%s\n", err), abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Target target;
    TargetInit(&target, &disc);
    size_t pos = 0;
    int commands = 0;
    while (pos < size && commands++ < 64) {
        uint32_t cdb_len = data[pos++] % 17;
        if (size - pos < cdb_len + 2) break;
        std::vector<uint8_t> cdb(data + pos, data + pos + cdb_len);
        pos += cdb_len;
        uint32_t len = (uint32_t)(data[pos] | data[pos + 1] << 8);
        pos += 2;
        std::vector<uint8_t> buf(len);
        // MODE SELECT takes its parameter list from the input.
        for (uint32_t i = 0; i < len && pos < size; ++i) buf[i] = data[pos++];
        uint8_t sense[24];
        int status = TargetExecute(&target, cdb_len ? cdb.data() : nullptr, cdb_len, len ? buf.data() : nullptr, len,
                                   sense, sizeof sense);
        if (status != kScsiStatusGood && status != kScsiStatusCheckCondition) abort();
        if (status == kScsiStatusCheckCondition && (sense[0] & 0x7F) != 0x70) abort();
        if (target.block_length != 2048 && target.block_length != 2340 && target.block_length != 2352) abort();
    }
    return 0;
}
