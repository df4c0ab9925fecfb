// CUE sheet parser. One command per line; keywords are case-insensitive;
// lines end in LF or CR LF. Every error names the sheet and the line.
#include "cue.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "cdgeometry.h"

namespace {

enum { kMaxTokens = 8 };

struct Token {
    const char* p;
    size_t n;
    bool quoted;
};

struct Parser {
    const char* cue_name;
    char* err;
    size_t err_len;
    int line;
    CueSheet* sheet;
    int session;          // current session number
    int session_tracks;   // tracks seen in the current session
    bool file_has_track;  // the last FILE already has a TRACK
    bool track_has_index; // the current track has an INDEX line
    int last_index;       // last INDEX number of the current track
    int32_t file_floor;   // time of the last INDEX in the current file, -1 before the first
};

bool Fail(Parser* ps, const char* fmt, ...)
{
    int n = snprintf(ps->err, ps->err_len, "%s, line %d: ", ps->cue_name, ps->line);
    if (n >= 0 && (size_t)n < ps->err_len) {
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(ps->err + n, ps->err_len - (size_t)n, fmt, ap);
        va_end(ap);
    }
    return false;
}

bool Equals(const Token& t, const char* word)
{
    size_t n = strlen(word);
    if (t.quoted || t.n != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = t.p[i];
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
        if (c != word[i]) return false;
    }
    return true;
}

// Splits a line into blank-separated tokens; "..." is one token. Returns the
// count, or -1 for an unterminated quote.
int Tokenize(const char* p, size_t n, Token* tok, int max)
{
    int count = 0;
    size_t i = 0;
    while (i < n) {
        while (i < n && (p[i] == ' ' || p[i] == '\t')) ++i;
        if (i >= n) break;
        if (count == max) return count;  // the rest is ignored (titles etc.)
        Token& t = tok[count++];
        if (p[i] == '"') {
            size_t s = ++i;
            while (i < n && p[i] != '"') ++i;
            if (i >= n) return -1;
            t = Token{p + s, i - s, true};
            ++i;
        } else {
            size_t s = i;
            while (i < n && p[i] != ' ' && p[i] != '\t') ++i;
            t = Token{p + s, i - s, false};
        }
    }
    return count;
}

// Decimal number of at most max_digits digits.
bool ParseNumber(const Token& t, size_t max_digits, int* out)
{
    if (t.quoted || t.n == 0 || t.n > max_digits) return false;
    int v = 0;
    for (size_t i = 0; i < t.n; ++i) {
        if (t.p[i] < '0' || t.p[i] > '9') return false;
        v = v * 10 + (t.p[i] - '0');
    }
    *out = v;
    return true;
}

// mm:ss:ff with ss < 60 and ff < 75; minutes up to 3 digits.
bool ParseTime(const Token& t, int32_t* frames)
{
    if (t.quoted) return false;
    const char* c1 = (const char*)memchr(t.p, ':', t.n);
    if (!c1) return false;
    const char* c2 = (const char*)memchr(c1 + 1, ':', (size_t)(t.p + t.n - c1 - 1));
    if (!c2) return false;
    Token m{t.p, (size_t)(c1 - t.p), false};
    Token s{c1 + 1, (size_t)(c2 - c1 - 1), false};
    Token f{c2 + 1, (size_t)(t.p + t.n - c2 - 1), false};
    int mm, ss, ff;
    if (!ParseNumber(m, 3, &mm) || !ParseNumber(s, 2, &ss) || !ParseNumber(f, 2, &ff)) return false;
    if (ss >= kSecondsPerMinute || ff >= kFramesPerSecond) return false;
    *frames = (mm * kSecondsPerMinute + ss) * kFramesPerSecond + ff;
    return true;
}

struct ModeName {
    const char* name;
    CueMode mode;
};
// The sheet's keywords: the numbers name the bytes a sector takes in the file.
const ModeName kModes[] = {
    {"AUDIO", kCueAudio},           {"MODE1/2048", kCueMode1_2048}, {"MODE1/2352", kCueMode1_2352},
    {"MODE2/2336", kCueMode2_2336}, {"MODE2/2352", kCueMode2_2352},
};

struct FlagName {
    const char* name;
    uint8_t bit;
};
const FlagName kFlags[] = {
    {"PRE", kControlPreEmphasis}, {"DCP", kControlCopyPermitted}, {"4CH", kControlFourChannel}, {"SCMS", 0},
};

// Metadata commands that do not change the disc's layout.
const char* const kIgnored[] = {"CATALOG", "CDTEXTFILE", "ISRC", "PERFORMER", "SONGWRITER", "TITLE", "ARRANGER",
                                "COMPOSER", "MESSAGE", "DISC_ID", "GENRE", "TOC_INFO1", "TOC_INFO2", "UPC_EAN",
                                "SIZE_INFO"};

CueTrack* CurrentTrack(Parser* ps) { return ps->sheet->tracks.empty() ? nullptr : &ps->sheet->tracks.back(); }

bool FinishTrack(Parser* ps)
{
    CueTrack* t = CurrentTrack(ps);
    if (t && t->index1 < 0) {
        ps->line = t->line;
        return Fail(ps, "track %02d has no INDEX 01", t->number);
    }
    return true;
}

bool OnFile(Parser* ps, const Token* tok, int n)
{
    if (n < 3) return Fail(ps, "FILE needs a file name and a type");
    if (!ps->sheet->files.empty() && !ps->file_has_track)
        return Fail(ps, "the previous FILE has no TRACK");
    const Token& type = tok[n - 1];
    if (!Equals(type, "BINARY")) {
        if (Equals(type, "MOTOROLA") || Equals(type, "WAVE") || Equals(type, "MP3") || Equals(type, "AIFF"))
            return Fail(ps, "file type %.*s is not supported (only BINARY)", (int)type.n, type.p);
        return Fail(ps, "unknown file type \"%.*s\"", (int)(type.n > 32 ? 32 : type.n), type.p);
    }
    std::string name;
    if (tok[1].quoted) {
        if (n != 3) return Fail(ps, "unexpected text after the file name");
        name.assign(tok[1].p, tok[1].n);
    } else {
        // An unquoted name may hold blanks: everything up to the type.
        name.assign(tok[1].p, (size_t)(tok[n - 2].p + tok[n - 2].n - tok[1].p));
    }
    if (name.empty()) return Fail(ps, "empty file name");
    if (!FinishTrack(ps)) return false;
    ps->sheet->files.push_back(CueFile{name, ps->line});
    ps->file_has_track = false;
    ps->file_floor = -1;
    return true;
}

bool OnTrack(Parser* ps, const Token* tok, int n)
{
    if (ps->sheet->files.empty()) return Fail(ps, "TRACK before any FILE");
    if (n != 3) return Fail(ps, "TRACK needs a number and a mode");
    int number;
    if (!ParseNumber(tok[1], 2, &number) || number < 1 || number > kCueMaxTracks)
        return Fail(ps, "bad track number \"%.*s\"", (int)(tok[1].n > 16 ? 16 : tok[1].n), tok[1].p);
    if (!FinishTrack(ps)) return false;
    const CueTrack* prev = CurrentTrack(ps);
    if (prev && number != prev->number + 1)
        return Fail(ps, "track %02d follows track %02d; track numbers must run in sequence", number, prev->number);
    const ModeName* mode = nullptr;
    for (const ModeName& m : kModes)
        if (Equals(tok[2], m.name)) mode = &m;
    if (!mode) return Fail(ps, "unknown track mode \"%.*s\"", (int)(tok[2].n > 32 ? 32 : tok[2].n), tok[2].p);
    CueTrack t{};
    t.number = number;
    t.session = ps->session;
    t.file = (int)ps->sheet->files.size() - 1;
    t.line = ps->line;
    t.mode = mode->mode;
    t.flags = 0;
    t.index0 = -1;
    t.index1 = -1;
    ps->sheet->tracks.push_back(t);
    ps->file_has_track = true;
    ps->track_has_index = false;
    ps->last_index = -1;
    ++ps->session_tracks;
    return true;
}

bool OnIndex(Parser* ps, const Token* tok, int n)
{
    CueTrack* t = CurrentTrack(ps);
    if (!t) return Fail(ps, "INDEX before any TRACK");
    if (n != 3) return Fail(ps, "INDEX needs a number and a time mm:ss:ff");
    if (t->file != (int)ps->sheet->files.size() - 1)
        return Fail(ps, "INDEX of track %02d in a FILE that has no TRACK of its own", t->number);
    int number;
    if (!ParseNumber(tok[1], 2, &number)) return Fail(ps, "bad index number");
    int32_t time;
    if (!ParseTime(tok[2], &time)) return Fail(ps, "bad time \"%.*s\" (mm:ss:ff)", (int)(tok[2].n > 16 ? 16 : tok[2].n), tok[2].p);
    if (number <= ps->last_index) return Fail(ps, "INDEX %02d after INDEX %02d", number, ps->last_index);
    if (number > 1 && t->index1 < 0) return Fail(ps, "INDEX %02d before INDEX 01", number);
    // Times never go back within a file, and each track holds at least one block.
    bool first_of_track = ps->last_index < 0;
    if (time < ps->file_floor || (first_of_track && time == ps->file_floor))
        return Fail(ps, "INDEX %02d at %02d:%02d:%02d is out of order", number, time / (kFramesPerSecond * kSecondsPerMinute),
                    time / kFramesPerSecond % kSecondsPerMinute, time % kFramesPerSecond);
    ps->file_floor = time;
    if (number == 0) t->index0 = time;
    if (number == 1) {
        t->index1 = time;
        t->index1_line = ps->line;
    }
    ps->last_index = number;
    ps->track_has_index = true;
    return true;
}

bool OnGap(Parser* ps, const Token* tok, int n, bool post)
{
    CueTrack* t = CurrentTrack(ps);
    const char* what = post ? "POSTGAP" : "PREGAP";
    if (!t) return Fail(ps, "%s before any TRACK", what);
    if (n != 2) return Fail(ps, "%s needs a time mm:ss:ff", what);
    int32_t time;
    if (!ParseTime(tok[1], &time)) return Fail(ps, "bad time \"%.*s\" (mm:ss:ff)", (int)(tok[1].n > 16 ? 16 : tok[1].n), tok[1].p);
    if (post) {
        if (t->index1 < 0) return Fail(ps, "POSTGAP before INDEX 01");
        t->postgap = time;
        t->postgap_line = ps->line;
    } else {
        if (ps->track_has_index) return Fail(ps, "PREGAP after an INDEX");
        t->pregap = time;
        t->pregap_line = ps->line;
    }
    return true;
}

bool OnFlags(Parser* ps, const Token* tok, int n)
{
    CueTrack* t = CurrentTrack(ps);
    if (!t) return Fail(ps, "FLAGS before any TRACK");
    for (int i = 1; i < n; ++i) {
        const FlagName* f = nullptr;
        for (const FlagName& k : kFlags)
            if (Equals(tok[i], k.name)) f = &k;
        if (!f) return Fail(ps, "unknown flag \"%.*s\"", (int)(tok[i].n > 16 ? 16 : tok[i].n), tok[i].p);
        t->flags |= f->bit;
    }
    return true;
}

bool OnRem(Parser* ps, const Token* tok, int n)
{
    if (n < 2 || !Equals(tok[1], "SESSION")) return true;  // a comment
    int number;
    if (n < 3 || !ParseNumber(tok[2], 2, &number)) return Fail(ps, "REM SESSION needs a session number");
    if (number == ps->session && ps->session_tracks == 0) return true;  // REM SESSION 01 at the top
    if (number != ps->session + 1)
        return Fail(ps, "session %d follows session %d; sessions must run in sequence", number, ps->session);
    if (ps->session_tracks == 0) return Fail(ps, "session %d has no tracks", ps->session);
    if (!FinishTrack(ps)) return false;
    ps->session = number;
    ps->session_tracks = 0;
    return true;
}

bool ParseLine(Parser* ps, const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = (unsigned char)p[i];
        if (c < 0x20 && c != '\t') return Fail(ps, "not a cue sheet (control character 0x%02X)", c);
    }
    Token tok[kMaxTokens];
    int count = Tokenize(p, n, tok, kMaxTokens);
    if (count < 0) return Fail(ps, "missing closing quote");
    if (count == 0) return true;
    const Token& cmd = tok[0];
    if (Equals(cmd, "FILE")) return OnFile(ps, tok, count);
    if (Equals(cmd, "TRACK")) return OnTrack(ps, tok, count);
    if (Equals(cmd, "INDEX")) return OnIndex(ps, tok, count);
    if (Equals(cmd, "PREGAP")) return OnGap(ps, tok, count, false);
    if (Equals(cmd, "POSTGAP")) return OnGap(ps, tok, count, true);
    if (Equals(cmd, "FLAGS")) return OnFlags(ps, tok, count);
    if (Equals(cmd, "REM")) return OnRem(ps, tok, count);
    for (const char* word : kIgnored)
        if (Equals(cmd, word)) return true;
    return Fail(ps, "unknown command \"%.*s\"", (int)(cmd.n > 32 ? 32 : cmd.n), cmd.p);
}

}  // namespace

