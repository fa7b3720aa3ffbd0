#include "engines/ntfs/ntfs_file_copy.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>
#include <system_error>

#include "common/error_codes.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/resident_data.h"
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

constexpr size_t kCopyChunkBytes = 65536;

// Internal codes of the NTFS readers never leave the engine: a record that
// no longer holds the file's data reads as a read fault.
int PublicCode(int rc) { return rc < 0 ? kErrReadFault : rc; }

}  // namespace

int CopyNtfsFileData(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                     const NtfsDataSink& sink, const NtfsChunkProgress& progress, bool& resident,
                     const NtfsWholeDataSink& whole) {
  resident = false;
  if (!reader.IsOpen()) return kErrInvalidHandle;
  const uint32_t bps = volume.bytesPerSector;
  const uint64_t size = record.FileSize();
  // The record is read once, for its resident value or else its runs.
  std::vector<uint8_t> fileRecord;
  int rc = LoadFileRecord(volume, reader, record.MetadataSector(), fileRecord);
  if (rc != kOk) return PublicCode(rc);
  std::vector<uint8_t> data;
  rc = ResidentDataOf(volume, fileRecord, data);
  if (rc == kOk) {
    resident = true;
    return sink(data.data(), size_t(std::min<uint64_t>(size, data.size())));
  }
  if (rc != ntfs::kNotResidentData) return PublicCode(rc);
  // An empty file needs no data: neither runs nor a known cluster size
  // (which the formatted engine learns from the runs, and has none here).
  if (size == 0) return kOk;
  RunList runs;
  rc = AttributeRunsOf(volume, reader, fileRecord, ntfs::kTypeData, runs);
  if (rc != kOk) return PublicCode(rc);
  std::vector<PlacedRun> placed;
  PlaceRuns(runs, placed);

  const uint64_t clusterBytes = record.ClusterBytes();
  if (bps == 0 || clusterBytes == 0 || clusterBytes % bps != 0) return kErrInvalidParameter;
  // No read is longer than the file rounded up to whole sectors: a small
  // file gets a small buffer, not 64 KiB to clear.
  const uint64_t head = std::min<uint64_t>(size, kCopyChunkBytes);
  // Every read fills what is handed on: the buffer is not cleared first.
  ReadBytes chunk(size_t(std::min<uint64_t>(kCopyChunkBytes, (head + bps - 1) / bps * bps)));
  uint64_t remaining = size;
  for (const PlacedRun& run : placed) {
    if (remaining == 0) break;
    uint64_t runBytes = 0, runSector = 0;
    if (__builtin_mul_overflow(clusterBytes, run.clusterCount, &runBytes)) runBytes = UINT64_MAX;
    if (!run.sparse && (__builtin_mul_overflow(clusterBytes / bps, run.startCluster, &runSector) ||
                        __builtin_add_overflow(runSector, record.PartitionStart(), &runSector)))
      return kErrReadFault;
    uint64_t readBytes = 0;
    while (readBytes < runBytes && remaining > 0) {
      const uint64_t wanted = std::min<uint64_t>(remaining + bps - 1, UINT64_MAX - bps) / bps * bps;
      const size_t length =
          size_t(std::min<uint64_t>({kCopyChunkBytes, runBytes - readBytes, wanted}));
      if (run.sparse) {
        std::memset(chunk.data(), 0, length);  // a sparse run reads as zeros
      } else {
        uint32_t got = 0;
        rc = ReadSectors(uint32_t(length / bps), reader, chunk.data(), runSector + readBytes / bps,
                         bps, got);
        if (rc != kOk) return rc;
      }
      const size_t useful = size_t(std::min<uint64_t>(length, remaining));
      // The whole file in this one chunk: the chunk itself may be taken.
      rc = whole && useful == size ? whole(chunk, useful) : sink(chunk.data(), useful);
      if (rc == kNtfsSinkFull) return kOk;
      if (rc != kOk) return rc;
      remaining -= useful;
      readBytes += length;
      if (progress) {
        const int percent = int((size - remaining) * 100.0 / double(size));
        if (int stop = progress(percent); stop != 0) return stop;
      }
    }
  }
  // Runs that end before the file does leave it incomplete.
  return remaining == 0 ? kOk : kErrReadFault;
}

