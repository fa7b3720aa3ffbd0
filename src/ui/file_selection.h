#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>

#include "results/scan_record.h"

namespace brinvale::ui {

// What tells one found file from every other of a run: its source's key,
// the engine that found it and its number in that engine's log.
struct FileKey {
  uint16_t source = 0;
  uint32_t engine = 0;
  uint32_t number = 0;
  auto operator<=>(const FileKey&) const = default;
};

FileKey KeyOf(const ScanRecord& record);

// The files the user marked for recovery, in key order, with their count
// and total size. Interface thread only.
class CFileSelection {
 public:
  // Marks `record`; false when it was marked already.
  bool Add(const ScanRecord& record);
  // Unmarks `record`; false when it was not marked.
  bool Remove(const ScanRecord& record);
  bool Contains(const ScanRecord& record) const { return m_files.contains(KeyOf(record)); }
  void Clear();

  size_t Count() const { return m_files.size(); }
  uint64_t TotalBytes() const { return m_totalBytes; }
  const std::map<FileKey, ScanRecord>& Files() const { return m_files; }

 private:
  std::map<FileKey, ScanRecord> m_files;
  uint64_t m_totalBytes = 0;
};

}  // namespace brinvale::ui
