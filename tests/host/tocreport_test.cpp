// TOC report: rendering of READ TOC formats 2 and 0, the build's fallbacks, hostile
// lengths, small text buffers and the jump target of a selection.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "mmc.h"
#include "tocreport.h"

namespace {

typedef std::vector<std::string> Lines;

// A response of kTocResponseSize bytes on the heap, so that any read past it is caught.
struct Response {
    std::vector<uint8_t> bytes;
    uint32_t used = 4;
    explicit Response(uint8_t first, uint8_t last, uint32_t size = kTocResponseSize) : bytes(size, 0)
    {
        bytes[2] = first;
        bytes[3] = last;
        SetLength(2);
    }
    void SetLength(uint32_t data_len)
    {
        bytes[0] = (uint8_t)(data_len >> 8);
        bytes[1] = (uint8_t)data_len;
    }
    void Add(std::initializer_list<uint8_t> d)
    {
        for (uint8_t b : d)
            bytes[used++] = b;
        SetLength(used - 2);
    }
};

// The report's CR LF lines; the text must end with one.
Lines Split(const std::string& text)
{
    Lines lines;
    size_t pos = 0;
    for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(text.substr(pos, end + 2 - pos));
    EXPECT_EQ(pos, text.size()) << "unterminated line in: " << text.substr(pos);
    return lines;
}

Lines Render(const Response& r, bool full, int32_t* header = nullptr)
{
    std::vector<char> text(kTocReportSize, 'x');
    int32_t len = (full ? RenderFullToc : RenderTrackToc)(r.bytes.data(), (uint32_t)r.bytes.size(), text.data(),
                                                         kTocReportSize);
    if (header)
        *header = len;
    size_t end = strnlen(text.data(), text.size());
    EXPECT_LT(end, text.size()) << "unterminated report";
    return Split(std::string(text.data(), end));
}

// A one-track disc: session 1, A0 (first track 1), A2 (lead-out 45:12:34), track 1 at 00:02:00.
Response OneTrackFullToc()
{
    Response r(1, 1);
    //      sn    adr/ctl tno  point min  sec  frm  zero pmin  psec  pframe
    r.Add({0x01, 0x14, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00});
    r.Add({0x01, 0x14, 0x00, 0xA2, 0x00, 0x00, 0x00, 0x00, 0x45, 0x12, 0x34});
    r.Add({0x01, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00});
    return r;
}

Response TwoTrackToc()
{
    Response r(1, 10);
    r.Add({0x00, 0x14, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00});  // track 1 at 00:02:00
    r.Add({0x00, 0x10, 0x0A, 0x00, 0x00, 0x03, 0x3B, 0x4A});  // track 10, audio, 03:59:74
    r.Add({0x00, 0x14, 0xAA, 0x00, 0x00, 0x2D, 0x0C, 0x22});  // lead-out 45:12:34
    return r;
}

const char kA2Line[] = "  1   1     4     00    A2    00    45:12:34    --------      203284   \r\n";
const char kLeadOutLine[] = " 1     4     AA    00    00    45:12:34      203284   \r\n";

TEST(TocReport, FullAndTrackTocLinesExactly)
{
    int32_t header = 0;
    EXPECT_EQ(Render(OneTrackFullToc(), true, &header),
              (Lines{"First Session No. : 1\r\n", "Last  Session No. : 1\r\n",
                     "Ss'sn Adr   Ctl   TNO   X    ZERO    PTIME        TIME    Block Address\r\n",
                     "  1   1     4     00    A0    00    01:00:00    --------    --------\r\n", kA2Line,
                     "  1   1     4     00    01    00    00:02:00    --------           0   \r\n"}));
    EXPECT_EQ(header, kFullTocHeaderLen);

    EXPECT_EQ(Render(TwoTrackToc(), false, &header),
              (Lines{"First Track No. : 1\r\n", "Last  Track No. : 10\r\n",
                     " Adr   Ctl   TNO   X    ZERO    PTIME     Block Address\r\n",
                     " 1     4     01    00    00    00:02:00           0   \r\n",
                     " 1     0     10    00    00    03:59:74       17849   \r\n", kLeadOutLine}));
    EXPECT_EQ(header, kTrackTocHeaderLen);
}

TEST(TocReport, FullTocPointerRowsOfAMultisessionDisc)
{
    Response r(1, 2);
    r.Add({0x01, 0x54, 0x00, 0xB0, 0x03, 0x08, 0x64, 0x02, 0x79, 0x59, 0x74});  // B0: TIME shown
    r.Add({0x01, 0x54, 0x00, 0xC0, 0xA0, 0x00, 0x10, 0x00, 0x97, 0x27, 0x00});  // C0: TIME shown
    r.Add({0x02, 0x14, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00});  // A1: no address
    r.Add({0x1F, 0xE3, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x12, 0x34, 0x56});  // session 31: "1f"
    Lines lines = Render(r, true);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], "Last  Session No. : 2\r\n");
    EXPECT_EQ(Lines(lines.begin() + 3, lines.end()),
              (Lines{"  1   5     4     00    B0    02    79:59:74    03:08:64      359849   \r\n",
                     "  1   5     4     00    C0    00    97:27:00    A0:00:10      438375   \r\n",
                     "  2   1     4     00    A1    00    02:00:00    --------    --------\r\n",
                     "  1f   e     3     00    02    00    12:34:56    --------       56456   \r\n"}));
}

