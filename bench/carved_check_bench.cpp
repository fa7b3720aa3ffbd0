// Time of the check step that follows the full scan's pass: real-format
// files (JPEG, PNG, PDF, ZIP, each a few KiB to a few hundred KiB, as the
// full-scan benchmark makes them) planted in random data, found by the
// content engine's pass (not timed) and then walked by CheckCarvedFiles.
// Figures are carved bytes checked per second and files per second, on one
// core from the page cache; the pass's own throughput is the content engine
// benchmark's.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/crc32.h"
#include "deepscan/file_type_recovery.h"
#include "device/sector_reader.h"

namespace {

namespace fs = std::filesystem;
using brinvale::CFileTypeRecovery;

constexpr uint32_t kSector = 512;
using Bytes = std::vector<uint8_t>;

void Be32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

Bytes Png(std::mt19937_64& random, size_t bytes) {
  Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, const Bytes& data) {
    Be32(b, uint32_t(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    b.insert(b.end(), typed.begin(), typed.end());
    Be32(b, brinvale::Crc32(typed));
  };
  chunk("IHDR", Bytes(13, 1));
  Bytes data(bytes);
  for (auto& c : data) c = uint8_t(random());
  chunk("IDAT", data);
  chunk("IEND", {});
  return b;
}

Bytes Jpeg(std::mt19937_64& random, size_t bytes) {
  Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  b.insert(b.end(), {0xFF, 0xC0, 0x00, 0x0B, 8, 0, 16, 0, 16, 1, 1, 0x11, 0});
  b.insert(b.end(), {0xFF, 0xDA, 0x00, 0x08, 1, 1, 0, 0, 0x3F, 0});
  for (size_t i = 0; i < bytes; ++i) {
    const uint8_t c = uint8_t(random());
    b.push_back(c);
    if (c == 0xFF) b.push_back(0);  // stuffed
  }
  b.insert(b.end(), {0xFF, 0xD9});
  return b;
}

Bytes Pdf(std::mt19937_64& random, size_t bytes) {
  std::string s = "%PDF-1.4\n1 0 obj\n<< /Length " + std::to_string(bytes) + " >>\nstream\n";
  for (size_t i = 0; i < bytes; ++i) s.push_back(char('a' + random() % 26));
  s += "\nendstream\nendobj\n";
  const size_t xref = s.size();
  s += "xref\n0 1\n0000000000 65535 f \ntrailer\n<< >>\nstartxref\n" + std::to_string(xref) +
       "\n%%EOF\n";
  return Bytes(s.begin(), s.end());
}

void BM_CheckStep_PlantedFiles256MiB(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / "brinvale_carved_check_bench";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path image = folder / "planted.img";
  uint64_t carvedBytes = 0;
  {
    std::mt19937_64 random(99);
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    uint64_t written = 0;
    for (int n = 0; written < (uint64_t(256) << 20); ++n) {
      const size_t size = 4096 + random() % (160 * 1024);
      Bytes file = n % 3 == 0   ? Jpeg(random, size)
                   : n % 3 == 1 ? Png(random, size)
                                : Pdf(random, size);
      file.resize((file.size() + kSector - 1) / kSector * kSector, 0x5A);
      Bytes noise(kSector * (1 + random() % 4));
      for (auto& c : noise) c = uint8_t(random() | 1);
      out.write(reinterpret_cast<const char*>(noise.data()), std::streamsize(noise.size()));
      out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
      written += noise.size() + file.size();
      carvedBytes += file.size();
    }
  }
  CFileTypeRecovery engine;
  engine.SetScanLogFolder(folder / "log");
  if (engine.OpenForImage(kSector, {}, u'B', image) != 0) {
    state.SkipWithError("cannot open engine");
    return;
  }
  brinvale::SectorReader& reader = engine.Reader();
  const uint64_t total = reader.totalSectors;
  std::vector<uint8_t> chunk(65536);
  uint64_t files = 0;
  for (uint64_t s = 0; s < total;) {
    const uint32_t count = uint32_t(std::min<uint64_t>(chunk.size() / kSector, total - s));
    uint32_t got = 0;
    if (brinvale::ReadSectors(count, reader, chunk.data(), s, kSector, got) != 0) break;
    uint64_t i = 0;
    while (i < count) {
      uint64_t step = 1;
      (void)engine.RecordFoundFile(std::span<const uint8_t>(chunk).subspan(i * kSector, kSector),
                                   s + i, {s + i, total, -1}, step, files);
      i += step;
    }
    s += i;
  }
  if (engine.FlushLog() != 0) {
    state.SkipWithError("cannot write the log");
    return;
  }
  const fs::path log = engine.Store()->RecordPath();
  for (auto _ : state) {
    state.PauseTiming();
    // Every iteration checks every file afresh.
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(log.parent_path(), ec))
      if (e.path().filename().string().ends_with("_Condition")) fs::remove(e.path(), ec);
    CFileTypeRecovery again;
    (void)again.OpenForImage(kSector, log, u'B', image);
    state.ResumeTiming();
    (void)again.CheckCarvedFiles(nullptr, nullptr);
  }
  state.counters["files"] = double(files);
  state.counters["files/s"] =
      benchmark::Counter(double(files) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(carvedBytes));
  fs::remove_all(folder);
}

BENCHMARK(BM_CheckStep_PlantedFiles256MiB)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
