#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include "platform/disk_enumeration.h"
#endif

// Where the data written under a path ends up: which pieces of which disks
// hold the file system, and which image files lie behind it. This is what
// tells whether writing somewhere can change a medium being read.
namespace brinvale::platform {

// One piece of a whole disk that holds (part of) a file system.
struct DiskExtent {
  int diskNumber = -1;       // as DiskPath and OpenDisk take it; -1 when not known
  std::string diskName;      // Linux: the kernel name ("sdb", "loop3"); Windows: "PhysicalDrive1"
  uint64_t startBytes = 0;   // from the start of the disk
  uint64_t lengthBytes = 0;  // 0: up to the end of the disk
};

struct PathStorage {
  // The system answered: with nothing below, the file system lies on no
  // disk (a RAM or network file system).
  bool known = false;
  uint64_t deviceId = 0;     // Linux: the block device it was mounted from (dev_t); 0 elsewhere
  char16_t driveLetter = 0;  // Windows: the volume's drive letter; 0 when none
  std::vector<DiskExtent> extents;
  // Image files the data goes into: a loop device's backing file, the file
  // a FUSE file system (ntfs-3g, say) was mounted from.
  std::vector<std::filesystem::path> imageFiles;
};

// Describes the storage under `path`, or under its nearest existing parent
// when it does not exist yet. Linux: the mount table (also for FUSE and
// btrfs, whose device numbers are anonymous: the mount's source device is
// taken then), /sys/block for partitions, device-mapper and RAID members
// (followed down to the disks) and loop devices (their backing files, and
// the storage those lie on in turn). Windows: the drive letter and the
// disk extents of the volume. Returns 0, or the system error when the path
// cannot be examined at all (then `out.known` is false).
int DescribePathStorage(const std::filesystem::path& path, PathStorage& out);

#if !defined(_WIN32)
// The Linux description for a path whose file system has device number
// `pathDevice`, from the mount table, the /sys/block tree and the /dev
// folder `paths` names (tests give a fake tree).
void DescribeLinuxStorage(uint64_t pathDevice, const LinuxDiskPaths& paths, PathStorage& out);
#endif

}  // namespace brinvale::platform
