// Primary volume descriptor: user-data location, identification, label fields.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "bytes.h"
#include "iso9660/volume.h"

namespace {

// Index of a field in kVolumeFields by its dialog control.
size_t FieldIndex(int control)
{
    for (size_t i = 0; i < kVolumeFieldCount; ++i)
        if (kVolumeFields[i].nControl == control)
            return i;
    ADD_FAILURE() << "no field " << control;
    return 0;
}

void PutText(uint8_t* user, int control, const std::string& text)
{
    const VolumeField& f = kVolumeFields[FieldIndex(control)];
    memset(user + f.offset, ' ', f.length);
    memcpy(user + f.offset, text.data(), text.size() < f.length ? text.size() : f.length);
}

// A 2340-byte block: header (BCD address of lbn + 150, mode), for mode 2 the
// 8-byte subheader, then the user data.
std::vector<uint8_t> MakeBlock(uint8_t mode, const uint8_t* user, int32_t lbn = 16)
{
    std::vector<uint8_t> block(kIsoRawBufferSize, 0);
    int32_t address = lbn + 150;
    block[0] = to_bcd(address / 4500);
    block[1] = to_bcd(address / 75 % 60);
    block[2] = to_bcd(address % 75);
    block[3] = mode;
    size_t at = 4;
    if (mode == 2) {
        static const uint8_t subheader[8] = {0, 0, 0x08, 0, 0, 0, 0x08, 0};  // form 1 data
        memcpy(&block[4], subheader, 8);
        at = 12;
    }
    memcpy(&block[at], user, kIsoUserDataSize);
    return block;
}

struct Descriptor {
    uint8_t user[kIsoUserDataSize];
};

Descriptor MakeDescriptor()
{
    Descriptor d;
    memset(d.user, 0, sizeof d.user);
    d.user[0] = 1;
    memcpy(d.user + 1, "CD001", 5);
    d.user[6] = 1;
    PutText(d.user, 600, "QUILLET");
    PutText(d.user, 601, "SAMPLE_DISC");
    PutText(d.user, 602, "");
    PutText(d.user, 603, "PUBLISHER");
    PutText(d.user, 604, "PREPARER");
    PutText(d.user, 605, std::string(128, 'A'));  // fills the field, no terminator
    PutText(d.user, 606, "COPY.TXT;1");
    PutText(d.user, 607, "ABS.TXT;1");
    PutText(d.user, 608, "BIB.TXT;1");
    memcpy(d.user + 813, "1996052314302500\x24", 17);
    memcpy(d.user + 830, "1997010203040599\xF0", 17);
    memset(d.user + 847, '0', 16);
    memset(d.user + 864, ' ', 16);
    return d;
}

TEST(UserDataOffset, ModeTwoSkipsTheSubheaderEveryOtherModeOnlyTheHeader)
{
    struct Case {
        uint8_t mode;
        size_t offset;
    } cases[] = {{0, 4}, {1, 4}, {2, 12}, {3, 4}, {0x82, 4}, {0xFF, 4}};
    for (const Case& c : cases) {
        uint8_t block[kIsoReadBlockSize] = {};
        block[3] = c.mode;
        EXPECT_EQ(c.offset, UserDataOffset(block)) << "mode " << (int)c.mode;
        EXPECT_EQ(block + c.offset, LocateUserData(block, sizeof block));
        // A block too short for the user data at that offset has none.
        EXPECT_EQ(nullptr, LocateUserData(block, c.offset + kIsoUserDataSize - 1));
    }
    EXPECT_EQ(nullptr, LocateUserData(nullptr, kIsoReadBlockSize));
}

TEST(VolumeDescriptor, IdentifiedByStandardOrCdiSignature)
{
    struct Case {
        const char* bytes1to5;
        bool accepted;
    } cases[] = {
        {"CD001", true}, {"CD-I ", true}, {"CD-IX", true}, {"CD002", false},
        {"BEA01", false}, {"cd001", false}, {"\0\0\0\0\0", false}, {"CD-0 ", false},
    };
    for (const Case& c : cases) {
        uint8_t user[kIsoUserDataSize] = {};
        memcpy(user + 1, c.bytes1to5, 5);
        EXPECT_EQ(c.accepted, IsVolumeDescriptor(user)) << c.bytes1to5;
    }
}

TEST(FormatVolumeDate, DigitGroupsReadAsDecimalNumbers)
{
    struct Case {
        const char* field;  // 17 bytes
        const char* text;
    } cases[] = {
        {"1996052314302500\x24", "1996/05/23 14:30:25"},
        {"1996052314302599\xD0", "1996/05/23 14:30:25"},  // hundredths and offset unused
        {"0000000000000000\0", "0000/00/00 00:00:00"},
        {"                \0", "0000/00/00 00:00:00"},
        {"\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", "0000/00/00 00:00:00"},
        {"  99 1 2-3+4 5 6\0", "0099/01/02 -3:04:05"},
        {"19x6\0\x31" "2315 930XX25\0", "0019/00/23 15:09:30"},
        {"-9990a\x09" "7\n8\r9 99999\0", "-999/00/07 08:09:09"},
    };
    for (const Case& c : cases) {
        char out[kVolumeDateTextSize];
        FormatVolumeDate((const uint8_t*)c.field, out, sizeof out);
        EXPECT_STREQ(c.text, out) << c.field;
    }
}

TEST(VolumeLabel, OutputIsBoundedByTheCallersBuffer)
{
    char out[8];
    memset(out, 'Z', sizeof out);
    FormatVolumeDate((const uint8_t*)"1996052314302500", out, 5);
    EXPECT_STREQ("1996", out);
    EXPECT_EQ('Z', out[5]);
    Descriptor d = MakeDescriptor();
    FormatVolumeField(d.user, kVolumeFields[FieldIndex(605)], out, sizeof out);
    EXPECT_STREQ("AAAAAAA", out);
}

TEST(VolumeLabel, FieldsOfModeOneAndModeTwoBlocksAlike)
{
    Descriptor d = MakeDescriptor();
    for (uint8_t mode : {1, 2}) {
        std::vector<uint8_t> block = MakeBlock(mode, d.user);
        VolumeLabel label;
        ASSERT_TRUE(DecodeVolumeLabel(block.data(), kIsoReadBlockSize, &label)) << (int)mode;
        std::map<int, std::string> expected = {
            {600, "QUILLET" + std::string(25, ' ')},
            {601, "SAMPLE_DISC" + std::string(21, ' ')},
            {602, std::string(128, ' ')},
            {603, "PUBLISHER" + std::string(119, ' ')},
            {605, std::string(128, 'A')},
            {606, "COPY.TXT;1" + std::string(27, ' ')},
            {608, "BIB.TXT;1" + std::string(28, ' ')},
            {609, "1996/05/23 14:30:25"},
            {610, "1997/01/02 03:04:05"},
            {611, "0000/00/00 00:00:00"},
            {612, "0000/00/00 00:00:00"},
        };
        for (const auto& e : expected)
            EXPECT_EQ(e.second, label.szText[FieldIndex(e.first)]) << e.first << " mode " << (int)mode;
    }
}

TEST(VolumeLabel, IdentifierEndsAtAZeroByte)
{
    Descriptor d = MakeDescriptor();
    d.user[40 + 4] = 0;  // "SAMP" then a zero byte
    std::vector<uint8_t> block = MakeBlock(1, d.user);
    VolumeLabel label;
    ASSERT_TRUE(DecodeVolumeLabel(block.data(), kIsoReadBlockSize, &label));
    EXPECT_STREQ("SAMP", label.szText[FieldIndex(601)]);
}

TEST(VolumeLabel, RejectsForeignAndShortBlocksWithoutTouchingTheLabel)
{
    Descriptor d = MakeDescriptor();
    memcpy(d.user + 1, "BEA01", 5);
    std::vector<uint8_t> block = MakeBlock(1, d.user);
    VolumeLabel label;
    memset(&label, 'Q', sizeof label);
    EXPECT_FALSE(DecodeVolumeLabel(block.data(), kIsoReadBlockSize, &label));

    // Mode 2 puts the user data at 12: a short block cannot hold it.
    Descriptor good = MakeDescriptor();
    std::vector<uint8_t> mode2 = MakeBlock(2, good.user);
    EXPECT_FALSE(DecodeVolumeLabel(mode2.data(), 12 + kIsoUserDataSize - 1, &label));
    EXPECT_EQ('Q', label.szText[0][0]);
    EXPECT_EQ('Q', label.szText[kVolumeFieldCount - 1][kVolumeTextSize - 1]);
}

}  // namespace
