// The transport, the CD-ROM command exports and device routing, through the
// real exports of tamrisk.dll and a scripted virtual device.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "bytes.h"
#include "internal.h"
#include "message_box_hook.h"
#include "scripted_device.h"
#include "tamrisk.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// Large enough for every transfer below, the clamped READ TOC included.
uint8_t buffer[0x10000];

TEST(Transport, RequestRecordIsFilledExactly)
{
    ScriptedDevice device;
    ASSERT_EQ(cdrRead(NULL, device.handle, buffer, 0x01020304, 1, CDR_REPORT), CDR_SUCCESS);
    // A six-byte command after a ten-byte one: nothing of the old CDB follows it.
    ASSERT_EQ(cdrEject(NULL, device.handle), CDR_SUCCESS);
    ASSERT_EQ(device.sent.size(), 2u);
    const Bytes& r = device.sent[0].record;
    ASSERT_EQ(r.size(), 80u);
    EXPECT_EQ(get_le16(&r[0]), 44);             // Length
    EXPECT_EQ(Bytes(r.begin() + 2, r.begin() + 12),
              Bytes({0, 0, 1, 0, 10, 24, 2, 0, 0, 0}));  // status, path, target 1, LUN, CDB 10, sense 24, DataIn 2
    EXPECT_EQ(get_le32(&r[12]), 2048u);          // DataTransferLength
    EXPECT_EQ(get_le32(&r[16]), 10u);            // TimeOutValue
    EXPECT_EQ(get_le32(&r[20]), (uint32_t)(uintptr_t)buffer);
    EXPECT_EQ(get_le32(&r[24]), 48u);            // SenseInfoOffset
    EXPECT_EQ(Bytes(r.begin() + 28, r.begin() + 38), Bytes({0x28, 0, 1, 2, 3, 4, 0, 0, 1, 0}));
    EXPECT_EQ(Bytes(r.begin() + 38, r.end()), Bytes(42, 0));   // rest of Cdb, filler, sense

    const Bytes& e = device.sent[1].record;
    EXPECT_EQ(e[6], 6);
    EXPECT_EQ(Bytes(e.begin() + 28, e.begin() + 44), Bytes({0x1B, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(get_le32(&e[12]) | get_le32(&e[20]), 0u);   // no transfer, no buffer
}

TEST(Transport, FailedRequestShowsPrintErrorThenAsksWhenReporting)
{
    ScriptedDevice device;
    ScsiReply failure;
    failure.error = ERROR_NOT_READY;
    {
        // Reporting off still shows the platform error.
        ScopedBoxHook hook;
        device.Reply(failure);
        EXPECT_EQ(cdrRead(NULL, device.handle, buffer, 16, 1, CDR_SILENT), CDR_FAILED);
        ASSERT_EQ(hook.boxes().size(), 1u);
        EXPECT_NE(hook.boxes()[0].text.find("21\nSCSI I/O Control Error"), std::string::npos);
    }
    ScopedBoxHook hook({IDOK, IDRETRY, IDOK, IDCANCEL});
    device.Reply(failure);
    device.Reply(failure);
    EXPECT_EQ(cdrEject(NULL, device.handle), CDR_FAILED);
    EXPECT_EQ(device.sent.size(), 3u);
    ASSERT_EQ(hook.boxes().size(), 4u);
    EXPECT_EQ(hook.boxes()[1].text, "CD-ROM error SCSI status:[FFFFFFFF]\n");
}

TEST(Transport, RealHandleGoesToThePlatform)
{
    // A plain file is no SCSI device: the platform refuses the request.
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "tam", 0, path);
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ScopedBoxHook hook;
    EXPECT_EQ(cdrInit(NULL, file, CDR_SILENT), 0);
    EXPECT_EQ(hook.boxes().size(), 1u);
    EXPECT_EQ(cdrGetLastSession(file), -1);
    EXPECT_TRUE(cdrClose(file));
}

TEST(Transport, IscsiSurvivesAWildAlignmentMask)
{
    ScriptedDevice device;
    // A wild alignment claim must neither fail the allocation nor end the process.
    device.alignment_mask = 0xFFFFFFFF;
    ScopedBoxHook hook;
    EXPECT_EQ(iscsi(NULL, device.handle), 1);
    EXPECT_EQ(cdrInit(NULL, device.handle, CDR_REPORT), 1);
    EXPECT_TRUE(hook.boxes().empty());
}

TEST(Transport, AlignedBufferHonoursTheMask)
{
    for (DWORD mask : {5u, 0xFFFu}) {
        uint8_t* block = (uint8_t*)AllocateAlignedBuffer(2352, mask);
        EXPECT_EQ((uintptr_t)block & mask, 0u) << "mask " << mask;
        memset(block, 0xA5, 2352);   // the whole size is ours
        FreeAlignedBuffer(block);
    }
}

// The bytes of each CDB are cdb_test's; here the exports' transfer lengths.
TEST(Commands, EachExportSendsItsCdbAndTransferLength)
{
    struct Case {
        const char* name;
        short (*run)(HANDLE device);
        Bytes cdb;
        uint32_t data_length;
    };
    const Case cases[] = {
        {"READ CAPACITY", [](HANDLE d) { LONG b, l; return cdrSize(NULL, d, &b, &l); },
         {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8},
        // Past 16 bits the length is clamped, never cut to its low bits.
        {"READ TOC of 65536", [](HANDLE d) { return cdrToc(NULL, d, buffer, 65536, 2, CDR_REPORT); },
         {0x43, 0x02, 0, 0, 0, 0, 0x01, 0xFF, 0xFF, 0x80}, 65535},
        {"READ(10) of 65536 blocks", [](HANDLE d) { return cdrRead(NULL, d, buffer, 16, 65536, CDR_REPORT); },
         {0x28, 0, 0, 0, 0, 0x10, 0, 0x00, 0x00, 0}, 0},
    };
    for (const Case& c : cases) {
        ScriptedDevice device;
        EXPECT_EQ(c.run(device.handle), 0) << c.name;
        ASSERT_EQ(device.sent.size(), 1u) << c.name;
        EXPECT_EQ(device.sent[0].cdb, c.cdb) << c.name;
        EXPECT_EQ(device.sent[0].data_length, c.data_length) << c.name;
    }
}

TEST(Commands, ModeSelectSendsBlockDescriptorAndSetsReadLength)
{
    ScriptedDevice device;
    EXPECT_EQ(cdrMode(NULL, device.handle, 2340), CDR_SUCCESS);
    EXPECT_EQ(cdrRead(NULL, device.handle, buffer, 0, 1, CDR_REPORT), CDR_SUCCESS);
    ASSERT_EQ(device.sent.size(), 2u);
    EXPECT_EQ(device.sent[0].data_out, Bytes({0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x09, 0x24}));
    EXPECT_EQ(device.sent[1].data_length, 2340u);
}

TEST(Commands, RefusedLengthKeepsTheOldOneAndCancelledModeSelectSetsTheNew)
{
    ScriptedDevice device;
    ASSERT_EQ(cdrMode(NULL, device.handle, 2340), CDR_SUCCESS);
    {
        ScopedBoxHook hook;
        EXPECT_EQ(cdrMode(NULL, device.handle, 2336), CDR_REFUSED);
        EXPECT_EQ(hook.boxes().size(), 1u);
    }
    EXPECT_EQ(device.sent.size(), 1u);   // nothing sent for 2336
    cdrRead(NULL, device.handle, buffer, 0, 1, CDR_SILENT);
    EXPECT_EQ(device.sent.back().data_length, 2340u);

    device.Reply(CheckCondition(5, 0x26, 0x00));
    {
        ScopedBoxHook hook({IDCANCEL});
        EXPECT_EQ(cdrMode(NULL, device.handle, 2352), CDR_FAILED);
    }
    cdrRead(NULL, device.handle, buffer, 0, 1, CDR_SILENT);
    EXPECT_EQ(device.sent.back().data_length, 2352u);
    EXPECT_EQ(cdrMode(NULL, device.handle, 2048), CDR_SUCCESS);   // the library's resting length for later tests
}

TEST(Commands, LastSessionStartFromTheFirstTrackDescriptor)
{
    ScriptedDevice device;
    device.last_session = {0x00, 0x0A, 0x01, 0x02, 0x00, 0x14, 0x03, 0x00, 0x00, 0x00, 0x2E, 0xE0};
    EXPECT_EQ(cdrGetLastSession(device.handle), 12000);   // the field's other values: cdb_test
    device.last_session.resize(8);   // an answer that stops before the address
    EXPECT_EQ(cdrGetLastSession(device.handle), -1);
}

TEST(Devices, RequestsRouteToTheHandler)
{
    ScriptedDevice device;
    DWORD returned = 99;
    device.check_verify_error = ERROR_NOT_READY;
    EXPECT_FALSE(cdrDeviceIoControl(device.handle, IOCTL_DISK_CHECK_VERIFY, NULL, 0, NULL, 0, &returned));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_READY);
    uint8_t caps[32] = {};
    device.alignment_mask = 3;
    EXPECT_TRUE(cdrDeviceIoControl(device.handle, IOCTL_SCSI_GET_CAPABILITIES, NULL, 0, caps, 32, &returned));
    EXPECT_EQ(get_le32(caps + 16), 3u);
}

TEST(Devices, FullTableRefusesAndFreedSlotsAreReused)
{
    std::vector<HANDLE> handles;
    int closes = 0;
    VirtualDeviceOps ops = {};
    ops.close = [](void* ctx) { ++*(int*)ctx; };
    for (int i = 0; i < 64; ++i) {
        HANDLE h = cdrOpenVirtual(&ops, &closes);
        if (h == INVALID_HANDLE_VALUE)
            break;
        handles.push_back(h);
    }
    ASSERT_GE(handles.size(), 4u);
    ASSERT_LT(handles.size(), 64u);
    EXPECT_TRUE(cdrClose(handles.back()));
    handles.back() = cdrOpenVirtual(&ops, &closes);
    EXPECT_NE(handles.back(), INVALID_HANDLE_VALUE);
    for (HANDLE h : handles)
        EXPECT_TRUE(cdrClose(h));
    EXPECT_EQ(closes, (int)handles.size() + 1);
    EXPECT_EQ(cdrOpenVirtual(NULL, NULL), INVALID_HANDLE_VALUE);
}

}  // namespace
