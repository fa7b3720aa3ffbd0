// The reader of recovery manifests on arbitrary bytes: it answers, and
// every row it accepts names a file and carries an empty or well-formed
// checksum.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "output/manifest_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto entries = brinvale::ParseManifestCsv(std::span<const uint8_t>(data, size), error);
  if (!entries) {
    if (error.empty()) std::abort();
    return 0;
  }
  for (const brinvale::ManifestEntry& e : *entries) {
    if (e.path.empty()) std::abort();
    if (!e.sha256.empty() && e.sha256.size() != 64) std::abort();
  }
  return 0;
}
