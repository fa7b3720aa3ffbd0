#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

// Reading the small text files of /sys and /proc that the Linux backend
// asks about disks and mounts. Internal to platform/posix.
namespace brinvale::platform::linux_files {

// The first line of a file, without its line break and trailing blanks;
// empty when it cannot be read.
std::string ReadFirstLine(const std::filesystem::path& path);

// The file's first line as a whole decimal number; false when it is not one.
bool ReadNumber(const std::filesystem::path& path, uint64_t& value);

// "8:17" -> the dev_t of block device 8:17; 0 when malformed.
uint64_t ParseDeviceNumber(std::string_view text);

// Mount points in /proc/self/mountinfo escape space, tab, newline and
// backslash as three octal digits.
std::string UnescapeMountField(std::string_view field);

struct MountEntry {
  std::string mountPoint;
  std::string source;      // the mount's source device, e.g. "/dev/sdb1"
  std::string type;        // the kernel's file-system type, e.g. "vfat"
  bool wholeTree = false;  // the file system's root is mounted, not a subfolder
};

// Device number -> where it is mounted. A device mounted more than once
// keeps its first mount of the file system's root (a bind mount of a
// subfolder is taken only when nothing better is there).
std::map<uint64_t, MountEntry> ReadMountTable(const std::filesystem::path& mountInfo);

}  // namespace brinvale::platform::linux_files
