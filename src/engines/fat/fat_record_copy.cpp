// Copying found FAT files and folders: the file copy with its progress
// reports, the folder walk and the preview extraction.
#include "engines/fat/fat_record_copy.h"

#include <algorithm>
#include <deque>
#include <new>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "common/error_codes.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/child_target_path.h"
#include "results/copied_record.h"
#include "results/preview_target.h"
#include "results/record_times.h"
#include "results/recovered_file_writer.h"
#include "results/target_folders.h"
#include "results/target_paths.h"
#include "results/unfinished_file.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// Turns extraction progress into the caller's callback.
struct ExtractReporter {
  ExtractProgressCallback callback;
  void* user;
  int Report(int percent) const { return callback != nullptr ? callback(user, percent, kOk) : kOk; }
};

}  // namespace

int RecoverFatFile(const ScanRecord& record, const fs::path& target, uint32_t maxClusterBytes,
                   CopyProgressCallback callback, void* user, const FatCopyData& copyData,
                   bool& stopped) {
  stopped = false;
  const CopiedRecordScope copying(record);
  struct Sink final : FatCopySink {
    Sink(RecoveredFileWriter& file, CopyProgressCallback callback, void* user,
         const fs::path& path)
        : file(file), callback(callback), user(user), path(path) {}
    int Write(const uint8_t* data, size_t length) override { return file.Write(data, length); }
    int Progress(int percent) override {
      finished = percent >= 100;
      if (callback == nullptr) return kOk;
      const int rc = callback(user, percent, 100, kOk, path);
      if (rc != kOk) stopped = true;
      return rc;
    }
    RecoveredFileWriter& file;
    CopyProgressCallback callback;
    void* user;
    const fs::path& path;
    bool finished = false;
    bool stopped = false;
  };
  // Every file ends with one report of 100 % and its error.
  auto fail = [&](int rc, const fs::path& path) {
    if (callback != nullptr) (void)callback(user, 100, 100, rc, path);
    return rc;
  };
  if (record.ClusterBytes() > maxClusterBytes) return fail(kErrWriteFault, target);
  int rc = kOk;
  bool finished = false;
  {
    // Create or truncate: a file already there must not keep a stale tail.
    RecoveredFileWriter file;
    if (rc = file.Open(target); rc != kOk) return fail(rc, target);
    Sink sink(file, callback, user, target);
    rc = copyData(record, UINT64_MAX, sink);
    stopped = sink.stopped;
    finished = sink.finished;
    // Stopped on the report of the last bytes, the file is whole too: it
    // gets its times on the open file, after its last write.
    if (stopped ? finished : rc == kOk) file.Finish(record);
  }
  if (stopped) {
    if (finished) return rc;
    // Stopped halfway: what was written stays under a name that says so,
    // and the file is listed with the cancel.
    (void)fail(kCancelled, SettleUnfinishedFile(target));
    return rc;
  }
  if (rc != kOk) return fail(rc, SettleUnfinishedFile(target));
  // Data that ended before the size still finishes the file.
  if (!finished && callback != nullptr) {
    const int answer = callback(user, 100, 100, kOk, target);
    stopped = answer != kOk;
    return answer;
  }
  return kOk;
}

int RecoverFatFolder(const ScanRecord& record, const fs::path& target, int separators,
                     uint32_t level, const FatListFolder& listFolder,
                     const FatRecoverFile& recoverFile, const FatReportFailure& reportFailure) {
  struct Pending {
    ScanRecord folder;
    fs::path path;
    uint32_t level;
  };
  std::deque<Pending> queue{{record, target, level}};
  // Folders filed under each other in damaged data are recovered once.
  std::unordered_set<uint32_t> visited;
  int firstError = kOk;
  auto failed = [&](const fs::path& path, int rc) {
    if (firstError == kOk) firstError = rc;
    return reportFailure(path, rc) == kCancelled;
  };
  while (!queue.empty()) {
    const Pending item = queue.front();
    queue.pop_front();
    if (!visited.insert(item.folder.EntryKey()).second) continue;
    RecordList children;
    if (int rc = listFolder(item.folder, item.level, children); rc != kOk) {
      if (firstError == kOk) firstError = rc;
      continue;
    }
    for (const ScanRecord& child : children) {
      // A found name is only a name: it never leads out of `path`, and it is
      // cut to what the target allows.
      const TargetKind kind = child.IsFolder() ? TargetKind::kFolder : TargetKind::kFile;
      const fs::path childPath = ChildTargetPath(item.path, child.Name(), separators, kind);
      if (childPath.empty()) {
        if (failed(item.path / platform::PathFromUtf8(SanitizeFileName(child.Name())),
                   kErrFilenameTooLong))
          return kCancelled;
        continue;
      }
      if (child.IsFolder()) {
        if (int rc = CreateTargetFolders(childPath); rc != kOk) {
          if (failed(childPath, rc)) return kCancelled;
          continue;
        }
        queue.push_back({child, childPath, item.level + 1});
        continue;
      }
      // A path cut for length goes into folders that may not exist yet.
      if (childPath.parent_path() != item.path) {
        if (int rc = CreateTargetFolders(childPath.parent_path()); rc != kOk) {
          if (failed(childPath, rc)) return kCancelled;
          continue;
        }
      }
      bool stop = false;
      const int rc = recoverFile(child, childPath, stop);
      if (stop) return rc;
      if (rc != kOk && firstError == kOk) firstError = rc;
    }
    // Its entries are made: the folder's times no longer move.
    (void)ApplyRecordTimes(item.folder, item.path);
  }
  return firstError;
}

int ExtractFatRecord(const ScanRecord& record, const fs::path& previewFolder, fs::path& path,
                     uint8_t* buffer, uint64_t& size, ExtractProgressCallback callback, void* user,
                     uint32_t maxClusterBytes, const FatCopyData& copyData, bool sizeFromRecord) {
  const uint64_t capacity = buffer != nullptr ? size : 0;
  size = 0;
  if (record.ClusterBytes() > maxClusterBytes) return kErrWriteFault;
  try {
    const ExtractReporter reporter{callback, user};
    const fs::path file = PreviewTarget(record.Name(), previewFolder);
    if (!file.empty()) {
      path = file;
      int rc;
      {
        platform::UniqueHandle handle;
        rc = OpenPreviewFile(file, handle);
        if (rc != kOk) return rc;
        struct Sink final : FatFileSink {
          Sink(const platform::UniqueHandle& h, const ExtractReporter& r)
              : FatFileSink(h), reporter(r) {}
          int Progress(int percent) override { return reporter.Report(percent); }
          const ExtractReporter& reporter;
        } sink(handle, reporter);
        rc = copyData(record, UINT64_MAX, sink);
        if (rc == kOk && sizeFromRecord) size = record.FileSize();
      }
      if (rc != kOk) {
        std::error_code ec;
        fs::remove(file, ec);
      }
      return rc;
    }

    struct Sink final : FatCopySink {
      Sink(uint8_t* out, uint64_t room, const ExtractReporter& r)
          : out(out), room(room), reporter(r) {}
      int Write(const uint8_t* data, size_t length) override {
        const size_t take = size_t(std::min<uint64_t>(length, room - copied));
        std::copy_n(data, take, out + copied);
        copied += take;
        return kOk;
      }
      int Progress(int percent) override { return reporter.Report(percent); }
      uint8_t* out;
      uint64_t room;
      uint64_t copied = 0;
      const ExtractReporter& reporter;
    } sink(buffer, capacity, reporter);
    const int rc = copyData(record, capacity, sink);
    size = sink.copied;
    return rc;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
