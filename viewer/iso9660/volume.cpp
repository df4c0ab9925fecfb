// ISO 9660 primary volume descriptor fields.
#include "iso9660/volume.h"

#include <stdio.h>
#include <string.h>

namespace {

constexpr uint8_t kMode2 = 2;
constexpr size_t kMode2UserDataOffset = 12;  // 4 header bytes + 8 subheader bytes
constexpr size_t kOtherUserDataOffset = 4;   // 4 header bytes
constexpr size_t kModeByte = 3;

// Digit groups of a volume date: year, month, day, hour, minute, second.
struct DateGroup {
    uint8_t offset;
    uint8_t length;
};
constexpr DateGroup kDateGroups[6] = {{0, 4}, {4, 2}, {6, 2}, {8, 2}, {10, 2}, {12, 2}};

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Decimal reading of a short group the way the C library's atoi reads it.
int ReadDecimal(const char* s)
{
    while (IsBlank(*s))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    int value = 0;
    for (; *s >= '0' && *s <= '9'; ++s)
        value = value * 10 + (*s - '0');  // at most 4 digits: no overflow
    return negative ? -value : value;
}

}  // namespace

const VolumeField kVolumeFields[kVolumeFieldCount] = {
    {600, "System ID", 8, 32, kVolumeText},
    {601, "Volume ID", 40, 32, kVolumeText},
    {602, "Volume Set ID", 190, 128, kVolumeText},
    {603, "Publisher ID", 318, 128, kVolumeText},
    {604, "Data Preparer ID", 446, 128, kVolumeText},
    {605, "Application ID", 574, 128, kVolumeText},
    {606, "Copyright ID", 702, 37, kVolumeText},
    {607, "Abstruct ID", 739, 37, kVolumeText},
    {608, "Bibliographic ID", 776, 37, kVolumeText},
    {609, "Creation Date && Time", 813, 17, kVolumeDate},
    {610, "Modification Date && Time", 830, 17, kVolumeDate},
    {611, "Expiration Date && Time", 847, 17, kVolumeDate},
    {612, "Effective Date && Time", 864, 17, kVolumeDate},
};

size_t UserDataOffset(const uint8_t* block)
{
    return block[kModeByte] == kMode2 ? kMode2UserDataOffset : kOtherUserDataOffset;
}

const uint8_t* LocateUserData(const uint8_t* block, size_t blockLen)
{
    if (block == NULL || blockLen <= kModeByte)
        return NULL;
    size_t offset = UserDataOffset(block);
    if (blockLen < offset + kIsoUserDataSize)
        return NULL;
    return block + offset;
}

bool IsVolumeDescriptor(const uint8_t* userData)
{
    return memcmp(userData + 1, "CD001", 5) == 0 || memcmp(userData + 1, "CD-I", 4) == 0;
}

void FormatVolumeDate(const uint8_t* field17, char* out, size_t cap)
{
    if (out == NULL || cap == 0)
        return;
    int value[6];
    for (size_t i = 0; i < 6; ++i) {
        char group[5];
        size_t n = 0;
        while (n < kDateGroups[i].length && field17[kDateGroups[i].offset + n] != 0) {
            group[n] = (char)field17[kDateGroups[i].offset + n];
            ++n;
        }
        group[n] = 0;
        value[i] = ReadDecimal(group);
    }
    snprintf(out, cap, "%04d/%02d/%02d %02d:%02d:%02d", value[0], value[1], value[2], value[3],
             value[4], value[5]);
}

void FormatVolumeField(const uint8_t* userData, const VolumeField& field, char* out, size_t cap)
{
    if (out == NULL || cap == 0)
        return;
    const uint8_t* p = userData + field.offset;
    if (field.kind == kVolumeDate) {
        FormatVolumeDate(p, out, cap);
        return;
    }
    size_t n = 0;
    while (n < field.length && n + 1 < cap && p[n] != 0) {
        out[n] = (char)p[n];
        ++n;
    }
    out[n] = 0;
}

bool DecodeVolumeLabel(const uint8_t* block, size_t blockLen, VolumeLabel* label)
{
    const uint8_t* user = LocateUserData(block, blockLen);
    if (user == NULL || label == NULL || !IsVolumeDescriptor(user))
        return false;
    for (size_t i = 0; i < kVolumeFieldCount; ++i)
        FormatVolumeField(user, kVolumeFields[i], label->szText[i], sizeof label->szText[i]);
    return true;
}
