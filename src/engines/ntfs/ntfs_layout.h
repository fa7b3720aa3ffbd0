#pragma once

#include <cstddef>
#include <cstdint>

// Byte offsets of the NTFS structures this system reads. All fields are
// little-endian and read through LoadLe*; nothing here is ever written.
namespace brinvale::ntfs {

// Boot sector (the first sector of the volume).
namespace boot {
constexpr size_t kBytesPerSector = 0x0B;     // 16-bit; 0 is read as 512
constexpr size_t kSectorsPerCluster = 0x0D;  // 8-bit; negative n means 2^-n
constexpr size_t kMftCluster = 0x30;         // 64-bit cluster number of $MFT
constexpr size_t kBytesRead = 4096;          // read at open, all of it or fail
}  // namespace boot

// File record ("FILE") header.
namespace record {
constexpr uint32_t kSignature = 0x454C4946;    // "FILE"
constexpr size_t kSignatureAt = 0x00;          // 4
constexpr size_t kUpdateSequenceCount = 0x06;  // 2: entries + 1, checked only
constexpr size_t kFirstAttribute = 0x14;       // 2
constexpr size_t kFlags = 0x16;                // 2: bit 0 in use, bit 1 directory
constexpr size_t kBytesInUse = 0x18;           // 4
constexpr size_t kAllocatedSize = 0x1C;        // 4
constexpr size_t kBaseRecord = 0x20;           // 8: base record reference (48-bit number)
constexpr size_t kRecordNumber = 0x2C;         // 4
constexpr size_t kUpdateSequence = 0x30;       // 2: the value every 512-byte block ends with
constexpr size_t kUpdateSequenceArray = 0x32;  // 2 per 512-byte block: the saved block ends
constexpr size_t kHeaderBytes = 0x38;          // the smallest header that holds all of the above
constexpr uint16_t kFlagInUse = 0x0001;
constexpr uint16_t kFlagDirectory = 0x0002;
constexpr uint32_t kFixupBlockBytes = 512;  // fix-ups protect every 512 bytes of a record
}  // namespace record

// Attribute header, offsets from the attribute's start.
namespace attr {
constexpr size_t kType = 0x00;         // 4
constexpr size_t kLength = 0x04;       // 4: the walk advances by it
constexpr size_t kNonResident = 0x08;  // 1: 0 resident
constexpr size_t kNameLength = 0x09;   // 1: UTF-16 characters, 0 unnamed
constexpr size_t kNameOffset = 0x0A;   // 2
constexpr size_t kValueLength = 0x10;  // resident, 4
constexpr size_t kValueOffset = 0x14;  // resident, 2
constexpr size_t kResidentHeaderBytes = 0x18;
constexpr size_t kLowestVcn = 0x10;      // non-resident, 8: first cluster of this piece
constexpr size_t kHighestVcn = 0x18;     // non-resident, 8
constexpr size_t kRunListOffset = 0x20;  // non-resident, 2
constexpr size_t kAllocatedSize = 0x28;  // non-resident, 8
constexpr size_t kDataSize = 0x30;       // non-resident, 8
constexpr size_t kNonResidentHeaderBytes = 0x40;
}  // namespace attr

// Attribute types and end markers.
constexpr uint32_t kTypeStandardInformation = 0x10;
constexpr uint32_t kTypeAttributeList = 0x20;
constexpr uint32_t kTypeFileName = 0x30;
constexpr uint32_t kTypeData = 0x80;
constexpr uint32_t kTypeIndexAllocation = 0xA0;
constexpr uint32_t kTypeEnd = 0xFFFFFFFF;
constexpr uint32_t kTypeFill = 0xFDFDFDFD;

// $FILE_NAME, offsets from the attribute's start (its value at 0x18).
namespace file_name {
constexpr size_t kParent = 0x18;      // 8: parent reference (48-bit number, 16-bit sequence)
constexpr size_t kCreated = 0x20;     // 8: FILETIME
constexpr size_t kModified = 0x28;    // 8: FILETIME
constexpr size_t kAccessed = 0x38;    // 8: FILETIME
constexpr size_t kDataSize = 0x48;    // 8
constexpr size_t kNameLength = 0x58;  // 1: UTF-16 characters
constexpr size_t kNamespace = 0x59;   // 1: 0 POSIX, 1 Win32, 2 DOS, 3 Win32 and DOS
constexpr size_t kName = 0x5A;        // 2 x name length
constexpr uint8_t kNamespaceWin32 = 1;
}  // namespace file_name

// $ATTRIBUTE_LIST entry, offsets from the entry's start.
namespace list_entry {
constexpr size_t kType = 0x00;        // 4
constexpr size_t kLength = 0x04;      // 2
constexpr size_t kNameLength = 0x06;  // 1
constexpr size_t kNameOffset = 0x07;  // 1
constexpr size_t kLowestVcn = 0x08;   // 8
constexpr size_t kRecord = 0x10;      // 6: record number, then 2: sequence
constexpr size_t kMinBytes = 0x1A;
}  // namespace list_entry

constexpr uint64_t kRecordNumberMask = 0x0000FFFFFFFFFFFFull;

// The largest record this system reads, and the buffer every record read
// fills. Records are 1,024 bytes on 512-byte sectors, else one sector.
constexpr uint32_t kRecordBufferBytes = 8192;

// Engine-internal results; they never reach the user.
constexpr int kNotFileRecord = -1;
constexpr int kAttributeNotFound = -100;
constexpr int kNotResidentData = -101;

}  // namespace brinvale::ntfs
