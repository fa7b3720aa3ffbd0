#pragma once

#include "results/scan_record.h"

// The record whose file an engine is writing on this thread. Engines report
// a recovered file to their copy callback by its target path only; the
// receiver (the recovery manifest) learns here which found file it was,
// also for files inside a folder the engine recovers whole.
namespace brinvale {

// Marks `record` as being copied for the life of the object; scopes nest.
// The record is borrowed.
class CopiedRecordScope {
 public:
  explicit CopiedRecordScope(const ScanRecord& record);
  ~CopiedRecordScope();
  CopiedRecordScope(const CopiedRecordScope&) = delete;
  CopiedRecordScope& operator=(const CopiedRecordScope&) = delete;

 private:
  const ScanRecord* m_outer;
};

// The record of the innermost scope on this thread, or null outside any.
const ScanRecord* RecordBeingCopied();

}  // namespace brinvale
