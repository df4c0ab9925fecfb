// Disc verify: the plan from the TOC and the batched walk.
#include "verify.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "bytes.h"
#include "cdtime.h"
#include "mmc.h"
#include "sector.h"
#include "tocreport.h"

namespace {

enum { kMaxTrack = 99 };

struct TocEntry {
    int session;
    int point;     // 1-99 a track, kPointLeadout the session's lead-out
    bool data;
    int32_t lbn;
};

// Descriptors between the header and the end of both the buffer and the response.
uint32_t DescriptorEnd(const uint8_t* resp, uint32_t size)
{
    if (size < kTocHeaderSize)
        return 0;
    uint32_t end = 2 + (uint32_t)get_be16(resp);
    return end < size ? end : size;
}

bool BuildPlan(std::vector<TocEntry> entries, VerifyPlan* plan)
{
    memset(plan, 0, sizeof *plan);
    std::sort(entries.begin(), entries.end(), [](const TocEntry& a, const TocEntry& b) {
        return a.session != b.session ? a.session < b.session : a.lbn < b.lbn;
    });
    int32_t previous_leadout = -1;
    bool any = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const TocEntry& t = entries[i];
        if (t.point == kPointLeadout) {
            previous_leadout = t.lbn;
            continue;
        }
        // The track ends at the next entry of its session: a track or the lead-out.
        if (i + 1 >= entries.size() || entries[i + 1].session != t.session)
            continue;  // a session without a lead-out: its last track has no known end
        const TocEntry& next = entries[i + 1];
        if (previous_leadout >= 0 && t.lbn > previous_leadout && (i == 0 || entries[i - 1].session != t.session))
            plan->skipped += t.lbn - previous_leadout;  // lead-out and lead-in between sessions
        int32_t end = next.lbn;
        if (t.lbn < 0 || end <= t.lbn)
            continue;
        any = true;
        int32_t count = end - t.lbn;
        if (!t.data) {
            plan->skipped += count;
            continue;
        }
        if (next.point != kPointLeadout && !next.data && count > kVerifyPostgapBlocks) {
            count -= kVerifyPostgapBlocks;
            plan->skipped += kVerifyPostgapBlocks;
        }
        if (plan->extent_count < kVerifyMaxExtents) {
            plan->extents[plan->extent_count++] = VerifyExtent{t.lbn, count};
            plan->total += count;
        }
    }
    return any;
}

}  // namespace

bool VerifyPlanFromFullToc(const uint8_t* resp, uint32_t size, VerifyPlan* plan)
{
    std::vector<TocEntry> entries;
    uint32_t end = DescriptorEnd(resp, size);
    for (uint32_t at = kTocHeaderSize; at + kFullDescriptorSize <= end; at += kFullDescriptorSize) {
        const uint8_t* d = resp + at;
        int point = d[3];
        if ((d[1] >> 4) != 1 || !((point >= 1 && point <= kMaxTrack) || point == kPointLeadout))
            continue;
        entries.push_back(TocEntry{d[0], point, (d[1] & kControlDataTrack) != 0, FullTocBlockAddress(d)});
    }
    return BuildPlan(entries, plan);
}

bool VerifyPlanFromTrackToc(const uint8_t* resp, uint32_t size, VerifyPlan* plan)
{
    std::vector<TocEntry> entries;
    uint32_t end = DescriptorEnd(resp, size);
    for (uint32_t at = kTocHeaderSize; at + kTrackDescriptorSize <= end; at += kTrackDescriptorSize) {
        const uint8_t* d = resp + at;
        int track = d[2];
        if (!((track >= 1 && track <= kMaxTrack) || track == kTocLeadoutTrack))
            continue;
        entries.push_back(TocEntry{1, track == kTocLeadoutTrack ? kPointLeadout : track, (d[1] & kControlDataTrack) != 0,
                                   TrackTocBlockAddress(d)});
    }
    return BuildPlan(entries, plan);
}

