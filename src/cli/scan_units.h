#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/scan_source.h"
#include "cli/scan_options.h"
#include "device/partition_table.h"
#include "engines/engine_factory.h"
#include "results/scan_record.h"

namespace brinvale::cli {

// One source of a `scan`: the image or disk named, or one partition of an
// image or a disk that holds a partition table.
struct ScanUnit {
  ScanSource source;
  uint32_t partition = 0;  // its number in the table; 0 for the whole source
  uint64_t start = 0;      // in the medium's sectors (partitions only)
  uint64_t length = 0;
  std::string fileSystem;  // what starts there: "FAT", "NTFS", "Ext", "unknown"
};

// What a `scan` reads, in order.
struct ScanPlan {
  // The table of an image or whole disk whose first sector holds no file
  // system; no scheme otherwise.
  PartitionTable table;
  // The medium's sector size, which partition starts and lengths count:
  // 512 for an image, the disk's own for a disk.
  uint32_t sectorBytes = 512;
  // What starts at each partition of the table, by its number.
  std::map<uint32_t, std::string> fileSystems;
  std::vector<ScanUnit> units;
  // Partitions left out of a quick scan (nothing it can read starts
  // there), one sentence each.
  std::vector<std::string> skipped;

  bool Partitioned() const { return table.HasPartitions(); }
};

// Decides the sources of a scan of `options.source`. An image or whole disk
// whose first sector holds a file system, and a partition named by start
// and count, is one source. An image or whole disk with a partition table
// instead: in a quick scan each partition whose file
// system a quick scan reads, in table order; in a full scan the whole image
// (its engine scans every partition and the space between them). Each
// partition of an image gets a tag of its own, each of a disk a number in
// place of a drive letter: the keys its found files find it by. With
// `options.partition` set, only that partition, in either mode. Returns
// false with `error` set when a partition is asked for that the image does
// not have, or a quick scan finds no partition it can read.
bool PlanScanUnits(const ScanOptions& options, ScanMode mode, ScanPlan& plan, std::string& error);

// The partition of `plan` a record found in a scan of `unit` came from: the
// unit's own partition, or, for the whole image, the partition whose start
// the record names as its volume's or whose sectors hold its metadata (or
// its first sector, for a file found by content). 0 when it lies outside
// every partition.
uint32_t RecordPartition(const ScanPlan& plan, const ScanUnit& unit, const ScanRecord& record);

// The folder below --recover-to that the files of partition `number` go
// to: "partition-N", or "unpartitioned" for 0.
std::string PartitionFolderName(uint32_t number);

}  // namespace brinvale::cli
