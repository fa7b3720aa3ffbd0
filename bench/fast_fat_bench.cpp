// The quick FAT scan of a large volume, once: the image named by the
// environment variable BRINVALE_FAST_FAT_IMAGE (scripts/bench_fast_fat.sh
// makes one of 100,000 files). Reports the deleted files found and the
// process's peak memory.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engines/fat/fast_fat_recovery.h"

namespace {

double PeakMemoryMiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

void QuickScan(benchmark::State& state) {
  const char* image = std::getenv("BRINVALE_FAST_FAT_IMAGE");
  if (image == nullptr || *image == '\0') {
    state.SkipWithError("set BRINVALE_FAST_FAT_IMAGE to a FAT image");
    return;
  }
  const auto logs = std::filesystem::temp_directory_path() / "brinvale_fast_fat_bench";
  uint32_t files = 0;
  uint64_t records = 0;
  for (auto _ : state) {
    std::filesystem::remove_all(logs);
    brinvale::CFastFatRecovery engine;
    engine.SetScanLogFolder(logs);
    if (engine.OpenImage(image, u'B') != 0 || engine.Scan(nullptr) != 0) {
      state.SkipWithError("the image could not be scanned");
      return;
    }
    (void)engine.CountFiles(nullptr, 0, files);
    records = engine.GetRecordCount();
  }
  std::filesystem::remove_all(logs);
  state.counters["deleted_files"] = files;
  state.counters["records"] = double(records);
  state.counters["peak_MiB"] = PeakMemoryMiB();
}
BENCHMARK(QuickScan)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
