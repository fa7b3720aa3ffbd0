// Copying the formatted-FAT engine's finds: a file is read as consecutive
// clusters from its first one; a folder brings everything found below it.
#include <algorithm>
#include <deque>
#include <set>
#include <system_error>

#include "common/error_codes.h"
#include "engines/fat/fat_copy_sink.h"
#include "engines/fat/pro_fat_recovery.h"
#include "output/preview_target.h"
#include "output/target_paths.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

}  // namespace

int CProfessionalFatRecovery::CopyData(const ScanRecord& record, uint64_t limit,
                                       FatCopySink& sink) {
  const uint32_t clusterBytes = record.ClusterBytes();
  if (clusterBytes > kMaxClusterBytes) return kErrWriteFault;
  const uint64_t total = std::min(record.FileSize(), limit);
  if (total == 0) return sink.Progress(100);
  if (!m_open) return m_openResult != kOk ? m_openResult : kErrInvalidHandle;
  if (clusterBytes == 0 || clusterBytes % m_bytesPerSector != 0) return kErrInvalidParameter;
  const uint32_t sectorsPerCluster = clusterBytes / m_bytesPerSector;
  const uint64_t first = record.EntryKey();
  if (first < 2) return kErrInvalidParameter;  // names no data
  const uint64_t start2 = record.PartitionStart() + record.FirstDataSector();
  const uint64_t end = VolumeEnd();
  std::vector<uint8_t> bytes(clusterBytes);
  uint64_t done = 0;
  for (uint64_t cluster = first; done < total; ++cluster) {
    const uint64_t sector = start2 + (cluster - 2) * sectorsPerCluster;
    // A run that goes off the end of the volume keeps what lies before it.
    const uint64_t there = sector >= end ? 0 : std::min<uint64_t>(end - sector, sectorsPerCluster);
    if (there == 0) return kErrReadFault;
    uint32_t got = 0;
    const int rc =
        ReadSectors(uint32_t(there), m_reader, bytes.data(), sector, m_bytesPerSector, got);
    if (got == 0 && rc != kOk) return kErrReadFault;
    const size_t take = size_t(std::min<uint64_t>(total - done, uint64_t(got) * m_bytesPerSector));
    if (int written = sink.Write(bytes.data(), take); written != kOk) return written;
    done += take;
    if (int answer = sink.Progress(int(done * 100 / total)); answer != kOk) return answer;
    if (rc != kOk) return rc;
    if (done < total && got < sectorsPerCluster) return kErrReadFault;
  }
  return kOk;
}

int CProfessionalFatRecovery::RecoverFile(const ScanRecord& record, const fs::path& target,
                                          bool& stopped) {
  stopped = false;
  struct Sink final : FatFileSink {
    Sink(CProfessionalFatRecovery& engine, const platform::UniqueHandle& file, const fs::path& path)
        : FatFileSink(file), engine(engine), path(path) {}
    int Progress(int percent) override {
      finished = percent >= 100;
      if (engine.m_copyCallback == nullptr) return kOk;
      const int rc = engine.m_copyCallback(engine.m_user, percent, 100, kOk, path);
      if (rc != kOk) stopped = true;
      return rc;
    }
    CProfessionalFatRecovery& engine;
    const fs::path& path;
    bool finished = false;
    bool stopped = false;
  };
  // Every file ends with one report of 100 % and its error.
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
  if (sink.stopped) {
    stopped = true;
    return rc;
  }
  if (rc != kOk) return fail(rc);
  if (!sink.finished && m_copyCallback != nullptr) {
    const int answer = m_copyCallback(m_user, 100, 100, kOk, target);
    stopped = answer != kOk;
    return answer;
  }
  return kOk;
}

uint64_t CProfessionalFatRecovery::ChildKey(const ScanRecord& folder, uint32_t depthHint) {
  const uint32_t cluster = folder.EntryKey();
  const uint64_t hinted = uint64_t(depthHint) << 32 | cluster;
  if (!m_store) return hinted;
  const RelationMap& relations = m_store->Relations();
  if (relations.count(hinted) != 0) return hinted;
  // The children are filed under (the folder's level by its ".." entries,
  // its cluster); a folder filed in another directory than its ".." names,
  // or recovered on its own, is asked for at another depth.
  for (const auto& [key, numbers] : relations)
    if (uint32_t(key) == cluster && key != RootKey() && !numbers.empty()) return key;
  return hinted;
}

int CProfessionalFatRecovery::RecoverRecord(const ScanRecord& record, const fs::path& target,
                                            int separators) {
  try {
    if (!record.IsFolder()) {
      if (int rc = platform::CreateFolders(target.parent_path()); rc != kOk) return rc;
      bool stopped = false;
      return RecoverFile(record, target, stopped);
    }
    if (int rc = platform::CreateFolders(target); rc != kOk) return rc;
    if (int rc = m_store ? m_store->FlushLog() : kOk; rc != kOk) return rc;
    std::deque<std::pair<ScanRecord, fs::path>> queue{{record, target}};
    // Folders filed under each other in damaged data are recovered once.
    std::set<uint32_t> visited;
    int firstError = kOk;
    while (!queue.empty()) {
      const auto [folder, path] = queue.front();
      queue.pop_front();
      if (!visited.insert(folder.EntryKey()).second) continue;
      const int depth = std::max(
          0, CountSeparators(platform::PathToUtf8(path.native() + fs::path::value_type('/'))) -
                 separators);
      RecordList children;
      if (m_store && m_store->IsOpen()) {
        if (int rc = m_store->ListFolder(ChildKey(folder, uint32_t(depth)), children); rc != kOk) {
          if (firstError == kOk) firstError = rc;
          continue;
        }
      }
      for (const ScanRecord& child : children) {
        // A found name is only a name: it never leads out of `path`.
        const fs::path childPath =
            MakeUniquePath(path / platform::PathFromUtf8(SanitizeFileName(child.Name())));
        if (child.IsFolder()) {
          std::error_code ec;
          fs::create_directory(childPath, ec);
          if (ec && !fs::is_directory(childPath)) {
            if (firstError == kOk) firstError = platform::SystemErrorFromErrorCode(ec);
            continue;
          }
          queue.emplace_back(child, childPath);
          continue;
        }
        bool stopped = false;
        const int rc = RecoverFile(child, childPath, stopped);
        if (stopped) return rc;
        if (rc != kOk && firstError == kOk) firstError = rc;
      }
    }
    return firstError;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int CProfessionalFatRecovery::ExtractRecord(const ScanRecord& record, fs::path& path,
                                            uint8_t* buffer, uint64_t& size,
                                            ExtractProgressCallback callback, void* user) {
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
        if (rc == kOk) size = record.FileSize();
      }
      if (rc != kOk) {
        std::error_code ec;
        fs::remove(file, ec);
      }
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
