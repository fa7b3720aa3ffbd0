#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"

// Whole disks and mounted volumes as raw devices.
namespace brinvale::platform {

struct DiskGeometry {
  uint32_t bytesPerSector = 512;
  uint64_t cylinders = 0;
  uint32_t tracksPerCylinder = 0;
  uint32_t sectorsPerTrack = 0;
};

// The device path of whole disk `number`: "\\.\PhysicalDrive%d" on Windows;
// on Linux the number-th whole disk of /sys/block (see DiskPaths). Empty when
// there is no such disk.
std::filesystem::path DiskPath(int number);

// Opens whole disk `number` for reading.
int OpenDisk(int number, UniqueHandle& out);

// The disk's sector size and geometry (IOCTL_DISK_GET_DRIVE_GEOMETRY,
// BLKSSZGET). Fails on a regular file.
int QueryDiskGeometry(const UniqueHandle& disk, DiskGeometry& out);

// The disk's length in bytes (IOCTL_DISK_GET_LENGTH_INFO, BLKGETSIZE64);
// a regular file answers its size.
int QueryDiskLength(const UniqueHandle& disk, uint64_t& bytes);

// Flushes what the running system has cached for a mounted volume so that
// raw reads see it. `volume` is a drive letter on Windows ("\\.\%c:") and a
// device path on Linux. Failures are ignored.
void FlushVolume(const std::filesystem::path& volume);
void FlushVolumeLetter(char16_t driveLetter);

}  // namespace brinvale::platform

namespace brinvale::platform {

// Linux: the kernel names of the whole disks under `sysBlock`, in disk-number
// order. The order is the natural sort of the names (digits compare as
// numbers: loop2 before loop10, sda before sdb), which does not change while
// the set of disks stays the same. RAM disks (ram*, zram*) are left out, and
// so are loop devices without a backing file. Windows: empty.
std::vector<std::string> WholeDiskNames(
    const std::filesystem::path& sysBlock = "/sys/block");

}  // namespace brinvale::platform
