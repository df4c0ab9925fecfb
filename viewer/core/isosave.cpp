// Saving ISO 9660 files and folders as recorded.
#include "isosave.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "iso9660.h"

namespace {

enum { kMinRecordLength = kRecName + 1 };

// Base names Windows reserves for devices, whatever the extension.
const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4", "COM5",
                                    "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4",
                                    "LPT5", "LPT6", "LPT7", "LPT8", "LPT9", "CONIN$", "CONOUT$"};

bool Refused(unsigned char c) { return c < 0x20 || c == 0x7F || strchr("<>:\"/\\|?*", c) != NULL; }

bool SameNoCase(const std::string& a, const char* b)
{
    size_t n = strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
        if (c != b[i])
            return false;
    }
    return true;
}

bool IsDeviceName(const std::string& name)
{
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (const char* d : kDeviceNames)
        if (SameNoCase(base, d))
            return true;
    return false;
}

// A decimal number of a tree line, held to 32 bits.
int32_t TreeLineNumber(const char* text)
{
    long long v = strtoll(text, NULL, 10);
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

std::string Upper(const std::string& s)
{
    std::string u = s;
    for (char& c : u)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return u;
}

// name, or name~2, name~3, ... (before the extension) when the folder has it.
std::string UniqueName(const std::string& name, std::vector<std::string>* taken)
{
    std::string candidate = name;
    size_t dot = name.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    for (unsigned n = 2;; ++n) {
        bool clash = false;
        for (const std::string& t : *taken)
            clash = clash || t == Upper(candidate);
        if (!clash)
            break;
        char suffix[16];
        snprintf(suffix, sizeof suffix, "~%u", n);
        candidate = stem + suffix + ext;
    }
    taken->push_back(Upper(candidate));
    return candidate;
}

struct FolderPlan {
    IsoReads* reads;
    std::vector<SaveItem>* items;
    std::vector<int32_t> saved;  // directory extents already planned
    bool complete;
};

void PlanFolder(FolderPlan* plan, int32_t extent, int32_t length, const std::string& folder, uint32_t depth)
{
    for (int32_t s : plan->saved)
        if (s == extent)
            return;  // a loop or a shared extent: saved once
    plan->saved.push_back(extent);
    SaveItem dir = MakeSaveItem(kSaveFolder, folder);
    plan->items->push_back(dir);

    std::vector<IsoEntry> entries;
    if (!ReadIsoDirectory(plan->reads, extent, length, &entries))
        plan->complete = false;
    std::vector<std::string> taken;
    for (const IsoEntry& e : entries) {
        if (plan->items->size() >= kMaxSaveEntries) {
            plan->complete = false;
            return;
        }
        std::string path = folder + "\\" + UniqueName(SafeFileName(e.id.data(), e.id.size()), &taken);
#ifndef _WIN32
        path = folder + "/" + path.substr(folder.size() + 1);
#endif
        if (e.flags & kFileDirectory) {
            if (depth + 1 >= kMaxSaveDepth || e.extents.empty()) {
                plan->complete = false;
                continue;
            }
            size_t at = plan->items->size();
            PlanFolder(plan, e.extents[0].lbn, (int32_t)e.extents[0].bytes, path, depth + 1);
            if (at < plan->items->size() && (*plan->items)[at].path == path) {
                (*plan->items)[at].hasDate = true;
                memcpy((*plan->items)[at].date, e.date, sizeof e.date);
            }
        } else {
            plan->items->push_back(PlanFileSave(e, path));
        }
    }
}

}  // namespace

bool ParseIsoRecord(const uint8_t* rec, size_t recLen, IsoEntry* entry)
{
    if (recLen < kMinRecordLength || rec[kRecLength] > recLen)
        return false;
    size_t nameLen = rec[kRecNameLength];
    if (kRecName + nameLen > recLen)
        nameLen = recLen - kRecName;  // identifier overruns the record: cut it
    size_t suOffset = kRecName + nameLen + (nameLen % 2 == 0 ? 1 : 0);
    const char* id = (const char*)rec + kRecName;
    entry->id.assign(id, strnlen(id, nameLen));
    entry->flags = rec[kRecFlags];
    memcpy(entry->date, rec + kRecDate, kRecDateSize);
    const uint8_t* su = rec + suOffset;
    entry->hasXa = suOffset + kXaRecordSize <= recLen && su[kXaSignatureAt] == 'X' && su[kXaSignatureAt + 1] == 'A';
    memset(entry->xa, 0, sizeof entry->xa);
    if (entry->hasXa)
        memcpy(entry->xa, su, kXaSystemUseSize);
    uint32_t size = get_be32(rec + kRecDataLengthBe);
    SaveExtent extent = {(int32_t)get_be32(rec + kRecExtentBe), (uint32_t)((size + kIsoBlockSize - 1ull) / kIsoBlockSize),
                         size};
    entry->extents.assign(1, extent);
    return true;
}

