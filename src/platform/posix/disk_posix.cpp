#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>

#include "common/error_codes.h"
#include "platform/disk.h"
#include "platform/natural_order.h"
#include "platform/system_error.h"

namespace brinvale::platform {
namespace {

bool StartsWith(const std::string& s, std::string_view prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// A loop device counts as a disk only while something is attached to it.
bool LoopHasBackingFile(const std::filesystem::path& dir) {
  std::ifstream in(dir / "loop" / "backing_file");
  std::string line;
  return in && std::getline(in, line) && !line.empty();
}

}  // namespace

std::vector<std::string> WholeDiskNames(const std::filesystem::path& sysBlock) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(sysBlock, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (StartsWith(name, "ram") || StartsWith(name, "zram")) continue;
    if (StartsWith(name, "loop") && !LoopHasBackingFile(it->path())) continue;
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

std::filesystem::path DiskPath(int number) {
  if (number < 0) return {};
  std::vector<std::string> names = WholeDiskNames();
  if (size_t(number) >= names.size()) return {};
  return std::filesystem::path("/dev") / names[size_t(number)];
}

int OpenDisk(int number, UniqueHandle& out) {
  std::filesystem::path path = DiskPath(number);
  if (path.empty()) return kErrFileNotFound;
  return OpenFile(path, OpenMode::kReadExisting, out);
}

int QueryDiskGeometry(const UniqueHandle& disk, DiskGeometry& out) {
  int sectorSize = 0;
  if (::ioctl(disk.Get(), BLKSSZGET, &sectorSize) != 0)
    return errno == ENOTTY ? kErrInvalidParameter : ErrnoToSystemError(errno);
  out = DiskGeometry{};
  out.bytesPerSector = sectorSize > 0 ? uint32_t(sectorSize) : 512;
  // Linux keeps no cylinder geometry worth the name; give the usual
  // 255 heads x 63 sectors translation so the product covers the disk.
  uint64_t bytes = 0;
  if (::ioctl(disk.Get(), BLKGETSIZE64, &bytes) == 0) {
    out.tracksPerCylinder = 255;
    out.sectorsPerTrack = 63;
    out.cylinders = bytes / out.bytesPerSector / (255 * 63);
  }
  return kOk;
}

int QueryDiskLength(const UniqueHandle& disk, uint64_t& bytes) {
  struct stat st {};
  if (::fstat(disk.Get(), &st) != 0) return ErrnoToSystemError(errno);
  if (!S_ISBLK(st.st_mode)) {
    bytes = uint64_t(st.st_size);
    return kOk;
  }
  if (::ioctl(disk.Get(), BLKGETSIZE64, &bytes) != 0) return ErrnoToSystemError(errno);
  return kOk;
}

void FlushVolume(const std::filesystem::path& volume) {
  // A block device's buffers are flushed by fsync on any handle to it.
  int fd = ::open(volume.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

void FlushVolumeLetter(char16_t) {
  // Linux volumes have no drive letters; callers flush by device path.
}

}  // namespace brinvale::platform
