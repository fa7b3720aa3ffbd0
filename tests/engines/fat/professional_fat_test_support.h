#pragma once

// Helpers of the formatted FAT engine tests: a medium in memory that the
// test writes sector by sector, and the engine opened over it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "deepscan/fat_directory_tests.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"
#include "engines/fat/fast_fat_fixture.h"
#include "engines/fat/fat_entry_builder.h"
#include "engines/fat/professional_fat_recovery.h"

namespace brinvale::testing {

class ProFatMedium {
 public:
  explicit ProFatMedium(size_t sectors) : m_bytes(sectors * 512) {}

  std::span<uint8_t> SectorBytes(uint64_t n) { return std::span(m_bytes).subspan(n * 512, 512); }
  // Writes `bytes` from the start of sector `n` on.
  void Write(uint64_t n, std::span<const uint8_t> bytes) {
    std::memcpy(m_bytes.data() + n * 512, bytes.data(), bytes.size());
  }
  uint64_t Sectors() const { return m_bytes.size() / 512; }

  // The engine over this medium (a volume from sector 0), its logs in
  // `logs`, prepared for a pass.
  std::unique_ptr<CProfessionalFatRecovery> Open(const std::filesystem::path& logs) {
    auto engine = std::make_unique<CProfessionalFatRecovery>();
    SectorReader reader;
    OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::span<const uint8_t>(m_bytes)),
                     Sectors());
    EXPECT_EQ(engine->OpenReader(std::move(reader), 0, Sectors(), 512, u'X'), 0);
    engine->SetScanLogFolder(logs);
    engine->SetPreviewFolder(logs / "preview");
    EXPECT_EQ(engine->PrepareFatScan(nullptr), 0);
    return engine;
  }

  // Offers sectors [from, to) to the engine as the full-scan pass does.
  void Feed(CProfessionalFatRecovery& engine, uint64_t from, uint64_t to) {
    for (uint64_t s = from; s < to; ++s) {
      const std::span<const uint8_t> data = SectorBytes(s);
      if (IsDotDirectoryStart(data))
        engine.OnDirectoryStart(data, s);
      else if (IsDirectorySector(data))
        engine.OnDirectorySector(data, s);
    }
  }

 private:
  std::vector<uint8_t> m_bytes;
};

// The first sector of a folder at `cluster` whose parent is `parent`, then
// `entries`.
inline std::vector<uint8_t> DirectoryStart(uint16_t cluster, uint16_t parent,
                                           std::initializer_list<Entry> entries = {}) {
  std::vector<uint8_t> s;
  for (const Entry& e : {DotEntry(1, cluster), DotEntry(2, parent)})
    s.insert(s.end(), e.begin(), e.end());
  for (const Entry& e : entries) s.insert(s.end(), e.begin(), e.end());
  s.resize(std::max<size_t>(s.size(), 512), 0);
  return s;
}

// A file entry named `name11` of `size` bytes at `cluster`.
inline Entry FileAt(const char* name11, uint32_t cluster, uint32_t size) {
  Entry e = FileEntry(name11);
  StoreLe16(e, 20, uint16_t(cluster >> 16));  // first cluster, high word
  StoreLe16(e, 26, uint16_t(cluster));        // first cluster, low word
  StoreLe32(e, 28, size);                     // size
  return e;
}

// The same entry marked deleted.
inline Entry Deleted(Entry e) {
  e[0] = 0xE5;  // first byte: deleted mark
  return e;
}

inline uint8_t ChecksumOf(const char* name11) {
  std::array<uint8_t, 11> bytes;
  std::memcpy(bytes.data(), name11, 11);
  return ShortNameChecksum(bytes);
}

}  // namespace brinvale::testing
