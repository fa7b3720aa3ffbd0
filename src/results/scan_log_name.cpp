#include "results/scan_log_name.h"

#include <cstdio>

namespace brinvale {

std::string ScanLogBaseName(std::string_view prefix, uint64_t startSector,
                            const platform::SystemTime& t) {
  char tail[96];
  std::snprintf(tail, sizeof tail, "%llu_%d%d%d%d%2d", static_cast<unsigned long long>(startSector),
                t.year, t.month, t.day, t.hour, t.minute);
  return std::string(prefix) + tail;
}

}  // namespace brinvale
