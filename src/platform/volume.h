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

// Free bytes of the volume at drive letter `letter` ("E:\"), as its file
// system counts them: sectors per cluster x free clusters x bytes per
// sector. Only Windows gives volumes letters: elsewhere, and for a letter
// outside A to Z, the answer is 50 (not supported) and `freeBytes` is left
// alone.
int DriveLetterFreeSpace(char16_t letter, uint64_t& freeBytes);

// The root of a drive letter: "C:\" on Windows; "/" elsewhere.
std::filesystem::path DriveRoot(char16_t letter);

}  // namespace brinvale::platform
