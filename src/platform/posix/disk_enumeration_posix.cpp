#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "common/error_codes.h"
#include "platform/disk_enumeration.h"
#include "platform/natural_order.h"
#include "platform/posix/linux_sys_files.h"
#include "platform/system_error.h"

namespace brinvale::platform {
namespace {

namespace fs = std::filesystem;

// sysfs counts start and size in 512-byte units whatever the sector size.
constexpr uint64_t kSysfsUnit = 512;
// Linux keeps no cylinder geometry; the usual 255 heads x 63 sectors
// translation gives the cylinder the gap rule measures with.
constexpr uint32_t kTracksPerCylinder = 255;
constexpr uint32_t kSectorsPerTrack = 63;

using linux_files::MountEntry;
using linux_files::ParseDeviceNumber;
using linux_files::ReadFirstLine;
using linux_files::ReadMountTable;
using linux_files::ReadNumber;

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

DiskBus BusOf(const std::string& name, const fs::path& diskDir) {
  if (StartsWith(name, "nvme")) return DiskBus::kNvme;
  if (StartsWith(name, "mmcblk")) return DiskBus::kSdCard;
  if (StartsWith(name, "loop")) return DiskBus::kFileBacked;
  if (StartsWith(name, "md")) return DiskBus::kRaid;
  if (StartsWith(name, "dm-")) return DiskBus::kVirtual;
  if (StartsWith(name, "vd") || StartsWith(name, "xvd")) return DiskBus::kVirtual;
  std::error_code ec;
  fs::path device = fs::canonical(diskDir / "device", ec);
  if (ec) return DiskBus::kUnknown;
  const std::string path = device.generic_string();
  if (path.find("/usb") != std::string::npos) return DiskBus::kUsb;
  if (path.find("/mmc") != std::string::npos) return DiskBus::kSdCard;
  if (path.find("/virtio") != std::string::npos) return DiskBus::kVirtual;
  if (path.find("/ata") != std::string::npos) return DiskBus::kSata;
  if (path.find("/host") != std::string::npos) return DiskBus::kScsi;
  return DiskBus::kUnknown;
}

bool IsExtendedContainer(const FileSystemFacts& facts) {
  if (facts.partitionScheme != "dos") return false;
  const uint8_t type = PartitionTypeByte(facts);
  return type == 0x05 || type == 0x0F || type == 0x85;
}

class LinuxDiskEnumeration final : public DiskEnumeration {
 public:
  LinuxDiskEnumeration(LinuxDiskPaths paths, FileSystemProbe probe, MountedSpaceQuery space)
      : m_paths(std::move(paths)), m_probe(std::move(probe)), m_space(std::move(space)) {}

  int ListVolumes(std::vector<SystemVolume>& out) override {
    std::error_code ec;
    if (!fs::is_directory(m_paths.sysBlock, ec)) return kErrPathNotFound;
    m_names = WholeDiskNames(m_paths.sysBlock);
    m_haveNames = true;
    const std::map<uint64_t, MountEntry> mounts = ReadMountTable(m_paths.mountInfo);
    for (size_t disk = 0; disk < m_names.size(); ++disk) ListDiskVolumes(int(disk), mounts, out);
    return kOk;
  }

