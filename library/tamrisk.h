// tamrisk.dll: CD-ROM device control through SCSI pass-through, failure
// reporting with Retry/Cancel, and display utilities for dialogs.
//
// Every export is __stdcall and exported by its plain name. Command results
// (short) are CDR_SUCCESS, CDR_FAILED and CDR_REFUSED; a report flag of
// CDR_SILENT makes a command fail silently with CDR_FAILED, CDR_REPORT (any
// nonzero value) asks the user Retry/Cancel (core/cdrresult.h).
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include "core/cdrresult.h"

#ifdef __cplusplus
extern "C" {
#endif

// --- Transport -------------------------------------------------------------

// Reads the adapter's capabilities (its buffer alignment) from the device.
// 1 on success; 0 after a "SCSI Get Capability error" box owned by owner.
BOOL WINAPI iscsi(HWND owner, HANDLE device);

// --- CD-ROM commands -------------------------------------------------------

// TEST UNIT READY: 1 when the unit is ready (CDR_SUCCESS), else 0.
LONG WINAPI cdrInit(HWND owner, HANDLE device, LONG report);
// READ CAPACITY: the drive's block length and the LBN of the last block.
// The outputs are meaningful only when the result is CDR_SUCCESS.
short WINAPI cdrSize(HWND owner, HANDLE device, LONG* block_length, LONG* last_lbn);
// READ TOC in MSF form from track 1; buffer holds alloc_length bytes
// (0-65535), format 0-3.
short WINAPI cdrToc(HWND owner, HANDLE device, void* buffer, DWORD alloc_length, DWORD format,
                    LONG report);
// READ(10) of the low 16 bits of `blocks` at the block length last set by
// cdrMode (kUserDataSize until then); buffer holds blocks * block length bytes.
short WINAPI cdrRead(HWND owner, HANDLE device, void* buffer, LONG lbn, DWORD blocks, LONG report);
// The sense data (fixed format) of the last command, so that a caller that
// asked for no report can still tell why it failed. Copies at most size
// bytes (32 are kept) and returns how many.
DWORD WINAPI cdrGetSense(BYTE* buffer, DWORD size);
// Start address of the first track of the last session, or -1 (no message).
LONG WINAPI cdrGetLastSession(HANDLE device);
// START STOP UNIT with LoEj: ejects the disc.
short WINAPI cdrEject(HWND owner, HANDLE device);
// MODE SELECT(6) with a block descriptor: kUserDataSize, kNoSyncSectorSize or
// kRawSectorSize (core/cdgeometry.h). Any other length is refused with a
// message box and CDR_REFUSED, nothing sent.
short WINAPI cdrMode(HWND owner, HANDLE device, LONG block_length);

// --- Reporting -------------------------------------------------------------

// Shows the system text of `code`, the code and `text` under the caption
// "Vorant Library"; returns the box's answer.
int WINAPI PrintError(HWND owner, DWORD code, LPCSTR text);

// --- Display and dialog utilities ------------------------------------------

// The text of string `id` of `module` ("" when it has none). The buffer is
// shared and valid until the next call.
LPSTR WINAPI SetString(HINSTANCE module, UINT id);
// CD time fields ("%02d") of a frame count (LBN + kPregapBlocks for a block). Each
// output holds 4 bytes; a minutes value of more than three characters shows
// as "***". Returns the length of the frames text.
int WINAPI BlkToTime(LONG frames, LPSTR minutes, LPSTR seconds, LPSTR frames_text);
// "mm:ss:ff" of a frame count into text (12 bytes hold any result); returns
// its length.
int WINAPI SetTextTime(LPSTR text, LONG frames);
BOOL WINAPI SetDlgItemTime(HWND dialog, int minutes_id, int seconds_id, int frames_id, LONG frames);
BOOL WINAPI SetDlgItemLong(HWND dialog, int id, LONG value);
// Reads the control's text as atol does (0 for no number); also stored
// through value when it is not null.
LONG WINAPI GetDlgItemLong(HWND dialog, int id, LONG* value);
// Shows the first n characters of a fixed-width field that need not be
// terminated (stops early at a terminator). Returns 0.
int WINAPI SetDlgItemNText(HWND dialog, int id, LPCSTR text, int n);
// Centres the window on the screen.
BOOL WINAPI CenteringWindow(HWND window);

// --- Devices ---------------------------------------------------------------

// A virtual device: a table entry whose handler answers the four device
// requests in place of a driver.
struct VirtualDeviceOps {
    // Each returns a Win32 error code, 0 for success.
    // [in/out] the 80-byte request record: the handler fills ScsiStatus, the
    // sense data at SenseInfoOffset (SenseInfoLength bytes) and DataBuffer
    // (DataTransferLength bytes).
    DWORD (*pass_through)(void* ctx, SCSI_PASS_THROUGH_DIRECT* record, DWORD record_size);
    DWORD (*capabilities)(void* ctx, void* out, DWORD out_size, DWORD* returned); // IO_SCSI_CAPABILITIES
    DWORD (*last_session)(void* ctx, void* out, DWORD out_size, DWORD* returned); // CDROM_TOC_SESSION_DATA
    DWORD (*check_verify)(void* ctx);                                             // IOCTL_DISK_CHECK_VERIFY
    void (*close)(void* ctx);
};

// A handle for a virtual device, unique among all handles while it lives;
// INVALID_HANDLE_VALUE when the table is full or ops is null.
HANDLE WINAPI cdrOpenVirtual(const struct VirtualDeviceOps* ops, void* ctx);
// Closes a virtual device (calling ops->close) or a real device handle.
BOOL WINAPI cdrClose(HANDLE device);
// Opens a disc image (.iso, .bin/.img, .cue, .toc, .ccd, .mds, .nrg, .chd) read-only as a virtual device; INVALID_HANDLE_VALUE after a box naming the file and the fault.
HANDLE WINAPI cdrOpenImage(HWND owner, LPCSTR path);
// DeviceIoControl that also serves virtual devices (synchronous only).
BOOL WINAPI cdrDeviceIoControl(HANDLE device, DWORD code, void* in, DWORD in_size, void* out,
                               DWORD out_size, DWORD* returned);

#ifdef __cplusplus
}
#endif
