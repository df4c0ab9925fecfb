// CHD images as chdman writes them from our BIN/CUE images serve what the
// BIN/CUE serves, with each codec choice; a damaged or hostile file loses
// only what it must, with the reason.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "chd.h"
#include "chdcodec.h"
#include "image_compare.h"

namespace {

bool MakeChd(const std::string& cue, const std::string& chd, const std::string& codecs)
{
    std::string out;
    return RunCommand("rm -f " + ShellQuote(chd) + " && chdman createcd -i " + ShellQuote(cue) + " -o " +
                          ShellQuote(chd) +
                          (codecs.empty() ? "" : " -c " + codecs) + " 2>&1",
                      &out) == 0;
}

std::vector<uint8_t> Load(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* fp = fopen(path.c_str(), "rb");
    for (int c; fp && (c = fgetc(fp)) != EOF;) bytes.push_back((uint8_t)c);
    if (fp) fclose(fp);
    return bytes;
}

void Save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* fp = fopen(path.c_str(), "wb");
    ASSERT_TRUE(fp && fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size());
    fclose(fp);
}

// Why block lba cannot be read, or "" when it can.
std::string Problem(const std::string& path, int32_t lba)
{
    Disc disc;
    char text[512] = "";
    uint8_t raw[kRawSectorSize];
    SectorType type;
    if (!DiscOpen(path.c_str(), &disc, text, sizeof text)) return text;
    if (DiscReadRaw(disc, lba, raw, &type) == kDiscReadOk) {
        text[0] = 0;
    } else {
        DiscReadProblem(disc, lba, text, sizeof text);
    }
    DiscClose(&disc);
    return text;
}

// One Mode 1 session of some size: chdman 0.251 writes hunk maps it cannot
// read itself (nor can we: the map's CRC is wrong) for discs of a few hunks.
const char kLayoutMode1[] = "track mode1\nfile /A.DAT size=400000\ndir /D\nfile /D/B.DAT size=3000\n";

TEST(ChdTrackText, OldAndNewFormsAndDamage)
{
    const struct { const char* text; int frames, pregap; bool stored; const char* refused; } cases[] = {
        {"TRACK:1 TYPE:MODE1 SUBTYPE:NONE FRAMES:1000", 1000, 0, false, nullptr},  // CHTR: no gaps
        {"TRACK:2 TYPE:AUDIO SUBTYPE:RW_RAW FRAMES:450 PREGAP:150 PGTYPE:VAUDIO PGSUB:RW POSTGAP:0", 450, 150, true,
         nullptr},
        {"TRACK:2 TYPE:AUDIO SUBTYPE:NONE FRAMES:9 PREGAP:150 PGTYPE:MODE1 PGSUB:NONE POSTGAP:0", 9, 150, false,
         nullptr},
        {"TRACK:1 TYPE:MODE3 SUBTYPE:NONE FRAMES:10", 0, 0, false, "unknown type MODE3"},
        {"TRACK:1 TYPE:MODE1 SUBTYPE:NONE FRAMES:-4", 0, 0, false, "damaged"},
        {"TRACK:1 TYPE:MODE1 SUBTYPE:NONE FRAMES:10 PREGAP:x PGTYPE:MODE1 POSTGAP:0", 0, 0, false, "gaps are damaged"},
        {"TRACK:3 TYPE:AUDIO SUBTYPE:NONE FRAMES:100 PREGAP:100 PGTYPE:VAUDIO PGSUB:NONE POSTGAP:0", 0, 0, false,
         "stored pregap is longer"},
    };
    for (const auto& c : cases) {
        ChdTrack t;
        char err[200] = "";
        bool ok = ChdParseTrack(c.text, strlen(c.text) + 1, &t, err, sizeof err);
        EXPECT_EQ(c.refused == nullptr, ok) << c.text << ": " << err;
        if (!ok) {
            EXPECT_NE(nullptr, strstr(err, c.refused ? c.refused : "")) << err;
            continue;
        }
        EXPECT_EQ(c.frames, t.frames) << c.text;
        EXPECT_EQ(c.pregap, t.pregap) << c.text;
        EXPECT_EQ(c.stored, t.pregap_stored) << c.text;
    }
}

TEST_F(FormatFiles, ChdServesWhatItsCueServes)
{
    const struct { const char* script; int mode1, mode2; } layouts[] = {
        {kLayoutMode1, kRawSectorSize, kRawSectorSize}, {kLayoutMode1, kUserDataSize, kRawSectorSize},
        {kLayoutMixed, kRawSectorSize, kRawSectorSize},  {kLayoutMixed, kRawSectorSize, kMode2DataSize},
    };
    int row = 0;
    for (const auto& l : layouts)
        for (const char* codecs : {"", "cdzl", "none"}) {
            DiscWriteOptions o;
            o.mode1_size = l.mode1, o.mode2_size = l.mode2;
            const std::string cue = dir + std::to_string(row++) + ".cue", chd = cue + ".chd";
            std::string error;
            ASSERT_TRUE(MakeDiscImage(l.script, cue, o, &error)) << error;
            ASSERT_TRUE(MakeChd(cue, chd, codecs)) << row;
            EXPECT_EQ("", CompareImages(cue, chd)) << row << " " << codecs;
        }
}

