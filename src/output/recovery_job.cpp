#include "output/recovery_job.h"

#include <algorithm>
#include <system_error>

#include "platform/folders.h"
#include "platform/system_error.h"
#include "results/target_paths.h"
#include "platform/text.h"
#include "results/child_target_path.h"
#include "results/file_categories.h"
#include "results/target_paths.h"

namespace brinvale {
namespace {

struct CopyContext {
  RecoveryReport* report;
  const std::atomic<bool>* cancel;
};

// The engine reports each file once at 100 percent with how it ended.
int OnCopyProgress(void* user, int percent, int scale, int error,
                   const std::filesystem::path& target) {
  auto* ctx = static_cast<CopyContext*>(user);
  // A file that ends is listed even when a cancel is waiting: it may be the
  // one the cancel stopped.
  if (ScaledPercent(percent, scale) >= 100) ctx->report->files.push_back({target, error});
  if (ctx->cancel && ctx->cancel->load()) return kCancelled;
  return kOk;
}

// Runs one RecoverRecord and makes sure it leaves one line in the report
// even when the engine failed before reporting anything. An engine that
// throws instead of returning fails this file; the job goes on.
int RecoverOne(IRidiRedazuvoParse& engine, const ScanRecord& record,
               const std::filesystem::path& target, int separators, RecoveryReport& report) {
  const size_t before = report.files.size();
  const int rc = RecoverRecordGuarded(engine, record, target, separators);
  if (rc != kOk && rc != kCancelled && report.files.size() == before)
    report.files.push_back({target, rc});
  return rc;
}

// The target of one found item in `folder`; a name the target cannot take
// at all is listed as failed and gives an empty path.
std::filesystem::path TargetOf(const ScanRecord& record, const std::filesystem::path& folder,
                               int separators, RecoveryReport& report) {
  const TargetKind kind = record.IsFolder() ? TargetKind::kFolder : TargetKind::kFile;
  std::filesystem::path target = ChildTargetPath(folder, record.Name(), separators, kind);
  if (target.empty())
    report.files.push_back(
        {folder / platform::PathFromUtf8(SanitizeFileName(record.Name())), kErrFilenameTooLong});
  return target;
}

}  // namespace

int TargetFolderSeparators(const std::filesystem::path& targetFolder) {
  return CountSeparators(platform::PathToUtf8(targetFolder));
}

int RecoverRecordGuarded(IRidiRedazuvoParse& engine, const ScanRecord& record,
                         const std::filesystem::path& target, int separators, bool* threw) {
  if (threw) *threw = false;
  try {
    return engine.RecoverRecord(record, target, separators);
  } catch (...) {
    if (threw) *threw = true;
    return platform::SystemErrorFromCurrentException();
  }
}

std::filesystem::path PrepareCategoryTarget(const ScanRecord& record,
                                            const std::filesystem::path& targetFolder,
                                            int separators, int& error) {
  error = kOk;
  const std::string name(record.Name());
  const std::filesystem::path folder =
      targetFolder / platform::PathFromUtf8(std::string(CategoryFolderName(name)));
  std::filesystem::path target = ChildTargetPath(folder, name, separators, TargetKind::kFile);
  if (target.empty()) {
    error = kErrFilenameTooLong;
    return folder / platform::PathFromUtf8(SanitizeFileName(name));
  }
  error = platform::CreateFolders(target.parent_path());
  return target;
}

size_t RecoveryReport::Succeeded() const {
  return size_t(std::count_if(files.begin(), files.end(),
                              [](const RecoveredFile& f) { return f.error == 0; }));
}

size_t RecoveryReport::Failed() const { return files.size() - Succeeded(); }

void RecoverIntoCategories(IRidiRedazuvoParse& engine, const RecordList& records,
                           const std::filesystem::path& targetFolder, RecoveryReport& report,
                           const std::atomic<bool>* cancel) {
  CopyContext ctx{&report, cancel};
  const int separators = TargetFolderSeparators(targetFolder);
  for (const ScanRecord& record : records) {
    if (cancel && cancel->load()) {
      report.result = kCancelled;
      return;
    }
    if (record.IsFolder()) continue;
    int error = kOk;
    const std::filesystem::path target =
        PrepareCategoryTarget(record, targetFolder, separators, error);
    if (error != kOk) {
      report.files.push_back({target, error});
      continue;
    }
    engine.SetProgressCallback(nullptr, OnCopyProgress, &ctx, 100);
    if (RecoverOne(engine, record, target, separators, report) == kCancelled) {
      report.result = kCancelled;
      return;
    }
  }
}

void RecoverKeepingPaths(IRidiRedazuvoParse& engine, const std::filesystem::path& targetFolder,
                         RecoveryReport& report, const std::atomic<bool>* cancel) {
  CopyContext ctx{&report, cancel};
  RecordList top;
  if (int rc = engine.ListChildren(nullptr, 0, top); rc != kOk) {
    report.files.push_back({targetFolder, rc});
    return;
  }
  if (int rc = platform::CreateFolders(targetFolder); rc != kOk) {
    report.files.push_back({targetFolder, rc});
    return;
  }
  const int separators = TargetFolderSeparators(targetFolder);
  for (const ScanRecord& record : top) {
    if (cancel && cancel->load()) {
      report.result = kCancelled;
      return;
    }
    const std::filesystem::path target = TargetOf(record, targetFolder, separators, report);
    if (target.empty()) continue;
    engine.SetProgressCallback(nullptr, OnCopyProgress, &ctx, 100);
    if (RecoverOne(engine, record, target, separators, report) == kCancelled) {
      report.result = kCancelled;
      return;
    }
  }
}

}  // namespace brinvale
