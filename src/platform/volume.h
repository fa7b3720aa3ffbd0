#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Questions about the mounted volume that holds a path.
namespace brinvale::platform {

// Free bytes available on the volume holding `path`.
int VolumeFreeSpace(const std::filesystem::path& path, uint64_t& freeBytes);

// The file-system name of the volume holding `path` ("NTFS", "FAT32",
// "vfat", "ext4", ...), at most 31 characters.
int VolumeFileSystemName(const std::filesystem::path& path, std::string& name);

// The root of a drive letter: "C:\" on Windows; "/" elsewhere.
std::filesystem::path DriveRoot(char16_t letter);

}  // namespace brinvale::platform
