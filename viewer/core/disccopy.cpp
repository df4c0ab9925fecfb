// Whole-disc copy to BIN/CUE.
#include "disccopy.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "bytes.h"
#include "cdgeometry.h"
#include "mmc.h"

namespace {

int32_t BcdAddress(const uint8_t* msf)
{
    return from_bcd(msf[0]) * kFramesPerMinute + from_bcd(msf[1]) * kFramesPerSecond + from_bcd(msf[2]) -
           kPregapBlocks;
}

// Ends and order: each track runs to the next track of its session, the
// last to the session's lead-out.
bool CloseLayout(CopyLayout* layout, const std::vector<std::pair<int, int32_t>>& leadouts)
{
    std::vector<CopyTrack>& t = layout->tracks;
    if (t.empty())
        return false;
    for (size_t i = 0; i < t.size(); ++i) {
        t[i].end = -1;
        if (i + 1 < t.size() && t[i + 1].session == t[i].session)
            t[i].end = t[i + 1].start;
        for (const auto& l : leadouts)
            if (t[i].end < 0 && l.first == t[i].session)
                t[i].end = l.second;
        if (t[i].end <= t[i].start || t[i].start < 0 || (i > 0 && t[i].start < t[i - 1].end))
            return false;
    }
    return true;
}

CopyTrack NewTrack(int number, int session, uint8_t control, int32_t start)
{
    return CopyTrack{number, session, (uint8_t)(control & 0x0F), start, 0, 0,
                     (control & kControlDataTrack) ? kCopyMode1 : kCopyAudio};
}

// What a block is: 0 audio (no sync pattern), else 1 + its mode byte.
int BlockKind(const uint8_t* raw) { return memcmp(raw, kSyncPattern, kSyncSize) != 0 ? 0 : 1 + raw[kModeOffset]; }

void PutMsf(char* out, size_t cap, int32_t frames)
{
    snprintf(out, cap, "%02d:%02d:%02d", (int)(frames / kFramesPerMinute),
             (int)(frames / kFramesPerSecond % kSecondsPerMinute), (int)(frames % kFramesPerSecond));
}

}  // namespace

bool LayoutFromFullToc(const uint8_t* resp, uint32_t size, CopyLayout* layout)
{
    layout->tracks.clear();
    if (size < kTocHeaderSize)
        return false;
    uint32_t len = std::min<uint32_t>(size, get_be16(resp) + 2u);
    std::vector<std::pair<int, int32_t>> leadouts;
    for (uint32_t at = kTocHeaderSize; at + kFullDescriptorSize <= len; at += kFullDescriptorSize) {
        const uint8_t* d = resp + at;
        if ((d[kFullDescAdrControl] >> 4) != kAdrPosition)
            continue;
        uint8_t point = d[kFullDescPoint];
        int32_t address = BcdAddress(d + kFullDescPmin);
        if (point == kPointLeadout)
            leadouts.push_back({d[kFullDescSession], address});
        else if (point >= 0x01 && point <= 0x99)
            layout->tracks.push_back(NewTrack(from_bcd(point), d[kFullDescSession], d[kFullDescAdrControl], address));
    }
    std::sort(layout->tracks.begin(), layout->tracks.end(),
              [](const CopyTrack& a, const CopyTrack& b) { return a.start < b.start; });
    return CloseLayout(layout, leadouts);
}

bool LayoutFromTrackToc(const uint8_t* resp, uint32_t size, CopyLayout* layout)
{
    layout->tracks.clear();
    if (size < kTocHeaderSize)
        return false;
    uint32_t len = std::min<uint32_t>(size, get_be16(resp) + 2u);
    std::vector<std::pair<int, int32_t>> leadouts;
    for (uint32_t at = kTocHeaderSize; at + kTrackDescriptorSize <= len; at += kTrackDescriptorSize) {
        const uint8_t* d = resp + at;
        const uint8_t* msf = d + kTrackDescAddress + 1;
        int32_t address = msf[0] * kFramesPerMinute + msf[1] * kFramesPerSecond + msf[2] - kPregapBlocks;
        if (d[kTrackDescNumber] == kTocLeadoutTrack)
            leadouts.push_back({1, address});
        else
            layout->tracks.push_back(NewTrack(d[kTrackDescNumber], 1, d[kTrackDescAdrControl], address));
    }
    return CloseLayout(layout, leadouts);
}

