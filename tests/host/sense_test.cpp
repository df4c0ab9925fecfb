#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "sense.h"

namespace {

// Stands in for the string table: id 1021 reads "<1021>".
const char* IdLookup(void* ctx, unsigned id)
{
    std::string* buf = static_cast<std::string*>(ctx);
    *buf = "<" + std::to_string(id) + ">";
    return buf->c_str();
}

const char* NullLookup(void*, unsigned) { return nullptr; }

// A string table whose every text is longer than the library's buffers: a
// run of double-byte characters (Hiragana A in code page 932) behind two
// single-byte characters, so that each buffer's last byte would fall on a
// lead byte if the cut ignored character boundaries.
const char* LongLookup(void* ctx, unsigned)
{
    std::string* buf = static_cast<std::string*>(ctx);
    *buf = "xy";
    for (int i = 0; i < 300; ++i)
        *buf += "\x82\xA0";
    return buf->c_str();
}

// Fixed-format sense data as a device returns it into the 32-byte buffer.
struct Sense {
    uint8_t b[32] = {};
    Sense(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t additional_length = 10)
    {
        b[0] = 0x70;               // current error, fixed format
        b[2] = key;                // sense key
        b[7] = additional_length;  // additional sense length
        b[12] = asc;
        b[13] = ascq;
    }
};

struct Decider {
    std::string buf;
    ScsiOutcome out;
    const ScsiOutcome& Run(int status, const Sense& s, int report,
                           StringLookup lookup = IdLookup, uint32_t len = 32)
    {
        memset(&out, 0x5A, sizeof out);  // the decision must set every field it reports
        DecideScsiOutcome(status, s.b, len, report, lookup, &buf, &out);
        return out;
    }
};

std::string Hex2(unsigned v)
{
    char t[8];
    snprintf(t, sizeof t, "%02X", v);
    return t;
}

// The ASC/ASCQ descriptions as the drive documentation lists them: per ASC,
// the qualifiers with a text of their own, then what every other qualifier
// gets (0: the reserved-error text).
struct AscRule {
    uint8_t asc;
    std::vector<std::pair<uint8_t, unsigned>> listed;
    unsigned other;
};
const AscRule kRules[] = {
    {0x00, {{0x00, 1100}, {0x3A, 1101}}, 0},
    {0x02, {}, 1102}, {0x03, {}, 1103},
    {0x04, {{0x00, 1104}, {0x01, 1105}}, 1106},
    {0x05, {}, 1107}, {0x06, {}, 1108}, {0x08, {}, 1109},
    {0x09, {{0x01, 1110}, {0x02, 1111}}, 1112},
    {0x0B, {}, 1113},
    {0x0D, {{0x01, 1114}}, 0},
    {0x0E, {{0x00, 1115}}, 0},
    {0x10, {}, 1116},
    {0x11, {{0x01, 1117}, {0x05, 1118}}, 1119},
    {0x12, {}, 1120}, {0x13, {}, 1121}, {0x14, {}, 1122}, {0x15, {}, 1123}, {0x16, {}, 1124},
    {0x17, {{0x01, 1125}, {0x04, 1125}}, 1126},
    {0x18, {{0x03, 1127}}, 1128},
    {0x19, {}, 1129}, {0x1A, {}, 1130}, {0x1B, {}, 1131}, {0x1C, {}, 1132}, {0x1D, {}, 1133},
    {0x1F, {{0x01, 1134}}, 0},
    {0x20, {}, 1135}, {0x21, {}, 1136}, {0x22, {}, 1137}, {0x24, {}, 1138}, {0x25, {}, 1139},
    {0x26, {}, 1140}, {0x27, {}, 1141},
    {0x28, {{0x00, 1142}}, 1143},
    {0x29, {{0x00, 1144}}, 1145},
    {0x2A, {}, 1146},
    {0x2E, {{0x00, 1147}}, 0},
    {0x31, {}, 1148}, {0x32, {}, 1149},
    {0x34, {{0x01, 1150}, {0x05, 1151}, {0x07, 1152}, {0x08, 1153}, {0x0B, 1154}}, 0},
    {0x39, {}, 1156}, {0x3A, {}, 1157}, {0x3E, {}, 1155},
    {0x40, {}, 1158}, {0x42, {}, 1159}, {0x43, {}, 1160},
    {0x44, {{0x00, 1161}}, 1162},
    {0x45, {}, 1163}, {0x47, {}, 1164}, {0x48, {}, 1165}, {0x49, {}, 1166},
    {0x63, {}, 1167}, {0x64, {}, 1168},
    {0x81, {}, 1169}, {0x82, {}, 1170}, {0x83, {}, 1171}, {0x84, {}, 1172}, {0x85, {}, 1173},
    {0x86, {}, 1174}, {0x87, {}, 1175}, {0xB6, {}, 1176}, {0xB9, {}, 1177},
};

unsigned ExpectedId(uint8_t asc, uint8_t ascq)
{
    for (const AscRule& r : kRules) {
        if (r.asc != asc)
            continue;
        for (const auto& l : r.listed)
            if (l.first == ascq)
                return l.second;
        return r.other;
    }
    return 0;  // ASC without a text, 0x80 included
}

}  // namespace

