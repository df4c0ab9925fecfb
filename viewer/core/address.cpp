// Address input rules: the typed block address, the CD time fields and the history ring.
#include "address.h"

#include <stdio.h>
#include <string.h>

#include "cdgeometry.h"
#include "cdtime.h"
#include "textutil.h"

namespace {

int32_t Saturate32(int64_t v)
{
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return (int32_t)v;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// Appends s to out at *len, never past out_size - 1.
void Put(char* out, uint32_t out_size, uint32_t* len, const char* s, uint32_t n)
{
    uint32_t room = out_size - 1 - *len;
    if (n > room)
        n = room;
    memcpy(out + *len, s, n);
    *len += n;
}

}  // namespace

void AddHistory(AddressHistory* history, int32_t lbn)
{
    // A ring restored from elsewhere could hold any index; keep writes inside the array.
    if (history->next < 0 || history->next >= kAddressHistorySize)
        history->next = 0;
    history->entries[history->next] = lbn;
    if (++history->next == kAddressHistorySize) {
        history->wrapped = true;
        history->next = 0;
    }
}

bool GetHistory(const AddressHistory* history, int32_t i, int32_t* lbn)
{
    const int32_t next = history->next;
    if (i < 0 || i >= kAddressHistorySize || next < 0 || next >= kAddressHistorySize)
        return false;
    int32_t k = next - 1 - i;
    if (k < 0) {
        if (!history->wrapped)
            return false;
        k += kAddressHistorySize;
        if (k < next)
            return false;
    }
    *lbn = history->entries[k];
    return true;
}

void ParseAddressText(const char* text, ParsedAddress* out)
{
    out->value = 0;
    out->stop = 0;
    if (text == nullptr)
        return;

    uint32_t i = 0;
    while (IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-')
        negative = text[i++] == '-';

    int base = 10;
    if (text[i] == '0') {
        // "0x" counts as a prefix only when a hexadecimal digit follows; "0xg" is the
        // octal number 0 stopped at the 'x'.
        if ((text[i + 1] == 'x' || text[i + 1] == 'X') && DigitValue(text[i + 2]) < 16) {
            base = 16;
            i += 2;
        } else {
            base = 8;
        }
    }

    // The magnitude saturates just past what 32 bits hold, so long digit runs cannot overflow.
    const int64_t limit = (int64_t)INT32_MAX + 1;
    int64_t magnitude = 0;
    uint32_t digits = 0;
    for (int d; (d = DigitValue(text[i])) < base; ++i, ++digits) {
        magnitude = magnitude * base + d;
        if (magnitude > limit)
            magnitude = limit;
    }
    if (digits == 0)
        return;  // no number: 0, stopped at the first character of the text
    out->value = Saturate32(negative ? -magnitude : magnitude);
    out->stop = i;
}

unsigned CheckAddressInput(const char* text, int32_t leadout, AddressCheck* out)
{
    ParsedAddress parsed;
    ParseAddressText(text, &parsed);
    out->value = parsed.value;
    memset(out->bad_char, 0, sizeof out->bad_char);
    out->error_id = 0;
    if (parsed.value < 0 || parsed.value >= leadout) {
        out->error_id = IDS_ADDRESS_OUT_OF_RANGE;
    } else if (text != nullptr && text[parsed.stop] != '\0') {
        out->error_id = IDS_ADDRESS_BAD_CHAR;
        const char* stop = text + parsed.stop;
        out->bad_char[0] = stop[0];
        if (IsCp932LeadByte((uint8_t)stop[0]) && stop[1] != '\0')
            out->bad_char[1] = stop[1];
    }
    return out->error_id;
}

int FormatAddressError(char* out, uint32_t out_size, const char* format, int32_t leadout,
                       const AddressCheck* check)
{
    if (out_size == 0)
        return 0;
    uint32_t len = 0;
    for (const char* p = format ? format : ""; *p != '\0'; ++p) {
        if (p[0] == '%' && (p[1] == 'd' || p[1] == 'c' || p[1] == '%')) {
            char piece[16];
            int n = 1;
            if (p[1] == 'd')
                n = snprintf(piece, sizeof piece, "%d", (int)leadout);
            else if (p[1] == 'c')
                n = snprintf(piece, sizeof piece, "%s", check ? check->bad_char : "?");
            else
                piece[0] = '%';
            Put(out, out_size, &len, piece, n > 0 ? (uint32_t)n : 0);
            ++p;
        } else {
            Put(out, out_size, &len, p, 1);
        }
    }
    out[len] = '\0';
    return (int)len;
}

int32_t StepAddress(int32_t address, int32_t delta)
{
    return Saturate32((int64_t)address + delta);
}

int32_t CdTimeToBlock(const char* minutes, const char* seconds, const char* frames)
{
    int64_t m = ParseLongLikeAtol(minutes ? minutes : "");
    int64_t s = ParseLongLikeAtol(seconds ? seconds : "");
    int64_t f = ParseLongLikeAtol(frames ? frames : "");
    return Saturate32(m * (int64_t)kFramesPerMinute + s * (int64_t)kFramesPerSecond + f - kPregapBlocks);
}

int32_t BlockTextToAddress(const char* block_text)
{
    return Saturate32((int64_t)ParseLongLikeAtol(block_text ? block_text : "") + kPregapBlocks);
}

void BlockTextToCdTime(const char* block_text, char* minutes, char* seconds, char* frames)
{
    FormatCdTimeFields(BlockTextToAddress(block_text), minutes, seconds, frames);
}
