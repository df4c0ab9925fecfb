// cdrdao TOC files. Free-form text: keywords, "strings" with C escapes,
// numbers, MM:SS:FF times and #byte offsets; '//' starts a comment; CD_TEXT
// blocks in braces are skipped. Lengths are samples (audio tracks) or bytes
// (data tracks) unless written as MM:SS:FF blocks. Raw audio files hold
// big-endian samples; WAVE files are not read.
#include "cdrtoc.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "mmc.h"

namespace {

enum { kSampleBytes = 4, kMaxOffsetDigits = 15, kMaxMinutes = 999 };

struct Token {
    const char* p;
    size_t n;
    bool quoted;
    int line;
};

struct Lexer {
    const char* text;
    size_t len;
    size_t pos;
    int line;
    const char* name;
    char* err;
    size_t err_len;
    bool have_peek;
    Token peek;
};

bool FailAt(Lexer* lx, int line, const char* fmt, ...)
{
    int n = snprintf(lx->err, lx->err_len, "%s, line %d: ", lx->name, line);
    if (n >= 0 && (size_t)n < lx->err_len) {
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(lx->err + n, lx->err_len - (size_t)n, fmt, ap);
        va_end(ap);
    }
    return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == 0; }

// Next token; false at the end of the text or on an error (err set then).
bool Scan(Lexer* lx, Token* t, bool* error)
{
    *error = false;
    for (;;) {
        while (lx->pos < lx->len && IsBlank(lx->text[lx->pos]))
            if (lx->text[lx->pos++] == '\n') ++lx->line;
        if (lx->pos + 1 < lx->len && lx->text[lx->pos] == '/' && lx->text[lx->pos + 1] == '/') {
            while (lx->pos < lx->len && lx->text[lx->pos] != '\n') ++lx->pos;
            continue;
        }
        break;
    }
    if (lx->pos >= lx->len) return false;
    t->line = lx->line;
    const char* s = lx->text + lx->pos;
    if (*s == '"') {
        size_t i = lx->pos + 1;
        while (i < lx->len && lx->text[i] != '"' && lx->text[i] != '\n') i += lx->text[i] == '\\' ? 2 : 1;
        if (i >= lx->len || lx->text[i] != '"') {
            *error = true;
            return FailAt(lx, t->line, "unterminated string");
        }
        t->p = s + 1;
        t->n = i - lx->pos - 1;
        t->quoted = true;
        lx->pos = i + 1;
        return true;
    }
    t->p = s;
    t->quoted = false;
    if (*s == '{' || *s == '}' || *s == ',') {
        t->n = 1;
        ++lx->pos;
        return true;
    }
    size_t i = lx->pos;
    while (i < lx->len && !IsBlank(lx->text[i]) && strchr("{}\",", lx->text[i]) == nullptr &&
           !(lx->text[i] == '/' && i + 1 < lx->len && lx->text[i + 1] == '/'))
        ++i;
    t->n = i - lx->pos;
    lx->pos = i;
    return true;
}

bool Next(Lexer* lx, Token* t, bool* error)
{
    if (lx->have_peek) {
        lx->have_peek = false;
        *t = lx->peek;
        *error = false;
        return true;
    }
    return Scan(lx, t, error);
}

// The next token without taking it; null at the end or on an error.
const Token* Peek(Lexer* lx, bool* error)
{
    *error = false;
    if (!lx->have_peek) lx->have_peek = Scan(lx, &lx->peek, error);
    return lx->have_peek ? &lx->peek : nullptr;
}

bool Is(const Token& t, const char* word)
{
    size_t n = strlen(word);
    return !t.quoted && t.n == n && memcmp(t.p, word, n) == 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number of at most kMaxOffsetDigits digits.
bool Decimal(const char* p, size_t n, uint64_t* value)
{
    if (n == 0 || n > kMaxOffsetDigits) return false;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!IsDigit(p[i])) return false;
        v = v * 10 + (uint64_t)(p[i] - '0');
    }
    *value = v;
    return true;
}

