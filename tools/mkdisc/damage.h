// Planted faults of the disc image builder: chosen blocks are damaged after
// they were encoded, each so that a sector check names the damaged part and
// nothing else (the fields computed after it are encoded over the damage).
//   damage LBN data|edc|ecc-p|ecc-q|header|subheader [count=N]
//     data       a user-data byte flipped, the ECC encoded over it: EDC fails
//     edc        an EDC byte flipped, the ECC encoded over it: EDC fails
//     ecc-p      a P parity byte flipped: P fails
//     ecc-q      a Q parity byte flipped: Q fails
//     header     the address of the next block, EDC and ECC encoded for it
//     subheader  the second subheader copy's channel changed (Mode 2 only)
// Damage needs sectors stored whole (2352 bytes): the other formats keep no
// EDC or ECC of their own.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

enum DamageKind { kDamageData, kDamageEdc, kDamageEccP, kDamageEccQ, kDamageHeader, kDamageSubheader };

struct DiscDamageSpec {
    int32_t lbn = 0;
    int32_t count = 1;
    DamageKind kind = kDamageData;
};

// t: the tokens of a "damage" line.
bool ParseDamageLine(const std::vector<std::string>& t, std::vector<DiscDamageSpec>* damage, std::string* why);
// Damages the encoded raw sector of lbn as the list asks; false with why when
// a kind does not fit the sector (a subheader of Mode 1, any check field of audio).
bool ApplyDamage(const std::vector<DiscDamageSpec>& damage, int32_t lbn, uint8_t* raw2352, std::string* why);
