#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <system_error>

#include "common/error_codes.h"
#include "platform/disk.h"
#include "platform/path_storage.h"
#include "platform/posix/linux_sys_files.h"
#include "platform/system_error.h"

namespace brinvale::platform {
namespace {

namespace fs = std::filesystem;
using linux_files::ParseDeviceNumber;
using linux_files::ReadFirstLine;
using linux_files::ReadNumber;

constexpr uint64_t kSysfsUnit = 512;  // sysfs counts start and size in 512-byte units
// Loop devices over files on loop devices, and so on: a longer chain is a
// loop of its own.
constexpr int kDeepestChain = 8;

struct BlockDevice {
  std::string name;  // kernel name: "sdb1"
  std::string disk;  // the whole disk it is part of ("sdb"; itself for a whole disk)
  uint64_t device = 0;
  uint64_t startBytes = 0;
  uint64_t lengthBytes = 0;  // 0 for a whole disk: all of it
};

// Every block device under /sys/block: the whole disks (with device
// mapper, RAID and loop devices) and their partitions.
class BlockIndex {
 public:
  explicit BlockIndex(const fs::path& sysBlock) {
    std::error_code ec;
    for (fs::directory_iterator disk(sysBlock, ec), end; !ec && disk != end; disk.increment(ec)) {
      const std::string diskName = disk->path().filename().string();
      Add({diskName, diskName, ParseDeviceNumber(ReadFirstLine(disk->path() / "dev")), 0, 0});
      std::error_code inner;
      for (fs::directory_iterator part(disk->path(), inner); !inner && part != end;
           part.increment(inner)) {
        std::error_code probe;
        if (!fs::exists(part->path() / "partition", probe)) continue;
        BlockDevice d{part->path().filename().string(), diskName,
                      ParseDeviceNumber(ReadFirstLine(part->path() / "dev")), 0, 0};
        uint64_t start = 0, size = 0;
        if (ReadNumber(part->path() / "start", start)) d.startBytes = start * kSysfsUnit;
        if (ReadNumber(part->path() / "size", size)) d.lengthBytes = size * kSysfsUnit;
        // A partition of unknown length is taken as reaching the disk's end.
        Add(std::move(d));
      }
    }
  }

  const BlockDevice* ByName(const std::string& name) const {
    auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : &m_devices[it->second];
  }
  const BlockDevice* ByDevice(uint64_t device) const {
    auto it = m_byDevice.find(device);
    return device == 0 || it == m_byDevice.end() ? nullptr : &m_devices[it->second];
  }

 private:
  void Add(BlockDevice d) {
    m_byName[d.name] = m_devices.size();
    if (d.device != 0) m_byDevice[d.device] = m_devices.size();
    m_devices.push_back(std::move(d));
  }

  std::vector<BlockDevice> m_devices;
  std::map<std::string, size_t> m_byName;
  std::map<uint64_t, size_t> m_byDevice;
};

class StorageWalk {
 public:
  StorageWalk(const LinuxDiskPaths& paths, PathStorage& out)
      : m_paths(paths),
        m_index(paths.sysBlock),
        m_disks(WholeDiskNames(paths.sysBlock)),
        m_mounts(linux_files::ReadMountTable(paths.mountInfo)),
        m_out(out) {}

  void FromDevice(uint64_t device, int depth) {
    if (depth > kDeepestChain) return;
    if (const BlockDevice* block = m_index.ByDevice(device)) {
      m_out.known = true;
      AddBlock(*block, depth);
      return;
    }
    // An anonymous device number (FUSE, btrfs, overlay): the mount table
    // names where the file system came from.
    auto mount = m_mounts.find(device);
    if (mount == m_mounts.end()) return;
    m_out.known = true;
    const std::string& source = mount->second.source;
    if (source.rfind("/dev/", 0) == 0) {
      if (const BlockDevice* block = SourceDevice(source)) AddBlock(*block, depth);
      return;
    }
    // ntfs-3g and other FUSE drivers mount image files directly.
    struct stat st {};
    if (!source.empty() && source[0] == '/' && ::stat(source.c_str(), &st) == 0 &&
        S_ISREG(st.st_mode))
      AddImageFile(source, depth);
  }

 private:
  // "/dev/mapper/root" -> dm-0: the links under /dev lead to the kernel name.
  const BlockDevice* SourceDevice(const std::string& source) const {
    const fs::path given = m_paths.dev / source.substr(5);
    std::error_code ec;
    const fs::path real = fs::canonical(given, ec);
    if (const BlockDevice* block = m_index.ByName((ec ? given : real).filename().string()))
      return block;
    struct stat st {};
    if (::stat(given.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) return m_index.ByDevice(st.st_rdev);
    return nullptr;
  }

  int DiskNumberOf(const std::string& disk) const {
    auto it = std::find(m_disks.begin(), m_disks.end(), disk);
    return it == m_disks.end() ? -1 : int(it - m_disks.begin());
  }

  void AddBlock(const BlockDevice& block, int depth) {
    if (depth > kDeepestChain || !m_seen.insert(block.name).second) return;
    if (m_out.deviceId == 0) m_out.deviceId = block.device;
    m_out.extents.push_back(
        {DiskNumberOf(block.disk), block.disk, block.startBytes, block.lengthBytes});
    const fs::path diskDir = m_paths.sysBlock / block.disk;
    // Device mapper (LVM, LUKS) and RAID: the members hold the data.
    std::error_code ec;
    for (fs::directory_iterator member(diskDir / "slaves", ec), end; !ec && member != end;
         member.increment(ec))
      if (const BlockDevice* m = m_index.ByName(member->path().filename().string()))
        AddBlock(*m, depth + 1);
    // A loop device writes into its backing file.
    std::string backing = ReadFirstLine(diskDir / "loop" / "backing_file");
    constexpr std::string_view kDeleted = " (deleted)";
    if (backing.size() > kDeleted.size() &&
        backing.compare(backing.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
      backing.resize(backing.size() - kDeleted.size());
    if (!backing.empty()) AddImageFile(backing, depth + 1);
  }

  void AddImageFile(const fs::path& file, int depth) {
    if (!m_files.insert(file.string()).second) return;
    m_out.imageFiles.push_back(file);
    // The file itself lies on some disk too.
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) FromDevice(uint64_t(st.st_dev), depth + 1);
  }

  const LinuxDiskPaths& m_paths;
  BlockIndex m_index;
  std::vector<std::string> m_disks;
  std::map<uint64_t, linux_files::MountEntry> m_mounts;
  PathStorage& m_out;
  std::set<std::string> m_seen;
  std::set<std::string> m_files;
};

}  // namespace

void DescribeLinuxStorage(uint64_t pathDevice, const LinuxDiskPaths& paths, PathStorage& out) {
  out = PathStorage{};
  StorageWalk(paths, out).FromDevice(pathDevice, 0);
}

int DescribePathStorage(const fs::path& path, PathStorage& out) {
  out = PathStorage{};
  // A folder still to be made: its nearest existing parent tells.
  fs::path at = path.empty() ? fs::path(".") : path;
  struct stat st {};
  while (::stat(at.c_str(), &st) != 0) {
    const int err = errno;
    if (err != ENOENT || !at.has_relative_path()) return ErrnoToSystemError(err);
    const fs::path parent = at.parent_path();
    at = parent.empty() ? fs::path(".") : parent;
    if (at == ".") {
      if (::stat(".", &st) != 0) return ErrnoToSystemError(errno);
      break;
    }
  }
  DescribeLinuxStorage(uint64_t(st.st_dev), LinuxDiskPaths{}, out);
  return kOk;
}

}  // namespace brinvale::platform