TEST_F(FormatFiles, ChdMadeAgainstAParentReadsThroughIt)
{
    // The child disc has one file more; most of its hunks are the parent's.
    const std::string parent = std::string(kLayoutMode1) + "audio blocks=300 tone=440\n";
    const std::string child = std::string(kLayoutMode1) + "file /C.DAT size=30000\naudio blocks=300 tone=440\n";
    std::string error, out;
    ASSERT_TRUE(MakeDiscImage(parent, dir + "p.cue", DiscWriteOptions(), &error)) << error;
    ASSERT_TRUE(MakeDiscImage(child, dir + "c.cue", DiscWriteOptions(), &error)) << error;
    ASSERT_TRUE(MakeChd(dir + "p.cue", dir + "p.chd", ""));
    ASSERT_EQ(0, RunCommand("chdman createcd -i " + ShellQuote(dir + "c.cue") + " -o " + ShellQuote(dir + "c.chd") +
                                " -op " + ShellQuote(dir + "p.chd") + " 2>&1", &out)) << out;
    EXPECT_EQ("", CompareImages(dir + "c.cue", dir + "c.chd"));
    ASSERT_EQ(0, rename((dir + "p.chd").c_str(), (dir + "p.old").c_str()));
    const std::string problem = Problem(dir + "c.chd", 0);
    EXPECT_NE(std::string::npos, problem.find("which is not in its folder")) << problem;
}

// The mixed layout with chdman's own codecs and its parts, to be damaged.
struct ChdFiles : FormatFiles {
    std::string cue = dir + "x.cue", chd = dir + "x.chd";
    std::vector<uint8_t> bytes;
    ChdHeader header;
    std::vector<ChdHunk> hunks;
    void Make(const char* codecs)
    {
        std::string error;
        char err[256];
        ASSERT_TRUE(MakeDiscImage(kLayoutMixed, cue, DiscWriteOptions(), &error)) << error;
        ASSERT_TRUE(MakeChd(cue, chd, codecs));
        bytes = Load(chd);
        ASSERT_TRUE(ChdParseHeader(bytes.data(), bytes.size(), &header, err, sizeof err)) << err;
        ASSERT_TRUE(ChdDecodeMap(header, bytes.data() + header.map_offset, bytes.size() - header.map_offset, &hunks,
                                 err, sizeof err)) << err;
    }
};

TEST_F(ChdFiles, DamagedHunkLosesOnlyItsOwnBlocks)
{
    Make("");
    // Hunk 1 holds blocks 8-15 of the data track, and nothing copies it.
    const ChdHunk h = hunks[1];
    ASSERT_LT(h.kind, kChdHunkRaw);
    for (size_t i = 0; i < hunks.size(); ++i) ASSERT_TRUE(i == 1 || hunks[i].offset != h.offset) << i;
    const std::string before = ReadResults(cue, 0, 845);
    bytes[h.offset + h.length / 2] ^= 0x55;
    Save(chd, bytes);
    EXPECT_EQ(before.substr(0, 8) + "22222222" + before.substr(16), ReadResults(chd, 0, 845));
    EXPECT_NE(std::string::npos, Problem(chd, 12).find("hunk 1 of " + chd)) << Problem(chd, 12);
}

TEST_F(ChdFiles, HostileFilesAreRefusedOrLoseTheirBadHunks)
{
    // Each patch of a fresh copy: refused with a message, or blocks 16-23
    // (hunk 2) unreadable with one while block `readable` reads.
    struct Case {
        const char* codecs;
        void (*patch)(ChdFiles&);
        const char* message;
        bool refused;
        int32_t readable;
    } cases[] = {
        {"none", [](ChdFiles& f) { put_be32(f.bytes.data() + 12, 4); }, "only version 5", true, 0},
        {"none", [](ChdFiles& f) { put_be32(f.bytes.data() + 44, 0x7FFFFFFF); }, "hunk map lies outside", true, 0},
        {"none", [](ChdFiles& f) { put_be32(f.bytes.data() + 52, (uint32_t)f.bytes.size()); },
         "metadata entry lies outside", true, 0},
        {"none", [](ChdFiles& f) {
             uint8_t* entry = f.bytes.data() + f.header.meta_offset;
             put_be32(entry + 12, (uint32_t)f.header.meta_offset);
         }, "metadata chain does not end", true, 0},
        {"", [](ChdFiles& f) { f.bytes[f.header.map_offset + 10] ^= 1; }, "CRC is wrong", true, 0},
        {"none", [](ChdFiles& f) { put_be32(f.bytes.data() + f.header.map_offset + 8, 0x00FFFFFF); },
         "lies outside the file", false, 0},
        {"none", [](ChdFiles& f) {
             f.bytes[104] = 1;
             put_be32(f.bytes.data() + f.header.map_offset + 8, 0);
         }, "parent CHD", false, 0},
        {"", [](ChdFiles& f) { put_be32(f.bytes.data() + 16, CHD_FOURCC('c', 'd', 'z', 's')); },
         "\"cdzs\", a codec that is not supported", false, 300},
    };
    for (const Case& c : cases) {
        Make(c.codecs);
        c.patch(*this);
        Save(chd, bytes);
        if (c.refused) {
            EXPECT_EQ("", Refusal(chd, c.message));
            continue;
        }
        EXPECT_EQ("", Problem(chd, c.readable)) << c.message;
        EXPECT_NE(std::string::npos, Problem(chd, 17).find(c.message)) << Problem(chd, 17);
    }
}

}  // namespace
