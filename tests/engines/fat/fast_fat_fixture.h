#pragma once

// Helpers of the quick FAT engine tests: the fixture manifests, the found
// tree as paths, and a fresh temporary folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/sha256.h"
#include "engines/fat/fast_fat_recovery.h"
#include "support/fixture_path.h"

namespace brinvale::testing {

// One line of a fixture manifest (the format is described in its header).
struct ManifestEntry {
  std::string state;  // live | deleted | in-deleted-folder
  std::string path;   // "/"-separated; folders end in "/"
  uint64_t size = 0;
  std::string sha256;
  uint32_t cluster = 0;
  bool IsFolder() const { return !path.empty() && path.back() == '/'; }
};

inline std::vector<ManifestEntry> ReadManifest(const std::string& image) {
  std::vector<ManifestEntry> entries;
  std::ifstream in(test::FixturePath(image + ".manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ManifestEntry e;
    std::string size, cluster;
    std::getline(fields, e.state, '\t');
    std::getline(fields, e.path, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, e.sha256, '\t');
    std::getline(fields, cluster, '\t');
    e.size = std::stoull(size);
    e.cluster = uint32_t(std::stoul(cluster));
    entries.push_back(e);
  }
  return entries;
}

// Whether mtools stored `name` as a short entry alone: an 8.3 name whose
// base and extension are each in one case (a mixed-case or longer name gets
// long-name parts).
inline bool IsShortOnly(const std::string& name) {
  const size_t dot = name.find('.');
  const std::string base = name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos)
    return false;
  auto oneCase = [](const std::string& s) {
    bool upper = false, lower = false;
    for (unsigned char c : s) {
      if (c >= 0x80 || c == ' ') return false;
      upper |= std::isupper(c) != 0;
      lower |= std::islower(c) != 0;
    }
    return !(upper && lower);
  };
  return oneCase(base) && oneCase(ext);
}

// The name the engine shows for one path component: a short name is
// lowered and a deleted one starts with "!"; a long name stays as it is
// (its parts keep their characters when the entry is deleted).
inline std::string ShownName(const std::string& name, bool deleted) {
  if (!IsShortOnly(name)) return name;
  std::string shown;
  for (unsigned char c : name) shown += char(std::tolower(c));
  if (deleted) shown[0] = '!';
  return shown;
}

// The manifest path as the engine shows it, each folder named by its own
// state.
inline std::string ShownPath(const std::vector<ManifestEntry>& manifest, const std::string& path) {
  std::map<std::string, std::string> stateOf;
  for (const ManifestEntry& e : manifest) stateOf[e.path] = e.state;
  std::string shown, sofar;
  size_t from = 1;
  while (from < path.size()) {
    size_t slash = path.find('/', from);
    const bool folder = slash != std::string::npos;
    const std::string name = path.substr(from, folder ? slash - from : std::string::npos);
    sofar += "/" + name;
    const std::string& state = stateOf[folder ? sofar + "/" : sofar];
    shown += "/" + ShownName(name, state != "live");
    from = folder ? slash + 1 : path.size();
  }
  if (!path.empty() && path.back() == '/') shown += "/";
  return shown;
}

// Every found record by its path from the root ("/a/b.txt", folders with a
// trailing "/"), read through ListChildren level by level.
inline void CollectTree(IRidiRedazuvoParse& engine, const ScanRecord* parent, uint32_t depth,
                        const std::string& prefix, std::map<std::string, ScanRecord>& out) {
  RecordList children;
  ASSERT_EQ(engine.ListChildren(parent, depth, children), 0);
  for (const ScanRecord& child : children) {
    const std::string path = prefix + "/" + std::string(child.Name());
    if (child.IsFolder()) {
      out[path + "/"] = child;
      ASSERT_LT(depth, 32u) << "the tree is deeper than any fixture";
      CollectTree(engine, &child, depth + 1, path, out);
    } else {
      out[path] = child;
    }
  }
}

inline std::map<std::string, ScanRecord> FoundTree(IRidiRedazuvoParse& engine) {
  std::map<std::string, ScanRecord> tree;
  CollectTree(engine, nullptr, 0, "", tree);
  return tree;
}

// A fresh folder under the temp folder, removed with its content.
class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    m_path = std::filesystem::temp_directory_path() /
             ("brinvale-fastfat-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

inline std::string FileSha256(const std::filesystem::path& path) {
  const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  return test::Sha256Hex(bytes);
}

}  // namespace brinvale::testing
