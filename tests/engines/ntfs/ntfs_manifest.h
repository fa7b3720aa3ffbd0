#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/fixture_path.h"

// The manifests that tests/fixtures/make_ntfs_fixtures.sh writes next to
// each NTFS image: "# key: value" facts, then one tab-separated line per
// file or folder (state, kind, record, size, sha256, path).
namespace brinvale::test {

struct NtfsManifestEntry {
  bool deleted = false;
  bool folder = false;
  uint64_t record = 0;
  uint64_t size = 0;
  std::string sha256;
  std::string path;
};

struct NtfsManifest {
  std::map<std::string, std::string> facts;  // "# key: value" lines
  std::vector<NtfsManifestEntry> entries;

  // The volume's cluster size, as mkntfs was asked for it.
  uint32_t ClusterBytes() const { return uint32_t(std::stoul(facts.at("cluster_bytes"))); }

  const NtfsManifestEntry& At(const std::string& path) const {
    for (const auto& e : entries)
      if (e.path == path) return e;
    ADD_FAILURE() << "no manifest entry " << path;
    static const NtfsManifestEntry none;
    return none;
  }
};

// Reads "<image>.manifest" from the fixture folder.
inline NtfsManifest ReadNtfsManifest(const std::string& image) {
  NtfsManifest m;
  std::ifstream in(FixturePath(image + ".manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (line[0] == '#') {
      const auto colon = line.find(": ");
      if (colon != std::string::npos && line.find(' ', 2) > colon)
        m.facts[line.substr(2, colon - 2)] = line.substr(colon + 2);
      continue;
    }
    std::istringstream fields(line);
    std::string state, kind, record, size;
    NtfsManifestEntry e;
    std::getline(fields, state, '\t');
    std::getline(fields, kind, '\t');
    std::getline(fields, record, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, e.sha256, '\t');
    std::getline(fields, e.path);
    e.deleted = state == "deleted";
    e.folder = kind == "dir";
    e.record = std::stoull(record);
    e.size = std::stoull(size);
    m.entries.push_back(e);
  }
  return m;
}

}  // namespace brinvale::test
