#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The folder-name file of a scan log: 268-byte entries back to back, no
// header, little-endian:
//
//   offset size field
//     0     4  the folder's entry key (first cluster or MFT record number)
//     4     4  the folder's record number
//     8   260  the folder's name, UTF-8, NUL-terminated
namespace brinvale {

namespace dirinfo {
inline constexpr size_t kCluster = 0;
inline constexpr size_t kNumber = 4;
inline constexpr size_t kName = 8;
inline constexpr size_t kNameBytes = 260;
inline constexpr size_t kSize = 268;
static_assert(kName + kNameBytes == kSize);
}  // namespace dirinfo

struct FolderEntry {
  uint32_t cluster = 0;
  uint32_t number = 0;
  std::string name;  // at most 259 bytes, cut at a character boundary
};

// An entry whose name is cut to 259 bytes without splitting a character.
FolderEntry MakeFolderEntry(uint32_t cluster, uint32_t number, std::string_view name);

// Writes `entry` into 268 bytes, the name NUL-padded.
void EncodeFolderEntry(const FolderEntry& entry, std::span<uint8_t> bytes);

// Appends every whole entry of `bytes` to `out`; a trailing partial entry is
// ignored. A name field without a NUL gives its first 259 bytes.
void ParseFolderEntries(std::span<const uint8_t> bytes, std::vector<FolderEntry>& out);

}  // namespace brinvale