int CopyNtfsFileToPath(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                       const std::filesystem::path& target, CopyProgressCallback copy, void* user) {
  const CopiedRecordScope copying(record);
  auto tell = [&](int percent, int code, const std::filesystem::path& path) {
    return copy ? copy(user, percent, 100, code, path) : 0;
  };
  int rc = kOk;
  bool resident = false;
  bool finished = false;  // the report of 100 % went out
  bool stopped = false;   // the callback's answer ended the copy
  {
    RecoveredFileWriter file;
    rc = file.Open(target);
    if (rc != kOk) {
      if (int stop = tell(100, rc, target); stop == kCancelled) return stop;
      return rc;
    }
    rc = CopyNtfsFileData(
        volume, reader, record,
        [&](const uint8_t* data, size_t length) { return file.Write(data, length); },
        [&](int percent) {
          finished = percent >= 100;
          const int answer = tell(percent, 0, target);
          stopped = answer != 0;
          return answer;
        },
        resident,
        [&](ReadBytes& bytes, size_t length) { return file.WriteTaking(bytes, length); });
    // Stopped on the report of the last bytes, the file is whole too: it
    // gets its times on the open file, after its last write.
    if (stopped ? finished : rc == kOk) file.Finish(record);
  }
  if (stopped) {
    // Stopped halfway: what was written stays under a name that says so.
    if (!finished) (void)tell(100, kCancelled, SettleUnfinishedFile(target));
    return rc;
  }
  if (rc > 0) {
    if (int stop = tell(100, rc, SettleUnfinishedFile(target)); stop == kCancelled) return stop;
    return rc;
  }
  // Resident data and an empty file have no chunk that reports the end.
  if (rc == kOk && !finished) {
    if (int stop = tell(100, 0, target); stop == kCancelled) return stop;
  }
  return rc;
}

int RecoverNtfsFolder(IRidiRedazuvoParse& engine, ScanLogStore* store, const ScanRecord& record,
                      const std::filesystem::path& target, int separators,
                      const NtfsCopyFile& copyFile, const NtfsReportFailure& reportFailure) {
  if (int rc = CreateTargetFolders(target); rc != kOk) return rc;
  struct Pending {
    ScanRecord folder;
    std::filesystem::path path;
    uint32_t level;  // the high half of the key its children are filed under
  };
  // The level comes from where the folder sits in the log, so any folder,
  // not only one from the top level, lists its own children.
  uint32_t level = 0;
  std::vector<ScanRecord> ancestors;
  if (store != nullptr && store->GetAncestors(record, ancestors) == kOk) {
    level = uint32_t(ancestors.size() + 1);
  } else {
    const int depth = CountSeparators(platform::PathToUtf8(target)) - separators;
    level = uint32_t(std::max(depth, 1));
  }
  std::deque<Pending> queue;
  queue.push_back({record, target, level});
  int result = kOk;
  while (!queue.empty()) {
    Pending item = std::move(queue.front());
    queue.pop_front();
    RecordList children;
    result = engine.ListChildren(&item.folder, item.level, children);
    if (result != kOk) continue;
    for (const ScanRecord& child : children) {
      // Two found items may share a name: the second gets "(1)". A name is
      // cut to what the target allows, a path too long is cut from the top.
      const TargetKind kind = child.IsFolder() ? TargetKind::kFolder : TargetKind::kFile;
      const std::filesystem::path childPath =
          ChildTargetPath(item.path, child.Name(), separators, kind);
      if (childPath.empty()) {
        result = kErrFilenameTooLong;
        const std::filesystem::path shown =
            item.path / platform::PathFromUtf8(SanitizeFileName(child.Name()));
        if (reportFailure(shown, result) == kCancelled) return kCancelled;
        continue;
      }
      // A path cut for length goes into folders that may not exist yet.
      const std::filesystem::path made = child.IsFolder() ? childPath : childPath.parent_path();
      if (made != item.path) {
        result = CreateTargetFolders(made);
        if (result != kOk) {
          if (reportFailure(childPath, result) == kCancelled) return kCancelled;
          continue;
        }
      }
      if (child.IsFolder()) {
        queue.push_back({child, childPath, item.level + 1});
      } else {
        result = copyFile(child, childPath);
        if (result == kCancelled) return kCancelled;
      }
    }
    // Its entries are made: the folder's times no longer move.
    (void)ApplyRecordTimes(item.folder, item.path);
  }
  return result;
}

