// The scan log store at the scale of a large medium: 1,000,000 records in
// 50,000 folders, one of them holding 100,000 files. Each step runs once on
// the same store, in order: append, flush, list, count, search, reopen.
// Peak memory (VmHWM) is reported with every step.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "results/scan_log_store.h"

namespace {

using brinvale::ScanLogStore;
using brinvale::ScanRecord;

constexpr uint32_t kRecords = 1'000'000;
constexpr uint32_t kFolders = 50'000;
constexpr uint32_t kBigFolderFiles = 100'000;
constexpr uint32_t kRootCluster = 2;

const std::filesystem::path& LogFolder() {
  static const auto folder = std::filesystem::temp_directory_path() / "brinvale_store_bench";
  return folder;
}

std::unique_ptr<ScanLogStore>& Store() {
  static std::unique_ptr<ScanLogStore> store;
  return store;
}

double PeakMemoryMiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// Folders form a 4-ary tree: folder i (0-based) lies in folder (i - 1) / 4;
// folder 0 lies in the root. Its level is its depth below the root (1 for
// folders in the root); its children are filed under (level, cluster).
uint32_t Cluster(uint32_t folder) { return 1000 + folder; }
uint32_t Level(uint32_t folder) {
  uint32_t level = 1;
  while (folder > 0) {
    folder = (folder - 1) / 4;
    ++level;
  }
  return level;
}
uint64_t ChildKey(uint32_t folder) { return uint64_t(Level(folder)) << 32 | Cluster(folder); }
uint64_t ParentKey(uint32_t folder) {
  return folder == 0 ? kRootCluster : ChildKey((folder - 1) / 4);
}

const char* kExtensions[] = {".jpg", ".txt", ".mp3", ".doc", ".qqq", ".zip", "", ".avi"};

void FillStore(ScanLogStore& store) {
  ScanRecord r;
  r.SetContentCheck(1);
  r.SetFileSize(4096);
  r.SetClusterBytes(4096);
  char name[64];
  // The folders first, as a directory walk meets them.
  for (uint32_t f = 0; f < kFolders; ++f) {
    std::snprintf(name, sizeof name, "Folder%u", f);
    r.SetIsFolder(true);
    r.SetEntryKey(Cluster(f));
    r.SetName(name);
    store.AddRelation(ParentKey(f), store.AppendRecord(r), Cluster(f), name);
  }
  r.SetIsFolder(false);
  // One folder with 100,000 files in a row.
  const uint64_t bigKey = ChildKey(1);
  for (uint32_t i = 0; i < kBigFolderFiles; ++i) {
    std::snprintf(name, sizeof name, "IMG_%06u%s", (i * 7919u) % kBigFolderFiles,
                  kExtensions[i % 8]);
    r.SetEntryKey(200000 + i);
    r.SetName(name);
    store.AddRelation(bigKey, store.AppendRecord(r));
  }
  // The rest spread over all folders, 17 files at a time.
  uint32_t folder = 0;
  for (uint32_t i = kFolders + kBigFolderFiles; i < kRecords; ++i) {
    if (i % 17 == 0) folder = (folder + 7) % kFolders;
    std::snprintf(name, sizeof name, "file%u%s", i, kExtensions[i % 8]);
    r.SetEntryKey(400000 + i);
    r.SetName(name);
    store.AddRelation(ChildKey(folder), store.AppendRecord(r));
  }
}

void ReportMemory(benchmark::State& state) { state.counters["peak_MiB"] = PeakMemoryMiB(); }

void BM_AppendRecords(benchmark::State& state) {
  for (auto _ : state) {
    std::filesystem::remove_all(LogFolder());
    Store() = std::make_unique<ScanLogStore>();
    if (Store()->OpenLog(LogFolder(), "Pro_Fat_2048_2026379 5") != 0) {
      state.SkipWithError("cannot open the log");
      return;
    }
    FillStore(*Store());
  }
  state.counters["records_per_s"] =
      benchmark::Counter(double(kRecords), benchmark::Counter::kIsRate);
  ReportMemory(state);
}
BENCHMARK(BM_AppendRecords)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlushLog(benchmark::State& state) {
  for (auto _ : state)
    if (Store()->FlushLog() != 0) state.SkipWithError("flush failed");
  state.counters["relation_MiB"] =
      double(std::filesystem::file_size(LogFolder() / "Pro_Fat_2048_2026379 5_Relation")) /
      (1 << 20);
  ReportMemory(state);
}
BENCHMARK(BM_FlushLog)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListBigFolder(benchmark::State& state) {
  std::vector<ScanRecord> list;
  for (auto _ : state)
    if (Store()->ListFolder(ChildKey(1), list) != 0) state.SkipWithError("list failed");
  state.counters["entries"] = double(list.size());
  ReportMemory(state);
}
BENCHMARK(BM_ListBigFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListSmallFolder(benchmark::State& state) {
  std::vector<ScanRecord> list;
  for (auto _ : state)
    if (Store()->ListFolder(ChildKey(30000), list) != 0) state.SkipWithError("list failed");
  state.counters["entries"] = double(list.size());
}
BENCHMARK(BM_ListSmallFolder)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_CountFilesBelowRoot(benchmark::State& state) {
  uint32_t count = 0;
  for (auto _ : state)
    if (Store()->CountFilesBelow(0, count) != 0) state.SkipWithError("count failed");
  state.counters["files"] = double(count);
  ReportMemory(state);
}
BENCHMARK(BM_CountFilesBelowRoot)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SearchAll(benchmark::State& state) {
  std::vector<ScanRecord> found;
  for (auto _ : state)
    if (Store()->Search("*.jpg|*.txt|*.doc|.other", found) != 0) state.SkipWithError("failed");
  state.counters["found"] = double(found.size());
  state.counters["records_per_s"] = benchmark::Counter(
      double(kRecords) * double(state.iterations()), benchmark::Counter::kIsRate);
  ReportMemory(state);
}
BENCHMARK(BM_SearchAll)->Unit(benchmark::kMillisecond)->UseRealTime();

// A filter that selects nothing: the cost of the scan itself, without
// building a large result list.
void BM_SearchNoMatch(benchmark::State& state) {
  std::vector<ScanRecord> found;
  for (auto _ : state)
    if (Store()->Search("*.png", found) != 0) state.SkipWithError("failed");
  state.counters["found"] = double(found.size());
  state.counters["records_per_s"] = benchmark::Counter(
      double(kRecords) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SearchNoMatch)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RecordPathDeepFile(benchmark::State& state) {
  std::vector<ScanRecord> list;
  Store()->ListFolder(ChildKey(49999), list);
  std::string path;
  for (auto _ : state)
    if (list.empty() || Store()->GetRecordPath(list.front(), path, 4096) != 0)
      state.SkipWithError("path failed");
  state.counters["path_bytes"] = double(path.size());
}
BENCHMARK(BM_RecordPathDeepFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ReopenLog(benchmark::State& state) {
  Store()->CloseLog();
  for (auto _ : state) {
    ScanLogStore reopened;
    if (reopened.OpenLog(LogFolder(), "Pro_Fat_2048_2026379 5") != 0)
      state.SkipWithError("reopen failed");
    benchmark::DoNotOptimize(reopened.RecordCount());
  }
  ReportMemory(state);
  Store().reset();
  std::filesystem::remove_all(LogFolder());
}
BENCHMARK(BM_ReopenLog)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
