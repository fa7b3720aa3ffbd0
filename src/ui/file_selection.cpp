#include "ui/file_selection.h"

#include <algorithm>

namespace brinvale::ui {

FileKey KeyOf(const ScanRecord& record) {
  return {uint16_t(record.SourceKey()), record.EngineValue(), record.Number()};
}

bool CFileSelection::Add(const ScanRecord& record, const std::shared_ptr<const RecordList>& owner) {
  const auto [it, added] = m_files.try_emplace(KeyOf(record), &record);
  if (!added) return false;
  m_totalBytes += record.FileSize();
  if (owner && std::find(m_owners.begin(), m_owners.end(), owner) == m_owners.end())
    m_owners.push_back(owner);
  return true;
}

void CFileSelection::AddAll(std::vector<const ScanRecord*> records,
                            const std::shared_ptr<const RecordList>& owner) {
  // In key order, each goes in right after the one before.
  std::vector<std::pair<FileKey, const ScanRecord*>> keyed;
  keyed.reserve(records.size());
  for (const ScanRecord* record : records) keyed.emplace_back(KeyOf(*record), record);
  std::sort(keyed.begin(), keyed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  auto hint = keyed.empty() ? m_files.end() : m_files.lower_bound(keyed.front().first);
  for (const auto& [key, record] : keyed) {
    const size_t before = m_files.size();
    auto it = m_files.emplace_hint(hint, key, record);
    if (m_files.size() != before) m_totalBytes += record->FileSize();
    hint = std::next(it);
  }
  if (owner && !records.empty() &&
      std::find(m_owners.begin(), m_owners.end(), owner) == m_owners.end())
    m_owners.push_back(owner);
}

bool CFileSelection::Remove(const ScanRecord& record) {
  auto it = m_files.find(KeyOf(record));
  if (it == m_files.end()) return false;
  m_totalBytes -= it->second->FileSize();
  m_files.erase(it);
  return true;
}

void CFileSelection::Clear() {
  m_files.clear();
  m_owners.clear();
  m_totalBytes = 0;
}

}  // namespace brinvale::ui