// A length: MM:SS:FF (blocks, *blocks true) or a plain number (samples or bytes).
bool Length(const Token& t, uint64_t* value, bool* blocks)
{
    if (t.quoted) return false;
    const char* c1 = (const char*)memchr(t.p, ':', t.n);
    if (!c1) {
        *blocks = false;
        return Decimal(t.p, t.n, value);
    }
    const char* end = t.p + t.n;
    const char* c2 = (const char*)memchr(c1 + 1, ':', (size_t)(end - c1 - 1));
    uint64_t m, s, f;
    if (!c2 || !Decimal(t.p, (size_t)(c1 - t.p), &m) || !Decimal(c1 + 1, (size_t)(c2 - c1 - 1), &s) ||
        !Decimal(c2 + 1, (size_t)(end - c2 - 1), &f) || m > kMaxMinutes || s >= kSecondsPerMinute ||
        f >= kFramesPerSecond)
        return false;
    *blocks = true;
    *value = m * kFramesPerMinute + s * kFramesPerSecond + f;
    return true;
}

bool IsLengthToken(const Token* t) { return t && !t->quoted && t->n > 0 && IsDigit(t->p[0]); }

struct ModeName {
    const char* name;
    CdrTocMode mode;
};
const ModeName kModes[] = {
    {"AUDIO", kCdrAudio},           {"MODE1", kCdrMode1},           {"MODE1_RAW", kCdrMode1Raw},
    {"MODE2", kCdrMode2},           {"MODE2_FORM1", kCdrMode2Form1}, {"MODE2_FORM2", kCdrMode2Form2},
    {"MODE2_FORM_MIX", kCdrMode2FormMix}, {"MODE2_RAW", kCdrMode2Raw},
};

const ModeName* FindMode(const Token& t)
{
    for (const ModeName& m : kModes)
        if (Is(t, m.name)) return &m;
    return nullptr;
}

struct Parser {
    Lexer lx;
    CdrToc* toc;
};

// A token for a message, cut short.
std::string Text(const Token& t) { return std::string(t.p, t.n < 40 ? t.n : 40); }

bool Fail(Parser* ps, int line, const char* fmt, const char* arg = "")
{
    return FailAt(&ps->lx, line, fmt, arg);
}

// Skips a { ... } block (CD-TEXT); nesting counted, so the walk ends with the text.
bool SkipBlock(Parser* ps, int line)
{
    Token t;
    bool error;
    if (!Next(&ps->lx, &t, &error) || !Is(t, "{")) return error ? false : Fail(ps, line, "CD_TEXT without its { block");
    long depth = 1;
    while (depth > 0) {
        if (!Next(&ps->lx, &t, &error)) return error ? false : Fail(ps, line, "CD_TEXT block without its closing }");
        if (Is(t, "{")) ++depth;
        if (Is(t, "}")) --depth;
    }
    return true;
}

bool Expect(Parser* ps, Token* t, int line, const char* what)
{
    bool error;
    if (Next(&ps->lx, t, &error)) return true;
    return error ? false : Fail(ps, line, "%s is missing at the end of the file", what);
}

// Bytes of a length in the current track: blocks of its sector size, or
// samples (audio) or bytes (data).
bool PieceBytes(Parser* ps, const Token& t, const CdrTocTrack& track, uint64_t* bytes)
{
    uint64_t v;
    bool blocks;
    if (!Length(t, &v, &blocks))
        return Fail(ps, t.line, "\"%s\" is not a length (MM:SS:FF or a number)", Text(t).c_str());
    uint32_t unit = blocks ? CdrTocSectorSize(track.mode) + (track.subchannel ? kCdrSubchannelSize : 0)
                           : track.mode == kCdrAudio ? kSampleBytes : 1;
    *bytes = v * unit;
    return true;
}

