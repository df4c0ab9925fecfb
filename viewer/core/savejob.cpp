// Save jobs: items carried out a batch of blocks at a time.
#include "savejob.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include <algorithm>

#include "bytes.h"
#include "dumpformat.h"

namespace {

// Blocks one read asks for: 27 raw sectors stay under the 64 KiB that adapters
// (and the virtual one) move at once.
enum { kMaxBatch = 65536 / kRawSectorSize };

bool UsesBlocks(SaveItemKind kind) { return kind != kSaveFolder && kind != kSaveText; }

bool MakeFolder(const std::string& path)
{
#ifdef _WIN32
    int rc = _mkdir(path.c_str());
#else
    int rc = mkdir(path.c_str(), 0777);
#endif
    if (rc == 0 || errno != EEXIST)
        return rc == 0;
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

SaveState Fail(SaveJob* job, SaveError error, int errnum, const std::string& path)
{
    if (job->out != NULL) {
        fclose(job->out);
        job->out = NULL;
        remove(job->outPath.c_str());
    }
    job->error = error;
    job->errnum = errnum;
    job->errorPath = path;
    return job->state = kSaveFailed;
}

bool Write(SaveJob* job, const void* data, size_t len)
{
    if (len == 0)
        return true;
    if (fwrite(data, 1, len, job->out) != len) {
        Fail(job, kSaveWriteFailed, errno ? errno : EIO, job->outPath);
        return false;
    }
    job->itemBytes += len;
    return true;
}

// Opens the current item's file; false (job failed) when it cannot be made.
bool OpenItem(SaveJob* job, const SaveItem& item)
{
    errno = 0;
    job->out = fopen(item.path.c_str(), "wb");
    if (job->out == NULL) {
        Fail(job, kSaveCannotCreate, errno ? errno : EIO, item.path);
        return false;
    }
    job->outPath = item.path;
    job->itemBytes = 0;
    if (item.kind == kSaveText)
        return Write(job, item.text.data(), item.text.size());
    if (item.kind == kSaveCdxa) {
        uint64_t blocks = 0;
        for (const SaveExtent& e : item.extents)
            blocks += e.blocks;
        uint8_t header[kCdxaHeaderSize];
        BuildCdxaHeader(header, (uint32_t)std::min<uint64_t>(blocks, UINT32_MAX / kRawSectorSize), item.xa);
        return Write(job, header, sizeof header);
    }
    return true;
}

bool CloseItem(SaveJob* job)
{
    FILE* fp = job->out;
    job->out = NULL;
    errno = 0;
    if (fflush(fp) != 0 || ferror(fp)) {
        int e = errno ? errno : EIO;
        fclose(fp);
        job->out = fp = NULL;
        remove(job->outPath.c_str());
        Fail(job, kSaveWriteFailed, e, job->outPath);
        return false;
    }
    if (fclose(fp) != 0) {
        remove(job->outPath.c_str());
        Fail(job, kSaveWriteFailed, errno ? errno : EIO, job->outPath);
        return false;
    }
    ++job->nFiles;
    return true;
}

// The bytes one block gives to its item.
bool WriteBlock(SaveJob* job, const SaveItem& item, const SaveExtent& extent, const uint8_t* raw)
{
    uint32_t offset = 0, length = kRawSectorSize;
    if (item.kind == kSaveUserData) {
        offset = raw[kModeOffset] == 2 ? kXaUserDataOffset : kDataOffset;
        length = kUserDataSize;
        uint64_t done = (uint64_t)job->block * kUserDataSize;
        if (extent.bytes - done < length)
            length = (uint32_t)(extent.bytes - done);
    } else if (item.kind == kSaveDetected) {
        UserDataSpan span = DetectUserData(raw, kRawSectorSize);
        offset = span.offset;
        length = span.length;
    }
    return Write(job, raw + offset, length);
}

void NoteUnreadable(SaveJob* job, int32_t lbn)
{
    if (job->unreadable.size() < kSaveMaxListed)
        job->unreadable.push_back(lbn);
    ++job->nUnreadable;
}

// Reads count blocks; a failed batch is read again block by block so that
// only the blocks that really fail become zeros.
void ReadBlocks(SaveJob* job, int32_t lbn, uint32_t count, uint8_t* raw)
{
    if (job->pfnRead(job->pReadContext, lbn, count, raw))
        return;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* one = raw + (size_t)i * kRawSectorSize;
        if (count == 1 || !job->pfnRead(job->pReadContext, lbn + (int32_t)i, 1, one)) {
            memset(one, 0, kRawSectorSize);
            NoteUnreadable(job, lbn + (int32_t)i);
        }
    }
}

}  // namespace

