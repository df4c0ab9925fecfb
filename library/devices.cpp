// Virtual devices: handles whose device requests are answered by a handler
// (the disc-image drive, test devices) instead of a driver.
#include "internal.h"

namespace {

struct VirtualDevice {
    HANDLE handle;          // an unnamed event of our own: no real handle can equal it while it lives
    VirtualDeviceOps ops;
    void* ctx;
};

enum { kMaxVirtualDevices = 16 };

}  // namespace

static VirtualDevice virtual_devices[kMaxVirtualDevices];

static VirtualDevice* find_virtual(HANDLE device)
{
    if (device == NULL || device == INVALID_HANDLE_VALUE)
        return NULL;
    for (VirtualDevice& d : virtual_devices)
        if (d.handle == device)
            return &d;
    return NULL;
}

bool virtual_device_context(HANDLE device, const VirtualDeviceOps* ops, void** ctx)
{
    VirtualDevice* d = find_virtual(device);
    if (!d || memcmp(&d->ops, ops, sizeof *ops) != 0)
        return false;
    *ctx = d->ctx;
    return true;
}

static DWORD virtual_io_control(VirtualDevice* d, DWORD code, void* in, DWORD in_size, void* out,
                                DWORD out_size, DWORD* returned)
{
    *returned = 0;
    switch (code) {
    case IOCTL_SCSI_PASS_THROUGH_DIRECT: {
        if (!d->ops.pass_through)
            return ERROR_INVALID_FUNCTION;
        if (!in || in_size < sizeof(SCSI_PASS_THROUGH_DIRECT))
            return ERROR_INVALID_PARAMETER;
        DWORD error = d->ops.pass_through(d->ctx, (SCSI_PASS_THROUGH_DIRECT*)in, in_size);
        if (error)
            return error;
        // The record goes back in the output buffer, as a driver returns it.
        if (out && out != in)
            memcpy(out, in, in_size < out_size ? in_size : out_size);
        *returned = out ? (in_size < out_size ? in_size : out_size) : 0;
        return 0;
    }
    case IOCTL_SCSI_GET_CAPABILITIES:
        if (!d->ops.capabilities)
            return ERROR_INVALID_FUNCTION;
        if (!out)
            return ERROR_INVALID_PARAMETER;
        return d->ops.capabilities(d->ctx, out, out_size, returned);
    case kIoctlCdromGetLastSession:
        if (!d->ops.last_session)
            return ERROR_INVALID_FUNCTION;
        if (!out)
            return ERROR_INVALID_PARAMETER;
        return d->ops.last_session(d->ctx, out, out_size, returned);
    // The storage and CD-ROM media checks ask the same as the disk one.
    case IOCTL_DISK_CHECK_VERIFY:
    case kIoctlStorageCheckVerify:
    case kIoctlCdromCheckVerify:
        if (!d->ops.check_verify)
            return ERROR_INVALID_FUNCTION;
        return d->ops.check_verify(d->ctx);
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

BOOL device_io_control(HANDLE device, DWORD code, void* in, DWORD in_size, void* out, DWORD out_size,
                       DWORD* returned)
{
    DWORD local_returned = 0;
    if (!returned)
        returned = &local_returned;
    VirtualDevice* d = find_virtual(device);
    if (!d)
        return DeviceIoControl(device, code, in, in_size, out, out_size, returned, NULL);
    DWORD error = virtual_io_control(d, code, in, in_size, out, out_size, returned);
    // A handler may claim more than the buffer holds; never pass that on.
    if (*returned > out_size)
        *returned = out_size;
    if (error) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

extern "C" HANDLE WINAPI cdrOpenVirtual(const VirtualDeviceOps* ops, void* ctx)
{
    if (!ops) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    for (VirtualDevice& d : virtual_devices) {
        if (d.handle)
            continue;
        HANDLE event = CreateEventA(NULL, TRUE, FALSE, NULL);
        if (!event)
            return INVALID_HANDLE_VALUE;
        d.handle = event;
        d.ops = *ops;
        d.ctx = ctx;
        return event;
    }
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return INVALID_HANDLE_VALUE;
}

extern "C" BOOL WINAPI cdrClose(HANDLE device)
{
    if (device == NULL || device == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    VirtualDevice* d = find_virtual(device);
    if (!d)
        return CloseHandle(device);
    // Take the entry out of the table first, so that nothing the handler's
    // close does can reach it again.
    VirtualDevice closing = *d;
    *d = VirtualDevice();
    if (closing.ops.close)
        closing.ops.close(closing.ctx);
    CloseHandle(closing.handle);
    return TRUE;
}

extern "C" BOOL WINAPI cdrDeviceIoControl(HANDLE device, DWORD code, void* in, DWORD in_size, void* out,
                                          DWORD out_size, DWORD* returned)
{
    return device_io_control(device, code, in, in_size, out, out_size, returned);
}
