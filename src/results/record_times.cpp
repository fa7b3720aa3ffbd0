#include "results/record_times.h"

#include "common/error_codes.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "results/write_behind.h"

namespace brinvale {

RecordTimes TimesOfRecord(const ScanRecord& record) {
  RecordTimes times{record.Created(), record.Accessed(), record.Written()};
  const EngineCode engine = record.Engine();
  if (engine != EngineCode::kQuickFat && engine != EngineCode::kFormattedFat) return times;
  for (uint64_t* t : {&times.created, &times.accessed, &times.written})
    if (*t != 0) *t = platform::LocalFileTimeToUtc(*t).value_or(0);
  return times;
}

int ApplyRecordTimes(const ScanRecord& record, const std::filesystem::path& path) {
  const RecordTimes times = TimesOfRecord(record);
  if (times.created == 0 && times.accessed == 0 && times.written == 0) return kOk;
  if (WriteBehind* behind = CurrentWriteBehind(); behind != nullptr) {
    behind->SetTimesAtEnd(path, times);
    return kOk;
  }
  return platform::SetFileTimes(path, times.created, times.accessed, times.written);
}

int ApplyRecordTimes(const ScanRecord& record, const platform::UniqueHandle& file) {
  const RecordTimes times = TimesOfRecord(record);
  if (times.created == 0 && times.accessed == 0 && times.written == 0) return kOk;
  return platform::SetFileTimes(file, times.created, times.accessed, times.written);
}

}  // namespace brinvale
