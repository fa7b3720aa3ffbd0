#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "device/partition_table.h"
#include "device/volume_info.h"
#include "platform/disk_enumeration.h"

// The list of disks, their volumes and their unallocated gaps.
namespace brinvale {

// Disk number to that disk's records, ascending by disk number; each list
// is in start order.
using DiskMap = std::map<int, std::vector<VolumeInfo>>;

// Reads the partition table of disk `diskNumber`, whose sectors are
// `bytesPerSector` long; 0, or the error of reading it.
using DiskTableReader =
    std::function<int(int diskNumber, uint32_t bytesPerSector, PartitionTable& out)>;

// The table as it lies on the disk (OpenDiskReader and ReadPartitionTable).
int ReadDiskPartitionTable(int diskNumber, uint32_t bytesPerSector, PartitionTable& out);

// Builds and hands out the disk list. Owns the system enumeration it asks.
class DiskEnumerator {
 public:
  // The running system's disks, with the tables of disks on which it shows
  // no volume read from the disks themselves.
  DiskEnumerator();
  // `tables` reads the partition table of a disk on which `system` shows no
  // volume; empty: such a disk is listed whole, as the system shows it.
  explicit DiskEnumerator(std::unique_ptr<platform::DiskEnumeration> system,
                          DiskTableReader tables = {});
  DiskEnumerator(const DiskEnumerator&) = delete;
  DiskEnumerator& operator=(const DiskEnumerator&) = delete;

  const DiskMap& Disks() const { return m_disks; }
  // The bytes per sector of the disk queried last (512 before any).
  uint32_t BytesPerSector() const { return m_bytesPerSector; }

 private:
  friend bool RefreshDisks(DiskEnumerator& enumerator);
  friend bool NextVolume(DiskEnumerator& enumerator, VolumeInfo& out);
  void AddTablePartitions();
  void AddGapsAndDisks();

  std::unique_ptr<platform::DiskEnumeration> m_system;
  DiskTableReader m_tables;
  // Disks whose table could not be trusted whole, and why: each keeps a
  // whole-disk record, so it can still be scanned whole.
  std::map<int, std::string> m_tableProblems;
  DiskMap m_disks;
  uint32_t m_bytesPerSector = 512;
  int m_cursorDisk = 0;      // the disk NextVolume hands out from
  size_t m_cursorIndex = 0;  // the next record of that disk
};

// Rebuilds the list from nothing: the volumes the system reports (those with
// a type code and a known disk number), sorted by start; on a disk where
// the system shows none, the partitions of the disk's own table (with a
// type byte), and also a whole-disk record when that table is damaged; a
// gap record for
// every stretch of more than one cylinder before, between and after them;
// one whole-disk record for each disk that carries no volume; and small
// numbers in place of missing drive letters. Resets the cursor. False (with
// an empty list) when the system's volume list cannot be had.
bool RefreshDisks(DiskEnumerator& enumerator);

// Hands out the next record, disks ascending and each disk's records in
// order: true and the record, or false at the end.
bool NextVolume(DiskEnumerator& enumerator, VolumeInfo& out);

// The type code for a file-system name: 7 for "NTFS", 11 for "FAT32", 6 for
// "FAT" (compared without case), otherwise `partitionType` unchanged.
uint8_t TypeCodeFor(const std::string& fileSystemName, uint8_t partitionType);

}  // namespace brinvale
