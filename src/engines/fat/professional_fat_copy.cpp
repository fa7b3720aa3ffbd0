// Copying the formatted-FAT engine's finds: a file is read as consecutive
// clusters from its first one; a folder brings everything found below it.
#include <algorithm>
#include <system_error>

#include "common/error_codes.h"
#include "engines/fat/fat_copy_sink.h"
#include "engines/fat/professional_fat_recovery.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/target_folders.h"
#include "results/target_paths.h"

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
  return RecoverFatFile(record, target, kMaxClusterBytes, m_copyCallback, m_user, CopyFunction(),
                        stopped);
}

FatCopyData CProfessionalFatRecovery::CopyFunction() {
  return [this](const ScanRecord& record, uint64_t limit, FatCopySink& sink) {
    return CopyData(record, limit, sink);
  };
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
      if (int rc = CreateTargetFolders(target.parent_path()); rc != kOk) return rc;
      bool stopped = false;
      return RecoverFile(record, target, stopped);
    }
    if (int rc = CreateTargetFolders(target); rc != kOk) return rc;
    if (int rc = m_store ? m_store->FlushLog() : kOk; rc != kOk) return rc;
    // The children are asked for at the folder's depth below the target
    // folder: the recovered folder's own from its path, one more for each
    // level down (a path cut for length no longer tells).
    const int top = std::max(
        0, CountSeparators(platform::PathToUtf8(target.native() + fs::path::value_type('/'))) -
               separators);
    auto list = [&](const ScanRecord& folder, uint32_t level, RecordList& children) {
      if (!m_store || !m_store->IsOpen()) return kOk;
      return m_store->ListFolder(ChildKey(folder, level), children);
    };
    auto recover = [&](const ScanRecord& file, const fs::path& path, bool& stop) {
      return RecoverFile(file, path, stop);
    };
    auto report = [&](const fs::path& path, int error) {
      return m_copyCallback != nullptr ? m_copyCallback(m_user, 100, 100, error, path) : kOk;
    };
    return RecoverFatFolder(record, target, separators, uint32_t(top), list, recover, report);
  } catch (...) {
    return platform::SystemErrorFromCurrentException();
  }
}

int CProfessionalFatRecovery::ExtractRecord(const ScanRecord& record, fs::path& path,
                                            uint8_t* buffer, uint64_t& size,
                                            ExtractProgressCallback callback, void* user) {
  try {
    // A finished preview file reports the record's size.
    return ExtractFatRecord(record, PreviewFolder(), path, buffer, size, callback, user,
                            kMaxClusterBytes, CopyFunction(), true);
  } catch (const std::bad_alloc&) {
    size = 0;
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
