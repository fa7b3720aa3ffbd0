#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "results/recovery_engine.h"
#include "results/scan_record.h"

#if defined(_WIN32)
#include <process.h>
#define BRINVALE_FUZZ_PID _getpid()
#else
#include <unistd.h>
#define BRINVALE_FUZZ_PID ::getpid()
#endif

// What the engine fuzz targets share: the process number that names their
// scratch folders (BRINVALE_FUZZ_PID), and a bounded walk of the found tree.
namespace brinvale::fuzz {

// Walks the found tree below `parent`, at most 8 levels down and `budget`
// items in all: every item's path and every folder's file count; with
// `extract`, every file extracted into memory (under a name no preview
// list holds, so that the data goes to the buffer).
inline void BrowseFoundTree(IRidiRedazuvoParse& engine, const ScanRecord* parent, uint32_t depth,
                            int& budget, bool extract) {
  RecordList children;
  if (engine.ListChildren(parent, depth, children) != 0) return;
  for (const ScanRecord& child : children) {
    if (--budget < 0 || depth > 8) return;
    std::string path;
    (void)engine.GetRecordPath(child, path, 260);
    if (child.IsFolder()) {
      uint32_t count = 0;
      (void)engine.CountFiles(&child, depth + 1, count);
      BrowseFoundTree(engine, &child, depth + 1, budget, extract);
    } else if (extract) {
      std::vector<uint8_t> buffer(4096);
      uint64_t size = buffer.size();
      std::filesystem::path ignored;
      ScanRecord copy = child;
      copy.SetName("data");
      (void)engine.ExtractRecord(copy, ignored, buffer.data(), size, nullptr, nullptr);
    }
  }
}

}  // namespace brinvale::fuzz
