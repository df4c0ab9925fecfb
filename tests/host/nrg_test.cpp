// Nero images: the builder's .nrg (new and old footers) of each layout
// serve what its BIN/CUE serves, Debian's nrg2iso extracts the same data
// track, and chunk lists that overrun, overflow or point anywhere are refused.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "external_tools.h"
#include "image_compare.h"
#include "nrg.h"

namespace {

struct NrgFiles : ::testing::Test {
    std::string dir = MakeTempDir("nrg") + "/";
    void TearDown() override { RemoveTempDir(dir.substr(0, dir.size() - 1)); }
};

TEST_F(NrgFiles, BuiltLayoutsServeWhatTheirCueServes)
{
    struct Case { const char* script; int mode1, mode2; bool sub, old; } cases[] = {
        {kLayoutSingle, kUserDataSize, kRawSectorSize, false, false}, {kLayoutSingle, kRawSectorSize, kRawSectorSize, true, false},
        {kLayoutMixed, kRawSectorSize, kMode2DataSize, false, false}, {kLayoutMixed, kRawSectorSize, kRawSectorSize, true, true},
        {kLayoutMulti, kRawSectorSize, kRawSectorSize, false, false}, {kLayoutMulti, kUserDataSize, kMode2DataSize, false, true},
    };
    for (const Case& c : cases) {
        DiscWriteOptions o;
        o.mode1_size = c.mode1, o.mode2_size = c.mode2, o.subchannel = c.sub, o.nrg_old = c.old;
        std::string error;
        ASSERT_TRUE(WriteLayoutPair(c.script, dir, "nrg", o, &error)) << error;
        EXPECT_EQ("", CompareImages(dir + "cue/x.cue", dir + "nrg/x.nrg")) << c.script << c.mode1 << c.mode2 << c.sub << c.old;
        ASSERT_EQ(0, rename((dir + "nrg/x.nrg").c_str(), (dir + "nrg/x.bin").c_str()));  // told by its footer
        EXPECT_EQ("", CompareImages(dir + "cue/x.cue", dir + "nrg/x.bin"));
    }
    // nrg2iso copies what follows track 1's stored pregap: our blocks' user data.
    DiscWriteOptions o;
    o.mode1_size = kUserDataSize;
    std::string error, out;
    ASSERT_TRUE(WriteLayoutPair(kLayoutSingle, dir, "nrg", o, &error)) << error;
    std::vector<uint8_t> iso;
    if (ToolAvailable("nrg2iso")) {
        EXPECT_EQ(0, RunCommand("nrg2iso " + ShellQuote(dir + "nrg/x.nrg") + " " + ShellQuote(dir + "y.iso"), &out));
        ASSERT_TRUE(ReadFileBytes(dir + "y.iso", &iso));
        Disc disc;
        char err[256];
        ASSERT_TRUE(DiscOpen((dir + "nrg/x.nrg").c_str(), &disc, err, sizeof err)) << err;
        ASSERT_GE(iso.size(), (size_t)DiscLeadout(disc) * kUserDataSize);
        for (int32_t lba = 0; lba < DiscLeadout(disc); ++lba) {
            uint8_t raw[kRawSectorSize];
            SectorType type;
            ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, lba, raw, &type));
            ASSERT_EQ(0, memcmp(raw + kDataOffset, &iso[(size_t)lba * kUserDataSize], kUserDataSize)) << lba;
        }
        DiscClose(&disc);
    }
}

// Offset of the chunk named id in an image, or 0.
size_t FindChunk(const std::vector<uint8_t>& image, const char* id)
{
    size_t chain = (size_t)(((uint64_t)get_be32(&image[image.size() - 8]) << 32) | get_be32(&image[image.size() - 4]));
    for (size_t p = chain; p + 8 <= image.size(); p += 8 + get_be32(&image[p + 4]))
        if (memcmp(&image[p], id, 4) == 0) return p;
    return 0;
}

