#include "app/recovery_window_job.h"

#include <mutex>

#include "app/message_format.h"
#include "common/error_codes.h"
#include "output/rows_written_behind.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace brinvale {
namespace {

struct CopyContext {
  IJobWindow& window;
  JobState& state;
  const MessageLookup& messages;
  RecoveryCounts& counts;
  RecoveryReport& report;
  WriteBehind* behind = nullptr;  // writes the small files, when running
  RowsWrittenBehind owed{};       // rows of files it has not written yet
  bool reported = false;  // the current file reached 100 percent
  const ScanRecord* record = nullptr;  // the selected file being copied
};

void AddFileRow(IJobWindow& window, RecoveryCounts& counts, int error,
                const std::filesystem::path& target) {
  const std::string path = platform::PathToUtf8(target);
  if (error != kOk) {
    window.AddRow("DetailList", {path, platform::SystemErrorMessage(error)}, true,
                  kFailedRowColor);
    ++counts.failed;
  } else {
    window.AddRow("DetailList", {path, "Success"}, false, 0);
  }
  ++counts.processed;
}

void ShowCounts(IJobWindow& window, const MessageLookup& messages, const RecoveryCounts& c) {
  window.SetText("recovered",
                 FormatMessage(Text(messages, "MSG1102"),
                               {int64_t(c.processed), int64_t(c.total),
                                int64_t(c.processed - c.failed), int64_t(c.failed)}));
}

// Lists the files written behind so far (with `wait`, all of them) as
// their writes ended: a row saying "Success" only once the file is whole on
// the target.
void ListWrittenBehind(CopyContext& c, bool wait) {
  if (c.behind == nullptr || !c.behind->Running()) return;
  const std::vector<size_t> rows = c.owed.Settle(c.report, c.behind->TakeEnded(wait));
  if (wait) c.behind->ApplyFolderTimes();
  if (rows.empty()) return;
  std::lock_guard<JobLock> guard(c.state.lock);
  for (size_t row : rows) AddFileRow(c.window, c.counts, c.report.files[row].error,
                                     c.report.files[row].target);
  ShowCounts(c.window, c.messages, c.counts);
}

int OnCopyProgress(void* user, int percent, int scale, int error,
                   const std::filesystem::path& target) {
  auto& c = *static_cast<CopyContext*>(user);
  const size_t before = c.counts.processed;
  // A file still to be written is listed when its write ends.
  const bool writing = ScaledPercent(percent, scale) >= 100 && error == kOk &&
                       RowsWrittenBehind::StillWriting(target);
  const int rc = ReportCopyProgress(c.window, c.state, c.messages, c.counts, percent, scale,
                                    error, target, !writing);
  if (c.counts.processed != before || (writing && rc == kOk)) {
    c.reported = true;
    c.report.files.push_back(RecoveredFileOf(target, error, c.record));
    if (writing) c.owed.Owe(c.report.files.size() - 1, target);
  }
  if (writing) ListWrittenBehind(c, false);
  return rc;
}

// A file that ends without the engine's report at 100 percent: listed as
// failed, under the lock like every other change of the window.
void ListUnreported(CopyContext& c, int error, const std::filesystem::path& target) {
  std::lock_guard<JobLock> guard(c.state.lock);
  AddFileRow(c.window, c.counts, error, target);
  ShowCounts(c.window, c.messages, c.counts);
  c.report.files.push_back(RecoveredFileOf(target, error, c.record));
}

// The manifest of what the job wrote, into the target folder.
void WriteManifest(const RecoveryJobSetup& setup, RecoveryReport& report) {
  // Unless told otherwise, each file's condition is asked of its engine.
  const ConditionOf askEngine = [&setup](const ScanRecord& record) -> std::string {
    ScanSource* source = FindSourceByKey(setup.sources, uint16_t(record.SourceKey()));
    if (source == nullptr || !source->engine) return {};
    return ManifestCondition(*source->engine, record);
  };
  ManifestFiles files;
  report.manifestError = WriteRecoveryManifest(setup.targetFolder, report, files,
                                               setup.conditionOf ? setup.conditionOf : askEngine);
  if (report.manifestError == kOk) report.manifests.push_back(files.csv);
}

}  // namespace

int ReportCopyProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                       RecoveryCounts& counts, int percent, int scale, int error,
                       const std::filesystem::path& current, bool listEnded) {
  std::lock_guard<JobLock> guard(state.lock);
  if (state.CancelRequested()) return kCancelled;
  const int shown = ScaledPercent(percent, scale);
  if (shown == 100 && listEnded) AddFileRow(window, counts, error, current);
  window.SetProgress("progress", shown);
  window.SetText("current", platform::PathToUtf8(current));
  window.SetText("percent", FormatMessage("%s %d%%", {Text(messages, "MSG1101"), int64_t(shown)}));
  ShowCounts(window, messages, counts);
  return kOk;
}

RecoveryReport RunRecoveryWindowJob(const RecoveryJobSetup& setup, IJobWindow& window,
                                    JobState& state) {
  RecoveryReport report;
  report.files.reserve(setup.selection.size());
  RecoveryCounts counts;
  counts.total = uint32_t(setup.selection.size());
  CopyContext context{window, state, setup.messages, counts, report};
  WriteBehind behind(WriteBehind::WritersForThisMachine());
  const WriteBehindScope writeBehindScope(&behind);
  context.behind = &behind;
  const int separators = TargetFolderSeparators(setup.targetFolder);
  FoundFolderTargets foundFolders;
  // Notes left by copies outside this job are no file of it.
  ForgetWrittenFiles();
  for (const ScanRecord& record : setup.selection) {
    context.reported = false;
    context.record = &record;
    const size_t firstRow = report.files.size();
    ScanSource* source = FindSourceByKey(setup.sources, uint16_t(record.SourceKey()));
    IRidiRedazuvoParse* engine = source != nullptr ? source->engine.get() : nullptr;
    int error = kOk;
    const std::filesystem::path target =
        setup.asFound && engine != nullptr
            ? PrepareFoundFolderTarget(*engine, record, setup.targetFolder, separators,
                                       foundFolders, error)
            : PrepareCategoryTarget(record, setup.targetFolder, separators, error);
    // The found file's source was closed or scanned anew: nothing can
    // read it any more.
    if (error == kOk && engine == nullptr) error = kErrInvalidHandle;
    if (error != kOk) {
      ListUnreported(context, error, target);
      if (engine != nullptr) NameOrigins(*engine, report, firstRow);
      continue;
    }
    if (engine->SetProgressCallback(nullptr, OnCopyProgress, &context, 100) != kOk) break;
    bool threw = false;
    const int rc = RecoverRecordGuarded(*engine, record, target, separators, &threw);
    if (rc == kCancelled) {
      NameOrigins(*engine, report, firstRow);
      TakeWrittenDigests(report, firstRow);
      ListWrittenBehind(context, true);
      report.result = kCancelled;
      WriteManifest(setup, report);
      state.jobFinished.store(1);
      return report;
    }
    if (threw) {
      std::lock_guard<JobLock> guard(state.lock);
      ++counts.processed;
      ++counts.failed;
      ShowCounts(window, setup.messages, counts);
      report.files.push_back(RecoveredFileOf(target, rc, &record));
    } else if (rc != kOk && !context.reported) {
      ListUnreported(context, rc, target);
    }
    NameOrigins(*engine, report, firstRow);
    TakeWrittenDigests(report, firstRow);
    ListWrittenBehind(context, false);
  }
  ListWrittenBehind(context, true);
  WriteManifest(setup, report);
  window.SetVisible("FinishBtn", true);
  window.SetVisible("CancelBtn", false);
  state.jobFinished.store(1);
  return report;
}

}  // namespace brinvale