uint32_t CueModeSectorSize(CueMode mode)
{
    switch (mode) {
    case kCueMode1_2048: return kUserDataSize;
    case kCueMode2_2336: return kMode2DataSize;
    default: return kRawSectorSize;
    }
}

bool ParseCue(const char* text, size_t len, const char* cue_name, CueSheet* sheet, char* err, size_t err_len)
{
    sheet->files.clear();
    sheet->tracks.clear();
    sheet->sessions = 0;
    if (err_len) err[0] = 0;
    Parser ps{cue_name, err, err_len, 0, sheet, 1, 0, false, false, -1, -1};
    if (len > kCueMaxText) return Fail(&ps, "too large for a cue sheet");
    size_t pos = 0;
    if (len >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) pos = 3;  // UTF-8 byte order mark
    while (pos < len) {
        ++ps.line;
        const char* nl = (const char*)memchr(text + pos, '\n', len - pos);
        size_t end = nl ? (size_t)(nl - text) : len;
        size_t n = end - pos;
        if (n && text[pos + n - 1] == '\r') --n;
        if (!ParseLine(&ps, text + pos, n)) return false;
        pos = end + 1;
    }
    if (!FinishTrack(&ps)) return false;
    if (sheet->tracks.empty()) {
        ps.line = ps.line ? ps.line : 1;
        return Fail(&ps, "no TRACK in the cue sheet");
    }
    if (ps.session_tracks == 0) return Fail(&ps, "session %d has no tracks", ps.session);
    sheet->sessions = ps.session;
    return true;
}
