// READ TOC: track descriptors carry binary M, S, F (MSF bit) or LBAs; the
// full TOC carries the Q subcode of the lead-in, times in BCD (ECMA-130 22.3.4).
#include "toc.h"

#include "bytes.h"
#include "mmc.h"

namespace {

// The largest minute a BCD time and a binary MSF byte hold.
enum { kMaxBcdMinutes = 99, kMaxBinaryMinutes = 255 };

// Last possible lead-out start of an 80-minute disc, and the start of the
// first lead-in reported in C0 (the values a blank 80-minute CD-R carries).
const uint8_t kMaxLeadoutMsf[3] = {0x79, 0x59, 0x74};
const uint8_t kFirstLeadinMsf[3] = {0x97, 0x26, 0x66};

void PutAddress(uint8_t* p, int32_t lba, bool msf)
{
    if (!msf) {
        put_be32(p, (uint32_t)lba);
        return;
    }
    p[0] = 0;
    FramesToMsf((int64_t)lba + kPregapBlocks, kMaxBinaryMinutes, p + 1, p + 2, p + 3);
}

void PutBcdMsf(uint8_t* p, int32_t lba)
{
    uint8_t m, s, f;
    FramesToMsf((int64_t)lba + kPregapBlocks, kMaxBcdMinutes, &m, &s, &f);
    p[0] = to_bcd(m);
    p[1] = to_bcd(s);
    p[2] = to_bcd(f);
}

uint8_t AdrControl(int adr, uint8_t control) { return (uint8_t)((adr << 4) | (control & 0x0F)); }

void TrackDescriptor(std::vector<uint8_t>* out, uint8_t control, int number, int32_t lba, bool msf)
{
    uint8_t d[kTrackDescriptorSize] = {};
    d[kTrackDescAdrControl] = AdrControl(kAdrPosition, control);
    d[kTrackDescNumber] = (uint8_t)number;
    PutAddress(d + kTrackDescAddress, lba, msf);
    out->insert(out->end(), d, d + sizeof d);
}

// One full-TOC descriptor with TNO 0; time (MIN SEC FRAME) null for zeros.
void FullDescriptor(std::vector<uint8_t>* out, int session, int adr, uint8_t control, uint8_t point,
                    const uint8_t* time, uint8_t zero, const uint8_t* ptime)
{
    uint8_t d[kFullDescriptorSize] = {};
    d[kFullDescSession] = (uint8_t)session;
    d[kFullDescAdrControl] = AdrControl(adr, control);
    d[kFullDescPoint] = point;
    if (time) d[kFullDescMin] = time[0], d[kFullDescSec] = time[1], d[kFullDescFrame] = time[2];
    d[kFullDescZero] = zero;
    d[kFullDescPmin] = ptime[0], d[kFullDescPsec] = ptime[1], d[kFullDescPframe] = ptime[2];
    out->insert(out->end(), d, d + sizeof d);
}

void FullSession(const Disc& disc, size_t index, std::vector<uint8_t>* out)
{
    const DiscSession& s = disc.sessions[index];
    const DiscTrack& first = disc.tracks[s.first_track];
    const DiscTrack& last = disc.tracks[s.last_track];
    uint8_t p[3] = {to_bcd(first.number), (uint8_t)(s.xa ? kDiscTypeXa : kDiscTypeCdrom), 0};
    FullDescriptor(out, s.number, kAdrPosition, first.control, kPointFirstTrack, nullptr, 0, p);
    p[0] = to_bcd(last.number);
    p[1] = 0;
    FullDescriptor(out, s.number, kAdrPosition, last.control, kPointLastTrack, nullptr, 0, p);
    PutBcdMsf(p, s.leadout);
    FullDescriptor(out, s.number, kAdrPosition, last.control, kPointLeadout, nullptr, 0, p);
    for (int i = s.first_track; i <= s.last_track; ++i) {
        const DiscTrack& t = disc.tracks[i];
        PutBcdMsf(p, t.start);
        FullDescriptor(out, s.number, kAdrPosition, t.control, to_bcd(t.number), nullptr, 0, p);
    }
    if (disc.sessions.size() < 2) return;
    bool first_session = index == 0;
    if (index + 1 < disc.sessions.size()) {
        // B0: where the next session's program area starts (after this
        // session's lead-out and the next lead-in), and the last possible
        // lead-out. ZERO counts the Mode 5 pointers of this lead-in.
        int32_t leadout_len = first_session ? kLeadoutFirstSession : kLeadoutLaterSession;
        uint8_t next[3];
        PutBcdMsf(next, s.leadout + leadout_len + kLeadinBlocks);
        FullDescriptor(out, s.number, kAdrMode5, first.control, kPointNextArea, next, first_session ? 2 : 1,
                       kMaxLeadoutMsf);
    }
    if (first_session) {
        const uint8_t none[3] = {0, 0, 0};
        FullDescriptor(out, s.number, kAdrMode5, first.control, kPointFirstLeadIn, none, 0, kFirstLeadinMsf);
    }
}

}  // namespace

