// Copying found files out of the medium: recovery to a target folder and
// extraction for a preview. A content find has no metadata behind it, so
// its data is read straight on from its start sector.
#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <vector>

#include "common/error_codes.h"
#include "deepscan/file_type_recovery.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/copied_record.h"
#include "results/file_categories.h"
#include "results/preview_target.h"
#include "results/recovered_file_writer.h"
#include "results/scan_log_folders.h"
#include "results/target_folders.h"
#include "results/target_paths.h"
#include "results/unfinished_file.h"

namespace brinvale {
namespace {

constexpr size_t kCopyChunkBytes = 65536;
constexpr int kBufferFull = -1;  // the preview buffer is full: stop, no error

}  // namespace

template <typename Sink, typename Progress>
int CFileTypeRecovery::CopyData(const ScanRecord& record, Sink sink, Progress progress) {
  if (!m_reader.IsOpen()) return kErrInvalidHandle;
  const uint32_t bps = m_bytesPerSector;
  if (bps < 512 || bps > SizingContext::kMaxBytesPerSector) return kErrInvalidParameter;
  // A complete carved file is copied at its own length, any other at the
  // scan's size.
  const uint64_t size = RecoveredLength(CarvedVerdictOf(record), record.FileSize());
  const uint64_t total = m_reader.totalSectors;
  uint64_t sector = record.MetadataSector();
  uint64_t left = size;
  const uint64_t perChunk = kCopyChunkBytes / bps;
  // No read is longer than the file in whole sectors: a small file gets a
  // small buffer, not 64 KiB to clear.
  const uint64_t head = std::min<uint64_t>(size, kCopyChunkBytes);
  std::vector<uint8_t> chunk(size_t(std::min<uint64_t>(perChunk, (head + bps - 1) / bps) * bps));
  while (left > 0) {
    // Never ask past the end of the medium: what is there is copied, and a
    // file that runs on past it fails with a read fault.
    if (sector >= total) return kErrReadFault;
    uint64_t count = std::min(perChunk, left / bps + (left % bps != 0));
    count = std::min(count, total - sector);
    uint32_t got = 0;
    if (int rc = ReadSectors(uint32_t(count), m_reader, chunk.data(), sector, bps, got);
        rc != kOk) {
      if (got == 0) return rc == kErrInvalidParameter ? kErrReadFault : rc;
      count = got;  // the sectors that arrived are kept; the next chunk retries the rest
    }
    const size_t bytes = size_t(std::min<uint64_t>(count * bps, left));
    if (int rc = sink(chunk.data(), bytes); rc != kOk) return rc == kBufferFull ? kOk : rc;
    left -= bytes;
    sector += count;
    if (int stop = progress(int(double(size - left) * 100.0 / double(size))); stop != 0)
      return stop;
  }
  return kOk;
}

int CFileTypeRecovery::RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                                     int) {
  const CopiedRecordScope copying(record);
  try {
    auto tell = [&](int percent, int code, const std::filesystem::path& path) {
      return m_copyProgress ? m_copyProgress(m_user, percent, 100, code, path) : 0;
    };
    // A failed file is reported once, with its error.
    auto fail = [&](int code, const std::filesystem::path& path) {
      if (code > 0 && tell(100, code, path) == kCancelled) return kCancelled;
      return code;
    };
    if (int rc = CreateTargetFolders(target.parent_path()); rc != kOk) return fail(rc, target);
    int rc = kOk;
    bool finished = false;
    bool stopped = false;
    {
      // Created or truncated: an older, longer file at the target must not
      // keep its tail behind the recovered bytes.
      RecoveredFileWriter file;
      if (rc = file.Open(target); rc != kOk) return fail(rc, target);
      rc = CopyData(
          record, [&](const uint8_t* data, size_t length) { return file.Write(data, length); },
          [&](int percent) {
            finished = percent >= 100;
            const int answer = tell(percent, 0, target);
            stopped = answer != 0;
            return answer;
          });
      if (stopped ? finished : rc == kOk) file.Finish(record);
    }
    if (stopped) {
      // Stopped halfway: what was written stays under a name that says so.
      if (!finished) (void)tell(100, kCancelled, SettleUnfinishedFile(target));
      return rc;
    }
    if (rc > 0) return fail(rc, SettleUnfinishedFile(target));
    // An empty file has no chunk: it is still reported as done.
    if (rc == kOk && !finished) rc = tell(100, 0, target);
    return rc;
  } catch (...) {
    return platform::SystemErrorFromCurrentException();
  }
}

int CFileTypeRecovery::ExtractRecord(const ScanRecord& record, std::filesystem::path& path,
                                     uint8_t* buffer, uint64_t& size,
                                     ExtractProgressCallback callback, void* user) {
  try {
    const uint64_t limit = buffer == nullptr ? 0 : size;
    size = 0;
    const std::string name(record.Name());
    const std::filesystem::path target =
        PreviewTarget(name, m_previewFolder.empty() ? ScanLogBaseFolder() : m_previewFolder);
    platform::UniqueHandle file;
    if (!target.empty()) {
      if (int rc = OpenPreviewFile(target, file); rc != kOk) return rc;
      path = target;
    }
    uint64_t placed = 0;
    int rc = kOk;
    if (file.IsOpen() || limit > 0) {
      rc = CopyData(
          record,
          [&](const uint8_t* data, size_t length) -> int {
            if (file.IsOpen()) {
              const int put = platform::WriteAll(file, placed, data, length);
              placed += length;
              return put;
            }
            const size_t take = size_t(std::min<uint64_t>(length, limit - placed));
            std::memcpy(buffer + placed, data, take);
            placed += take;
            return placed >= limit ? kBufferFull : kOk;
          },
          [&](int percent) { return callback ? callback(user, percent, 0) : 0; });
    }
    if (callback && rc > 0) (void)callback(user, 100, rc);
    if (file.IsOpen()) {
      file.Reset();
      if (rc != kOk) {
        std::error_code ec;
        std::filesystem::remove(target, ec);
        path.clear();
      }
    } else {
      size = placed;
    }
    return rc;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
