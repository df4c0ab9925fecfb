// ISO 9660 and CD-ROM XA record layout: the primary volume descriptor, the
// directory record, the path table record and the XA system use record, as
// byte offsets the standards give them. Both-endian fields are read from
// their big-endian half. Portable: used by the viewer, the tools and the tests.
#pragma once
#include <stdint.h>

// The volume descriptors start at block 16 of a session; a logical block
// holds 2048 bytes.
enum { kVolumeDescriptorLbn = 16, kIsoBlockSize = 2048 };

// Primary volume descriptor.
enum {
    kPvdType = 0,                 // 1: primary, 255: set terminator
    kPvdStandardId = 1,           // "CD001"
    kPvdVersion = 6,
    kPvdSystemId = 8,             // 32 bytes
    kPvdVolumeId = 40,            // 32 bytes
    kPvdVolumeSpaceSize = 80,     // both-endian 32
    kPvdVolumeSetSize = 120,      // both-endian 16
    kPvdVolumeSequence = 124,     // both-endian 16
    kPvdLogicalBlockSize = 128,   // both-endian 16
    kPvdPathTableSize = 132,      // both-endian 32
    kPvdTypeLPathTable = 140,     // little-endian 32
    kPvdTypeMPathTable = 148,     // big-endian 32
    kPvdRootRecord = 156,         // a 34-byte directory record
    kPvdVolumeSetId = 190,        // 128 bytes
    kPvdPublisherId = 318,        // 128 bytes
    kPvdPreparerId = 446,         // 128 bytes
    kPvdApplicationId = 574,      // 128 bytes
    kPvdCopyrightFileId = 702,    // 37 bytes
    kPvdAbstractFileId = 739,     // 37 bytes
    kPvdBibliographicFileId = 776,// 37 bytes
    kPvdCreationDate = 813,       // 17 bytes each: 16 digits and an offset
    kPvdModificationDate = 830,
    kPvdExpirationDate = 847,
    kPvdEffectiveDate = 864,
    kPvdFileStructureVersion = 881,
    kPvdXaSignature = 1024,       // "CD-XA001" in the Application Use area
    kVolumeDateSize = 17,
};
// Lengths of the identifier fields: system and volume; volume set, publisher,
// preparer and application; the three file identifiers.
enum { kPvdShortIdSize = 32, kPvdLongIdSize = 128, kPvdFileIdSize = 37 };
static_assert(kPvdSystemId + kPvdShortIdSize == kPvdVolumeId && kPvdPublisherId == kPvdVolumeSetId + kPvdLongIdSize &&
                  kPvdCreationDate == kPvdBibliographicFileId + kPvdFileIdSize, "identifier lengths");
enum { kPvdTypePrimary = 1, kPvdTypeTerminator = 255 };
constexpr char kIsoStandardId[] = "CD001";
constexpr char kCdiStandardId[] = "CD-I ";
constexpr char kXaSignature[] = "CD-XA001";

// Directory record.
enum {
    kRecLength = 0,
    kRecExtent = 2,               // both-endian 32 (big-endian half at 6)
    kRecExtentBe = 6,
    kRecDataLength = 10,          // both-endian 32 (big-endian half at 14)
    kRecDataLengthBe = 14,
    kRecDate = 18,                // 7 bytes: years since 1900, month, day, h, m, s, offset
    kRecFlags = 25,
    kRecVolumeSequence = 28,      // both-endian 16
    kRecNameLength = 32,
    kRecName = 33,
    kRecDateSize = 7,
    kRootRecordSize = 34,
};
static_assert(kPvdRootRecord + kRootRecordSize == kPvdVolumeSetId && kRecName == kRecNameLength + 1 &&
                  kPvdFileStructureVersion == kPvdEffectiveDate + kVolumeDateSize, "record layout");

// File flags of a directory record.
enum : uint8_t {
    kFileHidden = 0x01, kFileDirectory = 0x02, kFileAssociated = 0x04, kFileRecord = 0x08,
    kFileProtection = 0x10, kFileMultiExtent = 0x80,
};
// The identifiers of a directory's first two records: itself and its parent.
enum : uint8_t { kSelfIdentifier = 0x00, kParentIdentifier = 0x01 };

// Path table record: name length, extended attribute length, extent, parent
// directory number, name.
enum { kPathRecNameLength = 0, kPathRecExtent = 2, kPathRecParent = 6, kPathRecName = 8 };

// CD-ROM XA system use record (14 bytes after the file identifier and its
// padding): owner group and user ids (big-endian 16 each), attributes
// (big-endian 16), "XA", file number, 5 reserved bytes.
enum { kXaRecordSize = 14, kXaAttributes = 4, kXaSignatureAt = 6, kXaFileNumber = 8 };
// XA attribute bits.
enum : uint16_t {
    kXaOwnerRead = 0x0001, kXaOwnerExecute = 0x0004, kXaGroupRead = 0x0010, kXaGroupExecute = 0x0040,
    kXaWorldRead = 0x0100, kXaWorldExecute = 0x0400,
    kXaForm1 = 0x0800, kXaForm2 = 0x1000, kXaInterleaved = 0x2000, kXaCdda = 0x4000, kXaDirectory = 0x8000,
};
