#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "support/fixture_path.h"

// The manifests of the fixture images with real files planted in them
// (carve, media, streams): one row per planted copy, "offset how condition
// size sha256 name", '#' lines and empty lines left out.
namespace brinvale::test {

struct PlantedCopy {
  uint64_t offset = 0;
  std::string how;        // noise, zeros, before_<ext>, cut, corrupt
  std::string condition;  // the condition the check must give
  uint64_t size = 0;
  std::string sha256;
  std::string name;
};

inline std::vector<PlantedCopy> LoadPlantedCopies(const std::string& manifest) {
  std::vector<PlantedCopy> rows;
  std::ifstream in(FixturePath(manifest));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    PlantedCopy p;
    fields >> p.offset >> p.how >> p.condition >> p.size >> p.sha256 >> p.name;
    rows.push_back(p);
  }
  return rows;
}

// A planted file's family: its name's extension.
inline std::string FamilyOf(const std::string& name) { return name.substr(name.rfind('.') + 1); }

// A folder of the running test's own under the temp folder ("<prefix><test
// name>"), made afresh and removed with this object.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix) {
    auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::filesystem::temp_directory_path() / (prefix + info->name());
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    std::filesystem::create_directories(m_path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

}  // namespace brinvale::test
