#include "scripted_device.h"

#include <string.h>

namespace {

DWORD PassThrough(void* ctx, SCSI_PASS_THROUGH_DIRECT* record, DWORD record_size)
{
    ScriptedDevice* device = (ScriptedDevice*)ctx;
    SentCommand sent;
    const uint8_t* bytes = (const uint8_t*)record;
    sent.record.assign(bytes, bytes + record_size);
    size_t cdb_length = record->CdbLength < sizeof record->Cdb ? record->CdbLength : sizeof record->Cdb;
    sent.cdb.assign(record->Cdb, record->Cdb + cdb_length);
    sent.data_buffer = record->DataBuffer;
    sent.data_length = record->DataTransferLength;
    if (record->DataBuffer && record->DataTransferLength) {
        const uint8_t* data = (const uint8_t*)record->DataBuffer;
        sent.data_out.assign(data, data + record->DataTransferLength);
    }
    device->sent.push_back(sent);

    ScsiReply reply;
    if (!device->replies.empty()) {
        reply = device->replies.front();
        device->replies.pop_front();
    }
    if (reply.error)
        return reply.error;
    record->ScsiStatus = reply.status;
    if (record->SenseInfoOffset < record_size) {
        size_t room = record_size - record->SenseInfoOffset;
        size_t n = reply.sense.size();
        if (n > record->SenseInfoLength)
            n = record->SenseInfoLength;
        if (n > room)
            n = room;
        memcpy((uint8_t*)record + record->SenseInfoOffset, reply.sense.data(), n);
    }
    if (record->DataBuffer) {
        size_t n = reply.data.size() < record->DataTransferLength ? reply.data.size() : record->DataTransferLength;
        memcpy(record->DataBuffer, reply.data.data(), n);
    }
    return 0;
}

DWORD Capabilities(void* ctx, void* out, DWORD out_size, DWORD* returned)
{
    ScriptedDevice* device = (ScriptedDevice*)ctx;
    IO_SCSI_CAPABILITIES caps = {};
    caps.Length = sizeof caps;
    caps.MaximumTransferLength = 65536;
    caps.AlignmentMask = device->alignment_mask;
    DWORD n = out_size < sizeof caps ? out_size : sizeof caps;
    memcpy(out, &caps, n);
    *returned = n;
    return 0;
}

DWORD LastSession(void* ctx, void* out, DWORD out_size, DWORD* returned)
{
    ScriptedDevice* device = (ScriptedDevice*)ctx;
    DWORD n = device->last_session.size() < out_size ? (DWORD)device->last_session.size() : out_size;
    memcpy(out, device->last_session.data(), n);
    *returned = n;
    return 0;
}

DWORD CheckVerify(void* ctx)
{
    return ((ScriptedDevice*)ctx)->check_verify_error;
}

void Close(void* ctx) { ((ScriptedDevice*)ctx)->handle = INVALID_HANDLE_VALUE; }

const VirtualDeviceOps kScriptedDeviceOps = {PassThrough, Capabilities, LastSession, CheckVerify, Close};

}  // namespace

ScriptedDevice::ScriptedDevice()
{
    handle = cdrOpenVirtual(&kScriptedDeviceOps, this);
}

ScriptedDevice::~ScriptedDevice()
{
    if (handle != INVALID_HANDLE_VALUE)
        cdrClose(handle);
}

ScsiReply CheckCondition(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t additional_length)
{
    ScsiReply reply;
    reply.status = 2;
    reply.sense.assign(8u + additional_length, 0);
    reply.sense[0] = 0x70;
    reply.sense[2] = key;
    reply.sense[7] = additional_length;
    if (reply.sense.size() > 13) {
        reply.sense[12] = asc;
        reply.sense[13] = ascq;
    }
    return reply;
}
