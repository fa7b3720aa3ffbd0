#include "output/recovery_job.h"

#include <algorithm>
#include <system_error>

#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "output/rows_written_behind.h"
#include "results/child_target_path.h"
#include "results/copied_record.h"
#include "results/file_categories.h"
#include "results/target_folders.h"
#include "results/target_paths.h"

namespace brinvale {
namespace {

struct CopyContext {
  RecoveryReport* report;
  const std::atomic<bool>* cancel;
  WriteBehind* behind = nullptr;       // writes the small files, when running
  RowsWrittenBehind owed{};            // rows of files it has not written yet
  const ScanRecord* record = nullptr;  // the top-level item being recovered

  // Settles the rows of the files written behind so far; with `wait`,
  // of all of them.
  void SettleWritten(bool wait) {
    if (behind != nullptr && behind->Running()) owed.Settle(*report, behind->TakeEnded(wait));
  }
};

// The engine reports each file once at 100 percent with how it ended.
int OnCopyProgress(void* user, int percent, int scale, int error,
                   const std::filesystem::path& target) {
  auto* ctx = static_cast<CopyContext*>(user);
  // A file that ends is listed even when a cancel is waiting: it may be the
  // one the cancel stopped.
  if (ScaledPercent(percent, scale) >= 100) {
    ctx->report->files.push_back(RecoveredFileOf(target, error, ctx->record));
    if (error == kOk && RowsWrittenBehind::StillWriting(target))
      ctx->owed.Owe(ctx->report->files.size() - 1, target);
    ctx->SettleWritten(false);
  }
  if (ctx->cancel && ctx->cancel->load()) return kCancelled;
  return kOk;
}

// Runs `recover` with the small files written by other threads, and
// settles their rows before it returns.
template <typename Recover>
void WithWriteBehind(CopyContext& ctx, Recover recover) {
  WriteBehind behind(WriteBehind::WritersForThisMachine());
  const WriteBehindScope scope(&behind);
  ctx.behind = &behind;
  recover();
  ctx.SettleWritten(true);
  behind.ApplyFolderTimes();
  ctx.behind = nullptr;
}

// Runs one RecoverRecord and makes sure it leaves one line in the report
// even when the engine failed before reporting anything. An engine that
// throws instead of returning fails this file; the job goes on.
int RecoverOne(IRidiRedazuvoParse& engine, const ScanRecord& record,
               const std::filesystem::path& target, int separators, CopyContext& ctx) {
  RecoveryReport& report = *ctx.report;
  const size_t before = report.files.size();
  ctx.record = record.IsFolder() ? nullptr : &record;
  const int rc = RecoverRecordGuarded(engine, record, target, separators);
  ctx.record = nullptr;
  if (rc != kOk && rc != kCancelled && report.files.size() == before)
    report.files.push_back(RecoveredFileOf(target, rc, record.IsFolder() ? nullptr : &record));
  NameOrigins(engine, report, before);
  TakeWrittenDigests(report, before);
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

RecoveredFile RecoveredFileOf(const std::filesystem::path& target, int error,
                              const ScanRecord* fallback) {
  RecoveredFile file{target, error, std::nullopt};
  if (const ScanRecord* copied = RecordBeingCopied(); copied != nullptr && !copied->IsFolder())
    file.origin = FoundOrigin{*copied, {}};
  else if (fallback != nullptr)
    file.origin = FoundOrigin{*fallback, {}};
  return file;
}

void NameOrigins(IRidiRedazuvoParse& engine, RecoveryReport& report, size_t from) {
  for (size_t i = from; i < report.files.size(); ++i) {
    std::optional<FoundOrigin>& origin = report.files[i].origin;
    if (!origin || !origin->mediumPath.empty()) continue;
    try {
      if (engine.GetRecordPath(origin->record, origin->mediumPath, 4096) != kOk)
        origin->mediumPath.clear();
    } catch (...) {
      origin->mediumPath.clear();  // the path is a note; the file is written
    }
  }
}

void TakeWrittenDigests(RecoveryReport& report, size_t from) {
  for (size_t i = from; i < report.files.size(); ++i) {
    RecoveredFile& file = report.files[i];
    if (file.error == kOk && !file.written) file.written = TakeWrittenFile(file.target);
  }
}

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

namespace {

// Makes the folder `target` goes into. The folders below the recovery
// folder are the recovery's own; the recovery folder is the user's.
int CreateFolderFor(const std::filesystem::path& target, const std::filesystem::path& targetFolder) {
  const std::filesystem::path folder = target.parent_path();
  return folder == targetFolder ? platform::CreateFolders(folder) : CreateTargetFolders(folder);
}

}  // namespace

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
  error = CreateFolderFor(target, targetFolder);
  return target;
}

std::filesystem::path PrepareFoundFolderTarget(IRidiRedazuvoParse& engine,
                                               const ScanRecord& record,
                                               const std::filesystem::path& targetFolder,
                                               int separators, FoundFolderTargets& folders,
                                               int& error) {
  error = kOk;
  std::string mediumPath;
  if (engine.GetRecordPath(record, mediumPath, 4096) != kOk) mediumPath.clear();
  // Found folder names are only names: each becomes one safe component.
  std::filesystem::path folder = targetFolder;
  std::string key;
  size_t start = 0;
  while (start <= mediumPath.size()) {
    size_t end = mediumPath.find_first_of("\\/", start);
    if (end == std::string::npos) end = mediumPath.size();
    const std::string_view name = std::string_view(mediumPath).substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    key += '\\';
    key += name;
    if (auto known = folders.find(key); known != folders.end()) {
      folder = known->second;
      continue;
    }
    std::filesystem::path next = ChildTargetPath(folder, name, separators, TargetKind::kFolder);
    if (next.empty()) break;  // no room for deeper folders: the file goes here
    folder = folders[key] = next;
  }
  const std::string name(record.Name());
  std::filesystem::path target = ChildTargetPath(folder, name, separators, TargetKind::kFile);
  if (target.empty()) {
    error = kErrFilenameTooLong;
    return folder / platform::PathFromUtf8(SanitizeFileName(name));
  }
  error = CreateFolderFor(target, targetFolder);
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
  // Notes left by copies outside this recovery are no file of it.
  ForgetWrittenFiles();
  CopyContext ctx{&report, cancel};
  report.files.reserve(report.files.size() + records.size());
  WithWriteBehind(ctx, [&] {
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
        report.files.push_back(RecoveredFileOf(target, error, &record));
        NameOrigins(engine, report, report.files.size() - 1);
        continue;
      }
      engine.SetProgressCallback(nullptr, OnCopyProgress, &ctx, 100);
      if (RecoverOne(engine, record, target, separators, ctx) == kCancelled) {
        report.result = kCancelled;
        return;
      }
    }
  });
}

void RecoverKeepingPaths(IRidiRedazuvoParse& engine, const std::filesystem::path& targetFolder,
                         RecoveryReport& report, const std::atomic<bool>* cancel) {
  ForgetWrittenFiles();
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
  // One row per file, mostly: the rows of a large recovery are not moved
  // again and again as they grow.
  if (uint32_t files = 0; engine.CountFiles(nullptr, 0, files) == kOk)
    report.files.reserve(report.files.size() + files);
  WithWriteBehind(ctx, [&] {
    const int separators = TargetFolderSeparators(targetFolder);
    for (const ScanRecord& record : top) {
      if (cancel && cancel->load()) {
        report.result = kCancelled;
        return;
      }
      const std::filesystem::path target = TargetOf(record, targetFolder, separators, report);
      if (target.empty()) continue;
      engine.SetProgressCallback(nullptr, OnCopyProgress, &ctx, 100);
      if (RecoverOne(engine, record, target, separators, ctx) == kCancelled) {
        report.result = kCancelled;
        return;
      }
    }
  });
}

}  // namespace brinvale
