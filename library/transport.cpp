// Pass-through transport: one SCSI command through IOCTL_SCSI_PASS_THROUGH_DIRECT,
// and the adapter's capabilities.
#include "internal.h"

#include <stdio.h>

static ScsiRequestRecord sptdwb;
static BYTE capabilities[kCapabilitiesAreaSize];

// The scratch block carries no data, so an adapter that claims an alignment
// wider than this (a wild value) gets this one rather than a huge allocation.
static const DWORD kMaxScratchAlignmentMask = 0xFFFF;

const BYTE* scsi_sense_buffer()
{
    return sptdwb.sense;
}

static DWORD alignment_mask()
{
    DWORD mask;
    memcpy(&mask, capabilities + kAlignmentMaskOffset, sizeof mask);
    return mask > kMaxScratchAlignmentMask ? kMaxScratchAlignmentMask : mask;
}

extern "C" BOOL WINAPI iscsi(HWND owner, HANDLE device)
{
    // Read into a block of our own: a failed request must leave the last
    // good capabilities untouched.
    BYTE answer[kCapabilitiesAreaSize] = {};
    DWORD returned = 0;
    if (device_io_control(device, IOCTL_SCSI_GET_CAPABILITIES, NULL, 0, answer, sizeof answer, &returned)) {
        memcpy(capabilities, answer, sizeof capabilities);
        return 1;
    }
    char text[64];
    snprintf(text, sizeof text, "SCSI Get Capability error %d", (int)GetLastError());
    MessageBoxA(owner, text, "TAMRISK", MB_OK | MB_ICONWARNING);
    return 0;
}

int scsi_cmd(HWND owner, HANDLE device, const BYTE* cdb, int cdb_length, void* data, DWORD data_length)
{
    void* scratch = AllocateAlignedBuffer(kScratchBlockSize, alignment_mask());
    memset(&sptdwb, 0, sizeof sptdwb);
    memset(scratch, 0, kScratchBlockSize);

    if (cdb_length < 0)
        cdb_length = 0;
    if (cdb_length > (int)sizeof sptdwb.sptd.Cdb)
        cdb_length = (int)sizeof sptdwb.sptd.Cdb;
    if (cdb)
        memcpy(sptdwb.sptd.Cdb, cdb, (size_t)cdb_length);

    SCSI_PASS_THROUGH_DIRECT& sptd = sptdwb.sptd;
    sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    sptd.PathId = 0;
    sptd.TargetId = kScsiTargetId;
    sptd.Lun = 0;
    sptd.CdbLength = (UCHAR)cdb_length;
    sptd.SenseInfoLength = kSenseInfoLength;
    sptd.DataIn = SCSI_IOCTL_DATA_UNSPECIFIED;
    sptd.DataTransferLength = data ? data_length : 0;
    sptd.TimeOutValue = kScsiTimeOutSeconds;
    sptd.DataBuffer = data;
    sptd.SenseInfoOffset = kSenseInfoOffset;

    DWORD returned = 0;
    BOOL ok = device_io_control(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &sptdwb, sizeof sptdwb, &sptdwb,
                                sizeof sptdwb, &returned);
    if (!ok) {
        DWORD error = GetLastError();
        PrintError(owner, error, "SCSI I/O Control Error");
        FreeAlignedBuffer(scratch);
        return -1;
    }
    FreeAlignedBuffer(scratch);
    return sptdwb.sptd.ScsiStatus;
}
