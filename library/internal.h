// What the Win32 files of tamrisk.dll share: the transport, the reporting
// path, device routing and the aligned scratch allocation.
#pragma once

#include <windows.h>
#include <ntddscsi.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "cdb.h"
#include "tamrisk.h"

enum {
    kScsiRequestRecordSize = 80,
    kSenseInfoOffset = 48,
    kSenseInfoLength = 24,
    kSenseBufferSize = 32,
    kScsiTargetId = 1,
    kScsiTimeOutSeconds = 10,
    kScratchBlockSize = kRawSectorSize,   // one raw CD sector
    kCapabilitiesAreaSize = 32,
    kAlignmentMaskOffset = 16,      // IO_SCSI_CAPABILITIES.AlignmentMask
};

// The pass-through request record: SCSI_PASS_THROUGH_DIRECT, a filler and the
// sense buffer. The same 80 bytes go in and come back.
struct ScsiRequestRecord {
    SCSI_PASS_THROUGH_DIRECT sptd;  // [in/out] ScsiStatus comes back
    ULONG filler;
    UCHAR sense[kSenseBufferSize];  // [out] up to SenseInfoLength bytes of sense data
};

#ifndef _WIN64
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44, "SCSI_PASS_THROUGH_DIRECT is 44 bytes on i686");
static_assert(sizeof(ScsiRequestRecord) == kScsiRequestRecordSize, "request record is 80 bytes");
static_assert(offsetof(ScsiRequestRecord, sense) == kSenseInfoOffset, "sense follows at 48");
static_assert(offsetof(IO_SCSI_CAPABILITIES, AlignmentMask) == kAlignmentMaskOffset, "AlignmentMask at 16");
static_assert(sizeof(IO_SCSI_CAPABILITIES) <= kCapabilitiesAreaSize, "capabilities fit their area");
#endif
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x4D014, "pass-through control code");
static_assert(IOCTL_SCSI_GET_CAPABILITIES == 0x41010, "capabilities control code");
// ntddcdrm.h clashes with winioctl.h in mingw-w64; the CD-ROM codes are
// spelled out here.
enum : DWORD {
    kIoctlCdromGetLastSession = CTL_CODE(FILE_DEVICE_CD_ROM, 0x000E, METHOD_BUFFERED, FILE_READ_ACCESS),
    kIoctlCdromCheckVerify = CTL_CODE(FILE_DEVICE_CD_ROM, 0x0200, METHOD_BUFFERED, FILE_READ_ACCESS),
    kIoctlStorageCheckVerify = CTL_CODE(IOCTL_STORAGE_BASE, 0x0200, METHOD_BUFFERED, FILE_READ_ACCESS),
};
static_assert(kIoctlCdromGetLastSession == 0x24038, "last-session control code");
static_assert(IOCTL_DISK_CHECK_VERIFY == 0x74800, "media check control code");
static_assert(kIoctlCdromCheckVerify == 0x24800 && kIoctlStorageCheckVerify == 0x2D4800, "media check codes");

// dllmain.cpp: module instance of the library (its string table).
extern HINSTANCE hInst;

// transport.cpp
// SCSI status byte (0-255) of the command, or -1 when the request failed
// (the failure already shown through PrintError).
int scsi_cmd(HWND owner, HANDLE device, const BYTE* cdb, int cdb_length, void* data, DWORD data_length);
// The sense buffer of the last command (kSenseBufferSize bytes).
const BYTE* scsi_sense_buffer();

// report.cpp
// The command result of a status: CDR_SUCCESS, CDR_FAILED, or kResultRetry
// for the user's Retry.
int scsi_err(HWND owner, HANDLE device, int status, int report);
// Decodes the sense data of the last command (status CHECK CONDITION).
int scsi_request(HWND owner, int report);

// devices.cpp
// The context of a virtual device served by ops; false for other handles.
bool virtual_device_context(HANDLE device, const VirtualDeviceOps* ops, void** ctx);

// vdrive.cpp
// Why the last command of an image device failed to read a block (the image
// reader's reason); false for other handles or when no read failed.
bool image_read_problem(HANDLE device, char* text, size_t text_len);

// DeviceIoControl for any handle: virtual devices go to their handler, the
// last error set from its code on failure; other handles to the platform.
BOOL device_io_control(HANDLE device, DWORD code, void* in, DWORD in_size, void* out,
                       DWORD out_size, DWORD* returned);

// Aligned scratch allocation. The block's address has every bit of mask
// clear and at least size bytes behind it; FreeAlignedBuffer gives back the
// whole underlying allocation. Running out of memory ends the process after
// a message: callers never see null.
[[noreturn]] inline void FatalAllocationError()
{
    MessageBoxA(NULL, "Memory allocation error.  Terminating program\n", NULL, MB_OK | MB_ICONERROR);
    ExitProcess((UINT)-1);
}

inline void* AllocateAlignedBuffer(DWORD size, DWORD mask)
{
    // The allocation's own address is kept just below the aligned block.
    const size_t header = sizeof(void*);
    if ((size_t)mask > SIZE_MAX - header || size > SIZE_MAX - header - mask)
        FatalAllocationError();
    unsigned char* base = (unsigned char*)malloc((size_t)size + mask + header);
    if (!base)
        FatalAllocationError();
    uintptr_t aligned = ((uintptr_t)base + header + mask) & ~(uintptr_t)mask;
    memcpy((void*)(aligned - header), &base, sizeof base);
    return (void*)aligned;
}

inline void FreeAlignedBuffer(void* block)
{
    if (!block)
        return;
    void* base;
    memcpy(&base, (unsigned char*)block - sizeof(void*), sizeof base);
    free(base);
}
