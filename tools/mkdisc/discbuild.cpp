// Sessions and tracks: the layout of the disc's tracks in blocks, with the
// gaps a multisession disc leaves between its sessions, and audio tracks.
#include "discbuild.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "bytes.h"
#include "discbuild_internal.h"

namespace discbuild {

bool Fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}

bool ReadHostFile(const std::string& path, size_t limit, bool truncate, std::vector<uint8_t>* bytes,
                  std::string* error)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return Fail(error, "cannot open " + path);
    bytes->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (bytes->size() + n > limit) {
            if (!truncate) {
                fclose(f);
                return Fail(error, path + " is too large");
            }
            n = limit - bytes->size();
        }
        bytes->insert(bytes->end(), buffer, buffer + n);
        if (bytes->size() == limit && truncate)
            break;
    }
    bool ok = !ferror(f);
    fclose(f);
    return ok || Fail(error, "cannot read " + path);
}

}  // namespace discbuild

using namespace discbuild;

namespace {

// CD audio: 44,100 stereo frames a second of two 16-bit samples each.
enum { kSampleRate = 44100, kStereoFrameSize = 4 };

// Audio blocks from a PCM file (44.1 kHz, 16-bit stereo) or, without one, a sine tone.
bool AudioBlocks(const DiscTrackSpec& t, std::vector<BuiltBlock>* blocks, std::string* error)
{
    std::vector<uint8_t> pcm;
    if (!t.pcm.empty()) {
        bool truncate = t.blocks != 0;
        size_t limit = (size_t)(truncate ? t.blocks : kMaxDiscBlocks) * kRawSectorSize;
        if (!ReadHostFile(t.pcm, limit, truncate, &pcm, error))
            return false;
    }
    int32_t count = t.blocks ? t.blocks : (int32_t)((pcm.size() + kRawSectorSize - 1) / kRawSectorSize);
    if (count <= 0)
        return Fail(error, "empty audio track");
    pcm.resize((size_t)count * kRawSectorSize, 0);
    if (t.pcm.empty() && t.tone_hz > 0) {
        const double kTwoPi = 6.283185307179586;
        for (size_t s = 0; s < pcm.size() / kStereoFrameSize; ++s) {
            int v = (int)lround(8000.0 * sin(kTwoPi * t.tone_hz * (double)s / kSampleRate));
            put_le16(&pcm[s * kStereoFrameSize], (uint32_t)(uint16_t)v);
            put_le16(&pcm[s * kStereoFrameSize + 2], (uint32_t)(uint16_t)v);
        }
    }
    size_t at = blocks->size();
    blocks->resize(at + (size_t)count);
    for (int32_t i = 0; i < count; ++i) {
        BuiltBlock& b = (*blocks)[at + (size_t)i];
        b.type = kSectorAudio;
        SetEmptySubheader(&b, false);
        memcpy(b.data, &pcm[(size_t)i * kRawSectorSize], kRawSectorSize);
    }
    return true;
}

void ZeroBlocks(std::vector<BuiltBlock>* blocks, int32_t count, TrackKind kind)
{
    BuiltBlock b;
    b.type = kind == kTrackAudio ? kSectorAudio : kind == kTrackMode2 ? kSectorMode2Form1 : kSectorMode1;
    SetEmptySubheader(&b, kind == kTrackMode2);
    memset(b.data, 0, sizeof b.data);
    blocks->insert(blocks->begin(), (size_t)count, b);
}

}  // namespace

