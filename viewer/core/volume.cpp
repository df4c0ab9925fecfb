// ISO 9660 primary volume descriptor fields.
#include "volume.h"

#include <stdio.h>
#include <string.h>

#include "resource.h"

namespace {

// A block read without its sync starts kSyncSize bytes into the raw sector.
constexpr uint8_t kMode2 = 2;
constexpr size_t kMode2UserDataOffset = kXaUserDataOffset - kSyncSize;
constexpr size_t kOtherUserDataOffset = kDataOffset - kSyncSize;
constexpr size_t kModeByte = kModeOffset - kSyncSize;
// A CD-I disc is told by the first four bytes of its identifier, "CD-I".
constexpr size_t kCdiIdLength = 4;

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
    {IDC_LABEL_SYSTEM_ID, "System ID", kPvdSystemId, kPvdShortIdSize, kVolumeText},
    {IDC_LABEL_VOLUME_ID, "Volume ID", kPvdVolumeId, kPvdShortIdSize, kVolumeText},
    {IDC_LABEL_VOLUME_SET_ID, "Volume Set ID", kPvdVolumeSetId, kPvdLongIdSize, kVolumeText},
    {IDC_LABEL_PUBLISHER_ID, "Publisher ID", kPvdPublisherId, kPvdLongIdSize, kVolumeText},
    {IDC_LABEL_PREPARER_ID, "Data Preparer ID", kPvdPreparerId, kPvdLongIdSize, kVolumeText},
    {IDC_LABEL_APPLICATION_ID, "Application ID", kPvdApplicationId, kPvdLongIdSize, kVolumeText},
    {IDC_LABEL_COPYRIGHT_ID, "Copyright ID", kPvdCopyrightFileId, kPvdFileIdSize, kVolumeText},
    {IDC_LABEL_ABSTRACT_ID, "Abstruct ID", kPvdAbstractFileId, kPvdFileIdSize, kVolumeText},
    {IDC_LABEL_BIBLIOGRAPHIC_ID, "Bibliographic ID", kPvdBibliographicFileId, kPvdFileIdSize, kVolumeText},
    {IDC_LABEL_CREATION_DATE, "Creation Date && Time", kPvdCreationDate, kVolumeDateSize, kVolumeDate},
    {IDC_LABEL_MODIFICATION_DATE, "Modification Date && Time", kPvdModificationDate, kVolumeDateSize, kVolumeDate},
    {IDC_LABEL_EXPIRATION_DATE, "Expiration Date && Time", kPvdExpirationDate, kVolumeDateSize, kVolumeDate},
    {IDC_LABEL_EFFECTIVE_DATE, "Effective Date && Time", kPvdEffectiveDate, kVolumeDateSize, kVolumeDate},
};
static_assert(IDC_LABEL_LAST - IDC_LABEL_FIRST + 1 == kVolumeFieldCount, "one control per field");

size_t UserDataOffset(const uint8_t* block)
{
    return block[kModeByte] == kMode2 ? kMode2UserDataOffset : kOtherUserDataOffset;
}

const uint8_t* LocateUserData(const uint8_t* block, size_t blockLen)
{
    if (block == NULL || blockLen <= kModeByte)
        return NULL;
    size_t offset = UserDataOffset(block);
    if (blockLen < offset + kUserDataSize)
        return NULL;
    return block + offset;
}

bool IsVolumeDescriptor(const uint8_t* userData)
{
    return memcmp(userData + kPvdStandardId, kIsoStandardId, sizeof kIsoStandardId - 1) == 0 ||
           memcmp(userData + kPvdStandardId, kCdiStandardId, kCdiIdLength) == 0;
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
