#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/fixture_path.h"

// partitioned_disks.manifest: the partitions of the whole-disk fixtures and
// the files put in each (tests/fixtures/make_partitioned_disks.sh).
namespace brinvale::test {

struct ManifestPartition {
  std::string image;
  uint32_t number = 0;
  uint64_t start = 0;   // 512-byte sectors
  uint64_t length = 0;
  unsigned type = 0;
  std::string fileSystem;  // "FAT", "NTFS"
  std::string name;        // GPT name; empty for MBR
};

struct ManifestFile {
  std::string image;
  uint32_t partition = 0;
  bool deleted = false;
  std::string name;
  uint64_t size = 0;
  std::string sha256;
};

struct PartitionedDisks {
  std::vector<ManifestPartition> partitions;
  std::vector<ManifestFile> files;

  std::vector<ManifestPartition> PartitionsOf(const std::string& image) const {
    std::vector<ManifestPartition> out;
    for (const ManifestPartition& p : partitions)
      if (p.image == image) out.push_back(p);
    return out;
  }
  std::vector<ManifestFile> DeletedFilesOf(const std::string& image) const {
    std::vector<ManifestFile> out;
    for (const ManifestFile& f : files)
      if (f.image == image && f.deleted) out.push_back(f);
    return out;
  }
};

inline PartitionedDisks ReadPartitionedDisks() {
  PartitionedDisks out;
  std::ifstream in(FixtureDir() / "partitioned_disks.manifest");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "partition") {
      ManifestPartition p;
      std::string type;
      words >> p.image >> p.number >> p.start >> p.length >> type >> p.fileSystem;
      words >> p.name;
      p.type = unsigned(std::stoul(type, nullptr, 16));
      out.partitions.push_back(p);
    } else if (kind == "file") {
      ManifestFile f;
      std::string state;
      words >> f.image >> f.partition >> state >> f.name >> f.size >> f.sha256;
      f.deleted = state == "deleted";
      out.files.push_back(f);
    }
  }
  return out;
}

}  // namespace brinvale::test
