#pragma once

#include "device/sector_reader.h"
#include "results/image_partition_engine.h"
#include "results/recovery_engine.h"

namespace brinvale {

// The quick engine for Ext volumes: it opens the disk and keeps the
// partition's place, and finds nothing (a quick scan of Ext is empty).
class CFastExtRecovery final : public CNullRecoveryEngine, public IImagePartitionEngine {
 public:
  int OpenPartition(int diskNumber, uint64_t start, uint64_t count, char16_t driveLetter) override;
  int OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start, uint64_t count,
                         char16_t sourceKey) override;

  uint64_t StartSector() const { return m_start; }
  uint64_t SectorCount() const { return m_count; }

 private:
  SectorReader m_reader;
  int m_diskNumber = -1;
  uint64_t m_start = 0;
  uint64_t m_count = 0;
  char16_t m_driveLetter = 0;
};

}  // namespace brinvale
