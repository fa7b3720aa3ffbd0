// The quick NTFS scan and the recovery of what it finds, over a real image
// named by BRINVALE_NTFS_BENCH_IMAGE (for instance 2 GiB made with mkntfs
// and filled through an ntfs-3g mount). Skipped when it is not set.
//   BRINVALE_NTFS_BENCH_OUT  folder for scan logs and recovered files
//                            (default: the system's temporary folder)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engines/ntfs/fast_ntfs_recovery.h"

namespace {

namespace fs = std::filesystem;
using brinvale::CFastNtfsRecovery;

const char* ImagePath() { return std::getenv("BRINVALE_NTFS_BENCH_IMAGE"); }

fs::path OutFolder() {
  const char* out = std::getenv("BRINVALE_NTFS_BENCH_OUT");
  return out != nullptr ? fs::path(out) : fs::temp_directory_path() / "brinvale-ntfs-bench";
}

uint64_t MftBytes(const brinvale::NtfsVolume& v) {
  uint64_t clusters = 0;
  for (const auto& run : v.mftRuns) clusters += run.clusterCount;
  return clusters * v.ClusterBytes();
}

void CollectFiles(CFastNtfsRecovery& engine, const brinvale::ScanRecord* parent, uint32_t level,
                  brinvale::RecordList& files) {
  brinvale::RecordList children;
  if (engine.ListChildren(parent, level, children) != 0) return;
  for (const auto& child : children) {
    if (child.IsFolder())
      CollectFiles(engine, &child, level + 1, files);
    else
      files.push_back(child);
  }
}

void BM_QuickScan(benchmark::State& state) {
  if (ImagePath() == nullptr) {
    state.SkipWithError("BRINVALE_NTFS_BENCH_IMAGE is not set");
    return;
  }
  uint64_t mft = 0, files = 0;
  for (auto _ : state) {
    CFastNtfsRecovery engine;
    if (engine.OpenImage(ImagePath(), u'B') != 0) {
      state.SkipWithError("cannot open the image");
      return;
    }
    engine.SetScanLogFolder(OutFolder() / "logs");
    if (engine.Scan(nullptr) != 0) {
      state.SkipWithError("scan failed");
      return;
    }
    mft = MftBytes(engine.Volume());
    uint32_t count = 0;
    engine.CountFiles(nullptr, 0, count);
    files = count;
  }
  state.SetBytesProcessed(int64_t(mft * state.iterations()));
  state.counters["deleted_files"] = double(files);
}
BENCHMARK(BM_QuickScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Recovers every file found into OUT/recovered/<record number>_<name>.
void BM_RecoverAllDeleted(benchmark::State& state) {
  if (ImagePath() == nullptr) {
    state.SkipWithError("BRINVALE_NTFS_BENCH_IMAGE is not set");
    return;
  }
  CFastNtfsRecovery engine;
  engine.OpenImage(ImagePath(), u'B');
  engine.SetScanLogFolder(OutFolder() / "logs");
  if (engine.Scan(nullptr) != 0) {
    state.SkipWithError("scan failed");
    return;
  }
  brinvale::RecordList files;
  CollectFiles(engine, nullptr, 0, files);
  uint64_t bytes = 0, failed = 0;
  const fs::path target = OutFolder() / "recovered";
  for (auto _ : state) {
    bytes = failed = 0;
    for (const auto& file : files) {
      const fs::path path =
          target / (std::to_string(file.EntryKey()) + "_" + std::string(file.Name()));
      if (engine.RecoverRecord(file, path, 0) != 0) ++failed;
      bytes += file.FileSize();
    }
  }
  state.SetBytesProcessed(int64_t(bytes * state.iterations()));
  state.counters["files"] = double(files.size());
  state.counters["failed"] = double(failed);
}
BENCHMARK(BM_RecoverAllDeleted)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
