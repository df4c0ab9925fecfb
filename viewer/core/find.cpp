// Find: pattern parsing, the byte matcher and the batched disc search.
#include "find.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "textutil.h"

namespace {

typedef uint64_t Word;
const Word kOnes = 0x0101010101010101ull;
const Word kLow7 = 0x7F7F7F7F7F7F7F7Full;

// 0x80 in each byte of v that is zero, and nowhere else.
inline Word ZeroBytes(Word v) { return ~(((v & kLow7) + kLow7) | v | kLow7); }

inline Word Load(const uint8_t* p)
{
    Word w;
    memcpy(&w, p, sizeof w);
    return w;
}

// Whether any of the eight bytes at p equals a or b.
inline bool AnyOf(const uint8_t* p, Word a, Word b)
{
    Word w = Load(p);
    return (ZeroBytes(w ^ a) | ZeroBytes(w ^ b)) != 0;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char OtherCase(char c)
{
    if (c >= 'a' && c <= 'z')
        return (char)(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
        return (char)(c - 'A' + 'a');
    return c;
}

// Scanned first: a byte other than the fillers of blank sectors (00, FF,
// space), so that long runs of them are skipped a word at a time.
uint32_t PickAnchor(const FindPattern& p)
{
    for (uint32_t i = 0; i < p.length; ++i) {
        uint8_t b = p.bytes[i];
        if (b != 0x00 && b != 0xFF && b != 0x20)
            return i;
    }
    return 0;
}

inline bool MatchAt(const FindPattern& p, const uint8_t* s)
{
    for (uint32_t i = 0; i < p.length; ++i)
        if (s[i] != p.bytes[i] && s[i] != p.alt[i])
            return false;
    return true;
}

FindPatternError ParseHex(const char* text, FindPattern* p, char bad_char[3])
{
    uint32_t group = 0;
    int high = -1;
    for (const char* c = text;; ++c) {
        if (*c == '\0' || IsBlank(*c)) {
            if (group % 2 != 0)
                return kFindPatternOddDigits;
            group = 0;
            if (*c == '\0')
                break;
            continue;
        }
        int v = HexValue(*c);
        if (v < 0) {
            bool pair = IsCp932LeadByte((uint8_t)*c) && c[1] != '\0';
            bad_char[0] = *c;
            bad_char[1] = pair ? c[1] : '\0';
            bad_char[2] = '\0';
            return kFindPatternBadChar;
        }
        ++group;
        if (high < 0) {
            high = v;
            continue;
        }
        if (p->length == kFindMaxPattern)
            return kFindPatternTooLong;
        p->bytes[p->length] = p->alt[p->length] = (uint8_t)(high << 4 | v);
        ++p->length;
        high = -1;
    }
    return kFindPatternOk;
}

FindPatternError ParseText(const char* text, bool ignore_case, FindPattern* p)
{
    for (const char* c = text; *c != '\0'; ++c) {
        if (p->length == kFindMaxPattern)
            return kFindPatternTooLong;
        p->bytes[p->length] = p->alt[p->length] = (uint8_t)*c;
        if (IsCp932LeadByte((uint8_t)*c) && c[1] != '\0') {
            // The second byte of a pair stays as typed.
            if (++p->length == kFindMaxPattern)
                return kFindPatternTooLong;
            ++c;
            p->bytes[p->length] = p->alt[p->length] = (uint8_t)*c;
        } else if (ignore_case) {
            p->alt[p->length] = (uint8_t)OtherCase(*c);
        }
        ++p->length;
    }
    return kFindPatternOk;
}

// Sector search state: the pane of data a block gives, and the starts of it
// that the search position lets through.
struct SectorData {
    int32_t lbn;
    const uint8_t* data;
    uint32_t length;
    UserDataSpan user;
    uint32_t lo, hi;   // eligible starts
};

void Hit(FindRun* run, int32_t lbn, uint32_t offset, const UserDataSpan& user)
{
    run->found = true;
    run->hit = FindHit{lbn, offset, run->raw, user};
}

// The carry for the next sector: the tail (forward) or the head (backward) of this one.
void KeepCarry(FindRun* run, const SectorData& s)
{
    uint32_t n = std::min<uint32_t>(run->pattern.length - 1, s.length);
    run->carry_len = n;
    run->carry_lbn = s.lbn;
    run->carry_user = s.user;
    run->carry_base = run->backward ? 0 : s.length - n;
    run->carry_first_start = s.lo > run->carry_base ? s.lo - run->carry_base : 0;
    memcpy(run->carry, s.data + run->carry_base, n);
}

void SearchForward(FindRun* run, const SectorData& s)
{
    const uint32_t m = run->pattern.length;
    if (run->carry_len > 0) {
        uint8_t joint[2 * kFindMaxPattern];
        uint32_t head = std::min<uint32_t>(m - 1, s.length), c = run->carry_len;
        memcpy(joint, run->carry, c);
        memcpy(joint + c, s.data, head);
        size_t hi = c + head >= m ? std::min<size_t>(c, c + head - m + 1) : 0;
        long at = FindFirstIn(run->pattern, joint, c + head, run->carry_first_start, hi);
        if (at >= 0)
            return Hit(run, run->carry_lbn, run->carry_base + (uint32_t)at, run->carry_user);
    }
    if (s.length >= m) {
        long at = FindFirstIn(run->pattern, s.data, s.length, s.lo, std::min<size_t>(s.hi, s.length - m + 1));
        if (at >= 0)
            return Hit(run, s.lbn, (uint32_t)at, s.user);
    }
    KeepCarry(run, s);
}

void SearchBackward(FindRun* run, const SectorData& s)
{
    const uint32_t m = run->pattern.length;
    if (run->carry_len > 0) {
        uint8_t joint[2 * kFindMaxPattern];
        uint32_t tail = std::min<uint32_t>(m - 1, s.length), c = run->carry_len, base = s.length - tail;
        memcpy(joint, s.data + base, tail);
        memcpy(joint + tail, run->carry, c);
        size_t lo = s.lo > base ? s.lo - base : 0;
        size_t hi = s.hi > base ? s.hi - base : 0;
        if (tail + c >= m)
            hi = std::min<size_t>(hi, tail + c - m + 1);
        else
            hi = 0;
        long at = FindLastIn(run->pattern, joint, tail + c, lo, hi);
        if (at >= 0)
            return Hit(run, s.lbn, base + (uint32_t)at, s.user);
    }
    if (s.length >= m) {
        long at = FindLastIn(run->pattern, s.data, s.length, s.lo, std::min<size_t>(s.hi, s.length - m + 1));
        if (at >= 0)
            return Hit(run, s.lbn, (uint32_t)at, s.user);
    }
    KeepCarry(run, s);
}

void SearchSector(FindRun* run, int32_t lbn, const uint8_t* image)
{
    SectorData s;
    s.lbn = lbn;
    s.user = DetectUserData(image, kRawSectorSize);
    s.data = run->raw ? image : image + s.user.offset;
    s.length = run->raw ? (uint32_t)kRawSectorSize : s.user.length;
    s.lo = 0;
    s.hi = s.length;
    if (lbn == run->cursor_lbn) {
        uint32_t at = std::min(run->cursor_offset, s.length);
        if (run->backward)
            s.hi = at;
        else
            s.lo = at;
    } else if (run->backward && lbn > run->cursor_lbn) {
        s.hi = 0;   // read only for the head a match before the position may run into
    }
    // Only a neighbour's bytes continue this sector's.
    if (run->carry_len > 0 && run->carry_lbn != (run->backward ? lbn + 1 : lbn - 1))
        run->carry_len = 0;
    if (run->backward)
        SearchBackward(run, s);
    else
        SearchForward(run, s);
}

// Moves to the extent holding the next block to read; false past the last.
bool NextBlockInPlan(FindRun* run)
{
    const VerifyPlan& p = run->plan;
    while (run->extent >= 0 && run->extent < p.extent_count) {
        const VerifyExtent& e = p.extents[run->extent];
        const int32_t end = e.first + e.count;
        if (run->backward) {
            run->next = std::min(run->next, end - 1);
            if (run->next >= e.first)
                return true;
            --run->extent;
        } else {
            run->next = std::max(run->next, e.first);
            if (run->next < end)
                return true;
            ++run->extent;
        }
    }
    return false;
}

}  // namespace

FindPatternError ParseFindPattern(const char* text, FindPatternKind kind, bool ignore_case, FindPattern* pattern,
                                  char bad_char[3])
{
    memset(pattern, 0, sizeof *pattern);
    bad_char[0] = '\0';
    FindPatternError e = kind == kFindHexBytes ? ParseHex(text, pattern, bad_char)
                                               : ParseText(text, ignore_case, pattern);
    if (e == kFindPatternOk && pattern->length == 0)
        e = kFindPatternEmpty;
    if (e != kFindPatternOk)
        pattern->length = 0;
    pattern->anchor = PickAnchor(*pattern);
    return e;
}

long FindFirstIn(const FindPattern& p, const uint8_t* data, size_t size, size_t lo, size_t hi)
{
    if (p.length == 0 || size < p.length)
        return -1;
    hi = std::min(hi, size - p.length + 1);
    const uint32_t k = p.anchor;
    const uint8_t a = p.bytes[k], b = p.alt[k];
    const Word wa = kOnes * a, wb = kOnes * b;
    size_t s = lo;
    while (s < hi) {
        if (a == b) {
            const void* q = memchr(data + s + k, a, hi - s);
            if (q == nullptr)
                return -1;
            s = (size_t)((const uint8_t*)q - data) - k;
        } else {
            while (s + sizeof(Word) <= hi && !AnyOf(data + s + k, wa, wb))
                s += sizeof(Word);
            if (s >= hi)
                return -1;
            if (data[s + k] != a && data[s + k] != b) {
                ++s;
                continue;
            }
        }
        if (MatchAt(p, data + s))
            return (long)s;
        ++s;
    }
    return -1;
}

long FindLastIn(const FindPattern& p, const uint8_t* data, size_t size, size_t lo, size_t hi)
{
    if (p.length == 0 || size < p.length)
        return -1;
    hi = std::min(hi, size - p.length + 1);
    const uint32_t k = p.anchor;
    const uint8_t a = p.bytes[k], b = p.alt[k];
    const Word wa = kOnes * a, wb = kOnes * b;
    size_t s = hi;   // candidates below s
    while (s > lo) {
        while (s >= lo + sizeof(Word) && !AnyOf(data + s - sizeof(Word) + k, wa, wb))
            s -= sizeof(Word);
        if (s <= lo)
            return -1;
        --s;
        if ((data[s + k] == a || data[s + k] == b) && MatchAt(p, data + s))
            return (long)s;
    }
    return -1;
}

void FindStart(FindRun* run, const FindPattern& pattern, const VerifyPlan& plan, bool backward, bool raw,
               int32_t lbn, uint32_t offset, int block_len)
{
    run->pattern = pattern;
    run->backward = backward;
    run->raw = raw;
    run->block_len = block_len == kNoSyncSectorSize ? block_len : kRawSectorSize;
    run->plan = plan;
    run->cursor_lbn = lbn;
    run->cursor_offset = offset;
    run->carry_len = 0;
    run->done = run->total = run->unreadable = 0;
    run->first_unreadable = -1;
    run->found = false;
    run->hit = FindHit{};
    run->buffer.assign((size_t)kVerifyBatchBlocks * kRawSectorSize, 0);
    // Backward the block after the position is read too, for the head of a
    // match that starts before the position and runs into it.
    run->next = backward && lbn < INT32_MAX ? lbn + 1 : lbn;
    // The blocks to read: the plan's on the search's side of the position.
    for (int i = 0; i < plan.extent_count; ++i) {
        const VerifyExtent& e = plan.extents[i];
        int64_t end = (int64_t)e.first + e.count;
        if (backward)
            run->total += std::max<int64_t>(0, std::min<int64_t>(end, (int64_t)run->next + 1) - e.first);
        else
            run->total += std::max<int64_t>(0, end - std::max<int64_t>(e.first, lbn));
    }
    // Forward the walk starts in the first extent and moves up, backward in
    // the last and moves down; NextBlockInPlan passes the extents beyond.
    run->extent = backward ? plan.extent_count - 1 : 0;
}

bool FindStep(FindRun* run, VerifyReadFn read, void* ctx)
{
    if (run->found || !NextBlockInPlan(run))
        return false;
    const VerifyExtent& e = run->plan.extents[run->extent];
    int count, first;
    if (run->backward) {
        count = (int)std::min<int64_t>(kVerifyBatchBlocks, (int64_t)run->next - e.first + 1);
        first = run->next - count + 1;
    } else {
        count = (int)std::min<int64_t>(kVerifyBatchBlocks, (int64_t)e.first + e.count - run->next);
        first = run->next;
    }
    VerifyBlockStatus status[kVerifyBatchBlocks] = {};
    read(ctx, first, count, run->buffer.data(), status);
    uint8_t image[kRawSectorSize];
    for (int n = 0; n < count && !run->found; ++n) {
        int i = run->backward ? count - 1 - n : n;
        int32_t lbn = first + i;
        ++run->done;
        if (status[i].unreadable) {
            if (run->unreadable++ == 0)
                run->first_unreadable = lbn;
            run->carry_len = 0;
            continue;
        }
        const uint8_t* block = run->buffer.data() + (size_t)i * run->block_len;
        if (run->block_len != kRawSectorSize) {
            // A block read without its sync: the sync goes in front of it.
            WriteSyncPattern(image, sizeof image);
            memcpy(image + kSyncSize, block, kNoSyncSectorSize);
            block = image;
        }
        SearchSector(run, lbn, block);
    }
    run->next = run->backward ? first - 1 : first + count;
    return !run->found;
}

FindSelection FindHitInPane(const FindHit& hit, uint32_t length, bool pane_raw)
{
    uint32_t first = (hit.raw ? 0 : hit.user.offset) + hit.offset;
    uint32_t end = first + length;
    uint32_t lo = pane_raw ? 0 : hit.user.offset;
    uint32_t hi = pane_raw ? (uint32_t)kRawSectorSize : hit.user.offset + hit.user.length;
    first = std::max(first, lo);
    end = std::min(end, hi);
    if (first >= end)
        return FindSelection{0, 0};
    return FindSelection{first - lo, end - lo};
}

void AddFindHistory(FindHistory* history, const char* text, bool hex)
{
    bool newest_hex;
    const char* newest = GetFindHistory(history, 0, &newest_hex);
    if (newest != nullptr && newest_hex == hex && strcmp(newest, text) == 0)
        return;
    // The ring stores the slot it writes: its own next index.
    int32_t next = history->slots.next;
    int32_t slot = next >= 0 && next < kFindHistorySize ? next : 0;
    AddHistory(&history->slots, slot);
    snprintf(history->text[slot], kFindTextSize, "%s", text);
    history->hex[slot] = hex;
}

const char* GetFindHistory(const FindHistory* history, int i, bool* hex)
{
    int32_t slot;
    if (!GetHistory(&history->slots, i, &slot) || slot < 0 || slot >= kFindHistorySize)
        return nullptr;
    *hex = history->hex[slot];
    return history->text[slot];
}
