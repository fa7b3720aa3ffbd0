#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace brinvale {

enum class FatKind { kFat12, kFat16, kFat32 };

// The layout of a FAT volume as its boot sector describes it. Sector numbers
// are relative to the start of the volume.
struct FatGeometry {
  FatKind kind = FatKind::kFat32;
  uint32_t bytesPerSector = 512;
  uint32_t sectorsPerCluster = 1;
  uint32_t reservedSectors = 0;
  uint32_t fatCount = 0;
  uint32_t fatSectors = 0;      // sectors of one FAT
  uint32_t rootEntries = 0;     // FAT12/16 root directory entries; 0 on FAT32
  uint32_t rootCluster = 0;     // FAT32 root folder's first cluster; 0 on FAT12/16
  uint64_t totalSectors = 0;
  uint64_t rootDirSectors = 0;  // FAT12/16 root directory length; 0 on FAT32
  uint64_t firstDataSector = 0; // sector of cluster 2
  uint64_t clusterCount = 0;    // data clusters (numbered 2 .. clusterCount + 1)

  bool IsFat32() const { return kind == FatKind::kFat32; }
  uint32_t BytesPerCluster() const { return bytesPerSector * sectorsPerCluster; }
  // FAT12/16 root directory: it sits just before cluster 2.
  uint64_t RootDirStart() const { return firstDataSector - rootDirSectors; }
  // The sector of cluster c (c >= 2), relative to the volume start.
  uint64_t ClusterSector(uint64_t c) const {
    return firstDataSector + (c - 2) * uint64_t(sectorsPerCluster);
  }
};

// Reads the layout from a boot sector (at least 512 bytes). A volume is FAT32
// when bytes 82..89 read "FAT32   "; otherwise it is FAT12 below 4,085
// clusters and FAT16 above. The FAT12/16 root directory holds as many sectors
// as its entry count needs (entries x 32 / bytes per sector, rounded up).
// Empty when the numbers cannot describe a volume (a zero or non-power-of-two
// sector or cluster size, a data area that starts past the end).
std::optional<FatGeometry> ParseFatBootSector(std::span<const uint8_t> boot);

}  // namespace brinvale