int FileIndex(CdrToc* toc, const Token& name)
{
    std::string s;
    for (size_t i = 0; i < name.n; ++i) {
        char c = name.p[i];
        if (c == '\\' && i + 1 < name.n) c = name.p[++i];
        s += c;
    }
    for (size_t i = 0; i < toc->files.size(); ++i)
        if (toc->files[i].name == s) return (int)i;
    toc->files.push_back(CdrTocFile{s, name.line});
    return (int)toc->files.size() - 1;
}

// FILE/AUDIOFILE "name" [SWAP] [#offset] start [length] and
// DATAFILE "name" [#offset] [length].
bool ParseFilePiece(Parser* ps, const Token& keyword, CdrTocTrack* track)
{
    bool audio_file = !Is(keyword, "DATAFILE");
    Token name;
    if (!Expect(ps, &name, keyword.line, "the file name")) return false;
    if (!name.quoted) return Fail(ps, name.line, "the file name must be in double quotes");
    if (name.n == 0) return Fail(ps, name.line, "the file name is empty");
    CdrTocPiece piece{FileIndex(ps->toc, name), 0, -1, track->mode == kCdrAudio, keyword.line};
    if (audio_file && DiscEndsWithNoCase(ps->toc->files[piece.file].name.c_str(), ".wav"))
        return Fail(ps, name.line, "WAVE audio files are not read; give the samples as a raw file");
    bool error;
    const Token* t = Peek(&ps->lx, &error);
    if (audio_file && t && Is(*t, "SWAP")) {
        piece.swap = !piece.swap;
        Next(&ps->lx, &name, &error);
        t = Peek(&ps->lx, &error);
    }
    if (t && !t->quoted && t->n > 0 && t->p[0] == '#') {
        if (!Decimal(t->p + 1, t->n - 1, &piece.offset)) return Fail(ps, t->line, "the byte offset is not a number");
        Token skip;
        Next(&ps->lx, &skip, &error);
        t = Peek(&ps->lx, &error);
    }
    if (error) return false;
    if (audio_file) {
        Token start;
        if (!Expect(ps, &start, keyword.line, "the start")) return false;
        uint64_t bytes;
        if (!PieceBytes(ps, start, *track, &bytes)) return false;
        piece.offset += bytes;
        t = Peek(&ps->lx, &error);
    }
    if (IsLengthToken(t)) {
        Token len;
        Next(&ps->lx, &len, &error);
        uint64_t bytes;
        if (!PieceBytes(ps, len, *track, &bytes)) return false;
        if (bytes) piece.length = (int64_t)bytes;  // 0: to the end of the file
    }
    if (error) return false;
    track->pieces.push_back(piece);
    return true;
}

bool ParseZero(Parser* ps, const Token& keyword, CdrTocTrack* track)
{
    Token t;
    if (!Expect(ps, &t, keyword.line, "the length")) return false;
    // ZERO may name a data mode and a subchannel mode before the length.
    while (!IsLengthToken(&t) && (FindMode(t) || Is(t, "RW") || Is(t, "RW_RAW")))
        if (!Expect(ps, &t, keyword.line, "the length")) return false;
    uint64_t bytes;
    if (!PieceBytes(ps, t, *track, &bytes)) return false;
    track->pieces.push_back(CdrTocPiece{-1, 0, (int64_t)bytes, false, keyword.line});
    return true;
}

