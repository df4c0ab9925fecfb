// TOC report: rendering of READ TOC formats 2 and 0, the build's fallbacks and the
// jump target of a selection. The fuzz target renders hostile lengths into short buffers.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "mmc.h"
#include "tocreport.h"

namespace {

typedef std::vector<std::string> Lines;

// A response of kTocResponseSize bytes on the heap, so that any read past it is caught.
struct Response {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kTocResponseSize, 0);
    uint32_t used = 4;
    Response(uint8_t first, uint8_t last) { bytes[2] = first, bytes[3] = last, SetLength(2); }
    void SetLength(uint32_t data_len) { put_be16(bytes.data(), data_len); }
    void Add(std::initializer_list<uint8_t> d)
    {
        for (uint8_t b : d) bytes[used++] = b;
        SetLength(used - 2);
    }
};

// The report's CR LF lines; it must be terminated within its buffer and end with one.
Lines Render(const Response& r, bool full, int32_t* header = nullptr)
{
    std::vector<char> text(kTocReportSize, 'x');
    int32_t len = (full ? RenderFullToc : RenderTrackToc)(r.bytes.data(), (uint32_t)r.bytes.size(), text.data(),
                                                         kTocReportSize);
    if (header) *header = len;
    const std::string t(text.data(), strnlen(text.data(), text.size()));
    EXPECT_LT(t.size(), text.size()) << "unterminated report";
    Lines lines;
    size_t pos = 0;
    for (size_t end; (end = t.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(t.substr(pos, end + 2 - pos));
    EXPECT_EQ(pos, t.size()) << "unterminated line";
    return lines;
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

// One exact line per format; the rest by count and heading.
TEST(TocReport, FullAndTrackTocLines)
{
    int32_t header = 0;
    Lines lines = Render(OneTrackFullToc(), true, &header);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], "  1   1     4     00    A2    00    45:12:34    --------      203284   \r\n");
    EXPECT_EQ(header, kFullTocHeaderLen);
    lines = Render(TwoTrackToc(), false, &header);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[5], " 1     4     AA    00    00    45:12:34      203284   \r\n");
    EXPECT_EQ(header, kTrackTocHeaderLen);
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
    struct Case { int full_result, track_result, rendered; int32_t header; std::vector<int> formats, reports; const char* heading; } cases[] = {
        {0, 0, 1, kFullTocHeaderLen, {2}, {0}, kFullTocHeading},
        {2, 4, 1, kTrackTocHeaderLen, {2, 0}, {0, 1}, kTrackTocHeading},
        {2, 2, 0, kTocErrorHeaderLen, {2, 0}, {0, 1}, "TOC Read error\r\nNot available TOC data\r\n"},
    };
    for (const Case& c : cases) {
        FakeDrive drive{c.full_result, c.track_result, {}, {}};
        std::vector<char> text(kTocReportSize);
        int32_t header = -1;
        EXPECT_EQ(BuildTocReport(FakeTocRequest, &drive, text.data(), kTocReportSize, &header), c.rendered);
        EXPECT_EQ(header, c.header);
        EXPECT_EQ(drive.formats, c.formats);
        EXPECT_EQ(drive.reports, c.reports);
        EXPECT_NE(strstr(text.data(), c.heading), nullptr) << text.data();
    }
}

TEST(TocReport, JumpTargetOfASelection)
{
    std::string report;
    for (const std::string& l : Render(OneTrackFullToc(), true)) report += l;
    const uint32_t at = (uint32_t)report.find("203284");
    struct Case { std::string text; uint32_t start, end; int32_t address; } cases[] = {
        {report, at, at + 6, 203434},
        {std::string(126, ' ') + "12", 0, 128, 1 + 150},  // only the first 127 characters count
        {"-99999999999", 0, 12, INT32_MIN + 150},   // saturates, no wrap
    };
    for (const Case& c : cases)
        EXPECT_EQ(TocJumpAddress(c.text.data(), (uint32_t)c.text.size(), c.start, c.end), c.address)
            << c.start << ".." << c.end;
}

}  // namespace
