// SCSI and MMC vocabulary: the opcodes the library sends, status bytes, sense
// keys and the additional sense codes the virtual drive answers, fixed-format
// sense data, and the layout of the READ TOC and READ CAPACITY responses.
// Portable: used by the library, the virtual drive, the viewer and the tests.
#pragma once
#include <stdint.h>

enum : uint8_t {
    kOpTestUnitReady = 0x00,
    kOpModeSelect6 = 0x15,
    kOpStartStopUnit = 0x1B,
    kOpReadCapacity = 0x25,
    kOpRead10 = 0x28,
    kOpReadToc = 0x43,
};

// CDB fields that the library writes and the virtual drive reads.
enum {
    kCdbRead10Lba = 2, kCdbRead10Blocks = 7,   // READ(10): LBA (32 bits), transfer length (16)
    kCdbReadTocMsf = 1, kCdbReadTocFormat = 2, kCdbReadTocStart = 6, kCdbReadTocAllocLength = 7,
    kCdbReadTocOldFormat = 9,                  // format in bits 7-6, where SCSI-2 drives read it
    kCdbModeSelectListLength = 4,
    kCdbStartStopFlags = 4,
};
enum : uint8_t {
    kReadTocMsfBit = 0x02, kModeSelectPageFormat = 0x10,
    kStartStopStart = 0x01, kStartStopLoadEject = 0x02,
};

// Status byte of a command.
enum { kScsiStatusGood = 0x00, kScsiStatusCheckCondition = 0x02, kScsiStatusBusy = 0x08 };

enum {
    kSenseKeyNoSense = 0x0, kSenseKeyRecovered = 0x1, kSenseKeyNotReady = 0x2, kSenseKeyMediumError = 0x3,
    kSenseKeyHardwareError = 0x4, kSenseKeyIllegalRequest = 0x5, kSenseKeyUnitAttention = 0x6,
};

// A sense key with its additional sense code and qualifier.
struct SenseCode {
    uint8_t key, asc, ascq;
};
constexpr SenseCode kSenseNoMedium = {kSenseKeyNotReady, 0x3A, 0x00};
constexpr SenseCode kSenseUnrecoveredRead = {kSenseKeyMediumError, 0x11, 0x00};
constexpr SenseCode kSenseInvalidOpcode = {kSenseKeyIllegalRequest, 0x20, 0x00};
constexpr SenseCode kSenseLbaOutOfRange = {kSenseKeyIllegalRequest, 0x21, 0x00};
constexpr SenseCode kSenseInvalidFieldInCdb = {kSenseKeyIllegalRequest, 0x24, 0x00};
constexpr SenseCode kSenseInvalidParameterList = {kSenseKeyIllegalRequest, 0x26, 0x00};
constexpr SenseCode kSenseIllegalModeForTrack = {kSenseKeyIllegalRequest, 0x64, 0x00};

// Fixed-format sense data (response code 70h).
enum {
    kSenseFixedSize = 18,
    kSenseResponseCurrent = 0x70, kSenseValidBit = 0x80,
    kSenseKeyByte = 2, kSenseInformation = 3, kSenseAdditionalLengthByte = 7,
    kSenseAscByte = 12, kSenseAscqByte = 13,
    kSenseAdditionalLength = kSenseFixedSize - 8,
};

// READ CAPACITY response: last LBA (4 bytes), block length (4 bytes).
enum { kReadCapacityResponseSize = 8 };

// MODE SELECT(6) parameter list: mode parameter header and one block descriptor.
enum { kModeHeader6Size = 4, kBlockDescriptorSize = 8, kModeParamListSize = kModeHeader6Size + kBlockDescriptorSize };
// The header's block descriptor length byte; the descriptor's block length (24 bits).
enum { kModeHeader6BlockDescLength = 3, kBlockDescBlockLength = 5 };

// READ TOC/PMA/ATIP (MMC): a 4-byte header (data length, first, last) and
// descriptors of 8 bytes (format 0 and 1) or 11 bytes (format 2: the Q
// subcode of the lead-in, times in BCD).
enum { kTocFormatTrack = 0, kTocFormatSession = 1, kTocFormatFull = 2 };
enum { kTocHeaderSize = 4, kTrackDescriptorSize = 8, kFullDescriptorSize = 11 };
// Header: data length (big-endian 16; it counts the bytes after itself),
// first and last track or session.
enum { kTocDataLength = 0, kTocDataLengthSize = 2, kTocFirst = 2, kTocLast = 3 };
// Track descriptor: reserved, ADR/CONTROL, track number, reserved, address.
enum { kTrackDescAdrControl = 1, kTrackDescNumber = 2, kTrackDescAddress = 4 };
// The second reserved byte; an MSF address: a zero byte, then minute, second, frame.
enum { kTrackDescReserved = 3, kTrackDescMin = 5, kTrackDescSec = 6, kTrackDescFrame = 7 };
// Full TOC descriptor: session, ADR/CONTROL, TNO, POINT, MIN, SEC, FRAME,
// ZERO, PMIN, PSEC, PFRAME.
enum {
    kFullDescSession = 0, kFullDescAdrControl = 1, kFullDescPoint = 3,
    kFullDescMin = 4, kFullDescPmin = 8, kFullDescPsec = 9, kFullDescPframe = 10,
};
enum { kFullDescTno = 2, kFullDescSec = 5, kFullDescFrame = 6, kFullDescZero = 7 };
enum : uint8_t {
    kTocLeadoutTrack = 0xAA,
    kPointFirstTrack = 0xA0,   // PMIN: first track number, PSEC: disc type
    kPointLastTrack = 0xA1,    // PMIN: last track number
    kPointLeadout = 0xA2,      // PMIN/PSEC/PFRAME: lead-out start
    kPointNextArea = 0xB0,     // MIN/SEC/FRAME: next possible program area
    kPointFirstLeadIn = 0xC0,  // PMIN/PSEC/PFRAME: start of the first lead-in (ATIP)
};
enum { kAdrPosition = 1, kAdrMode5 = 5 };
enum { kDiscTypeCdrom = 0x00, kDiscTypeXa = 0x20 };
// CONTROL nibble: data track (else audio).
enum { kControlDataTrack = 0x04 };
