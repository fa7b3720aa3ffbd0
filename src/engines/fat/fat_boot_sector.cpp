#include "engines/fat/fat_boot_sector.h"

#include <cstring>

#include "common/bytes.h"

namespace brinvale {
namespace {

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace

std::optional<FatGeometry> ParseFatBootSector(std::span<const uint8_t> boot) {
  if (boot.size() < 512) return std::nullopt;
  FatGeometry g;
  g.bytesPerSector = LoadLe16(boot, 11);
  g.sectorsPerCluster = boot[13];
  g.reservedSectors = LoadLe16(boot, 14);
  g.fatCount = boot[16];
  g.rootEntries = LoadLe16(boot, 17);
  g.totalSectors = LoadLe16(boot, 19) ? LoadLe16(boot, 19) : LoadLe32(boot, 32);
  if (g.bytesPerSector < 512 || !IsPowerOfTwo(g.bytesPerSector) ||
      !IsPowerOfTwo(g.sectorsPerCluster))
    return std::nullopt;

  const bool fat32Text = std::memcmp(boot.data() + 82, "FAT32   ", 8) == 0;
  if (fat32Text) {
    g.kind = FatKind::kFat32;
    g.fatSectors = LoadLe32(boot, 36);
    g.rootCluster = LoadLe32(boot, 44);
    g.rootEntries = 0;
  } else {
    g.fatSectors = LoadLe16(boot, 22) ? LoadLe16(boot, 22) : LoadLe32(boot, 36);
    g.rootDirSectors =
        (uint64_t(g.rootEntries) * 32 + g.bytesPerSector - 1) / g.bytesPerSector;
  }
  g.firstDataSector =
      uint64_t(g.reservedSectors) + uint64_t(g.fatCount) * g.fatSectors + g.rootDirSectors;
  if (g.totalSectors <= g.firstDataSector) return std::nullopt;
  g.clusterCount = (g.totalSectors - g.firstDataSector) / g.sectorsPerCluster;
  if (!fat32Text) g.kind = g.clusterCount < 4085 ? FatKind::kFat12 : FatKind::kFat16;
  return g;
}

}  // namespace brinvale
