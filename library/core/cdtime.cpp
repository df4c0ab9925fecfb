// CD time text of a frame count.
#include "cdtime.h"

#include <stdio.h>
#include <string.h>

#include "cdgeometry.h"


int FormatCdTimeFields(int32_t frames, char* minutes, char* seconds, char* frames_text)
{
    // C++ division truncates toward zero, so every field keeps the count's sign;
    // INT32_MIN / kFramesPerMinute cannot overflow.
    const int32_t within_minute = frames % kFramesPerMinute;
    snprintf(minutes, kCdTimeFieldSize, "%02d", (int)(frames / kFramesPerMinute));
    snprintf(seconds, kCdTimeFieldSize, "%02d", (int)(within_minute / kFramesPerSecond));
    snprintf(frames_text, kCdTimeFieldSize, "%02d", (int)(within_minute % kFramesPerSecond));
    return (int)strlen(frames_text);
}

int FormatCdTime(char* out, uint32_t out_size, int32_t frames)
{
    if (out == nullptr || out_size == 0)
        return 0;
    char m[kCdTimeFieldSize], s[kCdTimeFieldSize], f[kCdTimeFieldSize];
    FormatCdTimeFields(frames, m, s, f);
    snprintf(out, out_size, "%s:%s:%s", m, s, f);
    return (int)strlen(out);
}
