// Drive list and header line texts, portable part.
#include "drivetext.h"

#include <stdio.h>
#include <string.h>

#include "cdgeometry.h"
#include "cdtime.h"

const char kNoDiscLabel[] = "No or Invalid Disc";

// Follows the dump line: the offset field, sixteen "XX " fields with one more
// blank after the eighth, and the blanks before the character column.
const char kColumnRuler[] = " Addr +0 +1 +2 +3 +4 +5 +6 +7  +8 +9 +A +B +C +D +E +F  ";

namespace {

const char kDevicePrefix[] = "\\\\.\\";

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

// "X:" or "X:\" exactly.
bool IsDriveRoot(const char* s, uint32_t len)
{
    if (len != 2 && len != 3)
        return false;
    return IsDriveLetter(s[0]) && s[1] == ':' && (len == 2 || s[2] == '\\');
}

size_t BoundedLength(const char* s, size_t max)
{
    size_t n = 0;
    while (n < max && s[n] != '\0')
        n++;
    return n;
}

// snprintf's result as this module reports it: the length, or 0 when cut.
int Written(int n, uint32_t out_size)
{
    return (n < 0 || (uint32_t)n >= out_size) ? 0 : n;
}

} // namespace

int ParseDriveRoots(const char* list, uint32_t list_size, DriveRootList* out)
{
    if (out == nullptr)
        return 0;
    memset(out, 0, sizeof *out);
    if (list == nullptr)
        return 0;

    uint32_t pos = 0;
    while (pos < list_size && list[pos] != '\0') {
        uint32_t len = 0;
        while (pos + len < list_size && list[pos + len] != '\0')
            len++;
        const char* entry = list + pos;
        // An entry cut by the end of the buffer is not a whole root.
        bool whole = pos + len < list_size;
        pos += len + 1;
        if (!whole || !IsDriveRoot(entry, len))
            continue;

        char letter = UpperLetter(entry[0]);
        bool seen = false;
        for (int i = 0; i < out->count; i++)
            seen = seen || UpperLetter(out->roots[i][0]) == letter;
        if (seen || out->count >= kMaxDriveRoots)
            continue;

        char* root = out->roots[out->count++];
        root[0] = entry[0];
        root[1] = ':';
        root[2] = '\\';
        root[3] = '\0';
    }
    return out->count;
}

int FormatDriveCaption(char* out, uint32_t out_size, const char* root, const char* label)
{
    if (out == nullptr || out_size == 0)
        return 0;
    out[0] = '\0';
    if (root == nullptr)
        return 0;
    const char* cut = strchr(root, '\\');
    int root_len = (int)(cut != nullptr ? (size_t)(cut - root) : strlen(root));
    if (label == nullptr)
        label = kNoDiscLabel;
    int label_len = (int)BoundedLength(label, kVolumeLabelSize);
    return Written(snprintf(out, out_size, "%.*s [%.*s]", root_len, root, label_len, label), out_size);
}

int DriveNameFromCaption(char* out, uint32_t out_size, const char* caption)
{
    if (out == nullptr || out_size == 0)
        return 0;
    out[0] = '\0';
    if (caption == nullptr)
        return 0;
    const char* blank = strchr(caption, ' ');
    int len = (int)(blank != nullptr ? (size_t)(blank - caption) : strlen(caption));
    return Written(snprintf(out, out_size, "%.*s", len, caption), out_size);
}

int FormatDevicePath(char* out, uint32_t out_size, const char* drive_name)
{
    if (out == nullptr || out_size == 0)
        return 0;
    out[0] = '\0';
    if (drive_name == nullptr)
        return 0;
    return Written(snprintf(out, out_size, "%s%s", kDevicePrefix, drive_name), out_size);
}

int FormatDevicePathForLetter(char* out, uint32_t out_size, char letter)
{
    if (out == nullptr || out_size == 0)
        return 0;
    return Written(snprintf(out, out_size, "%s%c:", kDevicePrefix, letter), out_size);
}

int32_t LeadoutFromLastLba(int32_t last_lba)
{
    return (int32_t)((uint32_t)last_lba + 1u);
}

int FormatDriveHeader(char* out, uint32_t out_size, const char* drive_name, int32_t leadout)
{
    if (out == nullptr || out_size == 0)
        return 0;
    out[0] = '\0';
    if (drive_name == nullptr)
        drive_name = "";
    char time[kCdTimeTextSize];
    FormatCdTime(time, sizeof time, (int32_t)((uint32_t)leadout + kPregapBlocks));
    int name_len = (int)BoundedLength(drive_name, kDriveNameSize);
    return Written(snprintf(out, out_size, "Drive[%.*s]  Leadout : %s (LBN:%d)\n %s", name_len, drive_name, time,
                            (int)leadout, kColumnRuler),
                   out_size);
}

// ---- Disc images ----

namespace {

bool IsLead(LeadBytePredicate is_lead, char c)
{
    return is_lead != nullptr && is_lead((uint8_t)c);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

const char* FileNameOfPath(const char* path, LeadBytePredicate is_lead)
{
    if (path == nullptr)
        return "";
    const char* name = path;
    for (const char* p = path; *p != '\0'; p++) {
        if (IsLead(is_lead, *p)) {
            if (p[1] == '\0')
                break;
            p++;
            continue;
        }
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    }
    return name;
}

int ImagePathFromCommandLine(char* out, uint32_t out_size, const char* command_line)
{
    if (out == nullptr || out_size == 0)
        return 0;
    out[0] = '\0';
    if (command_line == nullptr)
        return 0;

    // The program name: quoted paths may hold blanks, others end at one.
    const char* p = command_line;
    if (*p == '"') {
        p++;
        while (*p != '\0' && *p != '"')
            p++;
        if (*p == '"')
            p++;
    } else {
        while (*p != '\0' && !IsBlank(*p))
            p++;
    }
    while (IsBlank(*p))
        p++;

    const char* start = p;
    size_t len;
    if (*p == '"') {
        start = ++p;
        while (*p != '\0' && *p != '"')
            p++;
        len = (size_t)(p - start);
    } else {
        len = strlen(start);
        while (len > 0 && IsBlank(start[len - 1]))
            len--;
    }
    if (len == 0 || len >= out_size)
        return 0;
    memcpy(out, start, len);
    out[len] = '\0';
    return (int)len;
}

int SplitFilterText(char* text, LeadBytePredicate is_lead)
{
    if (text == nullptr)
        return 0;
    int replaced = 0;
    for (char* p = text; *p != '\0'; p++) {
        if (IsLead(is_lead, *p)) {
            if (p[1] == '\0')
                break;
            p++;
            continue;
        }
        if (*p == '|') {
            *p = '\0';
            replaced++;
        }
    }
    return replaced;
}