void FramesToMsf(int64_t frames, int max_minutes, uint8_t* m, uint8_t* s, uint8_t* f)
{
    if (frames < 0) frames = 0;
    int64_t minutes = frames / kFramesPerMinute;
    if (minutes > max_minutes) {
        *m = (uint8_t)max_minutes;
        *s = kSecondsPerMinute - 1;
        *f = kFramesPerSecond - 1;
        return;
    }
    *m = (uint8_t)minutes;
    *s = (uint8_t)(frames / kFramesPerSecond % kSecondsPerMinute);
    *f = (uint8_t)(frames % kFramesPerSecond);
}

bool BuildTocResponse(const Disc& disc, int format, bool msf, int start, std::vector<uint8_t>* out)
{
    out->assign(kTocHeaderSize, 0);
    if (disc.sessions.empty()) return false;
    const DiscSession& last_session = disc.sessions.back();
    switch (format) {
    case kTocFormatTrack: {
        const DiscTrack& first = disc.tracks.front();
        const DiscTrack& last = disc.tracks.back();
        if (start > last.number && start != kTocLeadoutTrack) return false;
        (*out)[kTocFirst] = (uint8_t)first.number;
        (*out)[kTocLast] = (uint8_t)last.number;
        for (const DiscTrack& t : disc.tracks)
            if (t.number >= start) TrackDescriptor(out, t.control, t.number, t.start, msf);
        TrackDescriptor(out, last.control, kTocLeadoutTrack, last_session.leadout, msf);
        break;
    }
    case kTocFormatSession: {
        const DiscTrack& t = disc.tracks[last_session.first_track];
        (*out)[kTocFirst] = (uint8_t)disc.sessions.front().number;
        (*out)[kTocLast] = (uint8_t)last_session.number;
        TrackDescriptor(out, t.control, t.number, t.start, msf);
        break;
    }
    case kTocFormatFull: {
        if (start > last_session.number) return false;
        (*out)[kTocFirst] = (uint8_t)disc.sessions.front().number;
        (*out)[kTocLast] = (uint8_t)last_session.number;
        // A TOC the image recorded is answered as recorded.
        for (size_t i = 0; i + kFullDescriptorSize <= disc.recorded_toc.size(); i += kFullDescriptorSize)
            if (disc.recorded_toc[i] >= start)
                out->insert(out->end(), &disc.recorded_toc[i], &disc.recorded_toc[i] + kFullDescriptorSize);
        for (size_t i = 0; i < disc.sessions.size() && disc.recorded_toc.empty(); ++i)
            if (disc.sessions[i].number >= start) FullSession(disc, i, out);
        break;
    }
    default:
        return false;
    }
    put_be16(out->data() + kTocDataLength, (uint32_t)(out->size() - kTocDataLengthSize));
    return true;
}
