// The content engine over an arbitrary small medium, offered sector by
// sector as the full scan does, then listed, searched, recovered and
// previewed. Byte 0 picks the sector size (512 or 4,096) and whether the
// found files are copied out; the rest is the medium, read through a
// memory-backed reader. Must not crash, and must not hang: every offer
// steps at least one sector.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "deepscan/file_type_recovery.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale;
  namespace fs = std::filesystem;
  if (size < 1) return 0;
  // One folder per run (two runs may replay at once).
  static const fs::path folder =
      fs::temp_directory_path() /
      ("brinvale_fuzz_ftr_" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::error_code ec;
  fs::remove_all(folder, ec);

  const uint32_t bps = (data[0] & 1) ? 4096 : 512;
  const bool copyOut = data[0] & 2;
  const std::span<const uint8_t> medium(data + 1, size - 1);
  const uint64_t sectors = medium.size() / bps;
  {
    CFileTypeRecovery engine;
    engine.SetScanLogFolder(folder / "log");
    engine.SetPreviewFolder(folder / "preview");
    SectorReader reader;
    OpenSourceReader(reader, std::make_unique<MemoryByteSource>(medium), sectors);
    if (engine.OpenReader(std::move(reader), bps, u'F') != 0) return 0;
    uint64_t files = 0;
    for (uint64_t s = 0; s < sectors;) {
      uint64_t step = 0;
      const int rc = engine.RecordFoundFile(medium.subspan(size_t(s * bps), bps), s,
                                            {s, sectors, -1}, step, files);
      if (rc == kCancelled || step == 0) __builtin_trap();
      s += step;
    }
    RecordList list;
    (void)engine.ListChildren(nullptr, 0, list);
    uint32_t count = 0;
    (void)engine.CountFiles(nullptr, 0, count);
    RecordList found;
    (void)engine.Search("*.jpg|*.zip|.other", found);
    if (copyOut) {
      for (size_t i = 0; i < list.size() && i < 4; ++i) {
        (void)engine.RecoverRecord(list[i], folder / "out" / std::to_string(i), 0);
        fs::path path;
        std::vector<uint8_t> buffer(700);
        uint64_t limit = buffer.size();
        (void)engine.ExtractRecord(list[i], path, buffer.data(), limit, nullptr, nullptr);
        if (limit > buffer.size()) __builtin_trap();
      }
    }
  }
  fs::remove_all(folder, ec);
  return 0;
}