TEST(SenseTable, EveryAscAscqPair)
{
    std::map<unsigned, int> ids_seen;
    for (unsigned asc = 0; asc < 256; ++asc) {
        for (unsigned ascq = 0; ascq < 256; ++ascq) {
            const unsigned id = SenseDescriptionId((uint8_t)asc, (uint8_t)ascq);
            ASSERT_EQ(id, ExpectedId((uint8_t)asc, (uint8_t)ascq))
                << "ASC " << Hex2(asc) << " ASCQ " << Hex2(ascq);
            if (id != 0)
                ++ids_seen[id];
        }
    }
    // Every description of the string table is reachable.
    for (unsigned id = kStrSenseDescFirst; id <= kStrSenseDescLast; ++id)
        EXPECT_EQ(ids_seen.count(id), 1u) << id;
}

TEST(SenseTable, SenseKeyCaptions)
{
    const unsigned want[16] = {0, 1020, 1021, 1022, 1023, 1024, 0, 1025,
                               1026, 1027, 1028, 1029, 0, 0, 1030, 0};
    for (unsigned key = 0; key < 16; ++key) {
        EXPECT_EQ(SenseKeyCaptionId((uint8_t)key), want[key]) << key;
        EXPECT_EQ(SenseKeyCaptionId((uint8_t)(0xF0 | key)), want[key]) << key;  // flag bits ignored
    }
}

TEST(SenseDecision, FailuresAskWithTheirBox)
{
    struct Case {
        const char* what;
        int status;
        Sense sense;
        const char* caption;  // null: the platform's default caption
        unsigned style;
        bool described;
        const char* text;
    } cases[] = {
        {"no medium", 2, Sense(0x2, 0x3A, 0x00), "<1021>", 0x45, true,
         "<1157>\nAdditional sense code:[3A] Code Qualify:[00]"},
        {"reserved pair", 2, Sense(0x5, 0x34, 0x0C), "<1024>", 0x45, true,
         "Reserved error on SCSI\nSense code:[34] Code Qualify:[0C]\nAdditional sense code:[34] Code Qualify:[0C]"},
        {"fatal key 12", 2, Sense(12, 0x21, 0x00), "Fatal error [000C]\n", 0x45, true,
         "<1136>\nAdditional sense code:[21] Code Qualify:[00]"},
        // Short sense asks at once with the sense-key text as body, whatever
        // ASC says (0x80 would otherwise count as success).
        {"short sense", 2, Sense(0x3, 0x80, 0x00, 4), nullptr, 0x45, false, "<1022>"},
        {"BUSY", 8, Sense(0x3, 0x11, 0x05), nullptr, 0x15, false, "<1000>"},
        {"RESERVATION CONFLICT", 0x18, Sense(0x3, 0x11, 0x05), nullptr, 0x45, false,
         "CD-ROM error SCSI status:[0018]\n"},
        {"failed request", -1, Sense(0, 0, 0), nullptr, 0x45, false, "CD-ROM error SCSI status:[FFFFFFFF]\n"},
        {"out-of-range status", 0x12345, Sense(0, 0, 0), nullptr, 0x45, false, "CD-ROM error SCSI status:[12345]\n"},
    };
    Decider d;
    for (const Case& c : cases) {
        const ScsiOutcome& o = d.Run(c.status, c.sense, 1);
        ASSERT_TRUE(o.ask) << c.what;
        EXPECT_EQ(o.style, c.style) << c.what;
        EXPECT_EQ(o.has_caption, c.caption != nullptr) << c.what;
        if (c.caption) {
            EXPECT_STREQ(o.caption, c.caption) << c.what;
        }
        EXPECT_EQ(o.has_description, c.described) << c.what;
        EXPECT_STREQ(o.text, c.text) << c.what;
    }
    // Under the default caption the sense-key text is still kept for the library.
    EXPECT_STREQ(d.Run(2, Sense(0x3, 0x80, 0x00, 4), 1).caption, "<1022>");
}

