#pragma once

#include <cstdint>
#include <string>

#include "platform/disk_enumeration.h"

namespace brinvale {

// One entry of the disk list: a volume, an unallocated gap on a disk, or a
// disk that carries no volume. This is the partition descriptor the scan job
// hands to the engine factory and the image job hands to the disk copier.
struct VolumeInfo {
  enum class Kind { kVolume, kGap, kWholeDisk };
  Kind kind = Kind::kVolume;
  // Where a volume record came from: the system's list of volumes, or the
  // partition table read from the disk when the system shows no volume on
  // it (a loop device without partition scanning, a disk in a container).
  enum class Origin { kSystem, kPartitionTable };
  Origin origin = Origin::kSystem;
  // Why the disk's partition table cannot be trusted whole (overlapping
  // entries, entries past the end, a bad GPT checksum, a loop of extended
  // boot records); empty when it is sound or was not read. Set on every
  // record of such a disk.
  std::string tableProblem;

  // The volume's drive letter. A volume without one gets a small number
  // instead (its position in the whole list, counted from 1), and `numbered`
  // says so; 0 for gaps and whole disks.
  char16_t driveLetter = 0;
  bool numbered = false;

  // The partition table's type byte, replaced by 7 for "NTFS", 11 for
  // "FAT32" and 6 for "FAT"; 0 for gaps and whole disks.
  uint8_t typeCode = 0;
  int32_t diskNumber = -1;       // -1 when not known
  int32_t partitionNumber = -1;  // -1 when not known; 0 for gaps and disks

  // Capacity and free space as the file system reports them; for gaps and
  // disks (and volumes whose file system does not answer) the total is
  // length x bytes per sector, and the free space of a gap or disk equals
  // its total, of an unanswering volume 0. Used = total - free.
  uint64_t totalBytes = 0;
  uint64_t usedBytes = 0;
  uint64_t freeBytes = 0;

  // First sector, absolute on the disk, and number of sectors, both in the
  // disk's own sector size.
  uint64_t start = 0;
  uint64_t length = 0;
  uint32_t bytesPerSector = 512;

  std::string fileSystemName;  // "NTFS", "FAT32", "FAT", ...
  // Windows: the volume GUID path with a trailing backslash; Linux: the
  // device path ("/dev/sdb1"), or the disk's for a whole disk.
  std::string volumePath;
  std::string label;       // UTF-8
  std::string mountPoint;  // Linux: where mounted; empty when not mounted
  uint64_t deviceId = 0;   // Linux: the block device number; 0 elsewhere
  bool removable = false;  // the disk's medium is removable or it is on USB
  platform::DiskBus bus = platform::DiskBus::kUnknown;
};

}  // namespace brinvale