TEST_F(NrgFiles, HostileChunkListsAreRefused)
{
    std::string error;
    ASSERT_TRUE(WriteLayoutPair(kLayoutMixed, dir, "nrg", DiscWriteOptions(), &error)) << error;
    std::vector<uint8_t> good;
    ASSERT_TRUE(ReadFileBytes(dir + "nrg/x.nrg", &good));
    const size_t end = good.size(), cuex = FindChunk(good, "CUEX"), daox = FindChunk(good, "DAOX");
    const size_t track1 = daox + 8 + 22, chain = cuex;
    ASSERT_TRUE(cuex && daox);
    struct Case { size_t at; int width; uint64_t value; const char* message; } cases[] = {
        {end - 12, 4, 0x41424344, "no Nero footer"},
        {end - 8, 8, end, "points past the chunk list"},
        {end - 8, 8, 0xFFFFFFFFFFFFFFF0ull, "points past the chunk list"},
        {end - 8, 8, 4, "the chunk list is too large"},
        {cuex + 4, 4, 0xFFFFFFF8u, "chunk CUEX at offset"},            // would wrap a 32-bit walk
        {daox + 4, 4, 10, "chunk DAOX is too short"},
        {cuex + 4, 4, 7, "not a list of cue points"},
        {daox + 8 + 21, 1, 99, "names tracks 1 to 99, more than it holds"},
        {daox + 8 + 20, 1, 0, "names tracks 0 to"},
        {track1 + 14, 1, 0x55, "unknown mode 0x55"},
        {track1 + 12, 2, 2048, "stores 2048-byte sectors"},
        {track1 + 18 + 16, 8, chain + 1, "the data of track 1 lies outside the image data"},  // into the chunks
        {track1 + 18 + 8, 8, 0xFFFFFFFFFFFFull, "the data of track 1 lies outside"},
        {cuex + 8 + 16 + 1, 1, 0x42, "track 1 has no cue point"},        // INDEX 01 of track 1 renamed
        {cuex + 8 + 16 + 4, 4, 0x7FFFFFF0, "track 1 lies outside the disc"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        for (int i = 0; i < c.width; ++i) bad[c.at + (size_t)(c.width - 1 - i)] = (uint8_t)(c.value >> (8 * i));
        ASSERT_TRUE(WriteFileBytes(dir + "bad.nrg", bad.data(), bad.size()));
        Disc disc;
        char err[256];
        EXPECT_FALSE(DiscOpen((dir + "bad.nrg").c_str(), &disc, err, sizeof err)) << c.message;
        EXPECT_NE(std::string::npos, std::string(err).find(c.message)) << err;
        EXPECT_NE(std::string::npos, std::string(err).find("bad.nrg")) << err;
        DiscClose(&disc);
    }
    // A chain of more chunks than any image has: refused, not walked for ever.
    std::vector<uint8_t> many(good.begin(), good.begin() + (long)chain);
    for (int i = 0; i < 2000; ++i) many.insert(many.end(), {'M', 'T', 'Y', 'P', 0, 0, 0, 0});
    const uint8_t footer[12] = {'N', 'E', 'R', '5', 0, 0, 0, 0, (uint8_t)(chain >> 24), (uint8_t)(chain >> 16),
                                (uint8_t)(chain >> 8), (uint8_t)chain};
    many.insert(many.end(), footer, footer + sizeof footer);
    ASSERT_TRUE(WriteFileBytes(dir + "many.nrg", many.data(), many.size()));
    Disc disc;
    char err[256];
    EXPECT_FALSE(DiscOpen((dir + "many.nrg").c_str(), &disc, err, sizeof err));
    EXPECT_NE(std::string::npos, std::string(err).find("more than 1024 chunks")) << err;
}

// Track-at-once images list their tracks in ETN2 with start blocks and
// byte ranges, without cue points.
TEST_F(NrgFiles, TrackAtOnceTracksLayOut)
{
    std::vector<uint8_t> image(3 * kUserDataSize + 2 * kRawSectorSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = (uint8_t)(i / 7);
    const uint64_t chain = image.size();
    auto be = [&](uint64_t v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) image.push_back((uint8_t)(v >> (8 * i)));
    };
    image.insert(image.end(), {'E', 'T', 'N', '2'});
    be(2 * 28, 4);
    be(0, 8), be(3 * kUserDataSize, 8), be(kNrgMode1, 4), be(0, 4), be(0, 4);
    be(3 * kUserDataSize, 8), be(2 * kRawSectorSize, 8), be(kNrgAudio, 4), be(3, 4), be(0, 4);
    image.insert(image.end(), {'E', 'N', 'D', '!', 0, 0, 0, 0, 'N', 'E', 'R', '5'});
    be(chain, 8);
    ASSERT_TRUE(WriteFileBytes(dir + "tao.nrg", image.data(), image.size()));
    Disc disc;
    char err[256];
    ASSERT_TRUE(DiscOpen((dir + "tao.nrg").c_str(), &disc, err, sizeof err)) << err;
    ASSERT_EQ(2u, disc.tracks.size());
    EXPECT_EQ(3, disc.tracks[1].start);
    EXPECT_EQ(5, DiscLeadout(disc));
    EXPECT_EQ(0, disc.tracks[1].control);
    uint8_t raw[kRawSectorSize];
    SectorType type;
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 1, raw, &type));
    EXPECT_EQ(0, memcmp(raw + kDataOffset, &image[kUserDataSize], kUserDataSize));
    ASSERT_EQ(kDiscReadOk, DiscReadRaw(disc, 4, raw, &type));
    EXPECT_EQ(0, memcmp(raw, &image[3 * kUserDataSize + kRawSectorSize], kRawSectorSize));
    DiscClose(&disc);
}

}  // namespace
