// Copying found files out of the volume: recovery into a target folder and
// extraction for preview.
#include <algorithm>
#include <system_error>
#include <unordered_set>

#include "common/error_codes.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/fat/fat_copy_sink.h"
#include "output/preview_target.h"
#include "output/target_paths.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/file_categories.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

}  // namespace

int CFastFatRecovery::CopyData(const ScanRecord& record, uint64_t limit, FatCopySink& sink) {
  const uint32_t clusterBytes = record.ClusterBytes();
  if (clusterBytes > kMaxClusterBytes) return kErrWriteFault;
  const uint64_t total = std::min(record.FileSize(), limit);
  if (total == 0) return sink.Progress(100);
  if (!m_open) return m_openResult != kOk ? m_openResult : kErrInvalidHandle;
  if (clusterBytes == 0 || clusterBytes % m_bps != 0) return kErrInvalidParameter;
  const uint32_t sectorsPerCluster = clusterBytes / m_bps;
  uint32_t cluster = record.EntryKey();
  if (!IsValidCluster(cluster)) return kErrInvalidParameter;  // names no data
  std::vector<uint8_t> bytes(clusterBytes);
  uint64_t done = 0;
  // A looping chain cannot run longer than the volume has clusters.
  for (uint64_t step = 0; step <= m_geometry->clusterCount; ++step) {
    const uint64_t sector = record.PartitionStart() + record.FirstDataSector() +
                            uint64_t(cluster - 2) * sectorsPerCluster;
    uint32_t got = 0;
    if (int rc = ReadSectors(sectorsPerCluster, m_reader, bytes.data(), sector, m_bps, got);
        rc != kOk)
      return got == 0 && rc != kErrInvalidParameter ? kErrReadFault : rc;
    const size_t take = size_t(std::min<uint64_t>(total - done, clusterBytes));
    if (int rc = sink.Write(bytes.data(), take); rc != kOk) return rc;
    done += take;
    if (int rc = sink.Progress(int(done * 100 / total)); rc != kOk) return rc;
    if (done == total) break;
    // The data ends where the chain does, even before the size is reached.
    const auto next = m_fat->NextCluster(cluster);
    if (!next) break;
    cluster = *next;
  }
  return kOk;
}

int CFastFatRecovery::RecoverFile(const ScanRecord& record, const fs::path& target,
                                  std::deque<std::pair<ScanRecord, fs::path>>& queue) {
  if (record.IsFolder()) {
    std::error_code ec;
    fs::create_directory(target, ec);
    if (ec && !fs::is_directory(target)) return platform::SystemErrorFromErrorCode(ec);
    queue.emplace_back(record, target);
    return kOk;
  }
  struct Sink final : FatFileSink {
    Sink(CFastFatRecovery& engine, const platform::UniqueHandle& file, const fs::path& path)
        : FatFileSink(file), engine(engine), path(path) {}
    int Progress(int percent) override {
      finished = percent >= 100;
      if (engine.m_copyCallback == nullptr) return kOk;
      const int rc = engine.m_copyCallback(engine.m_user, percent, 100, kOk, path);
      if (rc != kOk) stopped = true;
      return rc;
    }
    CFastFatRecovery& engine;
    const fs::path& path;
    bool finished = false;
    bool stopped = false;
  };
  auto fail = [&](int rc) {
    if (m_copyCallback != nullptr) (void)m_copyCallback(m_user, 100, 100, rc, target);
    return rc;
  };
  if (record.ClusterBytes() > kMaxClusterBytes) return fail(kErrWriteFault);
  // Create or truncate: a file already there must not keep a stale tail.
  platform::UniqueHandle file;
  if (int rc = platform::OpenFile(target, platform::OpenMode::kWriteTruncate, file); rc != kOk)
    return fail(rc);
  Sink sink(*this, file, target);
  const int rc = CopyData(record, UINT64_MAX, sink);
  if (sink.stopped) return rc;
  if (rc != kOk) return fail(rc);
  // A chain that ended before the size still finishes the file.
  if (!sink.finished && m_copyCallback != nullptr)
    return m_copyCallback(m_user, 100, 100, kOk, target);
  return kOk;
}

int CFastFatRecovery::RecoverRecord(const ScanRecord& record, const fs::path& target,
                                    int separators) {
  (void)separators;  // folder depths come from the folders themselves
  try {
    std::deque<std::pair<ScanRecord, fs::path>> queue;
    if (!record.IsFolder()) {
      if (int rc = platform::CreateFolders(target.parent_path()); rc != kOk) return rc;
      return RecoverFile(record, target, queue);
    }
    if (int rc = platform::CreateFolders(target); rc != kOk) return rc;
    queue.emplace_back(record, target);
    // Folders filed under each other in damaged data are recovered once.
    std::unordered_set<uint32_t> done;
    int firstError = kOk;
    while (!queue.empty()) {
      const auto [folder, path] = queue.front();
      queue.pop_front();
      if (!done.insert(folder.EntryKey()).second) continue;
      RecordList children;
      if (int rc = ListChildren(&folder, FolderDepth(folder.EntryKey()), children); rc != kOk) {
        if (firstError == kOk) firstError = rc;
        continue;
      }
      for (const ScanRecord& child : children) {
        // A found name is only a name: it never leads out of `path`.
        const fs::path childPath =
            MakeUniquePath(path / platform::PathFromUtf8(SanitizeFileName(child.Name())));
        const int rc = RecoverFile(child, childPath, queue);
        if (rc == kCancelled) return kCancelled;
        if (rc != kOk && firstError == kOk) firstError = rc;
      }
    }
    return firstError;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CFastFatRecovery::ExtractRecord(const ScanRecord& record, fs::path& path, uint8_t* buffer,
                                    uint64_t& size, ExtractProgressCallback callback, void* user) {
  const uint64_t capacity = buffer != nullptr ? size : 0;
  size = 0;
  if (record.ClusterBytes() > kMaxClusterBytes) return kErrWriteFault;
  try {
    const fs::path file = PreviewTarget(record.Name(), PreviewFolder());

    struct Reporter {
      ExtractProgressCallback callback;
      void* user;
      int Report(int percent) const {
        return callback != nullptr ? callback(user, percent, kOk) : kOk;
      }
    } reporter{callback, user};

    if (!file.empty()) {
      path = file;
      std::error_code ec;
      int rc;
      {
        platform::UniqueHandle handle;
        rc = OpenPreviewFile(file, handle);
        if (rc != kOk) return rc;
        struct Sink final : FatFileSink {
          Sink(const platform::UniqueHandle& h, const Reporter& r) : FatFileSink(h), reporter(r) {}
          int Progress(int percent) override { return reporter.Report(percent); }
          const Reporter& reporter;
        } sink(handle, reporter);
        rc = CopyData(record, UINT64_MAX, sink);
      }
      if (rc != kOk) fs::remove(file, ec);
      return rc;
    }

    struct Sink final : FatCopySink {
      Sink(uint8_t* out, uint64_t room, const Reporter& r) : out(out), room(room), reporter(r) {}
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
      const Reporter& reporter;
    } sink(buffer, capacity, reporter);
    const int rc = CopyData(record, capacity, sink);
    size = sink.copied;
    return rc;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
