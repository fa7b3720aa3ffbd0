#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace brinvale::testing {

inline std::filesystem::path FixtureDir() {
  const char* env = std::getenv("BRINVALE_FIXTURE_DIR");
  return env && *env ? env : BRINVALE_FIXTURE_DIR;
}

// One partition line of mbr_disk.manifest.
struct ManifestPartition {
  int number = 0;
  uint64_t start = 0;
  uint64_t length = 0;
  std::string type;
  std::string fileSystem;
  std::string label;
  std::string sha256;
};

inline std::vector<ManifestPartition> ReadMbrDiskManifest() {
  std::vector<ManifestPartition> parts;
  std::ifstream in(FixtureDir() / "mbr_disk.manifest");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ManifestPartition p;
    if (fields >> p.number >> p.start >> p.length >> p.type >> p.fileSystem >> p.label >> p.sha256)
      parts.push_back(p);
  }
  return parts;
}

}  // namespace brinvale::testing
