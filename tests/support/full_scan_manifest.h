#pragma once

// The manifests of the reformatted-volume fixtures
// (tests/fixtures/make_reformat_fixtures.sh): what a full scan of each image
// must find, and facts about the image. The format is described at the head
// of every manifest.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/fixture_path.h"

namespace brinvale::test {

struct FullScanItem {
  std::string state;    // live | deleted
  std::string kind;     // file | dir
  std::string foundBy;  // fat | ntfs | content | none
  std::string folder;   // "/"-separated, ends in "/"; "-" when not in the tree
  std::string name;
  uint64_t size = 0;
  std::string sha256;  // "-" for a dir
  std::string layout;  // contiguous | fragmented | resident | -
  std::optional<uint64_t> firstSector;
  std::optional<uint64_t> key;  // first cluster (FAT) or MFT record (NTFS)

  bool IsDir() const { return kind == "dir"; }
  bool Deleted() const { return state == "deleted"; }
  // The path the result tree shows: a dir's folder, or folder + name.
  std::string TreePath() const { return IsDir() ? folder : folder + name; }
  // Whether the bytes can be compared whole (not only by size).
  bool Comparable() const { return layout == "contiguous" || layout == "resident"; }
  // The extension after the last ".", lower-case; empty without one.
  std::string Extension() const {
    const size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
  }
};

struct FullScanManifest {
  std::map<std::string, std::string> facts;  // "# fact: name value"
  std::vector<FullScanItem> items;

  // A fact as a number; fails the test (and gives 0) when it is missing.
  uint64_t Fact(const std::string& name) const {
    const auto it = facts.find(name);
    if (it == facts.end()) {
      ADD_FAILURE() << "the manifest has no fact " << name;
      return 0;
    }
    return std::stoull(it->second);
  }
};

inline std::optional<uint64_t> OptionalNumber(const std::string& field) {
  if (field.empty() || field == "-") return std::nullopt;
  return std::stoull(field);
}

// Reads "<image>.manifest" from the fixture folder; no items when it is
// missing.
inline FullScanManifest ReadFullScanManifest(const std::string& image) {
  FullScanManifest m;
  std::ifstream in(FixturePath(image + ".manifest"));
  std::string line;
  const std::string factTag = "# fact: ";
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (line[0] == '#') {
      if (line.compare(0, factTag.size(), factTag) == 0) {
        const std::string rest = line.substr(factTag.size());
        const size_t space = rest.find(' ');
        if (space != std::string::npos) m.facts[rest.substr(0, space)] = rest.substr(space + 1);
      }
      continue;
    }
    std::istringstream fields(line);
    FullScanItem item;
    std::string size, sector, key;
    std::getline(fields, item.state, '\t');
    std::getline(fields, item.kind, '\t');
    std::getline(fields, item.foundBy, '\t');
    std::getline(fields, item.folder, '\t');
    std::getline(fields, item.name, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, item.sha256, '\t');
    std::getline(fields, item.layout, '\t');
    std::getline(fields, sector, '\t');
    std::getline(fields, key);
    item.size = std::stoull(size);
    item.firstSector = OptionalNumber(sector);
    item.key = OptionalNumber(key);
    m.items.push_back(item);
  }
  return m;
}

// ASCII lower case, for names that FAT compares without case.
inline std::string LowerAscii(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace brinvale::test
