// The quick FAT engine over arbitrary bytes taken as a volume: opening,
// the whole folder walk, browsing, the allocation map and extraction must
// neither crash nor hang, whatever the boot sector, FAT and folders say.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/byte_source.h"
#include "engines/fat/fast_fat_recovery.h"

#if defined(_WIN32)
#include <process.h>
#define BRINVALE_FUZZ_PID _getpid()
#else
#include <unistd.h>
#define BRINVALE_FUZZ_PID ::getpid()
#endif

namespace {

// Walks the found tree a few levels down, extracting each file into memory.
void Browse(brinvale::CFastFatRecovery& engine, const brinvale::ScanRecord* parent, uint32_t depth,
            int& budget) {
  brinvale::RecordList children;
  if (engine.ListChildren(parent, depth, children) != 0) return;
  for (const brinvale::ScanRecord& child : children) {
    if (--budget < 0 || depth > 8) return;
    std::string path;
    (void)engine.GetRecordPath(child, path, 260);
    if (child.IsFolder()) {
      uint32_t count = 0;
      (void)engine.CountFiles(&child, depth + 1, count);
      Browse(engine, &child, depth + 1, budget);
    } else {
      std::vector<uint8_t> buffer(4096);
      uint64_t size = buffer.size();
      std::filesystem::path ignored;
      // A record copied with a name no list holds goes to the buffer.
      brinvale::ScanRecord copy = child;
      copy.SetName("data");
      (void)engine.ExtractRecord(copy, ignored, buffer.data(), size, nullptr, nullptr);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  static const fs::path logs =
      fs::temp_directory_path() / ("brinvale-fuzz-fastfat-" + std::to_string(BRINVALE_FUZZ_PID));
  {
    brinvale::CFastFatRecovery engine;
    engine.SetScanLogFolder(logs);
    engine.SetPreviewFolder(logs / "preview");
    std::vector<uint8_t> bytes(data, data + size);
    if (engine.OpenSource(std::make_unique<brinvale::MemoryByteSource>(std::move(bytes)),
                          size / 512, u'F') == 0) {
      (void)engine.BuildAllocationMap();
      uint64_t start = 0, length = 0;
      for (int i = 0; i < 64 && engine.NextFreeRange(start, length) == 1 && length != 0; ++i)
        start += length;
      if (engine.Scan(nullptr) == 0) {
        int budget = 256;
        Browse(engine, nullptr, 0, budget);
        brinvale::RecordList found;
        (void)engine.Search("*.txt|*.jpg|.other", found);
      }
    }
  }
  std::error_code ec;
  fs::remove_all(logs, ec);
  return 0;
}