  int QueryDisk(int diskNumber, SystemDisk& out) override {
    const std::vector<std::string>& names = Names();
    if (diskNumber < 0 || size_t(diskNumber) >= names.size()) return kErrFileNotFound;
    const std::string& name = names[size_t(diskNumber)];
    const fs::path dir = m_paths.sysBlock / name;
    uint64_t size = 0;
    if (!ReadNumber(dir / "size", size)) return kErrFileNotFound;
    if (size == 0) return kErrNoMediaInDrive;
    uint64_t sectorSize = 0;
    if (!ReadNumber(dir / "queue" / "logical_block_size", sectorSize) || sectorSize == 0 ||
        sectorSize > 65536)
      sectorSize = 512;
    out = SystemDisk{};
    out.geometry.bytesPerSector = uint32_t(sectorSize);
    out.geometry.tracksPerCylinder = kTracksPerCylinder;
    out.geometry.sectorsPerTrack = kSectorsPerTrack;
    out.lengthBytes = size * kSysfsUnit;
    out.geometry.cylinders = out.lengthBytes / sectorSize / (kTracksPerCylinder * kSectorsPerTrack);
    out.bus = BusOf(name, dir);
    uint64_t removable = 0;
    out.removable = (ReadNumber(dir / "removable", removable) && removable == 1) ||
                    out.bus == DiskBus::kUsb || out.bus == DiskBus::kSdCard;
    out.deviceId = ParseDeviceNumber(ReadFirstLine(dir / "dev"));
    out.name = (m_paths.dev / name).string();
    return kOk;
  }

  int DiskNumberLimit() override { return int(Names().size()); }

 private:
  const std::vector<std::string>& Names() {
    if (!m_haveNames) {
      m_names = WholeDiskNames(m_paths.sysBlock);
      m_haveNames = true;
    }
    return m_names;
  }

  void ListDiskVolumes(int disk, const std::map<uint64_t, MountEntry>& mounts,
                       std::vector<SystemVolume>& out) {
    const std::string& name = m_names[size_t(disk)];
    const fs::path dir = m_paths.sysBlock / name;
    std::vector<std::string> partitions;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code ec2;
      if (fs::exists(it->path() / "partition", ec2))
        partitions.push_back(it->path().filename().string());
    }
    std::sort(partitions.begin(), partitions.end(), NaturalLess);

    if (partitions.empty()) {
      // A disk without a partition table may hold a file system directly.
      uint64_t size = 0;
      if (!ReadNumber(dir / "size", size) || size == 0) return;
      FileSystemFacts facts;
      if (m_probe(m_paths.dev / name, facts) != kOk) facts = FileSystemFacts{};
      FillFromMount(dir, mounts, facts);
      if (facts.type.empty()) return;
      SystemVolume v = Describe(disk, name, 0, 0, size * kSysfsUnit, facts, dir, mounts);
      out.push_back(std::move(v));
      return;
    }
    for (const std::string& part : partitions) {
      const fs::path partDir = dir / part;
      uint64_t number = 0, start = 0, size = 0;
      if (!ReadNumber(partDir / "partition", number) || !ReadNumber(partDir / "start", start) ||
          !ReadNumber(partDir / "size", size))
        continue;
      FileSystemFacts facts;
      if (m_probe(m_paths.dev / part, facts) != kOk) facts = FileSystemFacts{};
      FillFromMount(partDir, mounts, facts);
      if (IsExtendedContainer(facts)) continue;
      // An extended container that could not be probed shows as a 1 KiB stub.
      if (facts.type.empty() && facts.partitionScheme.empty() && size * kSysfsUnit <= 1024)
        continue;
      out.push_back(Describe(disk, part, int(number), start * kSysfsUnit, size * kSysfsUnit, facts,
                             partDir, mounts));
    }
  }

  // A mounted file system the probe could not name (no right to read the
  // device, or a kind it does not know) takes the kernel's name for it.
  static void FillFromMount(const fs::path& sysDir, const std::map<uint64_t, MountEntry>& mounts,
                            FileSystemFacts& facts) {
    if (!facts.type.empty()) return;
    const uint64_t device = ParseDeviceNumber(ReadFirstLine(sysDir / "dev"));
    if (auto it = mounts.find(device); device != 0 && it != mounts.end())
      facts.type = it->second.type;
  }

