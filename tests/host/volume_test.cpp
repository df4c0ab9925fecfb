// Primary volume descriptor: the label fields of Mode 1 and Mode 2 blocks, and
// refusing foreign and short blocks (the fuzz target reads hostile ones).
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "volume.h"

namespace {

// Index of a field in kVolumeFields by its dialog control.
size_t FieldIndex(int control)
{
    for (size_t i = 0; i < kVolumeFieldCount; ++i)
        if (kVolumeFields[i].nControl == control) return i;
    ADD_FAILURE() << "no field " << control;
    return 0;
}

// A primary volume descriptor with its fields at their ISO 9660 byte
// positions, each padded with blanks to its length.
std::vector<uint8_t> MakeDescriptor()
{
    std::vector<uint8_t> user(kUserDataSize, 0);
    memcpy(&user[0], "\x01" "CD001\x01", 7);
    const struct { size_t offset, length; std::string text; } fields[] = {
        {8, 32, "QUILLET"},      {40, 32, "SAMPLE_DISC"},     {190, 128, ""},
        {318, 128, "PUBLISHER"}, {446, 128, std::string("PREP\0ARER", 9)},  // ends at the zero byte
        {574, 128, std::string(128, 'A')},                   // fills the field, no terminator
        {702, 37, "COPY.TXT;1"}, {739, 37, "ABS.TXT;1"},     {776, 37, "BIB.TXT;1"},
    };
    for (const auto& f : fields) {
        memset(&user[f.offset], ' ', f.length);
        memcpy(&user[f.offset], f.text.data(), f.text.size());
    }
    memcpy(&user[813], "1996052314302500\x24", 17);
    memcpy(&user[830], "1997010203040599\xF0", 17);
    memset(&user[847], '0', 16);
    memset(&user[864], ' ', 16);
    return user;
}

// A 2340-byte block: header (BCD address of LBN 16 + 150, mode), for mode 2
// the 8-byte subheader of a form 1 block, then the user data.
std::vector<uint8_t> MakeBlock(uint8_t mode, const std::vector<uint8_t>& user)
{
    std::vector<uint8_t> block(kRawSectorSize, 0);
    const uint8_t header[12] = {0x00, 0x02, 0x16, mode, 0, 0, 0x08, 0, 0, 0, 0x08, 0};
    memcpy(&block[0], header, mode == 2 ? 12 : 4);
    memcpy(&block[mode == 2 ? 12 : 4], user.data(), kUserDataSize);
    return block;
}

TEST(VolumeLabel, FieldsOfModeOneAndModeTwoBlocksAlike)
{
    std::vector<uint8_t> user = MakeDescriptor();
    for (uint8_t mode : {1, 2}) {
        std::vector<uint8_t> block = MakeBlock(mode, user);
        VolumeLabel label;
        ASSERT_TRUE(DecodeVolumeLabel(block.data(), kNoSyncSectorSize, &label)) << (int)mode;
        // Padded, cut at a zero byte, filling the field; every identifier
        // field is compared with isoinfo's reading in isoinfo_compare_test.
        std::map<int, std::string> expected = {
            {604, "PREP"}, {605, std::string(128, 'A')}, {609, "1996/05/23 14:30:25"},
        };
        for (const auto& e : expected)
            EXPECT_EQ(e.second, label.szText[FieldIndex(e.first)]) << e.first << " mode " << (int)mode;
    }
}

TEST(VolumeLabel, RejectsForeignAndShortBlocksWithoutTouchingTheLabel)
{
    std::vector<uint8_t> user = MakeDescriptor();
    VolumeLabel label;
    memset(&label, 'Q', sizeof label);
    // Mode 2 puts the user data at 12: a short block cannot hold it.
    EXPECT_FALSE(DecodeVolumeLabel(MakeBlock(2, user).data(), 12 + kUserDataSize - 1, &label));
    memcpy(&user[1], "BEA01", 5);
    EXPECT_FALSE(DecodeVolumeLabel(MakeBlock(1, user).data(), kNoSyncSectorSize, &label));
    EXPECT_EQ('Q', label.szText[0][0]);
    EXPECT_EQ('Q', label.szText[kVolumeFieldCount - 1][kVolumeTextSize - 1]);
}

}  // namespace