// The data length bounds the descriptors: two or less gives none, a partial last one
// takes the following bytes. One beyond the response buffer renders what the buffer
// holds and ends with a note; the vectors are exact-size, so AddressSanitizer checks
// both bounds.
TEST(TocReport, DataLengthBoundsTheDescriptorsAndStaysInsideBothBuffers)
{
    struct Case { uint32_t resp_size; uint32_t data_len; bool full_format; size_t descriptor_lines; bool note; } cases[] = {
        {kTocResponseSize, 2, true, 0, false}, {kTocResponseSize, 2 + 11 + 4, true, 2, false},
        {64, 0xFFFF, true, 5, true},      // (64 - 4) / 11 whole descriptors
        {64, 62, false, 7, true},         // fits, but the partial last descriptor would run past the end
        {4, 0xFFFF, true, 0, true},
    };
    for (const Case& c : cases) {
        Response r = c.full_format ? OneTrackFullToc() : TwoTrackToc();
        r.bytes.resize(c.resp_size);
        r.SetLength(c.data_len);
        Lines lines = Render(r, c.full_format);
        ASSERT_EQ(lines.size(), 3 + c.descriptor_lines + c.note) << c.resp_size << " " << c.data_len;
        EXPECT_EQ(lines.back().compare(0, 4, "*** ") == 0, c.note) << lines.back();
        if (!c.note && c.descriptor_lines > 0) {   // the partial last descriptor's line
            EXPECT_EQ(lines.back(), c.full_format ? kA2Line : kLeadOutLine);
        }
    }
    // Too short for even the header: a note, no read past the 3 bytes.
    std::vector<uint8_t> tiny = {0x00, 0x0D, 0x01};
    std::vector<char> text(kTocReportSize);
    RenderFullToc(tiny.data(), (uint32_t)tiny.size(), text.data(), (uint32_t)text.size());
    EXPECT_EQ(strncmp(text.data(), "*** ", 4), 0);
}

