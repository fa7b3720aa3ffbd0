#include "ui/file_selection.h"

namespace brinvale::ui {

FileKey KeyOf(const ScanRecord& record) {
  return {uint16_t(record.SourceKey()), record.EngineValue(), record.Number()};
}

bool CFileSelection::Add(const ScanRecord& record) {
  const auto [it, added] = m_files.try_emplace(KeyOf(record), record);
  if (added) m_totalBytes += record.FileSize();
  return added;
}

bool CFileSelection::Remove(const ScanRecord& record) {
  auto it = m_files.find(KeyOf(record));
  if (it == m_files.end()) return false;
  m_totalBytes -= it->second.FileSize();
  m_files.erase(it);
  return true;
}

void CFileSelection::Clear() {
  m_files.clear();
  m_totalBytes = 0;
}

}  // namespace brinvale::ui