bool ParseTrackStatement(Parser* ps, const Token& t, CdrTocTrack* track)
{
    Token arg;
    bool error;
    if (Is(t, "NO")) {
        if (!Expect(ps, &arg, t.line, "COPY or PRE_EMPHASIS")) return false;
        if (Is(arg, "COPY")) track->control &= (uint8_t)~kControlCopyPermitted;
        else if (Is(arg, "PRE_EMPHASIS")) track->control &= (uint8_t)~kControlPreEmphasis;
        else return Fail(ps, arg.line, "NO is followed by COPY or PRE_EMPHASIS");
        return true;
    }
    if (Is(t, "COPY")) return track->control |= kControlCopyPermitted, true;
    if (Is(t, "PRE_EMPHASIS")) return track->control |= kControlPreEmphasis, true;
    if (Is(t, "TWO_CHANNEL_AUDIO")) return track->control &= (uint8_t)~kControlFourChannel, true;
    if (Is(t, "FOUR_CHANNEL_AUDIO")) return track->control |= kControlFourChannel, true;
    if (Is(t, "ISRC")) return Expect(ps, &arg, t.line, "the ISRC code");
    if (Is(t, "CD_TEXT")) return SkipBlock(ps, t.line);
    if (Is(t, "SILENCE") || Is(t, "ZERO")) return ParseZero(ps, t, track);
    if (Is(t, "FILE") || Is(t, "AUDIOFILE") || Is(t, "DATAFILE")) return ParseFilePiece(ps, t, track);
    if (Is(t, "FIFO")) return Fail(ps, t.line, "FIFO data cannot be read from an image");
    if (Is(t, "INDEX")) {
        uint64_t v;
        bool blocks;
        if (!Expect(ps, &arg, t.line, "the index position")) return false;
        if (!Length(arg, &v, &blocks) || !blocks) return Fail(ps, arg.line, "INDEX needs a time MM:SS:FF");
        return true;  // index 2 and later are not reported by READ TOC
    }
    if (Is(t, "START") || Is(t, "PREGAP")) {
        if (track->start_pieces >= 0) return Fail(ps, t.line, "a track has one START or PREGAP");
        track->start_line = t.line;
        const Token* p = Peek(&ps->lx, &error);
        if (error) return false;
        uint64_t v = 0;
        bool blocks = false;
        if (Is(t, "PREGAP") || IsLengthToken(p)) {
            if (!Expect(ps, &arg, t.line, "the time")) return false;
            if (!Length(arg, &v, &blocks) || !blocks) return Fail(ps, arg.line, "%s needs a time MM:SS:FF", "");
        }
        if (Is(t, "PREGAP")) {
            if (!track->pieces.empty()) return Fail(ps, t.line, "PREGAP comes before the track's data");
            uint32_t unit = CdrTocSectorSize(track->mode) + (track->subchannel ? kCdrSubchannelSize : 0);
            track->pieces.push_back(CdrTocPiece{-1, 0, (int64_t)(v * unit), false, t.line});
        }
        track->start_pieces = (int)track->pieces.size();
        track->start_blocks = blocks && Is(t, "START") ? (int32_t)v : -1;
        return true;
    }
    return Fail(ps, t.line, "unknown statement \"%s\"", Text(t).c_str());
}

}  // namespace

uint32_t CdrTocSectorSize(CdrTocMode mode)
{
    switch (mode) {
    case kCdrMode1:
    case kCdrMode2Form1: return kUserDataSize;
    case kCdrMode2Form2: return kForm2UserDataSize;
    case kCdrMode2:
    case kCdrMode2FormMix: return kMode2DataSize;
    default: return kRawSectorSize;
    }
}

