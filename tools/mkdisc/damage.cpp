// Planted faults: parse the script line, damage an encoded sector.
#include "damage.h"

#include <stdlib.h>
#include <string.h>

#include "bytes.h"
#include "sector.h"

namespace {

enum {
    kDataByte = 100,              // offset into the user data
    kEccPByte = kEccPOffset + 10,
    kEccQByte = kEccQOffset + 10,
    kChannelCopy = kDataOffset + 4 + 1,
    kMaxDamageLbn = 0x00FFFFFF,
};

bool Fail(std::string* why, const std::string& text)
{
    *why = text;
    return false;
}

bool Number(const std::string& text, long max, long* value)
{
    char* end = nullptr;
    *value = strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && *value >= 0 && *value <= max;
}

bool IsXa(const uint8_t* raw)
{
    return raw[kModeOffset] == 2 && memcmp(raw + kDataOffset, raw + kDataOffset + 4, 4) == 0;
}

bool IsForm2(const uint8_t* raw)
{
    return IsXa(raw) && (raw[kSubmodeOffset] & kSubmodeForm2);
}

// The parity of Mode 1 over the header; of Form 1 with the header taken as zero.
void EncodeEcc(uint8_t* raw)
{
    if (raw[kModeOffset] == 1) {
        ComputeEccPQ(raw);
        return;
    }
    uint8_t header[kHeaderSize];
    memcpy(header, raw + kHeaderOffset, kHeaderSize);
    memset(raw + kHeaderOffset, 0, kHeaderSize);
    ComputeEccPQ(raw);
    memcpy(raw + kHeaderOffset, header, kHeaderSize);
}

int EdcOffset(const uint8_t* raw)
{
    if (raw[kModeOffset] == 1)
        return kMode1EdcOffset;
    return IsForm2(raw) ? kForm2EdcOffset : kForm1EdcOffset;
}

bool Damage(DamageKind kind, int32_t lbn, uint8_t* raw, std::string* why)
{
    const uint8_t mode = raw[kModeOffset];
    if (memcmp(raw, kSyncPattern, kSyncSize) != 0 || (mode != 1 && !IsXa(raw) && kind != kDamageSubheader))
        return Fail(why, "damage at " + std::to_string(lbn) + ": not a Mode 1 or XA sector");
    const bool form2 = IsForm2(raw);
    if (form2 && (kind == kDamageEccP || kind == kDamageEccQ))
        return Fail(why, "damage at " + std::to_string(lbn) + ": a Form 2 sector has no ECC");
    switch (kind) {
    case kDamageData:
        raw[(mode == 1 ? 16 : 24) + kDataByte] ^= 0x01;
        break;
    case kDamageEdc:
        raw[EdcOffset(raw) + 1] ^= 0x01;
        break;
    case kDamageEccP:
        raw[kEccPByte] ^= 0x01;
        return true;
    case kDamageEccQ:
        raw[kEccQByte] ^= 0x01;
        return true;
    case kDamageHeader:
        EncodeSectorAddress(lbn + 1, raw + kHeaderOffset);
        if (mode == 1)
            put_le32(raw + kMode1EdcOffset, ComputeEdc(raw, kMode1EdcOffset));
        break;
    case kDamageSubheader:
        if (mode != 2)
            return Fail(why, "damage at " + std::to_string(lbn) + ": subheader damage needs a Mode 2 sector");
        raw[kChannelCopy] ^= 0x01;
        return true;
    }
    if (!form2)
        EncodeEcc(raw);
    return true;
}

}  // namespace

bool ParseDamageLine(const std::vector<std::string>& t, std::vector<DiscDamageSpec>* damage, std::string* why)
{
    static const struct { const char* word; DamageKind kind; } kKinds[] = {
        {"data", kDamageData},   {"edc", kDamageEdc},       {"ecc-p", kDamageEccP},
        {"ecc-q", kDamageEccQ},  {"header", kDamageHeader}, {"subheader", kDamageSubheader},
    };
    long lbn = 0, count = 1;
    if (t.size() < 3 || t.size() > 4 || !Number(t[1], kMaxDamageLbn, &lbn))
        return Fail(why, "damage needs LBN KIND [count=N]");
    if (t.size() == 4 && (t[3].compare(0, 6, "count=") != 0 || !Number(t[3].substr(6), kMaxDamageLbn, &count) ||
                          count < 1))
        return Fail(why, "bad damage option " + t[3]);
    for (const auto& k : kKinds) {
        if (t[2] == k.word) {
            DiscDamageSpec d;
            d.lbn = (int32_t)lbn;
            d.count = (int32_t)count;
            d.kind = k.kind;
            damage->push_back(d);
            return true;
        }
    }
    return Fail(why, "unknown damage kind " + t[2]);
}

bool ApplyDamage(const std::vector<DiscDamageSpec>& damage, int32_t lbn, uint8_t* raw2352, std::string* why)
{
    for (const DiscDamageSpec& d : damage)
        if (lbn >= d.lbn && lbn - d.lbn < d.count && !Damage(d.kind, lbn, raw2352, why))
            return false;
    return true;
}
