// Throughput of the content engine's per-sector path as the full scan
// drives it: a mixed image is read in 64 KiB chunks from the page cache,
// every sector is offered to RecordFoundFile, and the step after a find is
// honoured (the sizers read on through the medium themselves). Records go
// to a scan log in the temp folder. Figures are bytes of the image covered
// per second on one core.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string_view>
#include <vector>

#include "deepscan/file_type_recovery.h"
#include "device/sector_reader.h"

namespace {

namespace fs = std::filesystem;
using brinvale::CFileTypeRecovery;
using brinvale::SectorReader;

constexpr uint32_t kSector = 512;

// Mostly random data, runs of zeros, and sectors that begin like files
// (picture, archive, document, stream, audio and executable headers) with
// their end markers a few sectors later, as a used disk holds them.
std::vector<uint8_t> MixedSectors(size_t sectors) {
  std::vector<uint8_t> bytes(sectors * kSector);
  std::mt19937_64 random(42);
  for (size_t i = 0; i < bytes.size(); i += 8) {
    const uint64_t v = random();
    std::memcpy(&bytes[i], &v, 8);
  }
  static const std::string_view kStarts[] = {{"\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11},
                                             {"\x89PNG\r\n\x1A\n", 8},
                                             {"PK\x03\x04\x14\x00", 6},
                                             {"%PDF-1.5", 8},
                                             {"GIF89a", 6},
                                             {"MZ\x90\x00", 4},
                                             {"\x00\x00\x01\xBA", 4},
                                             {"RIFF\x00\x10\x00\x00WAVEfmt ", 16},
                                             {"ID3\x03\x00\x00", 6},
                                             {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8},
                                             {"SQLite format 3\x00", 16}};
  std::mt19937 pick(7);
  for (size_t n = 0; n < sectors; ++n) {
    const unsigned p = pick() % 1000;
    uint8_t* s = &bytes[n * kSector];
    if (p < 250) {
      std::memset(s, 0, kSector);
    } else if (p < 252) {
      const std::string_view start = kStarts[pick() % std::size(kStarts)];
      std::memcpy(s, start.data(), start.size());
    }
  }
  return bytes;
}

void BM_OfferEverySector_MixedImage1GiB(benchmark::State& state) {
  const size_t imageBytes = size_t(1) << 30;
  const fs::path folder = fs::temp_directory_path() / "brinvale_content_engine_bench";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path image = folder / "mixed.img";
  {
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    const auto block = MixedSectors(65536);  // 32 MiB, written 32 times
    for (size_t done = 0; done < imageBytes; done += block.size())
      out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(block.size()));
  }
  SectorReader reader;
  if (brinvale::OpenImageReader(reader, image) != 0) {
    state.SkipWithError("cannot open image");
    return;
  }
  const uint64_t total = reader.totalSectors;
  std::vector<uint8_t> chunk(65536);
  const uint32_t perChunk = uint32_t(chunk.size() / kSector);
  uint64_t files = 0;
  for (auto _ : state) {
    state.PauseTiming();
    CFileTypeRecovery engine;
    engine.SetScanLogFolder(folder / "log");
    fs::remove_all(folder / "log");
    if (engine.OpenForImage(kSector, {}, u'B', image) != 0) {
      state.SkipWithError("cannot open engine");
      return;
    }
    files = 0;
    state.ResumeTiming();
    uint64_t s = 0;
    while (s < total) {
      const uint32_t count = uint32_t(std::min<uint64_t>(perChunk, total - s));
      uint32_t got = 0;
      if (brinvale::ReadSectors(count, reader, chunk.data(), s, kSector, got) != 0) {
        s += count;
        continue;
      }
      uint64_t i = 0;
      while (i < count) {
        uint64_t step = 1;
        (void)engine.RecordFoundFile(std::span<const uint8_t>(chunk).subspan(i * kSector, kSector),
                                     s + i, {s + i, total, -1}, reader, step, files);
        i += step;
      }
      s += i;  // a step past the chunk skips the sectors beyond it
    }
    uint32_t listed = 0;
    (void)engine.CountFiles(nullptr, 0, listed);  // writes out pending records
  }
  state.counters["files"] = double(files);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(imageBytes));
  brinvale::CloseReader(reader);
  fs::remove_all(folder);
}

BENCHMARK(BM_OfferEverySector_MixedImage1GiB)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