bool ParseCdrToc(const char* text, size_t len, const char* toc_name, CdrToc* toc, char* err, size_t err_len)
{
    Parser ps{Lexer{text, len, 0, 1, toc_name, err, err_len, false, {}}, toc};
    if (err_len) err[0] = 0;
    *toc = CdrToc{kCdrSessionRom, {}, {}};
    Token t;
    bool error;
    while (Next(&ps.lx, &t, &error)) {
        CdrTocTrack* track = toc->tracks.empty() ? nullptr : &toc->tracks.back();
        if (Is(t, "TRACK")) {
            Token mode;
            if (!Expect(&ps, &mode, t.line, "the track mode")) return false;
            const ModeName* m = FindMode(mode);
            if (!m) return Fail(&ps, mode.line, "unknown track mode");
            if (toc->tracks.size() == kCdrMaxTracks) return Fail(&ps, t.line, "more than 99 tracks");
            CdrTocTrack nt{t.line, m->mode, false, (uint8_t)(m->mode == kCdrAudio ? 0 : kControlDataTrack), {}, -1, -1, 0};
            const Token* sub = Peek(&ps.lx, &error);
            if (sub && (Is(*sub, "RW") || Is(*sub, "RW_RAW"))) {
                nt.subchannel = true;
                Next(&ps.lx, &mode, &error);
            }
            toc->tracks.push_back(nt);
            continue;
        }
        if (!track) {
            if (Is(t, "CD_DA")) toc->type = kCdrSessionDa;
            else if (Is(t, "CD_ROM")) toc->type = kCdrSessionRom;
            else if (Is(t, "CD_ROM_XA")) toc->type = kCdrSessionRomXa;
            else if (Is(t, "CD_I")) toc->type = kCdrSessionI;
            else if (Is(t, "CATALOG")) { if (!Expect(&ps, &t, t.line, "the catalog number")) return false; }
            else if (Is(t, "CD_TEXT")) { if (!SkipBlock(&ps, t.line)) return false; }
            else return Fail(&ps, t.line, "unknown statement before the first TRACK");
            continue;
        }
        if (!ParseTrackStatement(&ps, t, track)) return false;
    }
    if (error) return false;
    if (toc->tracks.empty()) return Fail(&ps, ps.lx.line, "no TRACK");
    return true;
}

bool LooksLikeCdrToc(const char* text, size_t len)
{
    const char* const kFirst[] = {"CD_DA", "CD_ROM", "CD_ROM_XA", "CD_I", "CATALOG", "CD_TEXT", "TRACK"};
    char err[8];
    Lexer lx{text, len, 0, 1, "", err, sizeof err, false, {}};
    Token t;
    bool error;
    if (!Scan(&lx, &t, &error)) return false;
    for (const char* w : kFirst)
        if (Is(t, w)) return true;
    return false;
}

namespace {

uint64_t CeilDiv(uint64_t a, uint64_t b) { return a / b + (a % b != 0); }

}  // namespace

