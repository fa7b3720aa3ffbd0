#pragma once

#include <cstdint>
#include <map>
#include <new>
#include <optional>
#include <tuple>

#include "results/carved_condition.h"
#include "results/scan_record.h"

// The verdicts of one session's file-system finds, kept in memory as they
// are checked so that each file's structure is walked once. Keyed by what
// names the file in its engine: the record's number, its entry key (first
// cluster or MFT record), the sector of its entry or record, its volume's
// start and its size. Used by one thread at a time.
namespace brinvale {

class FoundVerdicts {
 public:
  std::optional<CarvedVerdict> Find(const ScanRecord& record) const {
    const auto it = m_kept.find(KeyOf(record));
    if (it == m_kept.end()) return std::nullopt;
    return it->second;
  }
  void Keep(const ScanRecord& record, const CarvedVerdict& verdict) {
    m_kept[KeyOf(record)] = verdict;
  }
  // The kept verdict of `record`; else, when `canCheck`, check() is run
  // and its verdict kept. Without memory for the check the file stays
  // unchecked (and is asked again next time).
  template <typename Check>
  CarvedVerdict FindOrCheck(const ScanRecord& record, bool canCheck, Check&& check) {
    if (auto kept = Find(record)) return *kept;
    if (!canCheck) return {};
    try {
      const CarvedVerdict verdict = check();
      Keep(record, verdict);
      return verdict;
    } catch (const std::bad_alloc&) {
      return {};
    }
  }
  void Clear() { m_kept.clear(); }
  size_t Count() const { return m_kept.size(); }

 private:
  using Key = std::tuple<uint32_t, uint32_t, uint64_t, uint64_t, uint64_t>;
  static Key KeyOf(const ScanRecord& r) {
    return {r.Number(), r.EntryKey(), r.MetadataSector(), r.PartitionStart(), r.FileSize()};
  }
  std::map<Key, CarvedVerdict> m_kept;
};

}  // namespace brinvale
