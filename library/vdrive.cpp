// cdrOpenImage: a disc image served as a device handle. The handler answers
// the four device requests from the portable disc model and SCSI target.
#include <windows.h>
#include <ntddscsi.h>
#include <stdio.h>

#include <new>
#include <vector>

#include "disc.h"
#include "internal.h"
#include "target.h"
#include "toc.h"
#include "tamrisk.h"
#include "tamrisk_ids.h"

namespace {

enum {
    kMaxTransferLength = 0x10000,    // what the adapter claims to move at once
    kAlignmentMask = 3,              // 4-byte aligned buffers
    kMessageSize = 768,
};

struct ImageDevice {
    Disc disc;
    Target target;
};

DWORD image_pass_through(void* ctx, SCSI_PASS_THROUGH_DIRECT* record, DWORD record_size)
{
    ImageDevice* device = static_cast<ImageDevice*>(ctx);
    if (record_size < sizeof *record || record->CdbLength > sizeof record->Cdb)
        return ERROR_INVALID_PARAMETER;
    if (record->DataTransferLength && !record->DataBuffer)
        return ERROR_INVALID_PARAMETER;
    // The sense area must lie inside the record, after its fixed part.
    BYTE* sense = NULL;
    DWORD sense_length = record->SenseInfoLength;
    if (sense_length) {
        DWORD offset = record->SenseInfoOffset;
        if (offset < sizeof *record || offset > record_size || sense_length > record_size - offset)
            return ERROR_INVALID_PARAMETER;
        sense = reinterpret_cast<BYTE*>(record) + offset;
    }
    int status = TargetExecute(&device->target, record->Cdb, record->CdbLength,
                               static_cast<uint8_t*>(record->DataBuffer), record->DataTransferLength, sense,
                               sense_length);
    record->ScsiStatus = (UCHAR)status;
    return 0;
}

DWORD image_capabilities(void*, void* out, DWORD out_size, DWORD* returned)
{
    IO_SCSI_CAPABILITIES caps = {};
    if (out_size < sizeof caps)
        return ERROR_INSUFFICIENT_BUFFER;
    caps.Length = sizeof caps;
    caps.MaximumTransferLength = kMaxTransferLength;
    caps.MaximumPhysicalPages = kMaxTransferLength / 4096 + 1;
    caps.AlignmentMask = kAlignmentMask;
    memcpy(out, &caps, sizeof caps);
    *returned = sizeof caps;
    return 0;
}

// CDROM_TOC_SESSION_DATA is the READ TOC session-format response with LBAs:
// first and last complete session, then the first track of the last session.
DWORD image_last_session(void* ctx, void* out, DWORD out_size, DWORD* returned)
{
    const ImageDevice* device = static_cast<const ImageDevice*>(ctx);
    if (out_size < kTocHeaderSize + kTrackDescriptorSize)
        return ERROR_INSUFFICIENT_BUFFER;
    std::vector<uint8_t> response;
    if (!TargetMediumPresent(&device->target) ||
        !BuildTocResponse(device->disc, kTocFormatSession, false, 0, &response))
        return ERROR_NOT_READY;
    memcpy(out, response.data(), response.size());
    *returned = (DWORD)response.size();
    return 0;
}

DWORD image_check_verify(void* ctx)
{
    return TargetMediumPresent(&static_cast<ImageDevice*>(ctx)->target) ? 0 : ERROR_NOT_READY;
}

void image_close(void* ctx)
{
    ImageDevice* device = static_cast<ImageDevice*>(ctx);
    DiscClose(&device->disc);
    delete device;
}

const VirtualDeviceOps kImageOps = {image_pass_through, image_capabilities, image_last_session,
                                    image_check_verify, image_close};

}  // namespace

bool image_read_problem(HANDLE device, char* text, size_t text_len)
{
    void* ctx;
    if (!virtual_device_context(device, &kImageOps, &ctx))
        return false;
    const Target& target = static_cast<ImageDevice*>(ctx)->target;
    if (!target.read_problem[0])
        return false;
    snprintf(text, text_len, "%s", target.read_problem);
    return true;
}

namespace {

void show_image_error(HWND owner, const char* text)
{
    char caption[128];
    if (LoadStringA(hInst, IDS_CDR_IMAGE_CAPTION, caption, sizeof caption) <= 0)
        snprintf(caption, sizeof caption, "%s", "TAMRISK");
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONERROR);
}

}  // namespace

extern "C" HANDLE WINAPI cdrOpenImage(HWND owner, LPCSTR path)
{
    char message[kMessageSize];
    if (!path || !*path) {
        show_image_error(owner, "No disc image file was given.");
        return INVALID_HANDLE_VALUE;
    }
    ImageDevice* device = new (std::nothrow) ImageDevice();
    if (!device) {
        snprintf(message, sizeof message, "%s: not enough memory to open the disc image", path);
        show_image_error(owner, message);
        return INVALID_HANDLE_VALUE;
    }
    if (!DiscOpen(path, &device->disc, message, sizeof message)) {
        delete device;
        show_image_error(owner, message);
        return INVALID_HANDLE_VALUE;
    }
    TargetInit(&device->target, &device->disc);
    HANDLE handle = cdrOpenVirtual(&kImageOps, device);
    if (handle == INVALID_HANDLE_VALUE) {
        image_close(device);
        snprintf(message, sizeof message, "%s: too many devices are open", path);
        show_image_error(owner, message);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}