int RecoverNtfsRecord(IRidiRedazuvoParse& engine, ScanLogStore* store, const ScanRecord& record,
                      const std::filesystem::path& target, int separators,
                      const NtfsCopyFile& copyFile, const NtfsReportFailure& reportFailure) {
  if (record.IsFolder())
    return RecoverNtfsFolder(engine, store, record, target, separators, copyFile, reportFailure);
  if (int rc = CreateTargetFolders(target.parent_path()); rc != kOk) return rc;
  return copyFile(record, target);
}

int ExtractNtfsFile(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                    const std::filesystem::path& previewFolder, std::filesystem::path& path,
                    uint8_t* buffer, uint64_t& size, ExtractProgressCallback callback, void* user) {
  const uint64_t limit = buffer == nullptr ? 0 : size;
  size = 0;
  const std::string name(record.Name());
  const std::filesystem::path target = PreviewTarget(name, previewFolder);
  platform::UniqueHandle file;
  if (!target.empty()) {
    if (int rc = OpenPreviewFile(target, file); rc != kOk) return rc;
    path = target;
  }
  uint64_t placed = 0;
  bool resident = false;
  int rc = CopyNtfsFileData(
      volume, reader, record,
      [&](const uint8_t* data, size_t length) -> int {
        if (file.IsOpen()) {
          const int put = platform::WriteAll(file, placed, data, length);
          placed += length;
          return put;
        }
        const size_t take = size_t(std::min<uint64_t>(length, limit - placed));
        if (take > 0) std::memcpy(buffer + placed, data, take);
        placed += take;
        return placed >= limit ? kNtfsSinkFull : kOk;
      },
      [&](int percent) { return callback ? callback(user, percent, 0) : 0; }, resident);
  if (rc == kNtfsSinkFull) rc = kOk;
  if (callback && (resident || rc > 0)) (void)callback(user, 100, rc);
  if (!file.IsOpen()) size = placed;
  if (file.IsOpen()) {
    file.Reset();
    if (rc != kOk) {
      std::error_code ec;
      std::filesystem::remove(target, ec);
      path.clear();
    }
  }
  return rc;
}

bool NtfsFirstDataSector(const NtfsVolume& volume, SectorReader& reader, const ScanRecord& record,
                         uint64_t& sector) {
  try {
    const uint32_t bps = volume.bytesPerSector;
    const uint64_t clusterBytes = record.ClusterBytes();
    if (bps == 0 || clusterBytes == 0 || clusterBytes % bps != 0) return false;
    RunList runs;
    if (FindAttributeRuns(volume, reader, record.MetadataSector(), ntfs::kTypeData, runs) != kOk ||
        runs.empty() || runs[0].sparse)
      return false;
    uint64_t at = 0;
    if (runs[0].clusterDelta < 0 ||
        __builtin_mul_overflow(uint64_t(runs[0].clusterDelta), clusterBytes / bps, &at) ||
        __builtin_add_overflow(at, record.PartitionStart(), &at))
      return false;
    sector = at;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace brinvale
