#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/disk.h"

// What the system knows about its disks and the volumes on them. The device
// layer turns these facts into the ordered disk list with gap and whole-disk
// records; everything here is a plain report of the system's answers.
namespace brinvale::platform {

// The bus a disk is attached through.
enum class DiskBus {
  kUnknown,
  kAta,
  kScsi,
  kSata,
  kSas,
  kUsb,
  kNvme,
  kSdCard,
  kMmc,
  kVirtual,
  kFileBacked,  // a loop device or a virtual disk over an image file
  kRaid,
  kOther,
};

// A short lower-case name for a bus ("usb", "sata", "nvme", ...).
const char* DiskBusName(DiskBus bus);

// One volume on a hard disk as the system reports it. Start and length are
// in bytes from the start of the disk.
struct SystemVolume {
  // Windows: the volume GUID path with a trailing backslash
  // ("\\?\Volume{...}\"); Linux: the device path ("/dev/sdb1").
  std::string volumePath;
  char16_t driveLetter = 0;   // 0: the volume has no drive letter
  uint8_t partitionType = 0;  // the partition table's type byte; 0 unknown
  int diskNumber = -1;        // -1: not known
  int partitionNumber = -1;   // -1: not known; 0: the volume is the whole disk
  uint64_t startBytes = 0;
  uint64_t lengthBytes = 0;
  std::string fileSystemName;  // "NTFS", "FAT32", "FAT", "exFAT", "ext4", ...
  std::string label;           // UTF-8
  bool spaceKnown = false;     // the file system answered the two sizes below
  uint64_t totalBytes = 0;
  uint64_t freeBytes = 0;
  std::string mountPoint;  // Linux: where it is mounted; empty when not mounted
  uint64_t deviceId = 0;   // Linux: the block device number (dev_t); 0 elsewhere
};

// One whole disk as the system reports it.
struct SystemDisk {
  DiskGeometry geometry;
  uint64_t lengthBytes = 0;  // 0: the length query failed
  bool removable = false;    // removable medium, or a disk on a USB or card bus
  DiskBus bus = DiskBus::kUnknown;
  uint64_t deviceId = 0;  // Linux: the block device number (dev_t); 0 elsewhere
  std::string name;       // "\\.\PhysicalDrive0", "/dev/sda"
};

// The system's answers about disks and volumes. Implementations: the Windows
// mount point manager and disk control codes, the Linux /sys/block tree with
// libblkid, and fakes in tests.
class DiskEnumeration {
 public:
  virtual ~DiskEnumeration() = default;

  // Lists the volumes that lie on hard disks, in the system's order.
  // Volumes the system could not describe may be left out. Returns 0, or
  // the system error when the volume list cannot be had at all.
  virtual int ListVolumes(std::vector<SystemVolume>& out) = 0;

  // Describes disk `diskNumber`. Returns 0, or a system error when there is
  // no such disk or it does not answer (an empty card reader, say).
  virtual int QueryDisk(int diskNumber, SystemDisk& out) = 0;

  // Disk numbers below this are tried for disks that carry no volume.
  virtual int DiskNumberLimit() = 0;
};

// The running system's enumeration.
std::unique_ptr<DiskEnumeration> MakeSystemDiskEnumeration();

// The device number of the volume that holds `path` (which must exist):
// Linux, the block device the file system was mounted from (a file system
// with an anonymous device number, such as btrfs, is looked up in the
// mount table); Windows answers 50 (not supported), where drive letters
// serve instead.
int VolumeDeviceIdOfPath(const std::filesystem::path& path, uint64_t& deviceId);

}  // namespace brinvale::platform

#if !defined(_WIN32)
namespace brinvale::platform {

// Where the Linux enumeration looks; tests point these at a fake tree.
struct LinuxDiskPaths {
  std::filesystem::path sysBlock = "/sys/block";
  std::filesystem::path dev = "/dev";
  std::filesystem::path mountInfo = "/proc/self/mountinfo";
};

// What a probe of a block device found: the file system and, for a
// partition, its entry in the partition table. Empty strings where nothing
// was found.
struct FileSystemFacts {
  std::string type;             // "vfat", "ntfs", "ext4", ...
  std::string version;          // "FAT12", "FAT16", "FAT32", ...
  std::string label;            // UTF-8
  std::string partitionScheme;  // "dos", "gpt", ...
  std::string partitionType;    // "0xc" for dos, a GUID for gpt
};

// Probes a block device; returns 0 with what was found (possibly nothing),
// or a system error when the device cannot be read.
using FileSystemProbe =
    std::function<int(const std::filesystem::path& device, FileSystemFacts& out)>;

// The total and free bytes of a mounted file system; 0 or a system error.
using MountedSpaceQuery = std::function<int(const std::filesystem::path& mountPoint,
                                            uint64_t& totalBytes, uint64_t& freeBytes)>;

// The probe through libblkid: the superblock's type, version and label,
// and the partition table entry for a partition.
int ProbeFileSystemWithBlkid(const std::filesystem::path& device, FileSystemFacts& out);

// statvfs on the mount point: total = blocks x fragment size, free = free
// blocks x fragment size (all free blocks, reserved ones included).
int QueryMountedSpaceStatvfs(const std::filesystem::path& mountPoint, uint64_t& totalBytes,
                             uint64_t& freeBytes);

// The Linux enumeration over `paths`. Disk N is the N-th name of
// WholeDiskNames(paths.sysBlock). Every partition is a volume, mounted or
// not; a disk without partitions whose whole device holds a file system is
// one volume with partition number 0. A mounted file system the probe
// cannot name takes the kernel's type from the mount table. Extended
// partition containers are left out (they hold no file system).
std::unique_ptr<DiskEnumeration> MakeLinuxDiskEnumeration(LinuxDiskPaths paths,
                                                          FileSystemProbe probe,
                                                          MountedSpaceQuery space);

// The name this system uses for a probed file system: "FAT32" for vfat
// version FAT32, "FAT" for FAT12 and FAT16 ("vfat" when the width is not
// known), "NTFS", "exFAT", otherwise the probe's own name.
std::string FileSystemDisplayName(const FileSystemFacts& facts);

// The partition type byte for a probed partition entry: the dos type as
// it stands; for gpt, the byte that an MBR would carry for the same kind of
// partition (basic data 0x07, Linux data 0x83, swap 0x82, EFI 0xEF, LVM
// 0x8E, RAID 0xFD), 0 for kinds that hold no user data.
uint8_t PartitionTypeByte(const FileSystemFacts& facts);

}  // namespace brinvale::platform
#endif
