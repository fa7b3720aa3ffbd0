#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/disk_enumeration.h"

// The byte layouts of the Windows mount point manager's and disk drivers'
// replies, read with explicit little-endian loads so that they are portable
// and tested on any system. Every reader checks the length first and
// answers empty for a reply too short for what it claims.
namespace brinvale::platform::win {

// MOUNTMGR_MOUNT_POINT, 24 bytes; offsets of names count from the start of
// the buffer that holds them, lengths are in bytes.
namespace mount_point {
constexpr size_t kSymbolicLinkNameOffset = 0;  // u32
constexpr size_t kSymbolicLinkNameLength = 4;  // u16
constexpr size_t kUniqueIdOffset = 8;          // u32
constexpr size_t kUniqueIdLength = 12;         // u16
constexpr size_t kDeviceNameOffset = 16;       // u32
constexpr size_t kDeviceNameLength = 20;       // u16
constexpr size_t kSize = 24;
}  // namespace mount_point

// MOUNTMGR_MOUNT_POINTS: u32 Size (the bytes the whole reply needs), u32
// NumberOfMountPoints, then that many MOUNTMGR_MOUNT_POINTs.
namespace mount_points {
constexpr size_t kSize = 0;
constexpr size_t kCount = 4;
constexpr size_t kFirst = 8;
}  // namespace mount_points

// One mount point of a reply: names as UTF-16 text.
struct MountPointEntry {
  std::u16string symbolicLink;  // "\??\Volume{...}", "\DosDevices\C:"
  std::u16string deviceName;    // "\Device\HarddiskVolume3"
};

// Reads a MOUNTMGR_MOUNT_POINTS reply. Entries whose names lie outside the
// reply are skipped; a reply shorter than its header gives nothing.
std::vector<MountPointEntry> ParseMountPoints(std::span<const uint8_t> reply);

// The bytes a reply says it needs (its Size field), 0 when too short.
uint32_t MountPointsNeededSize(std::span<const uint8_t> reply);

// A query input naming one device: a MOUNTMGR_MOUNT_POINT whose device name
// follows the 24-byte header; all other offsets 0.
std::vector<uint8_t> BuildDeviceQuery(std::u16string_view deviceName);

// The all-zero MOUNTMGR_MOUNT_POINT that asks for every mount point.
std::vector<uint8_t> BuildAllPointsQuery();

// A volume GUID link: "\??\Volume{...}" (second character '?') or the
// "\\?\..." form (third character '?' or '\'). Drive-letter links of the
// "\DosDevices\C:" form are not.
bool IsVolumeGuidLink(std::u16string_view link);

// "\??\Volume{...}" -> "\\?\Volume{...}\".
std::u16string VolumePathFromLink(std::u16string_view link);

// A volume worth listing: its GUID link and its device.
struct VolumeLink {
  std::u16string volumePath;  // with a trailing backslash
  std::u16string deviceName;
};

// The volumes on hard disks among a reply's mount points: GUID links only,
// device names containing "Harddisk", one entry per device (the first
// link seen for it).
std::vector<VolumeLink> SelectHardDiskVolumes(const std::vector<MountPointEntry>& entries);

// The drive letter among one device's mount points: the character after the
// first "\DosDevices\" in a non-empty link; 0 when none.
char16_t DriveLetterFromMountPoints(const std::vector<MountPointEntry>& entries);

// PARTITION_INFORMATION, 32 bytes.
namespace partition_info {
constexpr size_t kStartingOffset = 0;    // i64
constexpr size_t kPartitionLength = 8;   // i64
constexpr size_t kHiddenSectors = 16;    // u32
constexpr size_t kPartitionNumber = 20;  // u32
constexpr size_t kPartitionType = 24;    // u8
constexpr size_t kSize = 32;
}  // namespace partition_info

struct PartitionPlace {
  uint64_t startBytes = 0;
  uint64_t lengthBytes = 0;
  uint32_t partitionNumber = 0;
  uint8_t partitionType = 0;
};

std::optional<PartitionPlace> ParsePartitionInformation(std::span<const uint8_t> reply);

// VOLUME_DISK_EXTENTS: u32 NumberOfDiskExtents, 4 bytes padding, then
// DISK_EXTENTs of 24 bytes: u32 DiskNumber, padding, i64 StartingOffset,
// i64 ExtentLength.
namespace disk_extents {
constexpr size_t kCount = 0;
constexpr size_t kFirst = 8;
constexpr size_t kDiskNumber = 0;
constexpr size_t kStartingOffset = 8;
constexpr size_t kExtentLength = 16;
constexpr size_t kExtentSize = 24;
}  // namespace disk_extents

struct DiskExtent {
  uint32_t diskNumber = 0;
  uint64_t startBytes = 0;
  uint64_t lengthBytes = 0;
};

// The first extent; empty when the reply holds none.
std::optional<DiskExtent> ParseFirstDiskExtent(std::span<const uint8_t> reply);

// Every extent the reply holds (a volume spanning disks has several), at
// most as many as its count says and its bytes hold.
std::vector<DiskExtent> ParseDiskExtents(std::span<const uint8_t> reply);

// The bytes a reply needs for all the extents its count names.
size_t DiskExtentsNeededSize(std::span<const uint8_t> reply);

// STORAGE_DEVICE_NUMBER, 12 bytes: u32 DeviceType, u32 DeviceNumber,
// u32 PartitionNumber.
struct DeviceNumber {
  uint32_t deviceType = 0;
  uint32_t deviceNumber = 0;
  uint32_t partitionNumber = 0;
};
std::optional<DeviceNumber> ParseStorageDeviceNumber(std::span<const uint8_t> reply);

// DRIVE_LAYOUT_INFORMATION_EX: u32 PartitionStyle, u32 PartitionCount, a
// 40-byte MBR/GPT header, then PARTITION_INFORMATION_EX entries of 144 bytes:
// u32 PartitionStyle, padding, i64 StartingOffset (8), i64 PartitionLength
// (16), u32 PartitionNumber (24), flags, and the MBR or GPT details from 32
// (MBR: u8 PartitionType at 32).
namespace layout_ex {
constexpr size_t kPartitionStyle = 0;
constexpr size_t kPartitionCount = 4;
constexpr size_t kFirstEntry = 48;
constexpr size_t kEntryStartingOffset = 8;
constexpr size_t kEntryPartitionLength = 16;
constexpr size_t kEntryPartitionNumber = 24;
constexpr size_t kEntryMbrType = 32;
constexpr size_t kEntrySize = 144;
constexpr uint32_t kStyleMbr = 0;
constexpr uint32_t kStyleGpt = 1;
}  // namespace layout_ex

// The place of partition `partitionNumber` in a layout: the first entry whose
// starting offset is not 0 and whose number is that (non-zero) number.
std::optional<PartitionPlace> FindPartitionInLayout(std::span<const uint8_t> reply,
                                                    uint32_t partitionNumber);

// DISK_GEOMETRY, 24 bytes: i64 Cylinders, u32 MediaType, u32
// TracksPerCylinder, u32 SectorsPerTrack, u32 BytesPerSector.
std::optional<DiskGeometry> ParseDiskGeometry(std::span<const uint8_t> reply);

// STORAGE_DEVICE_DESCRIPTOR: u8 RemovableMedia at 10, u32 BusType at 28.
struct StorageDescriptor {
  bool removableMedia = false;
  DiskBus bus = DiskBus::kUnknown;
};
std::optional<StorageDescriptor> ParseStorageDeviceDescriptor(std::span<const uint8_t> reply);

// STORAGE_BUS_TYPE values to our buses.
DiskBus BusFromStorageBusType(uint32_t busType);

}  // namespace brinvale::platform::win
