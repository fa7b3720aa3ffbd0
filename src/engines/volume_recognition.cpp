#include "engines/volume_recognition.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"

namespace brinvale {
namespace {

bool HasBootSignature(std::span<const uint8_t> s) { return s[510] == 0x55 && s[511] == 0xAA; }

bool IsPowerOfTwoUpTo128(uint32_t v) { return v >= 1 && v <= 128 && (v & (v - 1)) == 0; }

bool IsBitLockerHeader(std::span<const uint8_t> s) {
  static constexpr uint8_t kSignature[] = {0x2D, 0x46, 0x56, 0x45, 0x2D, 0x46, 0x53, 0x2D};
  if (std::memcmp(s.data() + 3, kSignature, sizeof kSignature) == 0) return true;
  // Eight 0x78, nineteen 0xFF, then 00 1F 2C at offset 480.
  const uint8_t* p = s.data() + 480;
  return std::all_of(p, p + 8, [](uint8_t b) { return b == 0x78; }) &&
         std::all_of(p + 8, p + 27, [](uint8_t b) { return b == 0xFF; }) && p[27] == 0x00 &&
         p[28] == 0x1F && p[29] == 0x2C;
}

bool PassesFat1216Test(std::span<const uint8_t> s) {
  return s[16] != 0 && (LoadLe16(s, 19) != 0 || LoadLe32(s, 32) != 0) &&
         IsPowerOfTwoUpTo128(s[13]) && LoadLe16(s, 22) >= 1 && HasBootSignature(s);
}

bool PassesFat32Test(std::span<const uint8_t> s) {
  return std::memcmp(s.data() + 82, "FAT32   ", 8) == 0 && s[16] != 0 && LoadLe32(s, 32) != 0 &&
         IsPowerOfTwoUpTo128(s[13]) && LoadLe32(s, 36) != 0 && HasBootSignature(s);
}

}  // namespace

bool IsNtfsBootSector(std::span<const uint8_t> s) {
  if (s.size() < 512) return false;
  if (std::memcmp(s.data() + 3, "NTFS    ", 8) != 0) return false;
  if (LoadLe16(s, 11) % 512 != 0) return false;
  if (LoadLe16(s, 14) != 0) return false;
  if (!IsPowerOfTwoUpTo128(s[13])) return false;
  if (LoadLe64(s, 40) == 0) return false;
  for (size_t at : {16, 17, 18, 19, 20, 22, 23, 32, 33, 34, 35})
    if (s[at] != 0) return false;
  return HasBootSignature(s);
}

bool IsFatBootSector(std::span<const uint8_t> s) {
  if (s.size() < 512) return false;
  if (IsBitLockerHeader(s)) return false;
  const uint32_t fatSize = LoadLe16(s, 22) ? LoadLe16(s, 22) : LoadLe32(s, 36);
  const uint32_t totalSectors = LoadLe32(s, 32) ? LoadLe32(s, 32) : LoadLe16(s, 19);
  const uint32_t bytesPerSector = LoadLe16(s, 11);
  const uint32_t sectorsPerCluster = s[13];
  if (bytesPerSector == 0 || sectorsPerCluster == 0 || bytesPerSector % 512 != 0) return false;
  const uint32_t rootSectors = uint32_t(LoadLe16(s, 17)) * 32 / bytesPerSector;
  // Unsigned, as the count wraps to a huge value when the metadata claims
  // more sectors than the volume has; such a volume is then refused below.
  const uint32_t clusters =
      (totalSectors - rootSectors - uint32_t(s[16]) * fatSize - LoadLe16(s, 14)) /
      sectorsPerCluster;
  if (clusters < 65525) return PassesFat1216Test(s) || PassesFat32Test(s);
  if (clusters < 0x0FFFFFF0) return PassesFat32Test(s) || PassesFat1216Test(s);
  return false;
}

bool IsExtSuperblock(std::span<const uint8_t> sb) {
  if (sb.size() < 1024) return false;
  if (LoadLe16(sb, 56) != 0xEF53) return false;
  const uint32_t inodes = LoadLe32(sb, 0);
  const uint32_t blocks = LoadLe32(sb, 4);
  const uint32_t firstDataBlock = LoadLe32(sb, 20);
  const uint32_t logBlockSize = LoadLe32(sb, 24);
  const uint32_t blocksPerGroup = LoadLe32(sb, 32);
  const uint32_t inodesPerGroup = LoadLe32(sb, 40);
  const uint32_t firstInode = LoadLe32(sb, 84);
  if (!inodes || !blocks || !blocksPerGroup || !inodesPerGroup || firstInode <= 2) return false;
  if (blocks <= firstDataBlock) return false;
  if ((blocks - firstDataBlock - 1) / blocksPerGroup + 1 != (inodes - 1) / inodesPerGroup + 1)
    return false;
  // A block size of 1,024 (log 0) puts the superblock in block 1; larger
  // blocks put it in block 0.
  if (firstDataBlock != (logBlockSize == 0 ? 1u : 0u)) return false;
  return inodes > firstInode;
}

VolumeKind ClassifyVolumeStart(std::span<const uint8_t> start) {
  if (start.size() < 2048) return VolumeKind::kUnknown;
  if (IsNtfsBootSector(start.first(512))) return VolumeKind::kNtfs;
  if (IsFatBootSector(start.first(512))) return VolumeKind::kFat;
  if (IsExtSuperblock(start.subspan(1024, 1024))) return VolumeKind::kExt;
  return VolumeKind::kUnknown;
}

const char* VolumeKindName(VolumeKind kind) {
  switch (kind) {
    case VolumeKind::kFat: return "FAT";
    case VolumeKind::kNtfs: return "NTFS";
    case VolumeKind::kExt: return "Ext";
    default: return "unknown";
  }
}

}  // namespace brinvale
