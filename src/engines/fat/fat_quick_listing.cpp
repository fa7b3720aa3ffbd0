#include "engines/fat/fat_quick_listing.h"

#include <algorithm>

#include "common/error_codes.h"
#include "common/fnv_hash.h"
#include "results/record_rules.h"

namespace brinvale {

uint64_t FatQuickListing::EntryHash(uint64_t sector, std::string_view name) {
  Fnv1a64 hash;
  hash.AddLe64(sector);
  hash.Add(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
  return hash.Value();
}

void FatQuickListing::Add(const ScanRecord& record, bool withFolders) {
  m_entries.push_back(EntryHash(record.MetadataSector(), record.Name()));
  // A folder listed twice (a stale entry beside the live one) keeps the
  // first record, the one its children are filed under.
  if (withFolders && IsFolderRecord(record)) m_folders.try_emplace(record.EntryKey(), record);
}

void FatQuickListing::Seal() {
  std::sort(m_entries.begin(), m_entries.end());
  m_entries.erase(std::unique(m_entries.begin(), m_entries.end()), m_entries.end());
}

int FatQuickListing::Collect(ScanLogStore& quickLog, bool withFolders) {
  if (int rc = quickLog.FlushLog(); rc != kOk) return rc;
  try {
    const int rc =
        quickLog.VisitRecords([&](const ScanRecord& r) { Add(r, withFolders); });
    Seal();
    return rc;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

bool FatQuickListing::ListsEntry(uint64_t sector, std::string_view name) const {
  return std::binary_search(m_entries.begin(), m_entries.end(), EntryHash(sector, name));
}

const ScanRecord* FatQuickListing::Folder(uint32_t cluster) const {
  const auto it = m_folders.find(cluster);
  return it == m_folders.end() ? nullptr : &it->second;
}

}  // namespace brinvale
