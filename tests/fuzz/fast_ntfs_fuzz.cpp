// The quick NTFS engine over an arbitrary image: open, scan (the log goes
// to a folder of its own), list the tree, extract every found file into a
// buffer, and map the free space.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/byte_source.h"
#include "device/sector_reader.h"
#include "engines/ntfs/fast_ntfs_recovery.h"

#if defined(_WIN32)
#include <process.h>
#define FUZZ_PID _getpid()
#else
#include <unistd.h>
#define FUZZ_PID ::getpid()
#endif

using namespace brinvale;

namespace {

void Walk(CFastNtfsRecovery& engine, const ScanRecord* parent, uint32_t level, int& budget) {
  RecordList children;
  if (engine.ListChildren(parent, level, children) != 0) return;
  for (const ScanRecord& child : children) {
    if (--budget < 0) return;
    if (child.IsFolder()) {
      uint32_t count = 0;
      (void)engine.CountFiles(&child, level + 1, count);
      Walk(engine, &child, level + 1, budget);
    } else {
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
                                            ("brinvale-fast-ntfs-fuzz-" + std::to_string(FUZZ_PID));
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::span<const uint8_t>(data, size)),
                   size / 512);
  CFastNtfsRecovery engine;
  if (engine.OpenReader(std::move(reader), 0, size / 512, 512, u'Z') != 0) return 0;
  engine.SetScanLogFolder(logs);
  // Small read steps: even a small MFT is read ahead on the reader's thread.
  engine.SetStepRecords(8);
  // Preview files would go below a plain file: they are never written, so a
  // huge sparse file cannot make a run write for ever.
  static const bool blocked = [] {
    std::filesystem::create_directories(logs);
    FILE* f = std::fopen((logs / "blocked").string().c_str(), "wb");
    if (f != nullptr) std::fclose(f);
    return true;
  }();
  (void)blocked;
  engine.SetPreviewFolder(logs / "blocked" / "preview");
  if (engine.Scan(nullptr) == 0) {
    int budget = 200;
    Walk(engine, nullptr, 0, budget);
    RecordList found;
    (void)engine.Search("*.txt|.other", found);
  }
  if (engine.BuildAllocationMap() == 0) {
    uint64_t start = 0, length = 0;
    for (int i = 0; i < 1000 && start < engine.Volume().sectorCount; ++i) {
      (void)engine.NextFreeRange(start, length);
      start += length == 0 ? 1 : length;
    }
  }
  return 0;
}
