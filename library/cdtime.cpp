// CD time text of a frame count.
#include "cdtime.h"

#include <stdio.h>
#include <string.h>

int FormatCdTimeFields(int32_t frames, char* minutes, char* seconds, char* frames_text)
{
    // C++ division truncates toward zero, so every field keeps the count's sign;
    // INT32_MIN / 4500 cannot overflow.
    const int32_t within_minute = frames % kCdFramesPerMinute;
    snprintf(minutes, kCdTimeFieldSize, "%02d", (int)(frames / kCdFramesPerMinute));
    snprintf(seconds, kCdTimeFieldSize, "%02d", (int)(within_minute / kCdFramesPerSecond));
    snprintf(frames_text, kCdTimeFieldSize, "%02d", (int)(within_minute % kCdFramesPerSecond));
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
