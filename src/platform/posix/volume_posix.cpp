#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/error_codes.h"
#include "platform/system_error.h"
#include "platform/volume.h"

namespace brinvale::platform {

int VolumeFreeSpace(const std::filesystem::path& path, uint64_t& freeBytes) {
  struct statvfs sv {};
  if (::statvfs(path.c_str(), &sv) != 0) return ErrnoToSystemError(errno);
  freeBytes = uint64_t(sv.f_bavail) * uint64_t(sv.f_frsize);
  return kOk;
}

// The file-system type of the mount that holds `path`, from the mount table:
// the entry whose device number matches the path's and that is listed last
// (later mounts hide earlier ones).
int VolumeFileSystemName(const std::filesystem::path& path, std::string& name) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return ErrnoToSystemError(errno);
  std::ifstream in("/proc/self/mountinfo");
  if (!in) return kErrNotSupported;
  std::string line, found;
  while (std::getline(in, line)) {
    // id parent major:minor root mountpoint options [optional...] - fstype source
    std::istringstream fields(line);
    std::string id, parent, devnum;
    fields >> id >> parent >> devnum;
    unsigned major = 0, minor = 0;
    if (std::sscanf(devnum.c_str(), "%u:%u", &major, &minor) != 2) continue;
    if (makedev(major, minor) != st.st_dev) continue;
    size_t dash = line.find(" - ");
    if (dash == std::string::npos) continue;
    std::istringstream tail(line.substr(dash + 3));
    std::string type;
    tail >> type;
    if (!type.empty()) found = type;
  }
  if (found.empty()) return kErrNotSupported;
  name = found.substr(0, 31);
  return kOk;
}

int DriveLetterFreeSpace(char16_t, uint64_t&) { return kErrNotSupported; }

std::filesystem::path DriveRoot(char16_t) { return "/"; }

}  // namespace brinvale::platform
