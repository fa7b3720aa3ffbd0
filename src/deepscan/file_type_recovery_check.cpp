// The check step of the content scan: the structure of every carved file is
// walked once, after the pass, and its verdict kept beside the log.
#include <algorithm>
#include <new>
#include <vector>

#include "common/error_codes.h"
#include "deepscan/carved_check.h"
#include "deepscan/file_type_recovery.h"

namespace brinvale {

CarvedVerdict CFileTypeRecovery::CarvedVerdictOf(const ScanRecord& record) {
  if (record.Engine() != EngineCode::kContent || record.IsFolder()) return {};
  const uint64_t start = record.MetadataSector();
  if (m_conditions)
    if (auto kept = m_conditions->Find(record.Number(), start)) return *kept;
  if (!m_reader.IsOpen()) return {};
  try {
    const CarvedVerdict verdict = CheckCarvedRecord(record, m_reader, m_bytesPerSector);
    // A verdict is kept only for a record of this log.
    if (m_conditions && m_store && record.Number() >= 1 &&
        record.Number() <= m_store->RecordCount()) {
      (void)m_conditions->Add(record.Number(), start, verdict);
      (void)m_conditions->Flush();
    }
    return verdict;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::optional<CarvedVerdict> CFileTypeRecovery::KnownVerdictOf(const ScanRecord& record) {
  if (record.Engine() != EngineCode::kContent || record.IsFolder()) return CarvedVerdict{};
  if (m_conditions) return m_conditions->Find(record.Number(), record.MetadataSector());
  return std::nullopt;
}

int CFileTypeRecovery::CheckCarvedFiles(ScanProgressCallback progress, void* user, WorkCrew* crew) {
  if (!m_store || !m_store->IsOpen() || !m_reader.IsOpen()) return kOk;
  try {
    if (int rc = m_store->FlushLog(); rc != kOk) return rc;
    RecordList records;
    if (int rc = m_store->ListFolder(0, records); rc != kOk) return rc;
    // In the order of the medium, so that the reads go one way.
    std::sort(records.begin(), records.end(), [](const ScanRecord& a, const ScanRecord& b) {
      return a.MetadataSector() < b.MetadataSector();
    });
    const size_t total = records.size();
    const bool sideBySide = crew != nullptr && crew->Members() > 1 &&
                            m_reader.source->ReadsSideBySide();
    // Verdicts walked ahead of their turn, for the files of one batch.
    const size_t batch = sideBySide ? 32 * crew->Members() : 1;
    std::vector<size_t> pending;
    std::vector<CarvedVerdict> ahead;
    size_t aheadFrom = 0;  // ahead[k] is the verdict of records[pending[k]]
    int lastPercent = -1;
    for (size_t i = 0; i < total; ++i) {
      const ScanRecord& r = records[i];
      const bool kept = m_conditions && m_conditions->Find(r.Number(), r.MetadataSector());
      if (sideBySide && i >= aheadFrom) {
        // The next batch: the files without a verdict among the next ones.
        pending.clear();
        size_t end = std::min(total, i + batch);
        for (size_t j = i; j < end; ++j)
          if (!m_conditions || !m_conditions->Find(records[j].Number(), records[j].MetadataSector()))
            pending.push_back(j);
        ahead.assign(pending.size(), CarvedVerdict{});
        crew->Run(pending.size(), [&](size_t k) {
          ahead[k] = CheckCarvedRecord(records[pending[k]], m_reader, m_bytesPerSector);
        });
        aheadFrom = end;
      }
      if (!kept) {
        CarvedVerdict verdict;
        const auto at = std::lower_bound(pending.begin(), pending.end(), i);
        if (sideBySide && at != pending.end() && *at == i) {
          verdict = ahead[size_t(at - pending.begin())];
        } else {
          verdict = CheckCarvedRecord(r, m_reader, m_bytesPerSector);
        }
        if (m_conditions)
          if (int rc = m_conditions->Add(r.Number(), r.MetadataSector(), verdict); rc != kOk)
            return rc;
      }
      const int percent = int((i + 1) * 100 / total);
      if (progress != nullptr && (!kept || percent != lastPercent)) {
        lastPercent = percent;
        if (int answer = progress(user, percent, 100, -1, 0, 0, 0, 0); answer != 0) {
          if (m_conditions) (void)m_conditions->Flush();
          return answer;
        }
      }
    }
    return m_conditions ? m_conditions->Flush() : kOk;
  } catch (const std::bad_alloc&) {
    if (m_conditions) (void)m_conditions->Flush();
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
