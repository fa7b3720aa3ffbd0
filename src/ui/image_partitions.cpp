#include "ui/image_partitions.h"

#include <vector>

#include "common/error_codes.h"
#include "device/partition_table.h"
#include "device/sector_reader.h"
#include "engines/volume_recognition.h"

namespace brinvale::ui {
namespace {

constexpr uint32_t kImageSectorBytes = 512;

VolumeKind KindAt(SectorReader& reader, uint64_t start) {
  std::vector<uint8_t> bytes(kRecognitionBytes);
  if (start >= reader.totalSectors) return VolumeKind::kUnknown;
  uint64_t sectors = kRecognitionBytes / kImageSectorBytes;
  if (sectors > reader.totalSectors - start) sectors = reader.totalSectors - start;
  uint32_t read = 0;
  if (ReadSectors(uint32_t(sectors), reader, bytes.data(), start, kImageSectorBytes, read) != kOk)
    return VolumeKind::kUnknown;
  return ClassifyVolumeStart(bytes);
}

}  // namespace

std::string ImageFileSystem(const std::filesystem::path& path) {
  SectorReader reader;
  if (OpenImageReader(reader, path) != kOk) return VolumeKindName(VolumeKind::kUnknown);
  const VolumeKind kind = KindAt(reader, 0);
  CloseReader(reader);
  return VolumeKindName(kind);
}

std::vector<ImagePartitionInfo> ListImagePartitions(const std::filesystem::path& path) {
  std::vector<ImagePartitionInfo> found;
  SectorReader reader;
  if (OpenImageReader(reader, path) != kOk) return found;
  // An image of one volume starts with its boot sector, not with a table.
  PartitionTable table;
  if (KindAt(reader, 0) != VolumeKind::kUnknown ||
      ReadPartitionTable(reader, kImageSectorBytes, table) != kOk) {
    CloseReader(reader);
    return found;
  }
  for (const PartitionEntry& entry : table.partitions) {
    ImagePartitionInfo info;
    info.number = entry.number;
    info.start = StartIn(table, entry, kImageSectorBytes);
    info.length = LengthIn(table, entry, kImageSectorBytes);
    info.fileSystem = VolumeKindName(KindAt(reader, info.start));
    found.push_back(info);
  }
  CloseReader(reader);
  return found;
}

}  // namespace brinvale::ui