// The model holds one stored run a track: zero blocks, then contiguous
// pieces of one file, then zero blocks, which is what cdrdao itself writes.
bool DiscFromCdrToc(const CdrToc& toc, const char* toc_name, const char* base_dir, Disc* disc, char* err,
                    size_t err_len)
{
    for (const CdrTocFile& f : toc.files) {
        char why[128];
        if (!DiscAddFile(disc, DiscResolveName(base_dir, f.name), why, sizeof why))
            return DiscFail(err, err_len, toc_name, f.line, "cannot open \"%s\" (%s)", f.name.c_str(), why);
    }
    int64_t cursor = 0;
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const CdrTocTrack& c = toc.tracks[i];
        uint32_t sector = CdrTocSectorSize(c.mode);
        uint32_t stride = sector + (c.subchannel ? kCdrSubchannelSize : 0);
        DiscTrack t{};
        t.number = (int)i + 1;
        t.session = 1;
        t.control = c.control;
        t.stride = stride;
        t.file = 0;
        int64_t blocks = 0, pregap = -1;
        int run_state = 0;  // 0 before the stored run, 1 in it, 2 after
        uint64_t run_end = 0;
        for (size_t p = 0; p < c.pieces.size(); ++p) {
            const CdrTocPiece& piece = c.pieces[p];
            if ((int)p == c.start_pieces) pregap = blocks;
            int64_t n;
            if (piece.file < 0) {
                n = (int64_t)CeilDiv((uint64_t)piece.length, stride);
                if (run_state == 1) run_state = 2;
            } else {
                const DiscFile& f = disc->files[piece.file];
                const char* fname = toc.files[piece.file].name.c_str();
                if (piece.offset >= f.size)
                    return DiscFail(err, err_len, toc_name, piece.line, "the data starts past the end of \"%s\"", fname);
                uint64_t bytes = piece.length < 0 ? f.size - piece.offset : (uint64_t)piece.length;
                n = (int64_t)CeilDiv(bytes, stride);
                if (cursor + blocks + n > kMaxLeadout)
                    return DiscFail(err, err_len, toc_name, piece.line, "the disc would end past 99:59:74");
                bool joins = run_state == 1 && piece.file == t.file && piece.offset == run_end && piece.swap == t.swap_audio;
                if (run_state == 2 || (run_state == 1 && !joins))
                    return DiscFail(err, err_len, toc_name, piece.line,
                                   "track %02d takes its data from several places; only one stored run a track is read",
                                   t.number);
                if (run_state == 0) {
                    t.file = piece.file;
                    t.file_offset = piece.offset;
                    t.swap_audio = piece.swap;
                    t.stored_first = (int32_t)blocks;  // relative for now
                    run_state = 1;
                }
                t.stored_count += (int32_t)n;
                run_end = piece.offset + (uint64_t)n * stride;
            }
            blocks += n;
            if (cursor + blocks > kMaxLeadout)
                return DiscFail(err, err_len, toc_name, piece.line, "the disc would end past 99:59:74");
        }
        if (c.start_pieces == (int)c.pieces.size()) pregap = blocks;
        if (c.start_blocks >= 0) pregap = c.start_blocks;
        if (pregap > blocks)
            return DiscFail(err, err_len, toc_name, c.start_line, "the pregap is longer than track %02d", t.number);
        if (pregap < 0) pregap = 0;
        if (blocks == pregap)
            return DiscFail(err, err_len, toc_name, c.line, "track %02d holds no data after its pregap", t.number);
        // Track 1's pregap lies before block 0, where nothing can be read.
        int64_t first = i == 0 ? -pregap : cursor;
        t.pregap_start = (int32_t)(i == 0 ? 0 : first);
        t.start = (int32_t)(first + pregap);
        t.end = (int32_t)(first + blocks);
        t.stored_first = run_state ? (int32_t)(first + t.stored_first) : t.end;
        t.has_sub = c.subchannel && run_state;
        t.sub_file = t.file;
        t.sub_offset = t.file_offset + sector;
        t.sub_stride = stride;
        switch (c.mode) {
        case kCdrAudio: t.mode = kCueAudio; break;
        case kCdrMode1: t.mode = kCueMode1_2048; break;
        case kCdrMode1Raw: t.mode = kCueMode1_2352; break;
        case kCdrMode2Raw: t.mode = kCueMode2_2352; break;
        case kCdrMode2Form1: t.mode = kCueMode2_2336, t.xa_form = 1; break;
        case kCdrMode2Form2: t.mode = kCueMode2_2336, t.xa_form = 2; break;
        case kCdrMode2: t.mode = kCueMode2_2336, t.formless = true; break;
        case kCdrMode2FormMix: t.mode = kCueMode2_2336; break;
        }
        disc->tracks.push_back(t);
        cursor = t.end;
    }
    DiscFinishSessions(disc);
    // The session type, not the track modes, sets the disc type in the TOC.
    if (toc.type == kCdrSessionRomXa) disc->sessions.back().xa = true;
    return true;
}

bool DiscOpenCdrToc(const char* path, Disc* disc, char* err, size_t err_len)
{
    FILE* fp = fopen(path, "rb");
    if (!fp) return snprintf(err, err_len, "%s: cannot open the file", path), false;
    std::vector<char> text(kCdrMaxText + 1);
    size_t len = fread(text.data(), 1, text.size(), fp);
    bool read_error = ferror(fp) != 0;
    fclose(fp);
    if (read_error || len == 0 || len > kCdrMaxText)
        return snprintf(err, err_len, "%s: %s", path, read_error ? "cannot read the file" : len ? "too large for a TOC file"
                                                                                       : "the file is empty"), false;
    CdrToc toc;
    if (!ParseCdrToc(text.data(), len, path, &toc, err, err_len)) return false;
    return DiscFromCdrToc(toc, path, DiscBaseDir(path).c_str(), disc, err, err_len);
}
