// A virtual device (through cdrOpenVirtual) that records every request record
// it receives and answers each SCSI command from a script.
#pragma once
#include <windows.h>

#include <deque>
#include <stdint.h>
#include <vector>

#include "tamrisk.h"

struct ScsiReply {
    uint8_t status = 0;            // SCSI status byte
    std::vector<uint8_t> sense;    // written at SenseInfoOffset, at most SenseInfoLength bytes
    std::vector<uint8_t> data;     // written to DataBuffer, at most DataTransferLength bytes
    DWORD error = 0;               // nonzero: the request itself fails with this Win32 code
};

struct SentCommand {
    std::vector<uint8_t> record;   // the request record as it arrived (record_size bytes)
    std::vector<uint8_t> cdb;      // CdbLength bytes
    const void* data_buffer;       // DataBuffer as sent
    DWORD data_length;
    std::vector<uint8_t> data_out; // what DataBuffer held when the command arrived
};

struct ScriptedDevice {
    std::deque<ScsiReply> replies;  // consumed in order; GOOD with no data once empty
    std::vector<SentCommand> sent;

    DWORD alignment_mask = 0;
    std::vector<uint8_t> last_session;   // the CDROM_TOC_SESSION_DATA answer
    DWORD check_verify_error = 0;

    HANDLE handle = INVALID_HANDLE_VALUE;

    ScriptedDevice();                    // opens the virtual device
    ~ScriptedDevice();                   // closes it unless already closed
    ScriptedDevice(const ScriptedDevice&) = delete;
    ScriptedDevice& operator=(const ScriptedDevice&) = delete;

    void Reply(const ScsiReply& reply) { replies.push_back(reply); }
};

// A CHECK CONDITION reply with fixed-format sense data (response code 0x70)
// of 8 + additional_length bytes.
ScsiReply CheckCondition(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t additional_length = 10);
