// Fuzzes the cue sheet parser: any text either parses into a sheet whose
// tracks are in order or fails with a terminated message.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "cue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CueSheet sheet;
    char err[128];
    bool ok = ParseCue(reinterpret_cast<const char*>(data), size, "fuzz.cue", &sheet, err, sizeof err);
    if (strnlen(err, sizeof err) == sizeof err) abort();
    if (ok) {
        if (sheet.tracks.empty() || sheet.tracks.size() > kCueMaxTracks) abort();
        for (size_t i = 0; i < sheet.tracks.size(); ++i) {
            const CueTrack& t = sheet.tracks[i];
            if (t.index1 < 0 || t.file < 0 || (size_t)t.file >= sheet.files.size()) abort();
            if (t.index0 > t.index1) abort();
            if (i && t.number != sheet.tracks[i - 1].number + 1) abort();
        }
    }
    return 0;
}
