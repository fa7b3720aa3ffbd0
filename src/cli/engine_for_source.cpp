#include "cli/engine_for_source.h"

#include "cli/probe_command.h"
#include "common/error_codes.h"
#include "device/sector_reader.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace brinvale::cli {

std::unique_ptr<IRidiRedazuvoParse> EngineForSource(const SourceSpec& source, ScanMode mode,
                                                    const EngineSetup& setup,
                                                    std::string& fileSystem, std::string& error) {
  VolumeKind kind = VolumeKind::kUnknown;
  if (ProbeSource(source, kind, error) != kOk) return nullptr;
  fileSystem = VolumeKindName(kind);

  std::unique_ptr<IRidiRedazuvoParse> engine;
  if (source.kind == SourceSpec::Kind::kImage) {
    engine = CreateEngineForImage(platform::PathFromUtf8(source.imagePath), kImageSourceTag, mode,
                                  setup);
  } else {
    uint64_t count = source.sectorCount;
    if (source.kind == SourceSpec::Kind::kDisk) {
      SectorReader disk;
      if (int rc = OpenDiskReader(disk, source.diskNumber); rc != kOk) {
        error = "cannot open disk " + std::to_string(source.diskNumber) + ": " +
                platform::SystemErrorMessage(rc);
        return nullptr;
      }
      count = disk.totalSectors;
    }
    engine = CreateEngineForPartition(source.diskNumber, source.startSector, count, 0, mode, setup);
  }
  if (!engine) {
    if (mode == ScanMode::kQuick && kind == VolumeKind::kUnknown)
      error =
          "no FAT, NTFS or Ext file system starts here; a full scan (--mode full) reads any "
          "medium";
    else if (mode == ScanMode::kQuick)
      error = std::string("a quick scan of ") + VolumeKindName(kind) +
              " is not available in this version";
    else
      error = "the source could not be read: a full scan needs at least its first 16 KiB";
  }
  return engine;
}

ScanSource ScanSourceForSpec(const SourceSpec& source) {
  ScanSource s;
  if (source.kind == SourceSpec::Kind::kImage) {
    s.imagePath = platform::PathFromUtf8(source.imagePath);
    s.sourceTag = kImageSourceTag;
    return s;
  }
  VolumeInfo partition;
  partition.kind = source.kind == SourceSpec::Kind::kDisk ? VolumeInfo::Kind::kWholeDisk
                                                           : VolumeInfo::Kind::kVolume;
  partition.diskNumber = source.diskNumber;
  partition.start = source.startSector;
  partition.length = source.sectorCount;
  s.partition = partition;
  return s;
}

}  // namespace brinvale::cli
