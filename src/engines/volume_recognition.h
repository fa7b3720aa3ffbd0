#pragma once

#include <cstdint>
#include <span>

// Recognising the file system at the start of a partition or image.
namespace brinvale {

// The first 512 bytes of a partition.
bool IsNtfsBootSector(std::span<const uint8_t> sector);
bool IsFatBootSector(std::span<const uint8_t> sector);
// The 1,024 bytes at byte offset 1,024 of a partition.
bool IsExtSuperblock(std::span<const uint8_t> superblock);

// What the factory calls the recognised file system.
enum class VolumeKind : int { kFat = 2, kNtfs = 3, kExt = 4, kUnknown = 5 };

// The bytes the factory reads at the start of a partition.
inline constexpr size_t kRecognitionBytes = 16384;

// Tries NTFS, then FAT, then Ext on the first bytes of a partition.
// Fewer than 2,048 bytes is kUnknown.
VolumeKind ClassifyVolumeStart(std::span<const uint8_t> start);

const char* VolumeKindName(VolumeKind kind);  // "NTFS", "FAT", "Ext", "unknown"

}  // namespace brinvale
