// The block range of "save sectors": a first block and a count or a last
// block, each typed as the address input takes a block address, or as a CD
// time mm:ss:ff (an absolute address, LBN + 150). Portable.
#pragma once
#include <stdint.h>

// A block address: the block address field's number (automatic base, the
// whole text used) or a CD time of three decimal fields. False for anything
// else, an empty text included.
bool ParseBlockText(const char* text, int32_t* lbn);

enum SaveRangeError { kRangeOk, kRangeBadFirst, kRangeBadEnd };

// first must lie on the disc; the range may not pass the lead-out and holds
// at least one block. endIsLast: end names the last block, else the count.
SaveRangeError CheckSaveRange(const char* first, const char* end, bool endIsLast, int32_t leadout, int32_t* lbn,
                              uint32_t* count);