bool BuildDisc(const DiscPlan& plan, BuiltDisc* disc, std::string* error)
{
    *disc = BuiltDisc();
    disc->damage = plan.damage;
    Volume volume;
    volume.nodes.push_back(Node());
    volume.nodes[0].is_dir = true;
    int32_t next_start = 0;
    int track_number = 0;
    for (size_t s = 0; s < plan.sessions.size(); ++s) {
        const DiscSessionSpec& ss = plan.sessions[s];
        std::vector<DiscTrackSpec> tracks = ss.tracks;
        if (!ss.entries.empty() && (tracks.empty() || tracks[0].kind == kTrackAudio)) {
            DiscTrackSpec data;
            bool form2 = false;
            for (const DiscEntrySpec& e : ss.entries)
                form2 = form2 || e.form2;
            data.kind = plan.xa == 1 || form2 ? kTrackMode2 : kTrackMode1;
            tracks.insert(tracks.begin(), data);
        }
        if (tracks.empty())
            return Fail(error, "session " + std::to_string(s + 1) + " is empty");
        for (const DiscEntrySpec& e : ss.entries)
            if (!AddEntry(&volume, e, (int)s, error))
                return false;
        if (s > 0)
            next_start += s == 1 ? kFirstSessionGap : kLaterSessionGap;
        disc->session_start.push_back(next_start);
        for (size_t ti = 0; ti < tracks.size(); ++ti) {
            const DiscTrackSpec& ts = tracks[ti];
            BuiltTrack t;
            t.number = ++track_number;
            t.session = (int)s + 1;
            t.kind = ts.kind;
            if (ti == 0) {
                // The pregap of a session's first track lies inside the session gap.
                t.pregap = (s > 0 && ts.pregap_given && ts.pregap_stored) ? kPregapBlocks : 0;
                t.pregap_stored = t.pregap > 0;
            } else {
                t.pregap = ts.pregap >= 0 ? ts.pregap : kPregapBlocks;
                t.pregap_stored = ts.pregap_stored;
                next_start += t.pregap;
            }
            t.start = next_start;
            if (ts.kind == kTrackAudio) {
                if (!AudioBlocks(ts, &t.blocks, error))
                    return false;
            } else {
                if (ts.kind == kTrackMode1)
                    for (const DiscEntrySpec& e : ss.entries)
                        if (e.form2)
                            return Fail(error, e.path + ": Form 2 files need a Mode 2 track");
                VolumeJob job{&plan, &volume, (int)s, t.start, plan.xa == 1 || (plan.xa < 0 && ts.kind == kTrackMode2),
                              ts.kind == kTrackMode2, HostileSet{&ss.hostile}, &t.blocks, disc};
                for (const DiscHostileSpec& h : ss.hostile)
                    if (h.kind == "truncate")
                        disc->truncate_blocks = h.blocks;
                if (!BuildVolume(job, error))
                    return false;
            }
            if (t.pregap_stored)
                ZeroBlocks(&t.blocks, t.pregap, t.kind);
            next_start += t.Length();
            if (next_start > kMaxDiscBlocks)
                return Fail(error, "the disc is full");
            if (track_number > 99)
                return Fail(error, "more than 99 tracks");
            disc->tracks.push_back(std::move(t));
        }
        disc->session_leadout.push_back(next_start);
    }
    for (const DiscSessionSpec& ss : plan.sessions)
        for (const DiscHostileSpec& h : ss.hostile)
            if (!h.path.empty()) {
                const BuiltEntry* e = FindDiscEntry(*disc, h.path);
                if (!e)
                    return Fail(error, "hostile " + h.kind + ": no entry " + h.path);
                if (h.kind != "name-overrun" && !e->is_dir)
                    return Fail(error, "hostile " + h.kind + ": " + h.path + " is not a directory");
            }
    return true;
}

bool MakeDiscImage(const std::string& script, const std::string& path, const DiscWriteOptions& options,
                   std::string* error)
{
    DiscPlan plan;
    BuiltDisc disc;
    return ParseDiscScript(script, std::string(), &plan, error) && BuildDisc(plan, &disc, error) &&
           WriteDiscImage(disc, path, options, error);
}

const BuiltEntry* FindDiscEntry(const BuiltDisc& disc, const std::string& path, int session)
{
    int wanted = session;
    if (wanted == 0)
        for (const BuiltEntry& e : disc.entries)
            wanted = std::max(wanted, e.session);
    for (const BuiltEntry& e : disc.entries)
        if (e.session == wanted && e.path == path)
            return &e;
    return nullptr;
}
