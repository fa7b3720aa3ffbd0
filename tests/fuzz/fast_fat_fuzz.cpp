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
#include "fuzz/found_tree_browse.h"

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
        brinvale::fuzz::BrowseFoundTree(engine, nullptr, 0, budget, true);
        brinvale::RecordList found;
        (void)engine.Search("*.txt|*.jpg|.other", found);
      }
    }
  }
  std::error_code ec;
  fs::remove_all(logs, ec);
  return 0;
}
