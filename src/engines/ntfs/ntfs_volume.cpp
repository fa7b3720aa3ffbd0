#include "engines/ntfs/ntfs_volume.h"

#include <vector>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {

namespace {
constexpr uint32_t kMaxClusterBytes = 2u << 20;  // 2 MiB, the largest NTFS cluster
}

bool SetSectorSize(NtfsVolume& volume, uint32_t bytesPerSector) {
  if (bytesPerSector != 512 && bytesPerSector != 1024 && bytesPerSector != 2048 &&
      bytesPerSector != 4096)
    return false;
  volume.bytesPerSector = bytesPerSector;
  volume.recordSize = bytesPerSector == 512 ? 1024 : bytesPerSector;
  volume.sectorsPerRecord = volume.recordSize / bytesPerSector;
  return true;
}

int ParseNtfsBootSector(std::span<const uint8_t> boot, NtfsVolume& volume) {
  using namespace ntfs;
  if (boot.size() < 512) return kErrInvalidParameter;
  NtfsVolume parsed = volume;
  uint32_t bytesPerSector = LoadLe16(boot, boot::kBytesPerSector);
  if (bytesPerSector == 0) bytesPerSector = 512;
  if (!SetSectorSize(parsed, bytesPerSector)) return kErrInvalidParameter;
  // Clusters of 1 to 128 sectors are stored as the count (0x80 is 128, the
  // 64 KiB cluster of 512-byte sectors); larger ones as a negative power of
  // two, 0xE1 to 0xFF (0xF4 = -12: 4,096 sectors). 0x81 to 0xE0 mean nothing.
  const uint8_t stored = boot[boot::kSectorsPerCluster];
  uint64_t sectorsPerCluster = 0;
  if (stored >= 1 && stored <= 0x80)
    sectorsPerCluster = stored;
  else if (stored >= 0xE1)
    sectorsPerCluster = uint64_t(1) << (256 - stored);
  if (sectorsPerCluster == 0 || sectorsPerCluster * bytesPerSector > kMaxClusterBytes)
    return kErrInvalidParameter;
  parsed.sectorsPerCluster = uint32_t(sectorsPerCluster);
  uint64_t mftOffset = 0;
  if (__builtin_mul_overflow(LoadLe64(boot, boot::kMftCluster), sectorsPerCluster, &mftOffset) ||
      __builtin_add_overflow(parsed.startSector, mftOffset, &parsed.mftStartSector))
    return kErrInvalidParameter;
  volume = std::move(parsed);
  return kOk;
}

int ReadNtfsBootSector(SectorReader& reader, uint64_t startSector, uint64_t sectorCount,
                       uint32_t mediumBytesPerSector, char16_t driveLetter, NtfsVolume& volume) {
  using namespace ntfs;
  if (mediumBytesPerSector == 0 || boot::kBytesRead % mediumBytesPerSector != 0)
    return kErrInvalidParameter;
  std::vector<uint8_t> boot(boot::kBytesRead);
  uint32_t got = 0;
  if (int rc = ReadSectors(uint32_t(boot::kBytesRead / mediumBytesPerSector), reader, boot.data(),
                           startSector, mediumBytesPerSector, got);
      rc != kOk)
    return rc;
  NtfsVolume parsed;
  parsed.driveLetter = driveLetter;
  uint32_t bytesPerSector = LoadLe16(boot, boot::kBytesPerSector);
  if (bytesPerSector == 0) bytesPerSector = 512;
  if (!SetSectorSize(parsed, bytesPerSector)) return kErrInvalidParameter;
  // Restate the start and the count in the volume's own sectors.
  uint64_t startByte = 0;
  if (__builtin_mul_overflow(startSector, uint64_t(mediumBytesPerSector), &startByte) ||
      startByte % bytesPerSector != 0)
    return kErrInvalidParameter;
  parsed.startSector = startByte / bytesPerSector;
  parsed.sectorCount = sectorCount / bytesPerSector * mediumBytesPerSector +
                       sectorCount % bytesPerSector * mediumBytesPerSector / bytesPerSector;
  if (int rc = ParseNtfsBootSector(boot, parsed); rc != kOk) return rc;
  volume = std::move(parsed);
  return kOk;
}

int ReadMftRunList(NtfsVolume& volume, SectorReader& reader) {
  // Record 0 may keep part of $MFT's runs in extension records, which are
  // found through the MFT itself: decode what record 0 holds first, then
  // read again with those runs in place to follow its attribute list.
  volume.mftRuns.clear();
  RunList runs;
  if (int rc = FindAttributeRuns(volume, reader, volume.mftStartSector, ntfs::kTypeData, runs);
      rc != kOk)
    return rc;
  if (runs.empty()) return ntfs::kAttributeNotFound;
  volume.mftRuns = std::move(runs);
  RunList full;
  if (FindAttributeRuns(volume, reader, volume.mftStartSector, ntfs::kTypeData, full) == kOk &&
      TotalClusters(full) > TotalClusters(volume.mftRuns))
    volume.mftRuns = std::move(full);
  return kOk;
}

int OpenNtfsVolume(SectorReader& reader, uint64_t startSector, uint64_t sectorCount,
                   uint32_t mediumBytesPerSector, char16_t driveLetter, NtfsVolume& volume) {
  if (int rc = ReadNtfsBootSector(reader, startSector, sectorCount, mediumBytesPerSector,
                                  driveLetter, volume);
      rc != kOk)
    return rc;
  return ReadMftRunList(volume, reader);
}

}  // namespace brinvale
