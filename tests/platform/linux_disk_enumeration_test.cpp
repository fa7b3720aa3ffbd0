// The Linux disk enumeration over fake /sys/block trees, with the file-system
// probe and the free-space query replaced, so no real device is touched.
#if !defined(_WIN32)

#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "common/error_codes.h"
#include "device/disk_map.h"
#include "platform/disk_enumeration.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using platform::FileSystemFacts;

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text << "\n";
}

// A fake sysfs, /dev and mount table under a temporary folder.
class FakeSystem {
 public:
  FakeSystem() {
    static int count = 0;
    m_root = fs::temp_directory_path() /
             ("brinvale_sysfs_" + std::to_string(::getpid()) + "_" + std::to_string(++count));
    fs::remove_all(m_root);
    fs::create_directories(m_root / "sys/block");
    fs::create_directories(m_root / "dev");
    WriteFile(m_root / "mountinfo", "");
  }
  ~FakeSystem() { fs::remove_all(m_root); }

  // A disk of `size512` 512-byte units; `busPath` is where its device/ link
  // points (relative to the fake root), empty for none.
  void Disk(const std::string& name, uint64_t size512, const std::string& devnum,
            uint32_t logicalBlockSize = 512, bool removable = false,
            const std::string& busPath = "") {
    const fs::path dir = m_root / "sys/block" / name;
    WriteFile(dir / "size", std::to_string(size512));
    WriteFile(dir / "dev", devnum);
    WriteFile(dir / "removable", removable ? "1" : "0");
    WriteFile(dir / "queue/logical_block_size", std::to_string(logicalBlockSize));
    if (!busPath.empty()) {
      fs::create_directories(m_root / busPath);
      fs::create_directory_symlink(m_root / busPath, dir / "device");
    }
  }

  void Partition(const std::string& disk, const std::string& name, int number, uint64_t start512,
                 uint64_t size512, const std::string& devnum) {
    const fs::path dir = m_root / "sys/block" / disk / name;
    WriteFile(dir / "partition", std::to_string(number));
    WriteFile(dir / "start", std::to_string(start512));
    WriteFile(dir / "size", std::to_string(size512));
    WriteFile(dir / "dev", devnum);
  }

  void MountInfo(const std::string& lines) { WriteFile(m_root / "mountinfo", lines); }

  // What the probe answers per device name ("sdb1").
  std::map<std::string, FileSystemFacts> probes;
  std::map<std::string, std::pair<uint64_t, uint64_t>> space;  // mount point -> total, free

  std::unique_ptr<platform::DiskEnumeration> Enumeration() {
    platform::LinuxDiskPaths paths{m_root / "sys/block", m_root / "dev", m_root / "mountinfo"};
    auto probe = [this](const fs::path& device, FileSystemFacts& out) {
      auto it = probes.find(device.filename().string());
      if (it == probes.end()) return kErrAccessDenied;
      out = it->second;
      return kOk;
    };
    auto query = [this](const fs::path& mountPoint, uint64_t& total, uint64_t& free) {
      auto it = space.find(mountPoint.string());
      if (it == space.end()) return kErrNotSupported;
      total = it->second.first;
      free = it->second.second;
      return kOk;
    };
    return platform::MakeLinuxDiskEnumeration(paths, probe, query);
  }

  const DiskMap& Refresh() {
    m_enumerator = std::make_unique<DiskEnumerator>(Enumeration());
    EXPECT_EQ(RefreshDisks(*m_enumerator), 1);
    return m_enumerator->Disks();
  }

  const fs::path& Root() const { return m_root; }

 private:
  fs::path m_root;
  std::unique_ptr<DiskEnumerator> m_enumerator;
};

FileSystemFacts Dos(const char* partitionType, const char* type = "", const char* version = "",
                    const char* label = "") {
  return FileSystemFacts{type, version, label, "dos", partitionType};
}

