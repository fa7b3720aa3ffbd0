// The scan-log check parser on arbitrary bytes, with a round trip of what
// it accepted.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "results/scan_log_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale;
  std::vector<CheckedLogFile> files;
  if (!ParseScanLogCheck(std::span<const uint8_t>(data, size), files)) {
    if (!files.empty()) std::abort();
    return 0;
  }
  if (files.size() > kMaxCheckedLogFiles) std::abort();
  const std::string text = SerializeScanLogCheck(files);
  std::vector<CheckedLogFile> again;
  if (!ParseScanLogCheck(
          std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
          again) ||
      again != files)
    std::abort();
  return 0;
}
