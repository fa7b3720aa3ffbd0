#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "results/scan_log_store.h"
#include "results/scan_record.h"

namespace brinvale {

// What the quick FAT engine listed, as the formatted-FAT engine of the same
// full scan needs it: which directory entries it already turned into
// records (by the sector that holds the entry and the name read there) and
// which folders it placed (by their first cluster). A deleted folder whose
// clusters are free is met by both engines: the formatted engine leaves
// out what the quick engine listed and files the rest under the quick
// engine's folder.
class FatQuickListing {
 public:
  // Adds every record of a quick engine's log; its folders too when
  // `withFolders` (cluster numbers name folders of one volume only: the
  // engines of a disk's several partitions give their entries alone, whose
  // sectors are absolute).
  int Collect(ScanLogStore& quickLog, bool withFolders);

  // Whether the quick engine listed the entry named `name` whose short
  // entry lies in absolute sector `sector`.
  bool ListsEntry(uint64_t sector, std::string_view name) const;
  // The quick engine's folder record whose first cluster is `cluster`.
  const ScanRecord* Folder(uint32_t cluster) const;
  bool Empty() const { return m_entries.empty() && m_folders.empty(); }

  // Adds what the quick engine listed (for Collect and tests).
  void Add(const ScanRecord& record, bool withFolders);
  // Makes ListsEntry answer; Collect does it.
  void Seal();

 private:
  static uint64_t EntryHash(uint64_t sector, std::string_view name);

  std::vector<uint64_t> m_entries;  // sorted once sealed
  std::unordered_map<uint32_t, ScanRecord> m_folders;
};

}  // namespace brinvale