  SystemVolume Describe(int disk, const std::string& deviceName, int partitionNumber,
                        uint64_t startBytes, uint64_t lengthBytes, const FileSystemFacts& facts,
                        const fs::path& sysDir, const std::map<uint64_t, MountEntry>& mounts) {
    SystemVolume v;
    v.volumePath = (m_paths.dev / deviceName).string();
    v.driveLetter = 0;
    v.diskNumber = disk;
    v.partitionNumber = partitionNumber;
    v.startBytes = startBytes;
    v.lengthBytes = lengthBytes;
    v.partitionType = PartitionTypeByte(facts);
    v.fileSystemName = FileSystemDisplayName(facts);
    v.label = facts.label;
    v.deviceId = ParseDeviceNumber(ReadFirstLine(sysDir / "dev"));
    if (auto it = mounts.find(v.deviceId); v.deviceId != 0 && it != mounts.end()) {
      v.mountPoint = it->second.mountPoint;
      uint64_t total = 0, free = 0;
      if (m_space && m_space(v.mountPoint, total, free) == kOk) {
        v.spaceKnown = true;
        v.totalBytes = total;
        v.freeBytes = free;
      }
    }
    return v;
  }

  LinuxDiskPaths m_paths;
  FileSystemProbe m_probe;
  MountedSpaceQuery m_space;
  std::vector<std::string> m_names;
  bool m_haveNames = false;
};

struct ProbeDeleter {
  void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};

std::string LookupValue(blkid_probe probe, const char* name) {
  const char* data = nullptr;
  size_t length = 0;
  if (blkid_probe_lookup_value(probe, name, &data, &length) != 0 || data == nullptr) return {};
  std::string value(data, length);
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::string FileSystemDisplayName(const FileSystemFacts& facts) {
  if (facts.type == "vfat" || facts.type == "msdos") {
    if (facts.version == "FAT32") return "FAT32";
    if (facts.version == "FAT12" || facts.version == "FAT16") return "FAT";
    return facts.type;  // a FAT of unknown width
  }
  if (facts.type == "ntfs") return "NTFS";
  if (facts.type == "exfat") return "exFAT";
  return facts.type;
}

uint8_t PartitionTypeByte(const FileSystemFacts& facts) {
  if (facts.partitionScheme == "dos") {
    unsigned value = 0;
    std::string_view text = facts.partitionType;
    if (StartsWith(text, "0x")) text.remove_prefix(2);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size() || value > 0xFF) return 0;
    return uint8_t(value);
  }
  if (facts.partitionScheme == "gpt") {
    struct GptKind {
      const char* guid;
      uint8_t mbrType;
    };
    static constexpr GptKind kGptKinds[] = {
        // type GUID                               MBR byte
        {"ebd0a0a2-b9e5-4433-87c0-68b6b72699c7", 0x07},  // basic data
        {"de94bba4-06d1-4d40-a16a-bfd50179d6ac", 0x27},  // Windows recovery
        {"c12a7328-f81f-11d2-ba4b-00a0c93ec93b", 0xEF},  // EFI system
        {"0fc63daf-8483-4772-8e79-3d69d8477de4", 0x83},  // Linux data
        {"4f68bce3-e8cd-4db1-96e7-fbcaf984b709", 0x83},  // Linux root (x86-64)
        {"44479540-f297-41b2-9af7-d131d5f0458a", 0x83},  // Linux root (x86)
        {"933ac7e1-2eb4-4f13-b844-0e14e2aef915", 0x83},  // Linux /home
        {"3b8f8425-20e0-4f3b-907f-1a25a76f98e8", 0x83},  // Linux /srv
        {"0657fd6d-a4ab-43c4-84e5-0933c84b4f4f", 0x82},  // Linux swap
        {"e6d6d379-f507-44c2-a23c-238f2a3df928", 0x8E},  // Linux LVM
        {"a19d880f-05fc-4d3b-a006-743f0f84911e", 0xFD},  // Linux RAID
        {"48465300-0000-11aa-aa11-00306543ecac", 0xAF},  // Apple HFS+
    };
    for (const GptKind& kind : kGptKinds)
      if (EqualsIgnoringCase(facts.partitionType, kind.guid)) return kind.mbrType;
    return 0;  // Microsoft reserved, BIOS boot and unknown kinds
  }
  // No partition table: the byte an MBR entry would carry for the file system.
  struct FsKind {
    const char* type;
    uint8_t mbrType;
  };
  static constexpr FsKind kFsKinds[] = {
      {"ntfs", 0x07},
      {"exfat", 0x07},
      {"ext2", 0x83},
      {"ext3", 0x83},
      {"ext4", 0x83},
      {"xfs", 0x83},
      {"btrfs", 0x83},
      {"swap", 0x82},
      {"LVM2_member", 0x8E},
      {"hfsplus", 0xAF},
      {"linux_raid_member", 0xFD},
  };
  for (const FsKind& kind : kFsKinds)
    if (facts.type == kind.type) return kind.mbrType;
  if (facts.type == "vfat" || facts.type == "msdos") return facts.version == "FAT32" ? 0x0C : 0x06;
  return 0;
}

int ProbeFileSystemWithBlkid(const fs::path& device, FileSystemFacts& out) {
  out = FileSystemFacts{};
  errno = 0;
  std::unique_ptr<blkid_struct_probe, ProbeDeleter> probe(
      blkid_new_probe_from_filename(device.c_str()));
  if (!probe) return errno ? ErrnoToSystemError(errno) : kErrReadFault;
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(),
                                    BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_VERSION);
  blkid_probe_enable_partitions(probe.get(), 1);
  blkid_probe_set_partitions_flags(probe.get(), BLKID_PARTS_ENTRY_DETAILS);
  // 0 found, 1 nothing found, -2 ambiguous (no answer taken), -1 error.
  const int rc = blkid_do_safeprobe(probe.get());
  if (rc == -1) return kErrReadFault;
  if (rc != 0) return kOk;
  out.type = LookupValue(probe.get(), "TYPE");
  out.version = LookupValue(probe.get(), "VERSION");
  out.label = LookupValue(probe.get(), "LABEL");
  out.partitionScheme = LookupValue(probe.get(), "PART_ENTRY_SCHEME");
  out.partitionType = LookupValue(probe.get(), "PART_ENTRY_TYPE");
  return kOk;
}

