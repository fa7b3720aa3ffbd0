#include "engines/engine_factory.h"

#include <array>

#include "common/error_codes.h"
#include "device/sector_reader.h"
#include "engines/ext/fast_ext_recovery.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/professional_recovery.h"
#include "platform/disk.h"
#include "platform/file.h"

namespace brinvale {

std::unique_ptr<IRidiRedazuvoParse> MakeEngine(VolumeKind kind, ScanMode mode,
                                               const EngineSetup& setup) {
  // The full scan reads any medium, whatever it holds.
  if (mode != ScanMode::kQuick) {
    if (setup.history == nullptr) return nullptr;
    auto engine = std::make_unique<CProfessionalRecovery>(*setup.history);
    engine->SetPreviewFolder(setup.previewFolder);
    return engine;
  }
  switch (kind) {
    case VolumeKind::kExt: return std::make_unique<CFastExtRecovery>();
    case VolumeKind::kFat: {
      auto engine = std::make_unique<CFastFatRecovery>();
      engine->SetScanLogFolder(setup.logFolder);
      engine->SetPreviewFolder(setup.previewFolder);
      return engine;
    }
    case VolumeKind::kNtfs: {
      auto engine = std::make_unique<CFastNtfsRecovery>();
      engine->SetScanLogFolder(setup.logFolder);
      engine->SetPreviewFolder(setup.previewFolder);
      return engine;
    }
    default: return nullptr;
  }
}

int ReadRecognitionBytes(ByteSource& source, uint64_t offset,
                         std::span<uint8_t, kRecognitionBytes> out) {
  size_t done = 0;
  while (done < out.size()) {
    size_t got = 0;
    if (int rc = source.ReadAt(offset + done, out.data() + done, out.size() - done, got); rc != kOk)
      return rc;
    if (got == 0) return kErrReadFault;
    done += got;
  }
  return kOk;
}

std::unique_ptr<IRidiRedazuvoParse> CreateEngineForPartition(int diskNumber, uint64_t start,
                                                             uint64_t count, char16_t driveLetter,
                                                             ScanMode mode,
                                                             const EngineSetup& setup) {
  platform::UniqueHandle disk;
  if (platform::OpenDisk(diskNumber, disk) != kOk) return nullptr;
  if (driveLetter != 0) FlushVolume(driveLetter);
  const uint32_t bps = QueryBytesPerSector(disk);
  FileByteSource source(std::move(disk));
  std::array<uint8_t, kRecognitionBytes> head{};
  if (ReadRecognitionBytes(source, start * bps, head) != kOk) return nullptr;
  auto engine = MakeEngine(ClassifyVolumeStart(head), mode, setup);
  if (engine) (void)engine->OpenPartition(diskNumber, start, count, driveLetter);
  return engine;
}

std::unique_ptr<IRidiRedazuvoParse> CreateEngineForImage(const std::filesystem::path& path,
                                                         char16_t driveLetter, ScanMode mode,
                                                         const EngineSetup& setup) {
  platform::UniqueHandle file;
  if (platform::OpenFile(path, platform::OpenMode::kReadExisting, file) != kOk) return nullptr;
  FileByteSource source(std::move(file));
  std::array<uint8_t, kRecognitionBytes> head{};
  if (ReadRecognitionBytes(source, 0, head) != kOk) return nullptr;
  auto engine = MakeEngine(ClassifyVolumeStart(head), mode, setup);
  if (engine) (void)engine->OpenImage(path, driveLetter);
  return engine;
}

std::unique_ptr<IRidiRedazuvoParse> CreateEngineForImagePartition(
    const std::filesystem::path& path, uint64_t start, uint64_t count, char16_t sourceKey,
    ScanMode mode, const EngineSetup& setup) {
  platform::UniqueHandle file;
  if (platform::OpenFile(path, platform::OpenMode::kReadExisting, file) != kOk) return nullptr;
  FileByteSource source(std::move(file));
  std::array<uint8_t, kRecognitionBytes> head{};
  if (ReadRecognitionBytes(source, start * 512, head) != kOk) return nullptr;
  auto engine = MakeEngine(ClassifyVolumeStart(head), mode, setup);
  auto* partitionEngine = dynamic_cast<IImagePartitionEngine*>(engine.get());
  if (partitionEngine == nullptr) return nullptr;
  (void)partitionEngine->OpenImagePartition(path, start, count, sourceKey);
  return engine;
}

}  // namespace brinvale