// A text buffer too small for the report holds whole lines, then as much of
// the note as fits, terminated within the buffer: the smallest buffer, one
// that cuts the note, and one a byte past the whole report.
TEST(TocReport, SmallTextBufferGivesWholeLinesThenTheNote)
{
    const std::string note = "*** The report is too long for its buffer; the rest is not shown\r\n";
    const Response r = OneTrackFullToc();
    std::vector<char> all(kTocReportSize);
    RenderFullToc(r.bytes.data(), kTocResponseSize, all.data(), kTocReportSize);
    const std::string whole = all.data();
    ASSERT_EQ(RenderFullToc(r.bytes.data(), kTocResponseSize, nullptr, 0), kFullTocHeaderLen);
    for (uint32_t size : {1u, 60u, (uint32_t)whole.size() + 1}) {
        std::vector<char> text(size, 'x');
        RenderFullToc(r.bytes.data(), kTocResponseSize, text.data(), size);
        const size_t len = strnlen(text.data(), size);
        ASSERT_LT(len, size);
        const std::string got(text.data(), len);
        size_t lines_end = 0;  // the longest prefix of whole lines
        for (size_t e; (e = whole.find("\r\n", lines_end)) != std::string::npos &&
                       got.compare(lines_end, e + 2 - lines_end, whole, lines_end, e + 2 - lines_end) == 0;)
            lines_end = e + 2;
        EXPECT_EQ(note.compare(0, len - lines_end, got, lines_end), 0) << size << ": " << got;
        EXPECT_TRUE(len == size - 1 || len - lines_end == note.size()) << size;
    }
}

struct FakeDrive { int full_result, track_result; std::vector<int> formats, reports; };

int FakeTocRequest(void* ctx, uint8_t* buffer, uint32_t alloc_len, int format, int report)
{
    FakeDrive* drive = static_cast<FakeDrive*>(ctx);
    drive->formats.push_back(format);
    drive->reports.push_back(report);
    EXPECT_EQ(alloc_len, (uint32_t)kTocResponseSize);
    Response r = format == kTocFormatTrack ? TwoTrackToc() : OneTrackFullToc();
    memcpy(buffer, r.bytes.data(), alloc_len);
    return format == kTocFormatFull ? drive->full_result : drive->track_result;
}

TEST(TocReport, BuildFallsBackFromFullToTrackToErrorLines)
{
    struct Case {
        int full_result, track_result, rendered;
        int32_t header;
        std::vector<int> formats, reports;
        const char* third_line;
    } cases[] = {
        {0, 0, 1, kFullTocHeaderLen, {2}, {0}, kFullTocHeading},
        {-1, 0, 1, kFullTocHeaderLen, {2}, {0}, kFullTocHeading},  // only 2 counts as failure
        {2, 4, 1, kTrackTocHeaderLen, {2, 0}, {0, 1}, kTrackTocHeading},
        {2, 2, 0, kTocErrorHeaderLen, {2, 0}, {0, 1}, nullptr},
    };
    for (const Case& c : cases) {
        FakeDrive drive{c.full_result, c.track_result, {}, {}};
        std::vector<char> text(kTocReportSize);
        int32_t header = -1;
        EXPECT_EQ(BuildTocReport(FakeTocRequest, &drive, text.data(), kTocReportSize, &header), c.rendered);
        EXPECT_EQ(header, c.header);
        EXPECT_EQ(drive.formats, c.formats);
        EXPECT_EQ(drive.reports, c.reports);
        if (c.third_line) {
            Lines lines = Split(text.data());
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(lines[2], c.third_line);
        } else {
            EXPECT_EQ(std::string(text.data()), "TOC Read error\r\nNot available TOC data\r\n");
        }
    }
}

TEST(TocReport, JumpTargetOfASelection)
{
    std::string report;
    for (const std::string& l : Render(OneTrackFullToc(), true))
        report += l;
    const uint32_t len = (uint32_t)report.size();
    const uint32_t at = (uint32_t)report.find("203284");
    struct Case { std::string text; uint32_t start, end; int32_t address; } cases[] = {
        {report, at, at + 6, 203434},
        {report, 0, 5, 150},                        // "First": no digits, LBN 0
        {report, len + 5, len + 9, 150},            // beyond the text
        {"- 5", 0, 3, 150},                         // a sign must touch its digits
        {std::string(126, ' ') + "12", 0, 128, 1 + 150},  // only the first 127 characters count
        {"99999999999", 0, 11, INT32_MAX}, {"-99999999999", 0, 12, INT32_MIN + 150},   // saturates, no wrap
    };
    for (const Case& c : cases)
        EXPECT_EQ(TocJumpAddress(c.text.data(), (uint32_t)c.text.size(), c.start, c.end), c.address)
            << c.start << ".." << c.end;
}

}  // namespace
