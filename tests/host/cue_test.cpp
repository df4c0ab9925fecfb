// CUE sheet parser: layouts it accepts, and the file and line of what it refuses.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "cue.h"

namespace {

bool Parse(const std::string& text, CueSheet* sheet, std::string* error)
{
    char err[256];
    bool ok = ParseCue(text.data(), text.size(), "disc.cue", sheet, err, sizeof err);
    *error = err;
    return ok;
}

TEST(Cue, MultiFileMultiSessionWithGapsAndFlags)
{
    const char* text =
        "\xEF\xBB\xBFREM SESSION 01\r\n"
        "FILE \"data one.bin\" BINARY\r\n"
        "  TRACK 01 MODE2/2352\r\n"
        "    INDEX 01 00:00:00\r\n"
        "  TRACK 02 audio\r\n"
        "    FLAGS DCP PRE\r\n"
        "    PREGAP 00:02:00\r\n"
        "    INDEX 00 01:00:00\r\n"
        "    INDEX 01 01:02:00\r\n"
        "    INDEX 02 01:03:00\r\n"
        "    POSTGAP 00:01:00\r\n"
        "REM SESSION 02\r\n"
        "FILE two b.bin BINARY\r\n"
        "  TRACK 03 MODE1/2048\r\n"
        "    TITLE \"x\"\r\n"
        "    INDEX 01 00:00:00\n";
    CueSheet s;
    std::string err;
    ASSERT_TRUE(Parse(text, &s, &err)) << err;
    ASSERT_EQ(2u, s.files.size());
    EXPECT_EQ("data one.bin", s.files[0].name);
    EXPECT_EQ("two b.bin", s.files[1].name);  // unquoted, with a blank
    EXPECT_EQ(13, s.files[1].line);
    ASSERT_EQ(3u, s.tracks.size());
    EXPECT_EQ(2, s.sessions);
    const CueTrack& t2 = s.tracks[1];
    EXPECT_EQ(kCueAudio, t2.mode);
    EXPECT_EQ(kControlCopyPermitted | kControlPreEmphasis, t2.flags);
    // Pregap, INDEX 00, INDEX 01, postgap, session.
    EXPECT_EQ(std::vector<int>({150, 4500, 4650, 75, 1}),
              std::vector<int>({t2.pregap, t2.index0, t2.index1, t2.postgap, t2.session}));
    EXPECT_EQ(-1, s.tracks[0].index0);
    EXPECT_EQ(std::vector<int>({kCueMode1_2048, 2, 1}),
              std::vector<int>({s.tracks[2].mode, s.tracks[2].session, s.tracks[2].file}));
}

TEST(Cue, RefusalsNameTheLine)
{
    struct Case { const char* text; const char* expect; /* start of the error text */ } cases[] = {
        {"TRACK 01 AUDIO\n", "disc.cue, line 1: TRACK before any FILE"},
        {"FILE \"a.bin BINARY\n", "disc.cue, line 1: missing closing quote"},
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n", "disc.cue, line 3: bad time"},
        {"FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 00 00:05:00\nINDEX 01 00:02:00\n",
         "disc.cue, line 4: INDEX 01 at 00:02:00 is out of order"},
    };
    for (const Case& c : cases) {
        CueSheet s;
        std::string err;
        EXPECT_FALSE(Parse(c.text, &s, &err)) << c.text;
        EXPECT_EQ(0u, err.find(c.expect)) << "cue: " << c.text << "\nerror: " << err;
    }
}

TEST(Cue, NinetyNineTracksButNotAHundred)
{
    std::string text = "FILE a.bin BINARY\n";
    char line[64];
    for (int i = 1; i <= 99; ++i) {
        snprintf(line, sizeof line, "TRACK %02d AUDIO\nINDEX 01 %02d:00:00\n", i, i);
        text += line;
    }
    CueSheet s;
    std::string err;
    ASSERT_TRUE(Parse(text, &s, &err)) << err;
    EXPECT_EQ(99u, s.tracks.size());
    text += "TRACK 100 AUDIO\n";
    EXPECT_FALSE(Parse(text, &s, &err));
}

}  // namespace
