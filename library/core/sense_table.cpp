// Sense decoding as data: the caption string of each sense key and the
// description string of each additional sense code / qualifier pair.
#include "sense.h"

// Indexed by the sense key (fixed sense data, byte 2 bits 3-0). 0 for NO SENSE
// and UNIT ATTENTION (never shown) and for EQUAL, VOLUME OVERFLOW and the
// reserved key, which take the fatal-error caption.
const uint16_t kSenseKeyCaptionIds[16] = {
    0,                            // 0 NO SENSE
    IDS_CDR_KEY_RECOVERED_ERROR,  // 1 RECOVERED ERROR
    IDS_CDR_KEY_NOT_READY,        // 2 NOT READY
    IDS_CDR_KEY_MEDIUM_ERROR,     // 3 MEDIUM ERROR
    IDS_CDR_KEY_HARDWARE_ERROR,   // 4 HARDWARE ERROR
    IDS_CDR_KEY_ILLEGAL_REQUEST,  // 5 ILLEGAL REQUEST
    0,                            // 6 UNIT ATTENTION
    IDS_CDR_KEY_DATA_PROTECT,     // 7 DATA PROTECT
    IDS_CDR_KEY_BLANK_CHECK,      // 8 BLANK CHECK
    IDS_CDR_KEY_VENDOR_SPECIFIC,  // 9 VENDOR SPECIFIC
    IDS_CDR_KEY_COPY_ABORTED,     // A COPY ABORTED
    IDS_CDR_KEY_ABORTED_COMMAND,  // B ABORTED COMMAND
    0,                            // C EQUAL
    0,                            // D VOLUME OVERFLOW
    IDS_CDR_KEY_MISCOMPARE,       // E MISCOMPARE
    0,                            // F reserved
};

// Searched in order; the first row whose ASC matches and whose ASCQ matches
// (or is kAnyAscq) gives the id. A wildcard row after specific rows of the
// same ASC stands for "every other qualifier". Id 0: the reserved-error text.
// An ASC without a row also takes the reserved-error text. ASC 0x80 has no
// row: the decision counts it as success before it looks here.
// Rows: {ASC, ASCQ, id}; the ids are IDS_CDR_SENSE_DESC_FIRST to _LAST
// (tamrisk_ids.h), whose texts the resource script gives in that order.
const SenseDescriptionRow kSenseDescriptionRows[] = {
    {0x00, 0x00, 1100},      {0x00, 0x3A, 1101},      {0x00, kAnyAscq, 0},
    {0x02, kAnyAscq, 1102},  {0x03, kAnyAscq, 1103},
    {0x04, 0x00, 1104},      {0x04, 0x01, 1105},      {0x04, kAnyAscq, 1106},
    {0x05, kAnyAscq, 1107},  {0x06, kAnyAscq, 1108},  {0x08, kAnyAscq, 1109},
    {0x09, 0x01, 1110},      {0x09, 0x02, 1111},      {0x09, kAnyAscq, 1112},
    {0x0B, kAnyAscq, 1113},
    {0x0D, 0x01, 1114},      {0x0D, kAnyAscq, 0},
    {0x0E, 0x00, 1115},      {0x0E, kAnyAscq, 0},
    {0x10, kAnyAscq, 1116},
    {0x11, 0x01, 1117},      {0x11, 0x05, 1118},      {0x11, kAnyAscq, 1119},
    {0x12, kAnyAscq, 1120},  {0x13, kAnyAscq, 1121},  {0x14, kAnyAscq, 1122},
    {0x15, kAnyAscq, 1123},  {0x16, kAnyAscq, 1124},
    {0x17, 0x01, 1125},      {0x17, 0x04, 1125},      {0x17, kAnyAscq, 1126},
    {0x18, 0x03, 1127},      {0x18, kAnyAscq, 1128},
    {0x19, kAnyAscq, 1129},  {0x1A, kAnyAscq, 1130},  {0x1B, kAnyAscq, 1131},
    {0x1C, kAnyAscq, 1132},  {0x1D, kAnyAscq, 1133},
    {0x1F, 0x01, 1134},      {0x1F, kAnyAscq, 0},
    {0x20, kAnyAscq, 1135},  {0x21, kAnyAscq, 1136},  {0x22, kAnyAscq, 1137},
    {0x24, kAnyAscq, 1138},  {0x25, kAnyAscq, 1139},  {0x26, kAnyAscq, 1140},
    {0x27, kAnyAscq, 1141},
    {0x28, 0x00, 1142},      {0x28, kAnyAscq, 1143},
    {0x29, 0x00, 1144},      {0x29, kAnyAscq, 1145},
    {0x2A, kAnyAscq, 1146},
    {0x2E, 0x00, 1147},      {0x2E, kAnyAscq, 0},
    {0x31, kAnyAscq, 1148},  {0x32, kAnyAscq, 1149},
    {0x34, 0x01, 1150},      {0x34, 0x05, 1151},      {0x34, 0x07, 1152},
    {0x34, 0x08, 1153},      {0x34, 0x0B, 1154},      {0x34, kAnyAscq, 0},
    {0x39, kAnyAscq, 1156},  {0x3A, kAnyAscq, 1157},  {0x3E, kAnyAscq, 1155},
    {0x40, kAnyAscq, 1158},  {0x42, kAnyAscq, 1159},  {0x43, kAnyAscq, 1160},
    {0x44, 0x00, 1161},      {0x44, kAnyAscq, 1162},
    {0x45, kAnyAscq, 1163},  {0x47, kAnyAscq, 1164},  {0x48, kAnyAscq, 1165},
    {0x49, kAnyAscq, 1166},  {0x63, kAnyAscq, 1167},  {0x64, kAnyAscq, 1168},
    {0x81, kAnyAscq, 1169},  {0x82, kAnyAscq, 1170},  {0x83, kAnyAscq, 1171},
    {0x84, kAnyAscq, 1172},  {0x85, kAnyAscq, 1173},  {0x86, kAnyAscq, 1174},
    {0x87, kAnyAscq, 1175},  {0xB6, kAnyAscq, 1176},  {0xB9, kAnyAscq, 1177},
};

const unsigned kSenseDescriptionRowCount =
    (unsigned)(sizeof kSenseDescriptionRows / sizeof kSenseDescriptionRows[0]);
