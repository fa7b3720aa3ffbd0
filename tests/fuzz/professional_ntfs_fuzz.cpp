// The formatted-NTFS engine over an arbitrary medium: every sector that
// starts "FILE" is handed to AnalyseRecord as the full scan would (with
// what is left of the medium, at most 8 KiB, and once cut short), then the
// folder pass runs and the tree is listed, each file's first data sector
// asked for and its data extracted into a buffer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/byte_source.h"
#include "device/sector_reader.h"
#include "engines/ntfs/professional_ntfs_recovery.h"

#if defined(_WIN32)
#include <process.h>
#define FUZZ_PID _getpid()
#else
#include <unistd.h>
#define FUZZ_PID ::getpid()
#endif

using namespace brinvale;

namespace {

void Walk(CProfessionalNtfsRecovery& engine, const ScanRecord* parent, uint32_t level,
          int& budget) {
  RecordList children;
  if (engine.ListChildren(parent, level, children) != 0) return;
  for (const ScanRecord& child : children) {
    if (--budget < 0) return;
    if (child.IsFolder()) {
      uint32_t count = 0;
      (void)engine.CountFiles(&child, level + 1, count);
      Walk(engine, &child, level + 1, budget);
    } else {
      uint64_t sector = 0;
      (void)engine.FirstDataSector(child, sector);
      std::vector<uint8_t> buffer(8192);
      uint64_t size = buffer.size();
      std::filesystem::path path;
      (void)engine.ExtractRecord(child, path, buffer.data(), size, nullptr, nullptr);
      std::string folder;
      (void)engine.GetRecordPath(child, folder, 260);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path logs = std::filesystem::temp_directory_path() /
                                            ("brinvale-pro-ntfs-fuzz-" + std::to_string(FUZZ_PID));
  // Preview files would go below a plain file: they are never written.
  static const bool blocked = [] {
    std::filesystem::create_directories(logs);
    FILE* f = std::fopen((logs / "blocked").string().c_str(), "wb");
    if (f != nullptr) std::fclose(f);
    return true;
  }();
  (void)blocked;
  if (size < 1) return 0;
  // The first byte picks the medium's sector size and the volume's start.
  const uint32_t bytesPerSector = (data[0] & 1) != 0 ? 4096 : 512;
  const uint64_t total = size / bytesPerSector;
  const uint64_t start = (data[0] >> 1) & 3;
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::span<const uint8_t>(data, size)),
                   total);
  CProfessionalNtfsRecovery engine;
  if (engine.OpenReader(std::move(reader), start, total, bytesPerSector, u'Z') != 0) return 0;
  engine.SetScanLogFolder(logs);
  engine.SetPreviewFolder(logs / "blocked" / "preview");
  if (engine.OpenProLog(nullptr) != 0) return 0;
  const uint32_t recordSize = engine.Volume().recordSize;
  for (size_t at = 0; at + 4 <= size; at += bytesPerSector) {
    if (std::memcmp(data + at, "FILE", 4) != 0) continue;
    const size_t left = size - at;
    const std::span<const uint8_t> record(data + at, std::min<size_t>(left, 8192));
    (void)engine.AnalyseRecord(record, at / bytesPerSector);
    if (left > 1)
      (void)engine.AnalyseRecord(record.first(std::min<size_t>(left, recordSize) - 1),
                                 at / bytesPerSector);
  }
  (void)engine.RunFolderPass();
  int budget = 200;
  Walk(engine, nullptr, 0, budget);
  RecordList found;
  (void)engine.Search("*.txt|.other", found);
  return 0;
}