int QueryMountedSpaceStatvfs(const fs::path& mountPoint, uint64_t& totalBytes,
                             uint64_t& freeBytes) {
  struct statvfs sv {};
  if (::statvfs(mountPoint.c_str(), &sv) != 0) return ErrnoToSystemError(errno);
  totalBytes = uint64_t(sv.f_blocks) * uint64_t(sv.f_frsize);
  freeBytes = uint64_t(sv.f_bfree) * uint64_t(sv.f_frsize);
  return kOk;
}

std::unique_ptr<DiskEnumeration> MakeLinuxDiskEnumeration(LinuxDiskPaths paths,
                                                          FileSystemProbe probe,
                                                          MountedSpaceQuery space) {
  return std::make_unique<LinuxDiskEnumeration>(std::move(paths), std::move(probe),
                                                std::move(space));
}

std::unique_ptr<DiskEnumeration> MakeSystemDiskEnumeration() {
  return MakeLinuxDiskEnumeration(LinuxDiskPaths{}, ProbeFileSystemWithBlkid,
                                  QueryMountedSpaceStatvfs);
}

int VolumeDeviceIdOfPath(const fs::path& path, uint64_t& deviceId) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return ErrnoToSystemError(errno);
  deviceId = uint64_t(st.st_dev);
  if (major(st.st_dev) != 0) return kOk;
  // An anonymous device number (btrfs, overlay): the mount table names the
  // block device the file system came from.
  const std::map<uint64_t, MountEntry> mounts = ReadMountTable("/proc/self/mountinfo");
  auto it = mounts.find(uint64_t(st.st_dev));
  if (it == mounts.end() || !StartsWith(it->second.source, "/dev/")) return kOk;
  struct stat source {};
  if (::stat(it->second.source.c_str(), &source) == 0 && S_ISBLK(source.st_mode))
    deviceId = uint64_t(source.st_rdev);
  return kOk;
}

}  // namespace brinvale::platform
