// Block range of "save sectors".
#include "saverange.h"

#include <string.h>

#include "cdgeometry.h"
#include "address.h"

namespace {

enum { kFieldMax = 16 };

// One CD time field: blanks around, one to three decimal digits.
bool TimeField(const char* p, size_t n, int32_t* value)
{
    while (n > 0 && *p == ' ')
        ++p, --n;
    while (n > 0 && p[n - 1] == ' ')
        --n;
    if (n == 0 || n > 3)
        return false;
    *value = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        *value = *value * 10 + (p[i] - '0');
    }
    return true;
}

}  // namespace

bool ParseBlockText(const char* text, int32_t* lbn)
{
    const char* c1 = strchr(text, ':');
    if (c1 != NULL) {
        const char* c2 = strchr(c1 + 1, ':');
        int32_t m, s, f;
        if (c2 == NULL || !TimeField(text, (size_t)(c1 - text), &m) || !TimeField(c1 + 1, (size_t)(c2 - c1 - 1), &s) ||
            !TimeField(c2 + 1, strlen(c2 + 1), &f) || s >= kSecondsPerMinute || f >= kFramesPerSecond)
            return false;
        *lbn = m * kFramesPerMinute + s * kFramesPerSecond + f - kPregapBlocks;
        return true;
    }
    ParsedAddress parsed;
    ParseAddressText(text, &parsed);
    if (parsed.stop == 0 || text[parsed.stop] != '\0')
        return false;
    *lbn = parsed.value;
    return true;
}

SaveRangeError CheckSaveRange(const char* first, const char* end, bool endIsLast, int32_t leadout, int32_t* lbn,
                              uint32_t* count)
{
    int32_t a, b;
    if (!ParseBlockText(first, &a) || a < 0 || a >= leadout)
        return kRangeBadFirst;
    if (!ParseBlockText(end, &b))
        return kRangeBadEnd;
    int64_t n = endIsLast ? (int64_t)b - a + 1 : (int64_t)b;
    if (n < 1 || (int64_t)a + n > leadout)
        return kRangeBadEnd;
    *lbn = a;
    *count = (uint32_t)n;
    return kRangeOk;
}
