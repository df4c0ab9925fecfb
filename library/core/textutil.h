// Text helpers of the library: reading a number the way atol does, and
// composing messages in code page 932 without splitting a double-byte character.
#pragma once
#include <stdint.h>

// C atol rules: leading white space skipped, an optional sign, decimal digits up
// to the first other character; no digits give 0. Out of range saturates to
// INT32_MIN / INT32_MAX.
int32_t ParseLongLikeAtol(const char* text);

// True for a code page 932 lead byte (0x81-0x9F, 0xE0-0xFC).
bool IsCp932LeadByte(uint8_t c);

// system_text + code_label + code in decimal + "\n" + caller_text into out,
// cut at a code page 932 character boundary when it does not fit; always
// terminated when out_size > 0. Null texts read as "".
void ComposeErrorText(char* out, uint32_t out_size, const char* system_text, const char* code_label,
                      long code, const char* caller_text);
// Bounded copy, cut at a code page 932 character boundary; always terminated
// when out_size > 0. A null text copies as "".
void CopyCp932(char* out, uint32_t out_size, const char* text);
