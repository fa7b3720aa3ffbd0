#include "cli/scan_units.h"

#include <array>

#include "cli/engine_for_source.h"
#include "cli/probe_command.h"
#include "common/error_codes.h"
#include "device/byte_source.h"
#include "device/disk_map.h"
#include "device/sector_reader.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/text.h"

namespace brinvale::cli {
namespace {

// What starts at byte `offset` of the image; unknown when it cannot be read.
VolumeKind KindAt(const std::filesystem::path& path, uint64_t offset) {
  platform::UniqueHandle file;
  if (platform::OpenFile(path, platform::OpenMode::kReadExisting, file) != kOk)
    return VolumeKind::kUnknown;
  FileByteSource source(std::move(file));
  std::array<uint8_t, kRecognitionBytes> head{};
  if (ReadRecognitionBytes(source, offset, head) != kOk) return VolumeKind::kUnknown;
  return ClassifyVolumeStart(head);
}

// What starts at the first sector of whole disk `disk`, and its sector size.
VolumeKind KindAtDiskStart(int disk, uint32_t& bytesPerSector) {
  platform::UniqueHandle handle;
  if (platform::OpenDisk(disk, handle) != kOk) return VolumeKind::kUnknown;
  bytesPerSector = QueryBytesPerSector(handle);
  FileByteSource source(std::move(handle));
  std::array<uint8_t, kRecognitionBytes> head{};
  if (ReadRecognitionBytes(source, 0, head) != kOk) return VolumeKind::kUnknown;
  return ClassifyVolumeStart(head);
}

ScanUnit WholeSource(const ScanOptions& options, const std::string& fileSystem) {
  ScanUnit unit;
  unit.source = ScanSourceForSpec(options.source);
  unit.fileSystem = fileSystem;
  return unit;
}

}  // namespace

bool PlanScanUnits(const ScanOptions& options, ScanMode mode, ScanPlan& plan, std::string& error) {
  plan = ScanPlan{};
  const SourceSpec& given = options.source;
  if (given.kind == SourceSpec::Kind::kPartition) {
    if (options.partition != 0) {
      error = "--partition goes with an image file or a whole disk, not with a partition";
      return false;
    }
    plan.units.push_back(WholeSource(options, {}));
    return true;
  }
  const bool image = given.kind == SourceSpec::Kind::kImage;
  const std::filesystem::path path = platform::PathFromUtf8(given.imagePath);
  VolumeKind atStart = VolumeKind::kUnknown;
  if (image) {
    atStart = KindAt(path, 0);
    // No file system at sector 0: the image may hold a whole disk.
    SectorReader reader;
    if (atStart == VolumeKind::kUnknown && OpenImageReader(reader, path) == kOk)
      (void)ReadPartitionTable(reader, 512, plan.table);
  } else {
    atStart = KindAtDiskStart(given.diskNumber, plan.sectorBytes);
    if (atStart == VolumeKind::kUnknown)
      (void)ReadDiskPartitionTable(given.diskNumber, plan.sectorBytes, plan.table);
  }
  const std::string what = image ? given.imagePath : "disk " + std::to_string(given.diskNumber);
  if (!plan.Partitioned()) {
    if (options.partition != 0) {
      error = what + " holds no partition table" +
              (plan.table.Damaged() ? " that can be read (" + plan.table.damage + ")" : "") +
              ", so --partition has nothing to choose from";
      return false;
    }
    plan.units.push_back(WholeSource(options, image ? VolumeKindName(atStart) : std::string()));
    return true;
  }

  bool found = options.partition == 0;
  const std::string unknown = VolumeKindName(VolumeKind::kUnknown);
  for (const PartitionEntry& p : plan.table.partitions) {
    if (options.partition != 0 && p.number != options.partition) continue;
    found = true;
    ScanUnit unit;
    unit.partition = p.number;
    unit.start = StartIn(plan.table, p, plan.sectorBytes);
    unit.length = LengthIn(plan.table, p, plan.sectorBytes);
    if (image) {
      unit.fileSystem = VolumeKindName(KindAt(path, unit.start * 512));
    } else {
      VolumeKind kind = VolumeKind::kUnknown;
      SourceSpec at = given;
      at.kind = SourceSpec::Kind::kPartition;
      at.startSector = unit.start;
      at.sectorCount = unit.length;
      std::string ignored;
      (void)ProbeSource(at, kind, ignored);
      unit.fileSystem = VolumeKindName(kind);
    }
    plan.fileSystems[p.number] = unit.fileSystem;
    if (mode == ScanMode::kQuick && unit.fileSystem == unknown) {
      plan.skipped.push_back("partition " + std::to_string(p.number) +
                             ": no FAT, NTFS or Ext file system starts there; a full scan "
                             "(--mode full) reads it");
      continue;
    }
    if (mode == ScanMode::kFull && options.partition == 0) continue;  // the whole medium below
    // Every partition is a source of its own: its files find its engine by
    // its key.
    std::vector<ScanSource*> planned;
    for (ScanUnit& u : plan.units) planned.push_back(&u.source);
    const uint16_t key = UnusedSourceKey(planned);
    if (image) {
      unit.source.imagePath = path;
      unit.source.imagePartition = ImagePartition{p.number, unit.start, unit.length};
      unit.source.sourceTag = key;
    } else {
      VolumeInfo partition;
      partition.kind = VolumeInfo::Kind::kVolume;
      partition.origin = VolumeInfo::Origin::kPartitionTable;
      partition.diskNumber = given.diskNumber;
      partition.partitionNumber = int32_t(p.number);
      partition.start = unit.start;
      partition.length = unit.length;
      partition.bytesPerSector = plan.sectorBytes;
      partition.typeCode = p.type;
      partition.driveLetter = char16_t(key);
      partition.numbered = true;
      unit.source.partition = partition;
    }
    plan.units.push_back(std::move(unit));
  }
  if (!found) {
    std::string numbers;
    for (const PartitionEntry& p : plan.table.partitions)
      numbers += (numbers.empty() ? "" : ", ") + std::to_string(p.number);
    error = what + " has no partition " + std::to_string(options.partition) +
            " (its partitions: " + numbers + ")";
    return false;
  }
  if (mode == ScanMode::kFull && options.partition == 0) {
    plan.units.push_back(WholeSource(options, unknown));
    return true;
  }
  if (plan.units.empty()) {
    error = "no partition of " + what +
            " holds a file system a quick scan reads; a full scan (--mode full) reads any medium";
    return false;
  }
  return true;
}

uint32_t RecordPartition(const ScanPlan& plan, const ScanUnit& unit, const ScanRecord& record) {
  if (unit.partition != 0 || !plan.Partitioned()) return unit.partition;
  const PartitionTable& t = plan.table;
  const uint32_t bytes = plan.sectorBytes;
  for (const PartitionEntry& p : t.partitions)
    if (StartIn(t, p, bytes) == record.PartitionStart() && record.Engine() != EngineCode::kContent)
      return p.number;
  const uint64_t at = record.MetadataSector();
  for (const PartitionEntry& p : t.partitions) {
    const uint64_t start = StartIn(t, p, bytes);
    if (at >= start && at - start < LengthIn(t, p, bytes)) return p.number;
  }
  return 0;
}

std::string PartitionFolderName(uint32_t number) {
  return number == 0 ? std::string("unpartitioned") : "partition-" + std::to_string(number);
}

}  // namespace brinvale::cli
