#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "results/recovery_engine.h"

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
// and total size. A marked file is kept as a reference into the list that
// holds it, which the selection keeps alive until it is cleared.
// Interface thread only.
class CFileSelection {
 public:
  // Marks `record`, an element of `owner`; false when it was marked
  // already.
  bool Add(const ScanRecord& record, const std::shared_ptr<const RecordList>& owner);
  // Marks every record of `records`, elements of `owner`; faster than one
  // by one for many.
  void AddAll(std::vector<const ScanRecord*> records,
              const std::shared_ptr<const RecordList>& owner);
  // Unmarks `record`; false when it was not marked.
  bool Remove(const ScanRecord& record);
  bool Contains(const ScanRecord& record) const { return m_files.contains(KeyOf(record)); }
  void Clear();

  size_t Count() const { return m_files.size(); }
  uint64_t TotalBytes() const { return m_totalBytes; }
  const std::map<FileKey, const ScanRecord*>& Files() const { return m_files; }

 private:
  std::map<FileKey, const ScanRecord*> m_files;
  std::vector<std::shared_ptr<const RecordList>> m_owners;  // the lists m_files points into
  uint64_t m_totalBytes = 0;
};

}  // namespace brinvale::ui
