// The CD-ROM command exports: each builds its CDB and repeats the command for
// as long as the user answers Retry.
//
// A command's CDB, parameter list, buffer and length live in its own call:
// while a Retry/Cancel box is open, other windows stay usable and may send
// commands of their own, and Retry must send the identical command again.
#include "internal.h"

#include <stdio.h>

#include "cdb.h"
#include "sense.h"

// Logical block length that reads assume; changed only by cdrMode.
static LONG lBlockSize = kUserDataSize;

enum : DWORD { kMaxTocAllocationLength = 0xFFFF };

// Runs the command until its result is not Retry. after_attempt, when given,
// reads the response of each attempt before its status is examined (the
// sense data is decoded right after the command either way).
static short run_command(HWND owner, HANDLE device, const BYTE* cdb, int cdb_length, void* data,
                         DWORD data_length, int report, void (*after_attempt)(void* ctx) = NULL,
                         void* ctx = NULL)
{
    int result;
    do {
        int status = scsi_cmd(owner, device, cdb, cdb_length, data, data_length);
        if (after_attempt)
            after_attempt(ctx);
        result = (short)scsi_err(owner, device, status, report);
    } while (result == kResultRetry);
    return (short)result;
}

extern "C" LONG WINAPI cdrInit(HWND owner, HANDLE device, LONG report)
{
    BYTE cdb[kCdbAreaSize];
    int length = BuildTestUnitReady(cdb);
    return run_command(owner, device, cdb, length, NULL, 0, report) == CDR_SUCCESS ? 1 : 0;
}

namespace {

struct CapacityRequest {
    BYTE response[kReadCapacityResponseSize];
    LONG* block_length;
    LONG* last_lbn;
};

}  // namespace

static void store_capacity(void* ctx)
{
    CapacityRequest* request = (CapacityRequest*)ctx;
    int32_t last_lbn = 0;
    int32_t block_length = 0;
    ParseReadCapacity(request->response, &last_lbn, &block_length);
    if (request->last_lbn)
        *request->last_lbn = last_lbn;
    if (request->block_length)
        *request->block_length = block_length;
}

extern "C" short WINAPI cdrSize(HWND owner, HANDLE device, LONG* block_length, LONG* last_lbn)
{
    CapacityRequest request = {};
    request.block_length = block_length;
    request.last_lbn = last_lbn;
    BYTE cdb[kCdbAreaSize];
    int length = BuildReadCapacity(cdb);
    return run_command(owner, device, cdb, length, request.response, sizeof request.response, CDR_REPORT,
                       store_capacity, &request);
}

extern "C" short WINAPI cdrToc(HWND owner, HANDLE device, void* buffer, DWORD alloc_length, DWORD format,
                               LONG report)
{
    // The allocation length field holds 16 bits: a larger request asks for
    // 65535 bytes, and the transfer length says the same.
    if (alloc_length > kMaxTocAllocationLength)
        alloc_length = kMaxTocAllocationLength;
    BYTE cdb[kCdbAreaSize];
    int length = BuildReadToc(cdb, alloc_length, format);
    return run_command(owner, device, cdb, length, buffer, alloc_length, report);
}

extern "C" short WINAPI cdrRead(HWND owner, HANDLE device, void* buffer, LONG lbn, DWORD blocks, LONG report)
{
    BYTE cdb[kCdbAreaSize];
    int length = BuildRead10(cdb, lbn, blocks);
    return run_command(owner, device, cdb, length, buffer, Read10DataLength(blocks, lBlockSize), report);
}

extern "C" DWORD WINAPI cdrGetSense(BYTE* buffer, DWORD size)
{
    if (buffer == NULL)
        return 0;
    DWORD n = size < (DWORD)kSenseBufferSize ? size : (DWORD)kSenseBufferSize;
    memcpy(buffer, scsi_sense_buffer(), n);
    return n;
}

extern "C" LONG WINAPI cdrGetLastSession(HANDLE device)
{
    BYTE session[kLastSessionResponseSize] = {};
    DWORD returned = 0;
    if (!device_io_control(device, kIoctlCdromGetLastSession, NULL, 0, session, sizeof session, &returned))
        return -1;
    return ParseLastSession(session, returned);
}

extern "C" short WINAPI cdrEject(HWND owner, HANDLE device)
{
    BYTE cdb[kCdbAreaSize];
    int length = BuildEject(cdb);
    return run_command(owner, device, cdb, length, NULL, 0, CDR_REPORT);
}

extern "C" short WINAPI cdrMode(HWND owner, HANDLE device, LONG block_length)
{
    if (!IsSupportedBlockLength(block_length)) {
        char text[64];
        snprintf(text, sizeof text, "Illigal block size (%ldbyte)", (long)block_length);
        MessageBoxA(owner, text, NULL, MB_OK | MB_ICONINFORMATION);
        return CDR_REFUSED;
    }
    // The new length holds for the following reads even when the drive
    // refuses the mode or the user cancels.
    lBlockSize = block_length;
    BYTE cdb[kCdbAreaSize];
    BYTE parameters[kModeParamListSize];   // mode parameter header and one block descriptor
    int length = BuildModeSelect(cdb, parameters, block_length);
    return run_command(owner, device, cdb, length, parameters, sizeof parameters, CDR_REPORT);
}
