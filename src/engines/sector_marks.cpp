#include "engines/sector_marks.h"

#include <cstring>

#include "common/bytes.h"
#include "deepscan/fat_directory_tests.h"
#include "deepscan/file_type_table.h"

namespace brinvale {

bool HasFileRecordSignature(std::span<const uint8_t> sector) {
  return sector.size() >= 512 && std::memcmp(sector.data(), "FILE", 4) == 0 &&
         LoadLe16(sector, 0x30) == LoadLe16(sector, 510);
}

void MarkSectors(std::span<const uint8_t> bytes, uint32_t bytesPerSector, uint32_t firstIndex,
                 std::vector<SectorMark>& out) {
  if (bytesPerSector < 512) return;
  const size_t sectors = bytes.size() / bytesPerSector;
  for (size_t i = 0; i < sectors; ++i) {
    const std::span<const uint8_t> sector = bytes.subspan(i * bytesPerSector, bytesPerSector);
    uint8_t bits = 0;
    if (HasFileRecordSignature(sector)) bits |= kMarkFileSignature;
    if (IsDotDirectoryStart(sector)) bits |= kMarkDotDirectory;
    if (IsDirectorySector(sector)) bits |= kMarkDirectory;
    if (MayStartFile(sector)) bits |= kMarkMayStartFile;
    if (bits != 0) out.push_back({uint32_t(firstIndex + i), bits});
  }
}

}  // namespace brinvale
