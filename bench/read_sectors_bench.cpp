// Throughput of ReadSectors over a page-cached image file: the per-chunk
// cost that every scan pays on top of the medium's own speed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "device/sector_reader.h"

namespace {

std::filesystem::path MakeImage(size_t bytes) {
  auto path = std::filesystem::temp_directory_path() / "brinvale_read_bench.img";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<char> block(1 << 20, 0x5A);
  for (size_t done = 0; done < bytes; done += block.size()) out.write(block.data(), block.size());
  return path;
}

void BM_ReadSectorsImage(benchmark::State& state) {
  const size_t imageBytes = size_t(256) << 20;
  static const auto path = MakeImage(imageBytes);
  brinvale::SectorReader reader;
  if (brinvale::OpenImageReader(reader, path) != 0) {
    state.SkipWithError("cannot open image");
    return;
  }
  const uint32_t sectorsPerRead = uint32_t(state.range(0)) / 512;
  std::vector<uint8_t> buffer(state.range(0));
  uint64_t sector = 0;
  for (auto _ : state) {
    uint32_t got = 0;
    if (sector + sectorsPerRead > reader.totalSectors) sector = 0;
    benchmark::DoNotOptimize(
        brinvale::ReadSectors(sectorsPerRead, reader, buffer.data(), sector, 512, got));
    sector += sectorsPerRead;
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ReadSectorsImage)->Arg(512)->Arg(65536)->Arg(16 << 20);

}  // namespace

BENCHMARK_MAIN();
