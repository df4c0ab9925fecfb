// The tree walker and the label decoder on an image nobody here wrote
// (genisoimage), read through the virtual drive at 2340 bytes a block as the
// viewer reads them, and compared with Debian's isoinfo.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cdb.h"
#include "external_tools.h"
#include "dirwalk.h"
#include "volume.h"

// One row of "isoinfo -l": the recorded data length and the first block.
struct IsoinfoEntry {
    long long size;
    int32_t extent;
};

// At global scope so that std::map's comparison finds them.
static bool operator==(const IsoinfoEntry& a, const IsoinfoEntry& b)
{
    return a.size == b.size && a.extent == b.extent;
}
static std::ostream& operator<<(std::ostream& os, const IsoinfoEntry& e)
{
    return os << e.size << " @" << e.extent;
}

namespace {

typedef std::map<std::string, IsoinfoEntry> Listing;

// "isoinfo -l" output as path ("/DIR/NAME;1") -> entry, "." and ".." left out.
Listing ParseIsoinfoListing(const std::string& text)
{
    Listing entries;
    std::istringstream in(text);
    std::string line, dir;
    const std::string heading = "Directory listing of ";
    while (std::getline(in, line)) {
        if (line.compare(0, heading.size(), heading) == 0) {
            dir = line.substr(heading.size());
            continue;
        }
        // "perms links uid gid size Mon dd yyyy [extent flags]  name "
        size_t open = line.find('['), close = line.find(']');
        if (open == std::string::npos || close == std::string::npos || close < open)
            continue;
        std::string name = line.substr(close + 1);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        char perms[16];
        long links, uid, gid;
        long long size;
        if (name.empty() || name == "." || name == ".." ||
            sscanf(line.c_str(), "%15s %ld %ld %ld %lld", perms, &links, &uid, &gid, &size) != 5)
            continue;
        entries[dir + name] = IsoinfoEntry{size, (int32_t)atol(line.c_str() + open + 1)};
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

// The walker's lines as path -> entry, paths rebuilt from the indentation.
// Between the tabs: "column size date time".
Listing WalkerListing(const std::vector<std::string>& lines)
{
    Listing entries;
    std::vector<std::string> parents = {"/"};
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        size_t indent = l.find_first_not_of(' ');
        size_t tab1 = l.find('\t'), tab2 = l.rfind('\t');
        std::istringstream middle(l.substr(tab1 + 1, tab2 - tab1 - 1));
        std::vector<std::string> fields;
        for (std::string f; middle >> f;)
            fields.push_back(f);
        if (fields.size() != 4) {
            ADD_FAILURE() << "malformed line: " << l;
            continue;
        }
        parents.resize(indent);
        std::string path = parents.back() + l.substr(indent, tab1 - indent);
        entries[path] = IsoinfoEntry{atoll(fields[1].c_str()), TreeLineExtent(l.c_str())};
        if (fields[0][0] == 'D')
            parents.push_back(path + "/");
    }
    return entries;
}

std::string RightTrimmed(std::string s)
{
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// Every entry "isoinfo -l" lists down to the walker's deepest level is in the
// tree with the same size and first block, and nothing else is; the identifier
// fields of "isoinfo -d" equal the label's.
void ExpectSameAsIsoinfo(const std::string& isoImage, size_t minEntries)
{
    Drive drive;
    ASSERT_TRUE(OpenImageDrive(isoImage, kNoSyncSectorSize, &drive));
    EXPECT_TRUE(TargetLastSessionStart(&drive.target, &drive.lastSession));
    std::string text;
    ASSERT_EQ(0, RunCommand("isoinfo -l -i " + ShellQuote(isoImage), &text)) << text;
    Listing expected;
    for (const auto& e : ParseIsoinfoListing(text))
        if ((size_t)std::count(e.first.begin(), e.first.end(), '/') <= kMaxTreeLevel)
            expected.insert(e);
    std::vector<std::string> lines = WalkDrive(drive);
    EXPECT_GE(expected.size(), minEntries);
    EXPECT_EQ(expected, WalkerListing(lines));

    uint8_t raw[kRawSectorSize] = {};
    ASSERT_TRUE(ReadDrive(&drive, drive.lastSession + kVolumeDescriptorLbn, raw));
    VolumeLabel label;
    ASSERT_TRUE(DecodeVolumeLabel(raw, kNoSyncSectorSize, &label));
    ASSERT_EQ(0, RunCommand("isoinfo -d -i " + ShellQuote(isoImage), &text));
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
}

// A source tree of nine levels (one beyond the walker's deepest), a directory
// of more than one block and names that need mapping.
TEST(ToolImages, TreeAndLabelMatchIsoinfo)
{
    if (!ToolAvailable("isoinfo"))
        GTEST_SKIP() << "isoinfo missing";
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
    ExpectSameAsIsoinfo(iso, 160);
    RemoveTempDir(dir);
}

}  // namespace
