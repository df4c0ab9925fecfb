// Sector integrity check: recomputes what the encoder wrote and names each
// part that differs.
#include "sectorcheck.h"

#include <stdio.h>
#include <string.h>

#include "bytes.h"
#include "sector.h"

namespace {

bool AllZero(const uint8_t* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

bool EdcMatches(const uint8_t* raw, int from, int to)
{
    return ComputeEdc(raw + from, (uint32_t)(to - from)) == get_le32(raw + to);
}

// Recomputes P from the data, then Q over the data and the new P, so that a
// damaged P byte fails P alone.
unsigned EccFaults(const uint8_t* raw, bool zero_header)
{
    uint8_t copy[kRawSectorSize];
    memcpy(copy, raw, kRawSectorSize);
    if (zero_header)
        memset(copy + kHeaderOffset, 0, kHeaderSize);
    ComputeEccPQ(copy);
    unsigned faults = 0;
    if (memcmp(copy + kEccPOffset, raw + kEccPOffset, kEccPSize) != 0)
        faults |= kFaultEccP;
    if (memcmp(copy + kEccQOffset, raw + kEccQOffset, kEccQSize) != 0)
        faults |= kFaultEccQ;
    return faults;
}

// An XA sector as its stored bytes stand, Form 1 or 2 by the submode.
void CheckXa(const uint8_t* raw, uint8_t submode, SectorCheck* c)
{
    if (submode & kSubmodeForm2) {
        c->kind = kCheckedForm2;
        if (get_le32(raw + kForm2EdcOffset) == 0) {
            c->edc = kEdcNotRecorded;
            return;
        }
        c->edc = kEdcChecked;
        if (!EdcMatches(raw, kDataOffset, kForm2EdcOffset))
            c->faults |= kFaultEdc;
        return;
    }
    c->kind = kCheckedForm1;
    c->edc = kEdcChecked;
    c->has_ecc = true;
    if (!EdcMatches(raw, kDataOffset, kForm1EdcOffset))
        c->faults |= kFaultEdc;
    c->faults |= EccFaults(raw, true);
}

bool XaSound(const uint8_t* raw)
{
    SectorCheck c = {};
    CheckXa(raw, raw[kSubmodeOffset], &c);
    return c.faults == 0 && c.edc == kEdcChecked;
}

// Mode 2 whose subheader copies differ: an XA sector whose EDC holds over
// the bytes as stored, or over either copy written twice, has a damaged
// subheader; otherwise the block is formless Mode 2, which carries no check
// data.
void CheckMode2Mismatch(const uint8_t* raw, SectorCheck* c)
{
    const uint8_t* sub = raw + kDataOffset;
    for (int which = 0; which < 2; ++which) {
        SectorCheck stored = {};
        CheckXa(raw, sub[4 * which + 2], &stored);
        if (stored.edc == kEdcChecked && !(stored.faults & kFaultEdc)) {
            *c = stored;
            c->faults |= kFaultSubheader;
            return;
        }
    }
    uint8_t copy[kRawSectorSize];
    for (int which = 0; which < 2; ++which) {
        memcpy(copy, raw, kRawSectorSize);
        memcpy(copy + kDataOffset + 4 * (1 - which), sub + 4 * which, 4);
        if (XaSound(copy)) {
            CheckXa(copy, sub[4 * which + 2], c);
            c->faults |= kFaultSubheader;
            return;
        }
    }
    c->kind = kCheckedMode2Formless;
    c->edc = kEdcNone;
}

}  // namespace

SectorCheck CheckRawSector(const uint8_t* raw, int32_t lbn, unsigned flags)
{
    SectorCheck c = {};
    if (!(flags & kCheckIgnoreSync) && memcmp(raw, kSyncPattern, kSyncSize) != 0)
        c.faults |= kFaultSync;
    uint8_t address[3];
    EncodeSectorAddress(lbn, address);
    if (memcmp(raw + kHeaderOffset, address, 3) != 0)
        c.faults |= kFaultAddress;
    switch (raw[kModeOffset]) {
    case 0:
        c.kind = kCheckedMode0;
        if (!AllZero(raw + 16, kRawSectorSize - 16))
            c.faults |= kFaultZeroData;
        break;
    case 1:
        c.kind = kCheckedMode1;
        c.edc = kEdcChecked;
        c.has_ecc = true;
        if (!EdcMatches(raw, 0, kMode1EdcOffset))
            c.faults |= kFaultEdc;
        if (!AllZero(raw + kMode1ZeroOffset, 8))
            c.faults |= kFaultReserved;
        c.faults |= EccFaults(raw, false);
        break;
    case 2:
        if (memcmp(raw + kDataOffset, raw + kDataOffset + 4, 4) == 0)
            CheckXa(raw, raw[kSubmodeOffset], &c);
        else
            CheckMode2Mismatch(raw, &c);
        break;
    default:
        c.kind = kCheckedUnknownMode;
        c.faults |= kFaultMode;
        break;
    }
    return c;
}

namespace {

// Appends piece to text (separated by sep when text is not empty), bounded.
void Append(char* text, size_t size, const char* sep, const char* piece)
{
    size_t used = strlen(text);
    if (used >= size)
        return;
    snprintf(text + used, size - used, "%s%s", used ? sep : "", piece);
}

const char* EccText(unsigned faults)
{
    switch (faults & (kFaultEccP | kFaultEccQ)) {
    case kFaultEccP: return "ECC NG (P)";
    case kFaultEccQ: return "ECC NG (Q)";
    case kFaultEccP | kFaultEccQ: return "ECC NG (P Q)";
    default: return "ECC OK";
    }
}

}  // namespace

void FormatCheckStatus(const SectorCheck& c, char* text, size_t size)
{
    if (!size)
        return;
    text[0] = '\0';
    const char* sep = "  ";
    if (c.faults & kFaultSync)
        Append(text, size, sep, "SYNC NG");
    if (c.faults & (kFaultAddress | kFaultMode))
        Append(text, size, sep, "HDR NG");
    if (c.faults & kFaultSubheader)
        Append(text, size, sep, "SUB NG");
    if (c.faults & (kFaultReserved | kFaultZeroData))
        Append(text, size, sep, "ZERO NG");
    if (c.edc == kEdcChecked)
        Append(text, size, sep, c.faults & kFaultEdc ? "EDC NG" : "EDC OK");
    else
        Append(text, size, sep, "EDC --");
    if (c.has_ecc)
        Append(text, size, sep, EccText(c.faults));
}

void FormatCheckFaults(const SectorCheck& c, char* text, size_t size)
{
    static const struct { unsigned fault; const char* text; } kParts[] = {
        {kFaultSync, "sync"},
        {kFaultAddress, "header address"},
        {kFaultMode, "mode byte"},
        {kFaultSubheader, "subheader copies differ"},
        {kFaultEdc, "EDC"},
        {kFaultEccP, "ECC P"},
        {kFaultEccQ, "ECC Q"},
        {kFaultReserved, "reserved bytes not zero"},
        {kFaultZeroData, "Mode 0 data not zero"},
    };
    if (!size)
        return;
    text[0] = '\0';
    for (const auto& p : kParts)
        if (c.faults & p.fault)
            Append(text, size, ", ", p.text);
}

const char* CheckKindName(SectorCheckKind kind)
{
    switch (kind) {
    case kCheckedMode0: return "Mode 0";
    case kCheckedMode1: return "Mode 1";
    case kCheckedMode2Formless: return "Mode 2";
    case kCheckedForm1: return "Mode 2 Form 1";
    case kCheckedForm2: return "Mode 2 Form 2";
    default: return "Mode ?";
    }
}