void FinishCopyLayout(CopyLayout* layout, SaveReader pfnRead, void* context)
{
    std::vector<CopyTrack>& t = layout->tracks;
    uint8_t raw[kRawSectorSize];
    std::vector<int> kinds(t.size(), -1);
    for (size_t i = 0; i < t.size(); ++i) {
        if (pfnRead(context, t[i].start, 1, raw)) {
            kinds[i] = BlockKind(raw);
            if (t[i].mode != kCopyAudio)
                t[i].mode = raw[kModeOffset] == 2 ? kCopyMode2 : kCopyMode1;
        }
    }
    for (size_t i = 1; i < t.size(); ++i) {
        if (t[i].session != t[i - 1].session) {
            // The Orange Book pregap, readable after the lead-in; never
            // reaching back into the session before.
            t[i].pregap = std::min<int32_t>(kPregapBlocks, t[i].start - t[i - 1].end);
            continue;
        }
        if (kinds[i] < 0 || kinds[i] == kinds[i - 1])
            continue;
        int32_t floor = std::max(t[i - 1].start + 1, t[i].start - (int32_t)kMaxPregapScan);
        int32_t first = t[i].start;
        while (first > floor && pfnRead(context, first - 1, 1, raw) && BlockKind(raw) == kinds[i])
            --first;
        t[i].pregap = t[i].start - first;
        t[i - 1].end = first;
    }
}

std::string CopyBinName(const std::string& cueName, int number)
{
    size_t slash = cueName.find_last_of("\\/");
    size_t dot = cueName.rfind('.');
    std::string stem = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                           ? cueName
                           : cueName.substr(0, dot);
    char suffix[16];
    snprintf(suffix, sizeof suffix, "_%02d.bin", number);
    return stem + suffix;
}

std::string BuildCueSheet(const CopyLayout& layout, const std::string& cueName)
{
    static const char* const kModeNames[] = {"AUDIO", "MODE1/2352", "MODE2/2352"};
    size_t slash = cueName.find_last_of("\\/");
    std::string base = slash == std::string::npos ? cueName : cueName.substr(slash + 1);
    std::string text;
    char line[512];
    int session = 0;
    for (const CopyTrack& t : layout.tracks) {
        if (t.session != session) {
            session = t.session;
            snprintf(line, sizeof line, "REM SESSION %02d\r\n", session);
            text += line;
        }
        snprintf(line, sizeof line, "FILE \"%s\" BINARY\r\n  TRACK %02d %s\r\n", CopyBinName(base, t.number).c_str(),
                 t.number, kModeNames[t.mode]);
        text += line;
        char msf[16];
        if (t.pregap > 0)
            text += "    INDEX 00 00:00:00\r\n";
        PutMsf(msf, sizeof msf, t.pregap);
        snprintf(line, sizeof line, "    INDEX 01 %s\r\n", msf);
        text += line;
    }
    return text;
}

std::vector<SaveItem> PlanDiscCopy(const CopyLayout& layout, const std::string& cuePath)
{
    std::vector<SaveItem> items;
    for (const CopyTrack& t : layout.tracks) {
        SaveItem item = MakeSaveItem(kSaveRaw, CopyBinName(cuePath, t.number));
        int32_t first = t.start - t.pregap;
        uint32_t blocks = (uint32_t)(t.end - first);
        item.extents.push_back(SaveExtent{first, blocks, (uint64_t)blocks * kRawSectorSize});
        items.push_back(item);
    }
    SaveItem sheet = MakeSaveItem(kSaveText, cuePath);
    sheet.text = BuildCueSheet(layout, cuePath);
    items.push_back(sheet);
    return items;
}
