// Copying found files out of the volume: recovery into a target folder and
// extraction for preview.
#include <algorithm>
#include <optional>

#include "common/error_codes.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/fat/fat_copy_sink.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "results/target_folders.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kCopyRunBytes = 65536;

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
  // Clusters that follow each other on the volume are read and written in
  // one piece of up to 64 KiB (or one cluster, when clusters are larger).
  const uint32_t runLimit = std::max<uint32_t>(1, kCopyRunBytes / clusterBytes);
  // No run is longer than the file's clusters: a small file gets a small
  // buffer, not 64 KiB to clear.
  const uint64_t fileClusters = total / clusterBytes + (total % clusterBytes != 0);
  std::vector<uint8_t> bytes(size_t(clusterBytes) *
                             size_t(std::min<uint64_t>(runLimit, fileClusters)));
  uint64_t done = 0;
  auto sectorOf = [&](uint32_t c) {
    return record.PartitionStart() + record.FirstDataSector() +
           uint64_t(c - 2) * sectorsPerCluster;
  };
  // One read of `count` clusters from `first`; a read that fails is made
  // again cluster by cluster, so that the clusters before the bad one are
  // still written.
  auto copyRun = [&](uint32_t first, uint32_t count) -> int {
    uint32_t got = 0;
    int rc = ReadSectors(sectorsPerCluster * count, m_reader, bytes.data(), sectorOf(first), m_bps,
                         got);
    if (rc == kOk) {
      const size_t take =
          size_t(std::min<uint64_t>(total - done, uint64_t(clusterBytes) * count));
      if (rc = sink.Write(bytes.data(), take); rc != kOk) return rc;
      done += take;
      return sink.Progress(int(done * 100 / total));
    }
    for (uint32_t i = 0; i < count; ++i) {
      if (rc = ReadSectors(sectorsPerCluster, m_reader, bytes.data(), sectorOf(first + i), m_bps,
                           got);
          rc != kOk)
        return got == 0 && rc != kErrInvalidParameter ? kErrReadFault : rc;
      const size_t take = size_t(std::min<uint64_t>(total - done, clusterBytes));
      if (rc = sink.Write(bytes.data(), take); rc != kOk) return rc;
      done += take;
      if (rc = sink.Progress(int(done * 100 / total)); rc != kOk) return rc;
    }
    return kOk;
  };
  // A looping chain cannot run longer than the volume has clusters.
  uint64_t step = 0;
  while (step <= m_geometry->clusterCount) {
    // The clusters still wanted, and how many of them follow on directly.
    const uint64_t wanted = (total - done + clusterBytes - 1) / clusterBytes;
    uint32_t count = 1;
    std::optional<uint32_t> next;
    bool nextKnown = false;
    while (count < runLimit && count < wanted && step + count <= m_geometry->clusterCount) {
      next = m_fat->NextCluster(cluster + count - 1);
      nextKnown = true;
      if (!next || *next != cluster + count) break;
      ++count;
      nextKnown = false;
    }
    step += count;
    if (int rc = copyRun(cluster, count); rc != kOk) return rc;
    if (done == total) break;
    // The data ends where the chain does, even before the size is reached.
    if (!nextKnown) next = m_fat->NextCluster(cluster + count - 1);
    if (!next) break;
    cluster = *next;
  }
  return kOk;
}

int CFastFatRecovery::RecoverFile(const ScanRecord& record, const fs::path& target, bool& stopped) {
  return RecoverFatFile(record, target, kMaxClusterBytes, m_copyCallback, m_user, CopyFunction(),
                        stopped);
}

FatCopyData CFastFatRecovery::CopyFunction() {
  return [this](const ScanRecord& record, uint64_t limit, FatCopySink& sink) {
    return CopyData(record, limit, sink);
  };
}

int CFastFatRecovery::RecoverRecord(const ScanRecord& record, const fs::path& target,
                                    int separators) {
  try {
    if (!record.IsFolder()) {
      if (int rc = CreateTargetFolders(target.parent_path()); rc != kOk) return rc;
      bool stopped = false;
      return RecoverFile(record, target, stopped);
    }
    if (int rc = CreateTargetFolders(target); rc != kOk) return rc;
    // Folder depths come from the folders themselves.
    auto list = [this](const ScanRecord& folder, uint32_t, RecordList& children) {
      return ListChildren(&folder, FolderDepth(folder.EntryKey()), children);
    };
    // Only a cancel ends the whole recovery; any other answer goes on.
    auto recover = [this](const ScanRecord& file, const fs::path& path, bool& stop) {
      bool stopped = false;
      const int rc = RecoverFile(file, path, stopped);
      stop = rc == kCancelled;
      return rc;
    };
    auto report = [this](const fs::path& path, int error) {
      return m_copyCallback != nullptr ? m_copyCallback(m_user, 100, 100, error, path) : kOk;
    };
    return RecoverFatFolder(record, target, separators, 1, list, recover, report);
  } catch (...) {
    return platform::SystemErrorFromCurrentException();
  }
}

int CFastFatRecovery::ExtractRecord(const ScanRecord& record, fs::path& path, uint8_t* buffer,
                                    uint64_t& size, ExtractProgressCallback callback, void* user) {
  try {
    return ExtractFatRecord(record, PreviewFolder(), path, buffer, size, callback, user,
                            kMaxClusterBytes, CopyFunction(), false);
  } catch (const std::bad_alloc&) {
    size = 0;
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