SaveItem MakeSaveItem(SaveItemKind kind, const std::string& path)
{
    SaveItem item;
    item.kind = kind;
    item.path = path;
    memset(item.xa, 0, sizeof item.xa);
    item.hasDate = false;
    memset(item.date, 0, sizeof item.date);
    item.skip = false;
    return item;
}

void StartSaveJob(SaveJob* job, std::vector<SaveItem> items, int32_t leadout, SaveReader pfnRead,
                  void* pReadContext)
{
    *job = SaveJob();
    job->items = std::move(items);
    job->leadout = leadout;
    job->pfnRead = pfnRead;
    job->pReadContext = pReadContext;
    job->state = kSaveRunning;
    for (SaveItem& item : job->items) {
        if (!UsesBlocks(item.kind) || item.skip)
            continue;
        bool cut = false;
        for (SaveExtent& e : item.extents) {
            int64_t room = e.lbn < 0 ? 0 : std::max<int64_t>(0, (int64_t)leadout - e.lbn);
            if ((int64_t)e.blocks > room) {
                cut = true;
                e.blocks = (uint32_t)room;
                if (item.kind == kSaveUserData)
                    e.bytes = std::min<uint64_t>(e.bytes, (uint64_t)room * kUserDataSize);
            }
            job->totalBlocks += e.blocks;
        }
        if (cut)
            job->cut.push_back(item.path);
    }
}

SaveState StepSaveJob(SaveJob* job, uint32_t maxBlocks)
{
    static uint8_t raw[kMaxBatch * kRawSectorSize];
    uint32_t budget = std::max<uint32_t>(1, maxBlocks);
    while (job->state == kSaveRunning && budget > 0) {
        if (job->item >= job->items.size())
            return job->state = kSaveDone;
        const SaveItem& item = job->items[job->item];
        if (item.skip) {
            ++job->item;
            continue;
        }
        if (item.kind == kSaveFolder) {
            if (!MakeFolder(item.path))
                return Fail(job, kSaveFolderFailed, errno ? errno : EIO, item.path);
            ++job->item;
            continue;
        }
        if (job->out == NULL) {
            if (!OpenItem(job, item))
                return job->state;
            job->extent = 0;
            job->block = 0;
        }
        if (job->extent >= item.extents.size()) {
            if (!CloseItem(job))
                return job->state;
            ++job->item;
            continue;
        }
        const SaveExtent& e = item.extents[job->extent];
        if (job->block >= e.blocks) {
            ++job->extent;
            job->block = 0;
            continue;
        }
        uint32_t count = std::min<uint32_t>(std::min<uint32_t>(e.blocks - job->block, budget), kMaxBatch);
        ReadBlocks(job, e.lbn + (int32_t)job->block, count, raw);
        for (uint32_t i = 0; i < count; ++i, ++job->block)
            if (!WriteBlock(job, item, e, raw + (size_t)i * kRawSectorSize))
                return job->state;
        job->doneBlocks += count;
        budget -= count;
    }
    return job->state;
}

void CancelSaveJob(SaveJob* job)
{
    if (job->out != NULL) {
        fclose(job->out);
        job->out = NULL;
        remove(job->outPath.c_str());
    }
    if (job->state == kSaveRunning)
        job->state = kSaveCancelled;
}

SaveState RunSaveJob(SaveJob* job, uint32_t batch)
{
    while (StepSaveJob(job, batch) == kSaveRunning) {
    }
    return job->state;
}

void BuildCdxaHeader(uint8_t* out44, uint32_t blocks, const uint8_t* xa14)
{
    uint32_t dataBytes = blocks * (uint32_t)kRawSectorSize;
    memset(out44, 0, kCdxaHeaderSize);
    memcpy(out44, "RIFF", 4);
    put_le32(out44 + 4, dataBytes + kCdxaHeaderSize - 8);
    memcpy(out44 + 8, "CDXA", 4);
    memcpy(out44 + 12, "fmt ", 4);
    put_le32(out44 + 16, 16);
    memcpy(out44 + 20, xa14, kXaSystemUseSize);  // bytes 34-35 stay zero
    memcpy(out44 + 36, "data", 4);
    put_le32(out44 + 40, dataBytes);
}
