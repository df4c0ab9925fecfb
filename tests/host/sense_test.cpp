#include <gtest/gtest.h>

#include <string.h>

#include <set>
#include <string>

#include "sense.h"

namespace {

// Stand-ins for the string table: id 1021 reads "<1021>"; no text at all; a
// text longer than every buffer, two single bytes then double-byte characters,
// so that a cut blind to characters splits one.
const char* IdLookup(void* ctx, unsigned id) { return (*(std::string*)ctx = "<" + std::to_string(id) + ">").c_str(); }
const char* NullLookup(void*, unsigned) { return nullptr; }
const char* LongLookup(void* ctx, unsigned)
{
    std::string* buf = (std::string*)ctx;
    for (*buf = "xy"; buf->size() < 600;) *buf += "\x82\xA0";
    return buf->c_str();
}

// Fixed-format sense data (current error) as a device returns it into the 32-byte buffer.
struct Sense {
    uint8_t b[32] = {};
    Sense(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t additional_length = 10)
    {
        b[0] = 0x70, b[2] = key, b[7] = additional_length, b[12] = asc, b[13] = ascq;
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

}  // namespace

TEST(SenseTable, DescriptionIds)
{
    // id 0: the reserved-error text
    struct Case { uint8_t asc, ascq; unsigned id; } cases[] = {
        {0x04, 0x7F, 1106}, {0x3E, 0x00, 1155}, {0xFF, 0xFF, 0},   // any other qualifier; out of ASC order; none
    };
    for (const Case& c : cases)
        EXPECT_EQ(SenseDescriptionId(c.asc, c.ascq), c.id) << "ASC " << (int)c.asc << " ASCQ " << (int)c.ascq;

    // Every description of the string table is reachable, and nothing else is.
    std::set<unsigned> seen;
    for (unsigned asc = 0; asc < 256; ++asc)
        for (unsigned ascq = 0; ascq < 256; ++ascq)
            if (unsigned id = SenseDescriptionId((uint8_t)asc, (uint8_t)ascq)) seen.insert(id);
    EXPECT_EQ(seen.size(), (size_t)(IDS_CDR_SENSE_DESC_LAST - IDS_CDR_SENSE_DESC_FIRST + 1));
    EXPECT_EQ(*seen.begin(), (unsigned)IDS_CDR_SENSE_DESC_FIRST);
    EXPECT_EQ(*seen.rbegin(), (unsigned)IDS_CDR_SENSE_DESC_LAST);
}

TEST(SenseDecision, FailuresAskWithTheirBox)
{
    // caption null: the platform's default caption
    struct Case { const char* what; int status; Sense sense; const char* caption; unsigned style; bool described;
                  const char* text; } cases[] = {
        {"no medium", 2, Sense(0x2, 0x3A, 0x00), "<1021>", 0x45, true,
         "<1157>\nAdditional sense code:[3A] Code Qualify:[00]"},
        {"reserved pair", 2, Sense(0x5, 0x34, 0x0C), "<1024>", 0x45, true,
         "Reserved error on SCSI\nSense code:[34] Code Qualify:[0C]\nAdditional sense code:[34] Code Qualify:[0C]"},
        // Short sense asks at once with the sense-key text as body, whatever
        // ASC says (0x80 would otherwise count as success).
        {"short sense", 2, Sense(0x3, 0x80, 0x00, 4), nullptr, 0x45, false, "<1022>"},
        {"BUSY", 8, Sense(0x3, 0x11, 0x05), nullptr, 0x15, false, "<1000>"},
        {"failed request", -1, Sense(0, 0, 0), nullptr, 0x45, false, "CD-ROM error SCSI status:[FFFFFFFF]\n"},
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
    struct Case { const char* what; int status; Sense sense; int report; int result; } cases[] = {
        {"GOOD ignores the sense buffer", 0, Sense(0x3, 0x11, 0x05), 1, 0},
        {"ASC 0x80, MEDIUM ERROR", 2, Sense(0x3, 0x80, 0x00), 1, 0},
        {"MEDIUM ERROR, silent", 2, Sense(0x3, 0x11, 0x05), 0, 2},
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
    // Bytes past the given length read as cleared: additional length 0, then ASCQ 0.
    EXPECT_STREQ(d.Run(2, s, 1, IdLookup, 7).text, "<1022>");
    EXPECT_STREQ(d.Run(2, s, 1, IdLookup, 13).text, "<1119>\nAdditional sense code:[11] Code Qualify:[00]");
    // No buffer at all: sense key 0.
    ScsiOutcome q;
    DecideScsiOutcome(2, nullptr, 0, 1, IdLookup, &d.buf, &q);
    EXPECT_FALSE(q.ask);
    EXPECT_EQ(q.result, 0);
}

TEST(SenseDecision, MissingStringsReadEmptyAndOverlongOnesCutAtACharacter)
{
    Decider d;
    const ScsiOutcome& n = d.Run(2, Sense(0x3, 0x11, 0x05), 1, NullLookup);
    EXPECT_STREQ(n.caption, "");
    EXPECT_STREQ(n.text, "\nAdditional sense code:[11] Code Qualify:[05]");
    ScsiOutcome q;
    DecideScsiOutcome(8, Sense(0x3, 0x11, 0x05).b, 32, 1, nullptr, nullptr, &q);
    EXPECT_TRUE(q.ask);
    EXPECT_STREQ(q.text, "");

    const ScsiOutcome& o = d.Run(2, Sense(0x3, 0x11, 0x05), 1, LongLookup);
    // "xy" then whole double-byte characters, one byte short of each buffer.
    EXPECT_EQ(strlen(o.caption), (size_t)kCaptionSize - 2);
    EXPECT_EQ(strlen(o.description), (size_t)kDescriptionSize - 2);
    EXPECT_EQ(std::string(o.caption).substr(strlen(o.caption) - 2), "\x82\xA0");
    EXPECT_EQ(std::string(o.text),
              std::string(o.description) + "\nAdditional sense code:[11] Code Qualify:[05]");
}
