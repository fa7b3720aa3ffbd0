// The formatted FAT engine over arbitrary bytes taken as a medium: every
// sector that passes the directory tests is offered to it as the full-scan
// pass does, then the pass is finished and the found tree browsed and
// extracted. Nothing may crash, hang or read past what it was given.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "deepscan/fat_directory_tests.h"
#include "device/byte_source.h"
#include "engines/fat/professional_fat_recovery.h"
#include "fuzz/found_tree_browse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  static const fs::path logs =
      fs::temp_directory_path() / ("brinvale-fuzz-profat-" + std::to_string(BRINVALE_FUZZ_PID));
  {
    brinvale::CProfessionalFatRecovery engine;
    engine.SetScanLogFolder(logs);
    engine.SetPreviewFolder(logs / "preview");
    const std::vector<uint8_t> bytes(data, data + size);
    brinvale::SectorReader reader;
    brinvale::OpenSourceReader(
        reader, std::make_unique<brinvale::MemoryByteSource>(std::span<const uint8_t>(bytes)),
        size / 512);
    if (engine.OpenReader(std::move(reader), 0, size / 512, 512, u'F') == 0 &&
        engine.PrepareFatScan(nullptr) == 0) {
      (void)engine.ReadBootGeometry();
      const std::span<const uint8_t> all(bytes);
      // Whole sectors, then the short tail as a span of its own.
      for (size_t at = 0; at < size; at += 512) {
        const std::span<const uint8_t> sector = all.subspan(at, std::min<size_t>(512, size - at));
        const std::vector<uint8_t> copy(sector.begin(), sector.end());  // exact bounds
        if (brinvale::IsDotDirectoryStart(copy))
          engine.OnDirectoryStart(copy, at / 512);
        else if (brinvale::IsDirectorySector(copy))
          engine.OnDirectorySector(copy, at / 512);
      }
      (void)engine.FinishFatScan();
      int budget = 256;
      brinvale::fuzz::BrowseFoundTree(engine, nullptr, 0, budget, true);
      brinvale::RecordList found;
      (void)engine.Search("*.txt|*.jpg|.other", found);
    }
  }
  std::error_code ec;
  fs::remove_all(logs, ec);
  return 0;
}
