// A disc vcdimager wrote (its EDC and ECC): every sector rebuilds from user data
// and subheader, and reads back at 2352 bytes as the BIN holds it, also from MODE2/2336.
#include <string.h>

#include <initializer_list>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bytes.h"
#include "external_tools.h"
#include "sector.h"
#include "sectorcheck.h"

// A small Video CD written by Debian's vcdimager (vcdxbuild): Form 1 and
// Form 2 sectors with EDC and ECC computed by code nobody here wrote.
namespace {

// A tiny MPEG-1 system stream (352x240 video packets padded to one 2324-byte
// pack each), enough for vcdxbuild to lay out a Form 2 sequence track.
void PutTimestamp(std::vector<uint8_t>& out, uint8_t tag, uint64_t t)
{
    out.push_back((uint8_t)(tag | ((t >> 29) & 0x0E)));
    out.push_back((uint8_t)(t >> 22));
    out.push_back((uint8_t)(((t >> 14) & 0xFE) | 1));
    out.push_back((uint8_t)(t >> 7));
    out.push_back((uint8_t)(((t << 1) & 0xFE) | 1));
}

void Append(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) { out.insert(out.end(), bytes); }

std::vector<uint8_t> MakeMpegStream(int packs)
{
    const uint32_t mux_rate = 3528;  // 176400 bytes/s in units of 50
    std::vector<uint8_t> out;
    for (int i = 0; i < packs; ++i) {
        const size_t pack_start = out.size();
        Append(out, {0, 0, 1, 0xBA});
        PutTimestamp(out, 0x21, 3000u * i);
        Append(out, {(uint8_t)(0x80 | (mux_rate >> 15)), (uint8_t)(mux_rate >> 7), (uint8_t)((mux_rate << 1) | 1)});
        if (i == 0)  // system header
            Append(out, {0, 0, 1, 0xBB, 0, 12, 0x80, 0x1B, 0x91, 0x05, 0xE1, 0xFF, 0xE0, 0xE0, 46, 0xC0, 0xC0, 32});
        std::vector<uint8_t> es;
        if (i % 15 == 0)  // sequence header, GOP
            Append(es, {0, 0, 1, 0xB3, 0x16, 0x00, 0xF0, 0x14, 0x0B, 0x3B, 0xE0, 0xA0, 0, 0, 1, 0xB8, 0x00, 0x08, 0x00, 0x00});
        Append(es, {0, 0, 1, 0x00, 0x00, 0x0F, 0xFF, 0xF8, 0, 0, 1, 0x01, 0x10});  // picture, slice
        es.resize(es.size() + 100, (uint8_t)i);
        Append(out, {0, 0, 1, 0xE0, (uint8_t)((es.size() + 5) >> 8), (uint8_t)(es.size() + 5)});
        PutTimestamp(out, 0x21, 3000u * i + 9000);
        out.insert(out.end(), es.begin(), es.end());
        const size_t pad = kForm2UserDataSize - (out.size() - pack_start) - 6;
        Append(out, {0, 0, 1, 0xBE, (uint8_t)(pad >> 8), (uint8_t)pad});
        out.resize(out.size() + pad, 0xFF);
    }
    return out;
}

const char kVcdXml[] =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE videocd PUBLIC \"-//GNU//DTD VideoCD//EN\" \"http://www.gnu.org/software/vcdimager/videocd.dtd\">\n"
    "<videocd xmlns=\"http://www.gnu.org/software/vcdimager/1.0/\" class=\"vcd\" version=\"2.0\">\n"
    "<info><album-id>TEST</album-id><volume-count>1</volume-count><volume-number>1</volume-number></info>\n"
    "<pvd><volume-id>SECTORS</volume-id><system-id>CD-RTOS CD-BRIDGE</system-id></pvd>\n"
    "<filesystem><folder><name>DATA</name><file src=\"a.txt\"><name>A.TXT</name></file></folder></filesystem>\n"
    "<sequence-items><sequence-item src=\"v.mpg\" id=\"seq0\"/></sequence-items>\n"
    "</videocd>\n";

// Writes DIR/v.cue and v.bin (2352 or 2336 bytes a sector) and reads the BIN.
bool MakeVcd(const std::string& dir, bool stored2336, std::vector<uint8_t>* bin)
{
    std::vector<uint8_t> mpeg = MakeMpegStream(90);
    std::string text;
    for (int i = 0; i < 400; ++i) text += "line " + std::to_string(i) + " of a Form 1 file\n";
    if (!WriteFileBytes(dir + "/v.mpg", mpeg.data(), mpeg.size()) || !WriteFileText(dir + "/a.txt", text) ||
        !WriteFileText(dir + "/v.xml", kVcdXml))
        return false;
    std::string out;
    std::string cmd = "cd " + ShellQuote(dir) + " && vcdxbuild -q -T '2001-02-03 04:05:06' " +
                      (stored2336 ? "--sector-2336 " : "") + "-c v.cue -b v.bin v.xml";
    int rc = RunCommand(cmd, &out);
    EXPECT_EQ(0, rc) << out;
    return rc == 0 && ReadFileBytes(dir + "/v.bin", bin);
}



// Reads every block of the cue at 2352 bytes and compares it with expected.
void ExpectRawReadsEqual(const std::string& cue, const std::vector<uint8_t>& expected)
{
    ImageDrive drive;
    ASSERT_TRUE(OpenImageDrive(cue, kRawSectorSize, &drive));
    const int32_t blocks = (int32_t)(expected.size() / kRawSectorSize);
    ASSERT_EQ(DiscLeadout(drive.disc), blocks);
    uint8_t raw[kRawSectorSize];
    for (int32_t lba = 0; lba < blocks; ++lba) {
        ASSERT_TRUE(ReadImageDrive(&drive, lba, 1, raw, kRawSectorSize)) << "lba " << lba;
        ASSERT_EQ(memcmp(raw, &expected[(size_t)lba * kRawSectorSize], kRawSectorSize), 0) << "lba " << lba;
    }
    DiscClose(&drive.disc);
}

TEST(VcdReadback, SectorsRebuildAndReadBackAsTheBinHoldsThem)
{
    if (!ToolAvailable("vcdxbuild")) GTEST_SKIP() << "vcdxbuild not installed";
    std::string raw_dir = MakeTempDir("vcdraw"), stored_dir = MakeTempDir("vcd2336");
    ASSERT_FALSE(raw_dir.empty() || stored_dir.empty());
    std::vector<uint8_t> raw_bin, stored_bin;
    ASSERT_TRUE(MakeVcd(raw_dir, false, &raw_bin));
    ASSERT_TRUE(MakeVcd(stored_dir, true, &stored_bin));
    ASSERT_EQ(raw_bin.size() % kRawSectorSize, 0u);
    ASSERT_EQ(stored_bin.size() / kMode2DataSize, raw_bin.size() / kRawSectorSize);

    const size_t count = raw_bin.size() / kRawSectorSize;
    int forms[2] = {0, 0};
    uint8_t raw[kRawSectorSize];
    for (size_t lba = 0; lba < count; ++lba) {
        const uint8_t* disc = &raw_bin[lba * kRawSectorSize];
        ASSERT_EQ(disc[kModeOffset], 2) << "lba " << lba;
        ASSERT_EQ(0u, CheckRawSector(disc, (int32_t)lba, 0).faults) << "lba " << lba;
        const bool form2 = (disc[18] & kSubmodeForm2) != 0;
        BuildRawSector(raw, (int32_t)lba, form2 ? kSectorMode2Form2 : kSectorMode2Form1, disc + 24, disc + 16);
        if (form2 && get_le32(disc + kForm2EdcOffset) == 0)
            memset(raw + kForm2EdcOffset, 0, 4);  // Form 2 EDC is optional
        ASSERT_EQ(memcmp(raw, disc, kRawSectorSize), 0) << "lba " << lba;
        ++forms[form2];
    }
    EXPECT_GT(forms[0], 100);
    EXPECT_GT(forms[1], 50);

    ExpectRawReadsEqual(raw_dir + "/v.cue", raw_bin);
    ExpectRawReadsEqual(stored_dir + "/v.cue", raw_bin);
    RemoveTempDir(raw_dir);
    RemoveTempDir(stored_dir);
}

}  // namespace
