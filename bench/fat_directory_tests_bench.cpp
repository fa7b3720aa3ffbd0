// Cost of the FAT directory sector test, which the full scan applies to
// every sector of a medium: mostly to data (rejected at the first entry),
// sometimes to whole directory sectors (every entry walked).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/bytes.h"
#include "deepscan/fat_directory_tests.h"

namespace {

constexpr size_t kSector = 512;
constexpr size_t kSectors = 128;  // 64 KiB, one read chunk of the full scan

std::vector<uint8_t> RandomSectors() {
  std::vector<uint8_t> bytes(kSector * kSectors);
  uint64_t x = 0x9E3779B97F4A7C15;
  for (uint8_t& b : bytes) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = uint8_t(x);
  }
  return bytes;
}

// 16 live file entries dated 15 June 2010 per sector.
std::vector<uint8_t> DirectorySectors() {
  std::vector<uint8_t> bytes(kSector * kSectors);
  for (size_t at = 0; at < bytes.size(); at += 32) {
    std::span<uint8_t> e(bytes.data() + at, 32);
    std::memcpy(e.data(), "FILE0000TXT", 11);
    e[7] = uint8_t('0' + at / 32 % 10);
    e[11] = 0x20;
    const uint16_t date = uint16_t(30 << 9 | 6 << 5 | 15);
    const uint16_t time = uint16_t(12 << 11 | 30 << 5 | 10);
    brinvale::StoreLe16(e, 14, time);
    brinvale::StoreLe16(e, 16, date);
    brinvale::StoreLe16(e, 18, date);
    brinvale::StoreLe16(e, 22, time);
    brinvale::StoreLe16(e, 24, date);
    brinvale::StoreLe16(e, 26, uint16_t(3 + at / 32));
    brinvale::StoreLe32(e, 28, 1000);
  }
  return bytes;
}

void Run(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  size_t found = 0;
  for (auto _ : state) {
    for (size_t at = 0; at < bytes.size(); at += kSector) {
      found += brinvale::IsDirectorySector(std::span<const uint8_t>(bytes).subspan(at, kSector));
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
  state.counters["directory_sectors"] = double(found) / double(state.iterations());
}

void BM_IsDirectorySectorRandomData(benchmark::State& state) {
  static const std::vector<uint8_t> bytes = RandomSectors();
  Run(state, bytes);
}
BENCHMARK(BM_IsDirectorySectorRandomData);

void BM_IsDirectorySectorFullDirectory(benchmark::State& state) {
  static const std::vector<uint8_t> bytes = DirectorySectors();
  Run(state, bytes);
}
BENCHMARK(BM_IsDirectorySectorFullDirectory);

}  // namespace

BENCHMARK_MAIN();
