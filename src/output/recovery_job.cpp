#include "output/recovery_job.h"

#include <algorithm>
#include <system_error>

#include "platform/text.h"
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
  if (ctx->cancel && ctx->cancel->load()) return kCancelled;
  if (ScaledPercent(percent, scale) >= 100) ctx->report->files.push_back({target, error});
  return kOk;
}

int SeparatorsOf(const std::filesystem::path& folder) {
  return CountSeparators(platform::PathToUtf8(folder));
}

// Runs one RecoverRecord and makes sure it leaves one line in the report
// even when the engine failed before reporting anything.
int RecoverOne(IRidiRedazuvoParse& engine, const ScanRecord& record,
               const std::filesystem::path& target, int separators, RecoveryReport& report) {
  const size_t before = report.files.size();
  const int rc = engine.RecoverRecord(record, target, separators);
  if (rc != kOk && rc != kCancelled && report.files.size() == before)
    report.files.push_back({target, rc});
  return rc;
}

}  // namespace

size_t RecoveryReport::Succeeded() const {
  return size_t(std::count_if(files.begin(), files.end(),
                              [](const RecoveredFile& f) { return f.error == 0; }));
}

size_t RecoveryReport::Failed() const { return files.size() - Succeeded(); }

void RecoverIntoCategories(IRidiRedazuvoParse& engine, const RecordList& records,
                           const std::filesystem::path& targetFolder, RecoveryReport& report,
                           const std::atomic<bool>* cancel) {
  CopyContext ctx{&report, cancel};
  const int separators = SeparatorsOf(targetFolder);
  for (const ScanRecord& record : records) {
    if (cancel && cancel->load()) {
      report.result = kCancelled;
      return;
    }
    if (record.IsFolder()) continue;
    const std::string name(record.Name());
    const std::filesystem::path folder =
        targetFolder / platform::PathFromUtf8(CategoryFolderName(name));
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::filesystem::path target =
        MakeUniquePath(folder / platform::PathFromUtf8(SanitizeFileName(name)));
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
  std::error_code ec;
  std::filesystem::create_directories(targetFolder, ec);
  const int separators = SeparatorsOf(targetFolder);
  for (const ScanRecord& record : top) {
    if (cancel && cancel->load()) {
      report.result = kCancelled;
      return;
    }
    const std::filesystem::path target =
        MakeUniquePath(targetFolder / platform::PathFromUtf8(SanitizeFileName(record.Name())));
    engine.SetProgressCallback(nullptr, OnCopyProgress, &ctx, 100);
    if (RecoverOne(engine, record, target, separators, report) == kCancelled) {
      report.result = kCancelled;
      return;
    }
  }
}

}  // namespace brinvale
