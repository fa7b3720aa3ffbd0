// Throughput of per-sector identification, the step the content scan runs
// on every sector that is not file-system metadata: all format detectors
// in table order, through the first-byte prefilter or row by row. Figures
// are bytes of sectors examined per second on one core.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "deepscan/file_type_table.h"
#include "deepscan/sizing_context.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

namespace {

using brinvale::FirstMatch;
using brinvale::SectorReader;
using brinvale::SizingContext;

constexpr uint32_t kSector = 512;

// Sectors that match nothing: random bytes (any first byte), or zeros.
std::vector<uint8_t> NoMatchSectors(size_t sectors, bool zeros) {
  std::vector<uint8_t> bytes(sectors * kSector, 0);
  if (!zeros) {
    std::mt19937_64 random(42);
    for (size_t i = 0; i < bytes.size(); i += 8) {
      const uint64_t v = random();
      std::memcpy(&bytes[i], &v, 8);
    }
  }
  return bytes;
}

// A medium of mixed sectors: mostly random data, runs of zeros, and some
// sectors that begin like files (picture, archive, document, stream and
// executable headers), as a used disk holds them.
std::vector<uint8_t> MixedSectors(size_t sectors) {
  std::vector<uint8_t> bytes = NoMatchSectors(sectors, false);
  static const std::string_view kStarts[] = {{"\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11},
                                             {"\x89PNG\r\n\x1A\n", 8},
                                             {"PK\x03\x04\x14\x00", 6},
                                             {"%PDF-1.5", 8},
                                             {"GIF89a", 6},
                                             {"MZ\x90\x00", 4},
                                             {"\x00\x00\x01\xBA", 4},
                                             {"\x47\x40\x11\x10", 4},
                                             {"RIFF\x00\x10\x00\x00WAVEfmt ", 16},
                                             {"ID3\x03\x00\x00", 6},
                                             {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8},
                                             {"SQLite format 3\x00", 16}};
  std::mt19937 random(7);
  for (size_t n = 0; n < sectors; ++n) {
    const unsigned pick = random() % 100;
    uint8_t* s = &bytes[n * kSector];
    if (pick < 25) {
      std::memset(s, 0, kSector);
    } else if (pick < 30) {
      const std::string_view start = kStarts[random() % std::size(kStarts)];
      std::memcpy(s, start.data(), start.size());
    }
  }
  return bytes;
}

// A context over a medium in memory; the detectors that read on (compound
// documents, packages, transport streams) read from it.
struct MemoryMedium {
  explicit MemoryMedium(const std::vector<uint8_t>& bytes) {
    brinvale::OpenSourceReader(
        reader, std::make_unique<brinvale::MemoryByteSource>(std::span<const uint8_t>(bytes)),
        bytes.size() / kSector);
  }
  SectorReader reader;
  SizingContext ctx;
};

template <FirstMatch (*Detect)(SizingContext&, std::span<const uint8_t>)>
void RunOverSectors(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  MemoryMedium medium(bytes);
  const size_t sectors = bytes.size() / kSector;
  size_t found = 0;
  for (auto _ : state) {
    for (size_t n = 0; n < sectors; ++n) {
      medium.ctx.SetCandidate(medium.reader, kSector, n);
      found += Detect(medium.ctx, std::span(bytes).subspan(n * kSector, kSector)).typeCode != 49;
    }
  }
  benchmark::DoNotOptimize(found);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_NoMatchRandom_Prefiltered(benchmark::State& state) {
  static const auto bytes = NoMatchSectors(32768, false);  // 16 MiB
  RunOverSectors<brinvale::DetectFirstMatch>(state, bytes);
}
void BM_NoMatchRandom_EveryRow(benchmark::State& state) {
  static const auto bytes = NoMatchSectors(32768, false);
  RunOverSectors<brinvale::DetectFirstMatchEveryRow>(state, bytes);
}
void BM_NoMatchZeros_Prefiltered(benchmark::State& state) {
  static const auto bytes = NoMatchSectors(32768, true);
  RunOverSectors<brinvale::DetectFirstMatch>(state, bytes);
}
void BM_NoMatchZeros_EveryRow(benchmark::State& state) {
  static const auto bytes = NoMatchSectors(32768, true);
  RunOverSectors<brinvale::DetectFirstMatchEveryRow>(state, bytes);
}
void BM_MixedBuffer_Prefiltered(benchmark::State& state) {
  static const auto bytes = MixedSectors(65536);  // 32 MiB
  RunOverSectors<brinvale::DetectFirstMatch>(state, bytes);
}
void BM_MixedBuffer_EveryRow(benchmark::State& state) {
  static const auto bytes = MixedSectors(65536);
  RunOverSectors<brinvale::DetectFirstMatchEveryRow>(state, bytes);
}

// A 1 GiB image file of mixed sectors, read through ReadSectors in 64 KiB
// chunks from the page cache (written just before, so it is cached), each
// sector identified as the scan does.
void BM_MixedImage1GiB_Prefiltered(benchmark::State& state) {
  const size_t imageBytes = size_t(1) << 30;
  const auto path = std::filesystem::temp_directory_path() / "brinvale_identify_bench.img";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto block = MixedSectors(65536);  // 32 MiB, written 32 times
    for (size_t done = 0; done < imageBytes; done += block.size())
      out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(block.size()));
  }
  SectorReader reader;
  if (brinvale::OpenImageReader(reader, path) != 0) {
    state.SkipWithError("cannot open image");
    return;
  }
  SizingContext ctx;
  std::vector<uint8_t> chunk(SizingContext::kChunkBytes);
  const uint32_t perChunk = uint32_t(chunk.size() / kSector);
  size_t found = 0;
  for (auto _ : state) {
    for (uint64_t first = 0; first + perChunk <= reader.totalSectors; first += perChunk) {
      uint32_t got = 0;
      if (brinvale::ReadSectors(perChunk, reader, chunk.data(), first, kSector, got) != 0) break;
      for (uint32_t i = 0; i < perChunk; ++i) {
        ctx.SetCandidate(reader, kSector, first + i);
        found += brinvale::DetectFirstMatch(ctx, std::span(chunk).subspan(i * kSector, kSector))
                     .typeCode != 49;
      }
    }
  }
  benchmark::DoNotOptimize(found);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(imageBytes));
  brinvale::CloseReader(reader);
  std::filesystem::remove(path);
}

BENCHMARK(BM_NoMatchRandom_Prefiltered);
BENCHMARK(BM_NoMatchRandom_EveryRow);
BENCHMARK(BM_NoMatchZeros_Prefiltered);
BENCHMARK(BM_NoMatchZeros_EveryRow);
BENCHMARK(BM_MixedBuffer_Prefiltered);
BENCHMARK(BM_MixedBuffer_EveryRow);
BENCHMARK(BM_MixedImage1GiB_Prefiltered)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