TEST(LinuxDiskEnumeration, DiskWithTwoPartitionsAndAGap) {
  FakeSystem sys;
  // 1,000,000 sectors: NTFS at 2048 (200,000), then 100,000 free, then ext4.
  sys.Disk("sda", 1000000, "8:0", 512, false, "devices/pci0000:00/0000:00:1f.2/ata1/host0");
  sys.Partition("sda", "sda1", 1, 2048, 200000, "8:1");
  sys.Partition("sda", "sda2", 2, 302048, 697952, "8:2");
  sys.probes["sda1"] = Dos("0x7", "ntfs", "", "Windows");
  sys.probes["sda2"] = Dos("0x83", "ext4", "1.0", "root");
  sys.MountInfo(
      "26 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n"
      "40 26 8:2 /home /srv/home rw,relatime - ext4 /dev/sda2 rw\n");
  sys.space["/"] = {300000000, 100000000};

  const DiskMap& disks = sys.Refresh();
  ASSERT_EQ(disks.size(), 1u);
  const auto& list = disks.at(0);
  ASSERT_EQ(list.size(), 3u);

  const VolumeInfo& ntfs = list[0];
  EXPECT_EQ(ntfs.kind, VolumeInfo::Kind::kVolume);
  EXPECT_EQ(ntfs.start, 2048u);
  EXPECT_EQ(ntfs.length, 200000u);
  EXPECT_EQ(ntfs.typeCode, 7);
  EXPECT_EQ(ntfs.fileSystemName, "NTFS");
  EXPECT_EQ(ntfs.label, "Windows");
  EXPECT_EQ(ntfs.partitionNumber, 1);
  EXPECT_EQ(ntfs.volumePath, (sys.Root() / "dev/sda1").string());
  EXPECT_EQ(ntfs.deviceId, uint64_t(makedev(8, 1)));
  EXPECT_TRUE(ntfs.mountPoint.empty());
  // Not mounted: total = length, free = 0.
  EXPECT_EQ(ntfs.totalBytes, 200000u * 512);
  EXPECT_EQ(ntfs.freeBytes, 0u);
  // No letters on Linux: numbered by position.
  EXPECT_TRUE(ntfs.numbered);
  EXPECT_EQ(ntfs.driveLetter, 1);
  EXPECT_EQ(ntfs.bus, platform::DiskBus::kSata);
  EXPECT_FALSE(ntfs.removable);

  EXPECT_EQ(list[1].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(list[1].start, 202048u);
  EXPECT_EQ(list[1].length, 100000u);

  const VolumeInfo& root = list[2];
  EXPECT_EQ(root.typeCode, 0x83);
  EXPECT_EQ(root.fileSystemName, "ext4");
  EXPECT_EQ(root.driveLetter, 3);
  // The whole-tree mount wins over the bind mount of a subfolder.
  EXPECT_EQ(root.mountPoint, "/");
  EXPECT_EQ(root.totalBytes, 300000000u);
  EXPECT_EQ(root.freeBytes, 100000000u);
  EXPECT_EQ(root.usedBytes, 200000000u);
}

TEST(LinuxDiskEnumeration, DiskWithoutPartitions) {
  FakeSystem sys;
  sys.Disk("sda", 1000000, "8:0");
  sys.Disk("sdb", 409600, "8:16");  // blank: the probe finds nothing
  sys.probes["sdb"] = FileSystemFacts{};
  sys.Disk("sdc", 409600, "8:32");  // a file system on the bare disk
  sys.probes["sdc"] = FileSystemFacts{"vfat", "FAT16", "BARE", "", ""};
  sys.Partition("sda", "sda1", 1, 2048, 997952, "8:1");
  sys.probes["sda1"] = Dos("0x7", "ntfs");

  const DiskMap& disks = sys.Refresh();
  ASSERT_EQ(disks.size(), 3u);
  const VolumeInfo& blank = disks.at(1).at(0);
  EXPECT_EQ(disks.at(1).size(), 1u);
  EXPECT_EQ(blank.kind, VolumeInfo::Kind::kWholeDisk);
  EXPECT_EQ(blank.driveLetter, 0);
  EXPECT_FALSE(blank.numbered);
  EXPECT_EQ(blank.start, 0u);
  EXPECT_EQ(blank.length, 409600u);
  EXPECT_EQ(blank.totalBytes, 409600ull * 512);
  EXPECT_EQ(blank.volumePath, (sys.Root() / "dev/sdb").string());
  EXPECT_EQ(blank.deviceId, uint64_t(makedev(8, 16)));

  ASSERT_EQ(disks.at(2).size(), 1u);
  const VolumeInfo& bare = disks.at(2)[0];
  EXPECT_EQ(bare.kind, VolumeInfo::Kind::kVolume);
  EXPECT_EQ(bare.partitionNumber, 0);
  EXPECT_EQ(bare.fileSystemName, "FAT");
  EXPECT_EQ(bare.typeCode, 6);
  EXPECT_EQ(bare.length, 409600u);
}

TEST(LinuxDiskEnumeration, RemovableUsbStickWithOneFat32Partition) {
  FakeSystem sys;
  sys.Disk("sda", 1000000, "8:0");
  sys.Partition("sda", "sda1", 1, 2048, 997952, "8:1");
  sys.probes["sda1"] = Dos("0x83", "ext4");
  // 7,864,320 sectors; the partition ends 62,272 sectors before the end.
  sys.Disk("sdb", 7864320, "8:16", 512, true,
           "devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/host6/target6:0:0/6:0:0:0");
  sys.Partition("sdb", "sdb1", 1, 2048, 7800000, "8:17");
  sys.probes["sdb1"] = Dos("0xc", "vfat", "FAT32", "STICK");
  sys.MountInfo("90 26 8:17 / /media/user/STICK\\040ONE rw - vfat /dev/sdb1 rw\n");
  sys.space["/media/user/STICK ONE"] = {3990000000ull, 1000000000ull};

  const DiskMap& disks = sys.Refresh();
  const auto& stick = disks.at(1);
  ASSERT_EQ(stick.size(), 2u);
  const VolumeInfo& fat = stick[0];
  EXPECT_EQ(fat.typeCode, 11);
  EXPECT_EQ(fat.fileSystemName, "FAT32");
  EXPECT_EQ(fat.label, "STICK");
  EXPECT_EQ(fat.start, 2048u);
  EXPECT_EQ(fat.length, 7800000u);
  EXPECT_TRUE(fat.removable);
  EXPECT_EQ(fat.bus, platform::DiskBus::kUsb);
  EXPECT_EQ(fat.mountPoint, "/media/user/STICK ONE");
  EXPECT_EQ(fat.totalBytes, 3990000000ull);
  EXPECT_EQ(fat.freeBytes, 1000000000ull);
  // sda1 is record 1 (sda has no gap); the stick's volume is record 2.
  EXPECT_EQ(fat.driveLetter, 2);
  EXPECT_EQ(stick[1].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(stick[1].length, 62272u);
  EXPECT_TRUE(stick[1].removable);
  EXPECT_FALSE(disks.at(0)[0].removable);
}

TEST(LinuxDiskEnumeration, FourKibSectorDiskCountsInItsOwnSectors) {
  FakeSystem sys;
  // 8 GiB; sysfs counts in 512-byte units whatever the sector size.
  sys.Disk("nvme0n1", 16777216, "259:0", 4096);
  sys.Partition("nvme0n1", "nvme0n1p1", 1, 2048, 1048576, "259:1");  // 1 MiB, 512 MiB
  sys.Partition("nvme0n1", "nvme0n1p2", 2, 4196352, 8388608, "259:2");
  sys.probes["nvme0n1p1"] =
      FileSystemFacts{"vfat", "FAT32", "EFI", "gpt", "C12A7328-F81F-11D2-BA4B-00A0C93EC93B"};
  sys.probes["nvme0n1p2"] =
      FileSystemFacts{"ext4", "1.0", "", "gpt", "0fc63daf-8483-4772-8e79-3d69d8477de4"};

  const DiskMap& disks = sys.Refresh();
  const auto& list = disks.at(0);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].start, 256u);
  EXPECT_EQ(list[0].length, 131072u);
  EXPECT_EQ(list[0].bytesPerSector, 4096u);
  EXPECT_EQ(list[0].typeCode, 11);
  EXPECT_EQ(list[0].bus, platform::DiskBus::kNvme);
  // 1 GiB (262,144 4 KiB sectors) lies between the two partitions.
  EXPECT_EQ(list[1].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(list[1].start, 131328u);
  EXPECT_EQ(list[1].length, 524544u - 131328u);
  EXPECT_EQ(list[1].totalBytes, (524544ull - 131328u) * 4096);
  EXPECT_EQ(list[2].start, 524544u);
  EXPECT_EQ(list[2].length, 1048576u);
  EXPECT_EQ(list[2].typeCode, 0x83);
  EXPECT_EQ(list[3].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(list[3].start + list[3].length, 2097152u);  // the disk's last sector + 1
}

TEST(LinuxDiskEnumeration, LeavesOutExtendedContainersAndUnreadablePartitions) {
  FakeSystem sys;
  sys.Disk("sda", 1000000, "8:0");
  sys.Partition("sda", "sda1", 1, 2048, 100000, "8:1");
  sys.Partition("sda", "sda2", 2, 102048, 2, "8:2");  // extended container
  sys.Partition("sda", "sda5", 5, 104096, 100000, "8:5");
  sys.Partition("sda", "sda6", 6, 206144, 100000, "8:6");  // the probe is refused
  sys.probes["sda1"] = Dos("0x7", "ntfs");
  sys.probes["sda2"] = Dos("0x5");
  sys.probes["sda5"] = Dos("0xb", "vfat", "FAT32");
  const DiskMap& disks = sys.Refresh();
  std::vector<int> numbers;
  for (const VolumeInfo& v : disks.at(0))
    if (v.kind == VolumeInfo::Kind::kVolume) numbers.push_back(v.partitionNumber);
  EXPECT_EQ(numbers, (std::vector<int>{1, 5}));
}

TEST(LinuxDiskEnumeration, MountedFileSystemTheProbeCannotReadTakesTheKernelsName) {
  FakeSystem sys;
  sys.Disk("vda", 1000000, "254:0");
  sys.MountInfo("26 1 254:0 / / rw - ext4 /dev/vda rw\n");
  const DiskMap& disks = sys.Refresh();
  const VolumeInfo& root = disks.at(0).at(0);
  EXPECT_EQ(root.kind, VolumeInfo::Kind::kVolume);
  EXPECT_EQ(root.fileSystemName, "ext4");
  EXPECT_EQ(root.typeCode, 0x83);
  EXPECT_EQ(root.mountPoint, "/");
}

TEST(LinuxDiskEnumeration, DiskNumbersFollowWholeDiskNames) {
  FakeSystem sys;
  sys.Disk("sdb", 100000, "8:16");
  sys.Disk("loop10", 100000, "7:10");
  WriteFile(sys.Root() / "sys/block/loop10/loop/backing_file", "/images/a.img");
  sys.Disk("loop2", 100000, "7:2");
  WriteFile(sys.Root() / "sys/block/loop2/loop/backing_file", "/images/b.img");
  sys.Disk("loop3", 0, "7:3");  // nothing attached
  sys.Disk("sr0", 0, "11:0");   // no medium
  sys.Disk("sda", 100000, "8:0");
  const std::vector<std::string> names = platform::WholeDiskNames(sys.Root() / "sys/block");
  const DiskMap& disks = sys.Refresh();
  ASSERT_EQ(names.size(), 5u);  // loop2 loop10 sda sdb sr0
  ASSERT_EQ(disks.size(), 4u);  // sr0 has no medium
  for (const auto& [number, list] : disks)
    EXPECT_EQ(list.at(0).volumePath, (sys.Root() / "dev" / names.at(size_t(number))).string());
  EXPECT_EQ(disks.at(0).at(0).bus, platform::DiskBus::kFileBacked);
}

TEST(LinuxDiskEnumeration, NoSysfsMeansNoList) {
  platform::LinuxDiskPaths paths{"/nonexistent-brinvale/sys/block", "/dev", "/proc/self/mountinfo"};
  DiskEnumerator enumerator(platform::MakeLinuxDiskEnumeration(
      paths, [](const fs::path&, FileSystemFacts&) { return kOk; },
      [](const fs::path&, uint64_t&, uint64_t&) { return kOk; }));
  EXPECT_EQ(RefreshDisks(enumerator), 0);
}

TEST(PartitionTypeByte, DosTypesStandAndGptKindsTakeTheirMbrByte) {
  EXPECT_EQ(platform::PartitionTypeByte(Dos("0xc")), 0x0C);
  EXPECT_EQ(platform::PartitionTypeByte(Dos("0x83")), 0x83);
  EXPECT_EQ(platform::PartitionTypeByte(Dos("0x1ff")), 0);
  EXPECT_EQ(platform::PartitionTypeByte(Dos("zz")), 0);
  FileSystemFacts gpt{"", "", "", "gpt", "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"};
  EXPECT_EQ(platform::PartitionTypeByte(gpt), 0x07);
  gpt.partitionType = "e3c9e316-0b5c-4db8-817d-f92df00215ae";  // Microsoft reserved
  EXPECT_EQ(platform::PartitionTypeByte(gpt), 0);
}

TEST(FileSystemDisplayName, FatWidthsAndWindowsNames) {
  EXPECT_EQ(platform::FileSystemDisplayName({"vfat", "FAT32", "", "", ""}), "FAT32");
  EXPECT_EQ(platform::FileSystemDisplayName({"vfat", "FAT12", "", "", ""}), "FAT");
  EXPECT_EQ(platform::FileSystemDisplayName({"vfat", "", "", "", ""}), "vfat");
  EXPECT_EQ(platform::FileSystemDisplayName({"ntfs", "", "", "", ""}), "NTFS");
  EXPECT_EQ(platform::FileSystemDisplayName({"exfat", "", "", "", ""}), "exFAT");
  EXPECT_EQ(platform::FileSystemDisplayName({"btrfs", "", "", "", ""}), "btrfs");
}

}  // namespace
}  // namespace brinvale

#endif
