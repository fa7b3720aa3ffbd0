#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brinvale::ui {

// One partition of an image that holds a whole disk, as the disk list
// shows it under the image's row.
struct ImagePartitionInfo {
  uint32_t number = 0;  // its number in the table
  uint64_t start = 0;   // in the image's 512-byte sectors
  uint64_t length = 0;
  std::string fileSystem;  // "FAT", "NTFS", "Ext" or "unknown"
};

// What starts at the beginning of the image `path`: "FAT", "NTFS", "Ext"
// or "unknown" (also for an image that cannot be read).
std::string ImageFileSystem(const std::filesystem::path& path);

// The partitions of the table at the start of the image `path`, in table
// order, with what starts at each; none when the image starts with a file
// system of its own, holds no table or cannot be read.
std::vector<ImagePartitionInfo> ListImagePartitions(const std::filesystem::path& path);

}  // namespace brinvale::ui
