// The tree walker and the label decoder on an image nobody here wrote
// (genisoimage), read through the virtual drive at 2340 bytes a block as the
// viewer reads them, and compared with Debian's isoinfo.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <sstream>
#include <string>
#include <vector>

#include "cdb.h"
#include "external_tools.h"
#include "dirwalk.h"
#include "volume.h"

namespace {

// Name, recorded data length and first block of every entry, the root left out.
typedef std::multiset<std::tuple<std::string, long long, int32_t>> Listing;

// "isoinfo -l" rows: "perms links uid gid size Mon dd yyyy [extent flags]  name ",
// under "Directory listing of /DIR/" headings; only entries down to the walker's
// deepest level, "." and ".." left out.
Listing ParseIsoinfoListing(const std::string& text)
{
    Listing entries;
    std::istringstream in(text);
    size_t depth = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 21, "Directory listing of ") == 0)
            depth = (size_t)std::count(line.begin(), line.end(), '/');
        size_t open = line.find('['), close = line.find(']');
        long long size;
        if (open == std::string::npos || close == std::string::npos || close < open || depth > kMaxTreeLevel ||
            sscanf(line.c_str(), "%*s %*d %*d %*d %lld", &size) != 1)
            continue;
        std::string name = line.substr(close + 1);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        if (name != "." && name != "..") entries.emplace(name, size, (int32_t)atol(line.c_str() + open + 1));
    }
    return entries;
}

struct Drive : ImageDrive {
    int32_t lastSession = 0;
};

bool ReadDrive(void* context, int32_t lbn, uint8_t* raw)
{
    return ReadImageDrive((Drive*)context, lbn, 1, raw, kNoSyncSectorSize);
}

bool AddLine(void* context, const char* line)
{
    ((std::vector<std::string>*)context)->push_back(line);
    return true;
}

std::vector<std::string> WalkDrive(Drive& drive)
{
    std::vector<std::string> lines;
    DirWalk walk = MakeDirWalk(ReadDrive, &drive, AddLine, &lines);
    EXPECT_EQ(kTreeListed, BuildDirectoryTree(&walk, drive.lastSession, DiscLeadout(drive.disc), kMaxTreeLevel));
    EXPECT_EQ(0u, walk.nTreeDepth);
    return lines;
}

// The walker's lines; between the tabs: "column size date time".
Listing WalkerListing(const std::vector<std::string>& lines)
{
    Listing entries;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        size_t indent = l.find_first_not_of(' '), tab = l.find('\t');
        long long size = 0;
        EXPECT_EQ(1, sscanf(l.c_str() + tab + 1, "%*s %lld", &size)) << l;
        entries.emplace(l.substr(indent, tab - indent), size, TreeLineExtent(l.c_str()));
    }
    return entries;
}

std::string RightTrimmed(std::string s)
{
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// A source tree of nine levels (one beyond the walker's deepest), a directory
// of more than one block and names that need mapping.
TEST(ToolImages, TreeAndLabelMatchIsoinfo)
{
    if (!ToolAvailable("isoinfo")) GTEST_SKIP() << "isoinfo missing";
    const std::string dir = MakeTempDir("isoinfo_compare"), tree = dir + "/tree";
    ASSERT_FALSE(dir.empty());
    std::string out;
    ASSERT_EQ(0, RunCommand("mkdir -p " + ShellQuote(tree + "/one/two/three/four/five/six/seven/eight/nine") +
                                " " + ShellQuote(tree + "/wide") + " " + ShellQuote(tree + "/one/side") +
                                " && cd " + ShellQuote(tree) +
                                " && head -c 5000 /dev/zero > README.TXT"
                                " && head -c 70000 /dev/zero > one/two/three/deep.bin"
                                " && echo x > 'one/side/A Long Name With Spaces.txt'"
                                " && echo y > one/two/three/four/five/six/seven/eight/nine/past.txt"
                                " && for i in $(seq 1 150); do head -c $((i * 37)) /dev/zero > wide/f$i.dat; done",
                            &out))
        << out;
    std::string iso = dir + "/tree.iso";
    ASSERT_EQ(0, RunCommand("genisoimage -quiet -J -R -V 'QUILLET TEST' -sysid 'SYS ID' -volset 'THE SET' "
                            "-publisher 'SOME PUBLISHER' -p 'A PREPARER' -A 'AN APPLICATION' "
                            "-copyright COPY.TXT -abstract ABS.TXT -biblio BIB.TXT -o " + ShellQuote(iso) + " " +
                                ShellQuote(tree), &out)) << out;

    // Every entry "isoinfo -l" lists down to the walker's deepest level is in the
    // tree with the same size and first block, and nothing else is; the identifier
    // fields of "isoinfo -d" equal the label's.
    Drive drive;
    ASSERT_TRUE(OpenImageDrive(iso, kNoSyncSectorSize, &drive));
    EXPECT_TRUE(TargetLastSessionStart(&drive.target, &drive.lastSession));
    std::string text;
    ASSERT_EQ(0, RunCommand("isoinfo -l -i " + ShellQuote(iso), &text)) << text;
    Listing expected = ParseIsoinfoListing(text);
    EXPECT_GE(expected.size(), 160u);
    EXPECT_EQ(expected, WalkerListing(WalkDrive(drive)));
    uint8_t raw[kRawSectorSize] = {};
    ASSERT_TRUE(ReadDrive(&drive, drive.lastSession + kVolumeDescriptorLbn, raw));
    VolumeLabel label;
    ASSERT_TRUE(DecodeVolumeLabel(raw, kNoSyncSectorSize, &label));
    ASSERT_EQ(0, RunCommand("isoinfo -d -i " + ShellQuote(iso), &text));
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find(": ") != std::string::npos)
            values.emplace(line.substr(0, line.find(": ")), RightTrimmed(line.substr(line.find(": ") + 2)));
    const char* keys[] = {"System id",   "Volume id",      "Volume set id",      "Publisher id",
                          "Data preparer id", "Application id", "Copyright File id", "Abstract File id",
                          "Bibliographic File id"};
    for (size_t i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
        ASSERT_EQ(1u, values.count(keys[i])) << keys[i] << "\n" << text;
        EXPECT_EQ(values[keys[i]], RightTrimmed(label.szText[i])) << keys[i];
    }
    RemoveTempDir(dir);
}

}  // namespace