void VerifyStart(VerifyRun* run, const VerifyPlan& plan, int block_len)
{
    run->plan = plan;
    run->block_len = block_len == kRawSectorSize - kSyncSize ? block_len : kRawSectorSize;
    run->extent = 0;
    run->offset = 0;
    run->done = run->failed = run->unreadable = 0;
    run->failures.clear();
    run->buffer.assign((size_t)kVerifyBatchBlocks * kRawSectorSize, 0);
}

bool VerifyFinished(const VerifyRun& run)
{
    return run.extent >= run.plan.extent_count;
}

bool VerifyStep(VerifyRun* run, VerifyReadFn read, void* ctx)
{
    while (!VerifyFinished(*run) && run->offset >= run->plan.extents[run->extent].count) {
        ++run->extent;
        run->offset = 0;
    }
    if (VerifyFinished(*run))
        return false;
    const VerifyExtent& e = run->plan.extents[run->extent];
    int count = std::min<int32_t>(kVerifyBatchBlocks, e.count - run->offset);
    int32_t lbn = e.first + run->offset;
    VerifyBlockStatus status[kVerifyBatchBlocks] = {};
    read(ctx, lbn, count, run->buffer.data(), status);
    const bool raw = run->block_len == kRawSectorSize;
    uint8_t image[kRawSectorSize];
    for (int i = 0; i < count; ++i) {
        VerifyFailure f = {};
        f.lbn = lbn + i;
        if (status[i].unreadable) {
            f.unreadable = true;
            f.sense = status[i];
            ++run->unreadable;
        } else {
            const uint8_t* block = run->buffer.data() + (size_t)i * run->block_len;
            if (!raw) {
                memcpy(image, kSyncPattern, kSyncSize);
                memcpy(image + kSyncSize, block, kRawSectorSize - kSyncSize);
                block = image;
            }
            f.check = CheckRawSector(block, f.lbn, raw ? 0 : kCheckIgnoreSync);
            if (!f.check.faults)
                continue;
            ++run->failed;
        }
        if (run->failures.size() < kVerifyMaxListed)
            run->failures.push_back(f);
    }
    run->offset += count;
    run->done += count;
    return true;
}

void FormatVerifyLine(const VerifyFailure& f, const char* sense_text, char* line, size_t size)
{
    char time[16];
    FormatCdTime(time, sizeof time, f.lbn <= INT32_MAX - kPregapBlocks ? f.lbn + kPregapBlocks : INT32_MAX);
    if (f.unreadable) {
        snprintf(line, size, "%7ld  %s  %-13s  unreadable %02X/%02X/%02X %s", (long)f.lbn, time, "-",
                 f.sense.sense_key, f.sense.asc, f.sense.ascq, sense_text ? sense_text : "");
        return;
    }
    char faults[96];
    FormatCheckFaults(f.check, faults, sizeof faults);
    snprintf(line, size, "%7ld  %s  %-13s  %s", (long)f.lbn, time, CheckKindName(f.check.kind), faults);
}

void FormatVerifySummary(const VerifyRun& run, bool cancelled, uint32_t elapsed_ms, char* text, size_t size)
{
    unsigned seconds = elapsed_ms / 1000, tenths = elapsed_ms % 1000 / 100;
    if (run.plan.total == 0) {
        snprintf(text, size, "No data blocks to verify (%lld blocks skipped).", (long long)run.plan.skipped);
        return;
    }
    if (!cancelled && run.failed == 0 && run.unreadable == 0) {
        snprintf(text, size, "All %lld blocks are sound (%lld skipped, %u.%u s).", (long long)run.done,
                 (long long)run.plan.skipped, seconds, tenths);
        return;
    }
    size_t listed = run.failures.size();
    char more[48] = "";
    if (listed < (size_t)(run.failed + run.unreadable))
        snprintf(more, sizeof more, " (the first %d listed)", (int)kVerifyMaxListed);
    snprintf(text, size, "%sChecked %lld of %lld, failed %lld, unreadable %lld, skipped %lld, %u.%u s%s",
             cancelled ? "Cancelled. " : "", (long long)run.done, (long long)run.plan.total, (long long)run.failed,
             (long long)run.unreadable, (long long)run.plan.skipped, seconds, tenths, more);
}