TEST(SenseDecision, DecidedWithoutAsking)
{
    struct Case {
        const char* what;
        int status;
        Sense sense;
        int report;
        int result;
    } cases[] = {
        {"GOOD ignores the sense buffer", 0, Sense(0x3, 0x11, 0x05), 1, 0},
        {"NO SENSE", 2, Sense(0x0, 0x11, 0x05), 1, 0},
        {"UNIT ATTENTION with filemark, EOM and ILI bits", 2, Sense(0xE6, 0x29, 0x00), 1, 0},
        {"UNIT ATTENTION with short sense", 2, Sense(0x6, 0, 0, 0), 1, 0},
        {"ASC 0x80, MEDIUM ERROR", 2, Sense(0x3, 0x80, 0x00), 1, 0},
        {"sense 5 bytes past its header is long enough", 2, Sense(0x3, 0x80, 0x00, 5), 1, 0},
        {"MEDIUM ERROR, silent", 2, Sense(0x3, 0x11, 0x05), 0, 2},
        {"short sense, silent", 2, Sense(0x3, 0, 0, 4), 0, 2},
        {"reserved key, silent", 2, Sense(0xF, 0x00, 0x00), 0, 2},
        {"BUSY, silent", 8, Sense(0, 0, 0), 0, 2},
        {"failed request, silent", -1, Sense(0, 0, 0), 0, 2},
        {"odd status, silent", 1, Sense(0x3, 0x11, 0x05), 0, 2},
    };
    Decider d;
    for (const Case& c : cases) {
        const ScsiOutcome& o = d.Run(c.status, c.sense, c.report);
        EXPECT_FALSE(o.ask) << c.what;
        EXPECT_EQ(o.result, c.result) << c.what;
    }
    // Reporting off goes on to ASC/ASCQ of the cleared buffer.
    EXPECT_STREQ(d.Run(2, Sense(0x3, 0x00, 0x00, 4), 0).description, "<1100>");
}

TEST(SenseDecision, SenseBufferShorterThanFields)
{
    Decider d;
    Sense s(0x3, 0x11, 0x05);
    // Bytes past the given length read as a cleared buffer: additional length 0.
    const ScsiOutcome& o = d.Run(2, s, 1, IdLookup, 7);
    EXPECT_TRUE(o.ask);
    EXPECT_STREQ(o.text, "<1022>");
    // Only up to byte 12: ASCQ reads 0.
    const ScsiOutcome& p = d.Run(2, s, 1, IdLookup, 13);
    EXPECT_STREQ(p.description, "<1119>");
    EXPECT_STREQ(p.text, "<1119>\nAdditional sense code:[11] Code Qualify:[00]");
    // No buffer at all: sense key 0.
    ScsiOutcome q;
    DecideScsiOutcome(2, nullptr, 0, 1, IdLookup, &d.buf, &q);
    EXPECT_FALSE(q.ask);
    EXPECT_EQ(q.result, 0);
}

TEST(SenseDecision, MissingStringsReadEmpty)
{
    Decider d;
    const ScsiOutcome& o = d.Run(2, Sense(0x3, 0x11, 0x05), 1, NullLookup);
    EXPECT_STREQ(o.caption, "");
    EXPECT_STREQ(o.text, "\nAdditional sense code:[11] Code Qualify:[05]");
    ScsiOutcome q;
    Sense s(0x3, 0x11, 0x05);
    DecideScsiOutcome(8, s.b, 32, 1, nullptr, nullptr, &q);
    EXPECT_TRUE(q.ask);
    EXPECT_STREQ(q.text, "");
}

TEST(SenseDecision, OverlongStringsCutAtCharacterBoundary)
{
    Decider d;
    const ScsiOutcome& o = d.Run(2, Sense(0x3, 0x11, 0x05), 1, LongLookup);
    // "xy" then whole double-byte characters, one byte short of each buffer.
    EXPECT_EQ(strlen(o.caption), (size_t)kCaptionSize - 2);
    EXPECT_EQ(strlen(o.description), (size_t)kDescriptionSize - 2);
    EXPECT_EQ(std::string(o.caption).substr(strlen(o.caption) - 2), "\x82\xA0");
    EXPECT_EQ(std::string(o.text),
              std::string(o.description) + "\nAdditional sense code:[11] Code Qualify:[05]");

    const ScsiOutcome& busy = d.Run(8, Sense(0, 0, 0), 1, LongLookup);
    EXPECT_EQ(strlen(busy.text), (size_t)kMessageSize - 2);
}