bool IsForm2Entry(const IsoEntry& entry)
{
    return entry.hasXa && (get_be16(entry.xa + kXaAttributes) & kXaForm2) != 0;
}

bool ReadIsoDirectory(IsoReads* reads, int32_t extent, int32_t length, std::vector<IsoEntry>* out)
{
    uint8_t block[kIsoBlockSize];
    bool joining = false;  // the last entry's record had the multi-extent flag
    for (int64_t offset = 0; offset < length; offset += kIsoBlockSize) {
        int64_t lbn = (int64_t)extent + offset / kIsoBlockSize;
        if (lbn > INT32_MAX || lbn < 0 || reads->nReads >= kMaxSaveReads)
            return false;
        ++reads->nReads;
        if (!reads->pfnRead(reads->pContext, (int32_t)lbn, block))
            return false;
        // Records never cross a block; a zero length byte ends the block.
        for (size_t pos = 0; pos < kIsoBlockSize && block[pos] != 0; pos += block[pos]) {
            size_t recLen = block[pos];
            if (pos + recLen > kIsoBlockSize)
                break;
            IsoEntry e;
            uint8_t first = recLen > kRecName ? block[pos + kRecName] : 0;
            if (first == kSelfIdentifier || first == kParentIdentifier || !ParseIsoRecord(block + pos, recLen, &e))
                continue;
            // The records of a multi-extent file follow each other, all but
            // the last flagged, all with the same identifier.
            if (joining && out->back().id == e.id && out->back().extents.size() < kMaxFileExtents) {
                IsoEntry& f = out->back();
                f.extents.push_back(e.extents[0]);
                f.flags = e.flags;
                memcpy(f.date, e.date, sizeof f.date);
            } else {
                out->push_back(e);
            }
            joining = (e.flags & kFileMultiExtent) && !(e.flags & kFileDirectory);
        }
    }
    return true;
}

std::string SafeFileName(const char* id, size_t len)
{
    std::string name(id, strnlen(id, len));
    size_t semicolon = name.rfind(';');
    if (semicolon != std::string::npos)
        name.resize(semicolon);
    for (char& c : name)
        if (Refused((unsigned char)c))
            c = '_';
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    if (name.empty())
        name = "_";
    if (IsDeviceName(name))
        name = "_" + name;
    if (name.size() > kSafeNameMax) {
        size_t dot = name.rfind('.');
        size_t extLen = dot == std::string::npos ? 0 : name.size() - dot;
        if (extLen > 16)
            extLen = 0;
        name = name.substr(0, kSafeNameMax - extLen) + name.substr(name.size() - extLen);
    }
    return name;
}

SaveItem PlanFileSave(const IsoEntry& entry, const std::string& path)
{
    bool form2 = IsForm2Entry(entry);
    SaveItem item = MakeSaveItem(form2 ? kSaveCdxa : kSaveUserData, path);
    item.extents = entry.extents;
    memcpy(item.xa, entry.xa, sizeof item.xa);
    item.hasDate = true;
    memcpy(item.date, entry.date, sizeof item.date);
    return item;
}

bool PlanFolderSave(IsoReads* reads, int32_t extent, int32_t length, const std::string& folder,
                    std::vector<SaveItem>* items)
{
    FolderPlan plan = {reads, items, {}, true};
    PlanFolder(&plan, extent, length, folder, 0);
    return plan.complete;
}

bool ParseTreeLine(const char* line, TreeLineFields* fields)
{
    const char* last = strrchr(line, '\t');
    if (last == NULL || last == line)
        return false;
    const char* middle = last - 1;
    while (middle > line && *middle != '\t')
        --middle;
    if (*middle != '\t')
        return false;
    fields->indent = 0;
    while (line[fields->indent] == ' ')
        ++fields->indent;
    if (line + fields->indent > middle)
        return false;
    fields->name.assign(line + fields->indent, middle);
    // Middle part: column (one or two words), length, date, time.
    std::vector<std::string> words;
    std::string word;
    for (const char* p = middle + 1; p <= last; ++p) {
        if (p == last || *p == ' ') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += *p;
        }
    }
    if (words.size() < 4)
        return false;
    fields->length = TreeLineNumber(words[words.size() - 3].c_str());
    fields->extent = TreeLineNumber(last + 1);
    fields->directory = words[words.size() - 4][0] == 'D';
    return true;
}
