#include "cli/scan_units.h"

#include <array>

#include "cli/engine_for_source.h"
#include "common/error_codes.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"
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

ScanUnit WholeSource(const ScanOptions& options, const std::string& fileSystem) {
  ScanUnit unit;
  unit.source = ScanSourceForSpec(options.source);
  unit.fileSystem = fileSystem;
  return unit;
}

}  // namespace

bool PlanScanUnits(const ScanOptions& options, ScanMode mode, ScanPlan& plan, std::string& error) {
  plan = ScanPlan{};
  if (options.source.kind != SourceSpec::Kind::kImage) {
    if (options.partition != 0) {
      error = "--partition goes with an image file; name a partition of a disk as "
              "disk:N:START:COUNT";
      return false;
    }
    plan.units.push_back(WholeSource(options, {}));
    return true;
  }
  const std::filesystem::path path = platform::PathFromUtf8(options.source.imagePath);
  const VolumeKind atStart = KindAt(path, 0);
  if (atStart == VolumeKind::kUnknown) {
    // No file system at sector 0: the image may hold a whole disk.
    SectorReader reader;
    if (OpenImageReader(reader, path) == kOk) (void)ReadPartitionTable(reader, 512, plan.table);
  }
  if (!plan.Partitioned()) {
    if (options.partition != 0) {
      error = options.source.imagePath + " holds no partition table" +
              (plan.table.Damaged() ? " that can be read (" + plan.table.damage + ")" : "") +
              ", so --partition has nothing to choose from";
      return false;
    }
    plan.units.push_back(WholeSource(options, VolumeKindName(atStart)));
    return true;
  }

  bool found = options.partition == 0;
  uint16_t tag = kImageSourceTag;
  for (const PartitionEntry& p : plan.table.partitions) {
    if (options.partition != 0 && p.number != options.partition) continue;
    found = true;
    ScanUnit unit;
    unit.partition = p.number;
    unit.start = StartIn(plan.table, p, 512);
    unit.length = LengthIn(plan.table, p, 512);
    unit.fileSystem = VolumeKindName(KindAt(path, unit.start * 512));
    if (mode == ScanMode::kQuick && unit.fileSystem == std::string(VolumeKindName(VolumeKind::kUnknown))) {
      plan.skipped.push_back("partition " + std::to_string(p.number) +
                             ": no FAT, NTFS or Ext file system starts there; a full scan "
                             "(--mode full) reads it");
      continue;
    }
    if (mode == ScanMode::kFull && options.partition == 0) continue;  // the whole image below
    unit.source.imagePath = path;
    unit.source.imagePartition = ImagePartition{p.number, unit.start, unit.length};
    // Every partition is a source of its own: its files find its engine by
    // this key.
    unit.source.sourceTag = tag++;
    plan.units.push_back(std::move(unit));
  }
  if (!found) {
    std::string numbers;
    for (const PartitionEntry& p : plan.table.partitions)
      numbers += (numbers.empty() ? "" : ", ") + std::to_string(p.number);
    error = options.source.imagePath + " has no partition " + std::to_string(options.partition) +
            " (its partitions: " + numbers + ")";
    return false;
  }
  if (mode == ScanMode::kFull && options.partition == 0) {
    plan.units.push_back(WholeSource(options, VolumeKindName(VolumeKind::kUnknown)));
    return true;
  }
  if (plan.units.empty()) {
    error = "no partition of " + options.source.imagePath +
            " holds a file system a quick scan reads; a full scan (--mode full) reads any medium";
    return false;
  }
  return true;
}

uint32_t RecordPartition(const ScanPlan& plan, const ScanUnit& unit, const ScanRecord& record) {
  if (unit.partition != 0 || !plan.Partitioned()) return unit.partition;
  const PartitionTable& t = plan.table;
  for (const PartitionEntry& p : t.partitions)
    if (StartIn(t, p, 512) == record.PartitionStart() && record.Engine() != EngineCode::kContent)
      return p.number;
  const uint64_t at = record.MetadataSector();
  for (const PartitionEntry& p : t.partitions) {
    const uint64_t start = StartIn(t, p, 512);
    if (at >= start && at - start < LengthIn(t, p, 512)) return p.number;
  }
  return 0;
}

std::string PartitionFolderName(uint32_t number) {
  return number == 0 ? std::string("unpartitioned") : "partition-" + std::to_string(number);
}

}  // namespace brinvale::cli
