// Number reading and code page 932 text composition.
#include "textutil.h"

#include <stdio.h>
#include <string.h>

namespace {

bool IsAtolSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Appends text to out[*len] while whole characters fit (one byte, or a lead
// byte and its trail byte), keeping room for the terminator. Returns false once
// something did not fit; nothing after a cut is appended, so the text never
// loses a middle part while keeping its end.
bool AppendCp932(char* out, uint32_t out_size, uint32_t* len, const char* text)
{
    if (text == nullptr)
        return true;
    const uint32_t room = out_size - 1;  // out_size > 0 is the caller's check
    uint32_t i = 0;
    while (text[i] != '\0') {
        // A lead byte whose trail is the terminator is a broken character; it
        // is kept as one byte rather than pulling in the terminator.
        const uint32_t width = (IsCp932LeadByte((uint8_t)text[i]) && text[i + 1] != '\0') ? 2 : 1;
        if (*len + width > room) {
            out[*len] = '\0';
            return false;
        }
        memcpy(out + *len, text + i, width);
        *len += width;
        i += width;
    }
    out[*len] = '\0';
    return true;
}

}  // namespace

int32_t ParseLongLikeAtol(const char* text)
{
    if (text == nullptr)
        return 0;
    while (IsAtolSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    // Accumulate the magnitude and stop growing it past the largest one that
    // can matter (INT32_MAX + 1 for the negative limit).
    const int64_t limit = (int64_t)INT32_MAX + 1;
    int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (*text - '0');
    }
    if (negative)
        return magnitude >= limit ? INT32_MIN : (int32_t)-magnitude;
    return magnitude > INT32_MAX ? INT32_MAX : (int32_t)magnitude;
}

bool IsCp932LeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

void ComposeErrorText(char* out, uint32_t out_size, const char* system_text, const char* code_label,
                      long code, const char* caller_text)
{
    if (out == nullptr || out_size == 0)
        return;
    char code_line[32];
    snprintf(code_line, sizeof code_line, "%ld\n", code);
    const char* const parts[] = {system_text, code_label, code_line, caller_text};
    uint32_t len = 0;
    out[0] = '\0';
    for (const char* part : parts) {
        if (!AppendCp932(out, out_size, &len, part))
            break;
    }
}

void CopyCp932(char* out, uint32_t out_size, const char* text)
{
    if (out == nullptr || out_size == 0)
        return;
    uint32_t len = 0;
    out[0] = '\0';
    AppendCp932(out, out_size, &len, text);
}
