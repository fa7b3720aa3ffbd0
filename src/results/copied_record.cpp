#include "results/copied_record.h"

namespace brinvale {
namespace {

thread_local const ScanRecord* t_copied = nullptr;

}  // namespace

CopiedRecordScope::CopiedRecordScope(const ScanRecord& record) : m_outer(t_copied) {
  t_copied = &record;
}

CopiedRecordScope::~CopiedRecordScope() { t_copied = m_outer; }

const ScanRecord* RecordBeingCopied() { return t_copied; }

}  // namespace brinvale
