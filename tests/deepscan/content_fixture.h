#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/fixture_path.h"

namespace brinvale::test {

// One file that make_content_fixture.sh planted in content.img.
struct PlantedFile {
  uint64_t offset = 0;  // bytes, sector-aligned
  int typeCode = 0;
  uint64_t size = 0;
  std::string sha256;
  std::string name;
};

inline std::vector<PlantedFile> LoadContentManifest() {
  std::vector<PlantedFile> files;
  std::ifstream in(FixturePath("content.manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    PlantedFile f;
    fields >> f.offset >> f.typeCode >> f.size >> f.sha256 >> f.name;
    files.push_back(f);
  }
  return files;
}

inline std::vector<uint8_t> LoadContentImage() {
  return ReadFileBytes(FixturePath("content.img"));
}

}  // namespace brinvale::test
