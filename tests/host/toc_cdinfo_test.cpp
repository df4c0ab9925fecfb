// The TOC report of the virtual drive's READ TOC answers, for cue sheets written by mkdisc,
// against the disc model's layout and cd-info's reading of the same sheet.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "disc.h"
#include "external_tools.h"
#include "toc.h"
#include "tocreport.h"

namespace {

// Block addresses a report gives: track number -> start, and the lead-outs in order.
struct ReportedLayout { std::map<int, int32_t> starts; std::vector<int32_t> leadouts; };

// Full TOC rows after the two header lines and the heading: POINT in column 5
// (BCD, so 01-99 read as decimal; A2 a lead-out), address in 9.
ReportedLayout ReadLayout(const std::string& report)
{
    const size_t columns = 9, point_at = 4;
    ReportedLayout layout;
    std::istringstream lines(report);
    std::string line;
    for (int n = 0; std::getline(lines, line); ++n) {
        std::istringstream in(line);
        std::vector<std::string> f;
        for (std::string field; in >> field;) f.push_back(field);
        if (n < 3) continue;
        EXPECT_EQ(f.size(), columns) << line;
        if (f.size() != columns) continue;
        const long point = strtol(f[point_at].c_str(), nullptr, 16);
        const int32_t address = atoi(f[columns - 1].c_str());
        if (point == 0xA2)
            layout.leadouts.push_back(address);
        else if (point < 0xA0)
            layout.starts[atoi(f[point_at].c_str())] = address;
    }
    return layout;
}

std::string Render(const Disc& disc)
{
    std::vector<uint8_t> resp;
    EXPECT_TRUE(BuildTocResponse(disc, kTocFormatFull, true, 1, &resp));
    resp.resize(kTocResponseSize);
    std::vector<char> text(kTocReportSize);
    RenderFullToc(resp.data(), kTocResponseSize, text.data(), kTocReportSize);
    return text.data();
}

// "  n: MM:SS:FF  LSN ..." rows of cd-info's track list; 170 is its lead-out row.
std::map<int, int32_t> CdInfoTracks(const std::string& out)
{
    std::map<int, int32_t> tracks;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        int number, m, s, f;
        long lsn;
        if (sscanf(line.c_str(), " %d: %d:%d:%d %ld", &number, &m, &s, &f, &lsn) == 5) tracks[number] = (int32_t)lsn;
    }
    return tracks;
}

struct TocCdInfoTest : ::testing::Test {
    std::string dir = MakeTempDir("toc_cdinfo");
    void TearDown() override { RemoveTempDir(dir); }
};

TEST_F(TocCdInfoTest, ReportAddressesMatchLayoutVolumeAndCdInfo)
{
    struct Case { const char* name; const char* script; size_t sessions; } cases[] = {
        {"mixed", "track mode1\nfile /A.TXT size=3000\naudio blocks=300\naudio seconds=2 pregap=75\n", 1},
        {"multi", "track mode2\nfile /A.TXT size=3000\naudio blocks=300\n"
                  "session\ntrack mode2\nfile /B.TXT size=100\n"
                  "session\ntrack mode1\nfile /C.TXT size=9000\n", 3},
    };
    const bool have_cdinfo = ToolAvailable("cd-info");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string cue = MakeDiscFromScript(dir, c.name, c.script);
        Disc disc;
        char err[512] = "";
        ASSERT_TRUE(DiscOpen(cue.c_str(), &disc, err, sizeof err)) << err;
        ASSERT_EQ(disc.sessions.size(), c.sessions);

        const ReportedLayout full = ReadLayout(Render(disc));
        ASSERT_EQ(full.starts.size(), disc.tracks.size());
        ASSERT_EQ(full.leadouts.size(), c.sessions);
        for (const DiscTrack& t : disc.tracks) EXPECT_EQ(full.starts.at(t.number), t.start) << "track " << t.number;
        for (size_t s = 0; s < c.sessions; ++s)
            EXPECT_EQ(full.leadouts[s], disc.sessions[s].leadout) << "session " << s + 1;

        std::string out;
        if (!have_cdinfo) {
            DiscClose(&disc);
            continue;
        }
        RunCommand("cd " + ShellQuote(dir) + " && cd-info --no-device-info --no-cddb --cue-file " +
                       ShellQuote(std::string(c.name) + ".cue"), &out);
        std::map<int, int32_t> listed = CdInfoTracks(out);
        ASSERT_EQ(listed.size(), disc.tracks.size() + 1) << out;
        // cd-info lays every track of the sheet out back to back, ignoring REM SESSION: it
        // agrees on the first session's addresses and on the length of every later track.
        int32_t shift = 0;
        for (size_t i = 0; i < disc.tracks.size(); ++i) {
            const DiscTrack& t = disc.tracks[i];
            if (t.session > 1 && i > 0 && disc.tracks[i - 1].session != t.session)
                shift = t.start - listed.at(t.number);
            EXPECT_EQ(listed.at(t.number) + shift, full.starts.at(t.number)) << "track " << t.number << "\n" << out;
        }
        EXPECT_EQ(listed.at(170) + shift, full.leadouts.back()) << out;
        DiscClose(&disc);
    }
}

}  // namespace
