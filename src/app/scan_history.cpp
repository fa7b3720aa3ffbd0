#include "app/scan_history.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "common/error_codes.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/path_compare.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/scan_log_check.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// Folder and image paths compare by the platform's rule for names, without
// regard to trailing separators.
std::u16string_view TrimSeparators(std::u16string_view s) {
  while (s.size() > 1 && (s.back() == u'/' || s.back() == u'\\')) s.remove_suffix(1);
  return s;
}

bool SamePath(std::u16string_view a, std::u16string_view b) {
  return platform::SamePathText(TrimSeparators(a), TrimSeparators(b));
}

std::u16string ToUtf16(const fs::path& p) { return platform::Utf8ToUtf16(platform::PathToUtf8(p)); }

fs::path FromUtf16(std::u16string_view s) {
  return platform::PathFromUtf8(platform::Utf16ToUtf8(s));
}

// True when `inner` lies strictly inside `outer` (both canonical).
bool IsStrictlyInside(const fs::path& inner, const fs::path& outer) {
  auto i = inner.begin();
  for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
    if (o->empty()) continue;  // a trailing separator
    if (i == inner.end() || *i != *o) return false;
  }
  for (; i != inner.end(); ++i)
    if (!i->empty()) return true;
  return false;
}

// An image path as the history keeps and compares it: absolute, with "."
// and ".." and symbolic links resolved as far as the path exists, so that
// one image named two ways is one entry.
fs::path ImageKey(const fs::path& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) absolute = path;
  fs::path canonical = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : canonical;
}

fs::path WithoutTrailingSeparator(fs::path p) {
  std::string s = platform::PathToUtf8(p);
  while (s.size() > 1 && (s.back() == '/' || s.back() == '\\')) s.pop_back();
  return platform::PathFromUtf8(s);
}

}  // namespace

fs::path ScanHistory::DefaultBaseFolder() { return ScanLogBaseFolder(); }

ScanHistory& ScanHistory::Instance() {
  static ScanHistory history(DefaultBaseFolder());
  return history;
}

ScanHistory::ScanHistory(fs::path baseFolder) : m_base(std::move(baseFolder)) { Load(); }

void ScanHistory::Load() {
  std::error_code ec;
  // A save that stopped after the temporary file was complete.
  if (!fs::exists(HistoryPath(), ec) && fs::exists(TempPath(), ec))
    fs::rename(TempPath(), HistoryPath(), ec);

  platform::UniqueHandle file;
  uint64_t size = 0;
  if (platform::OpenFile(HistoryPath(), platform::OpenMode::kReadExisting, file) != kOk ||
      platform::FileSizeOf(file, size) != kOk || size == 0) {
    m_loadResult = kErrInvalidParameter;
    return;
  }
  // Only what the entry limit allows is read; a larger file is damaged.
  const uint64_t limit = hist::kCounterBytes + hist::kMaxEntries * hist::kEntryBytes;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(size_t(std::min(size, limit)));
  } catch (const std::bad_alloc&) {
    m_loadResult = kErrOutOfMemory;
    return;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    size_t got = 0;
    if (platform::ReadAt(file, done, bytes.data() + done, bytes.size() - done, got) != kOk ||
        got == 0) {
      m_loadResult = kErrReadFault;
      return;
    }
    done += got;
  }
  m_contents = ParseHistoryBytes(bytes);
  m_loadResult = kOk;
}

bool ScanHistory::FindEntry(size_t index, uint64_t stamp, uint64_t ScanHistoryEntry::*field,
                            ScanHistoryEntry& out) {
  if (index == m_contents.entries.size()) {
    m_earlierScan = false;
    m_current.clear();
    return false;
  }
  const ScanHistoryEntry& entry = m_contents.entries[index];
  if (entry.*field == stamp) {
    m_earlierScan = true;
    m_current = FromUtf16(entry.folder);
    out = entry;
    return true;
  }
  // The medium changed since that scan: its log no longer describes it.
  fs::path stale = FromUtf16(entry.folder);
  ForgetFolder(stale);
  m_earlierScan = false;
  m_current.clear();
  return false;
}

size_t ScanHistory::PartitionIndex(uint32_t diskNumber, uint64_t startSector,
                                   uint64_t sectorCount) const {
  const auto& entries = m_contents.entries;
  size_t i = 0;
  while (i < entries.size() &&
         !(entries[i].imagePath.empty() && entries[i].diskNumber == diskNumber &&
           entries[i].startSector == startSector && entries[i].sectorCount == sectorCount))
    ++i;
  return i;
}

size_t ScanHistory::ImageIndex(const fs::path& imagePath, uint64_t startSector,
                               uint64_t sectorCount) const {
  const std::u16string wanted = ToUtf16(ImageKey(imagePath));
  const auto& entries = m_contents.entries;
  // The whole image starts at 0 whatever its length now; a partition of it
  // is the same partition only at the same start with the same length.
  auto samePlace = [&](const ScanHistoryEntry& e) {
    if (startSector == 0) return e.startSector == 0;
    return e.startSector == startSector && e.sectorCount == sectorCount;
  };
  size_t i = 0;
  while (i < entries.size() &&
         !(!entries[i].imagePath.empty() && samePlace(entries[i]) &&
           SamePath(ToUtf16(ImageKey(FromUtf16(entries[i].imagePath))), wanted)))
    ++i;
  return i;
}

bool ScanHistory::FindPartitionEntry(uint32_t diskNumber, uint64_t startSector,
                                     uint64_t sectorCount, uint64_t stamp, ScanHistoryEntry& out) {
  return FindEntry(PartitionIndex(diskNumber, startSector, sectorCount), stamp,
                   &ScanHistoryEntry::partitionStamp, out);
}

bool ScanHistory::FindImageEntry(const fs::path& imagePath, uint64_t writeTime,
                                 ScanHistoryEntry& out) {
  return FindEntry(ImageIndex(imagePath, 0, 0), writeTime, &ScanHistoryEntry::imageWriteTime, out);
}

bool ScanHistory::FindImagePartitionEntry(const fs::path& imagePath, uint64_t startSector,
                                          uint64_t sectorCount, uint64_t writeTime,
                                          ScanHistoryEntry& out) {
  return FindEntry(ImageIndex(imagePath, startSector, sectorCount), writeTime,
                   &ScanHistoryEntry::imageWriteTime, out);
}

int ScanHistory::RecordScan(uint32_t diskNumber, uint64_t startSector, uint64_t sectorCount,
                            uint64_t stamp, const ResumePoint& resume, const fs::path& folder,
                            const fs::path& imagePath) {
  const bool image = !imagePath.empty();
  ScanHistoryEntry fresh;
  fresh.diskNumber = diskNumber;
  fresh.startSector = startSector;
  fresh.sectorCount = sectorCount;
  fresh.resume = resume;
  fresh.partitionStamp = image ? 0 : stamp;
  fresh.imageWriteTime = image ? stamp : 0;
  fresh.folder = ToUtf16(folder);
  fresh.imagePath = image ? ToUtf16(ImageKey(imagePath)) : std::u16string();
  // A cut path would name another folder or image; refuse it instead.
  if (fresh.folder.size() >= hist::kPathUnits || fresh.imagePath.size() >= hist::kPathUnits)
    return kErrFilenameTooLong;

  // The logs as they stand now are what a later scan may continue.
  if (int rc = WriteScanLogCheck(folder); rc != kOk) return rc;

  // By identity only: the medium's stamp now may differ from the one the
  // scan was opened with (its own logs may lie on it), and looking the
  // entry up by stamp would forget the folder just written.
  auto index = [&] {
    return image ? ImageIndex(imagePath, startSector, sectorCount)
                 : PartitionIndex(diskNumber, startSector, sectorCount);
  };
  size_t i = index();
  if (i < m_contents.entries.size() && !SamePath(m_contents.entries[i].folder, fresh.folder)) {
    // An earlier scan of the medium in another folder: this one replaces it.
    (void)ForgetFolder(FromUtf16(m_contents.entries[i].folder));
    i = index();
  }
  if (i < m_contents.entries.size())
    m_contents.entries[i] = std::move(fresh);
  else
    m_contents.entries.push_back(std::move(fresh));
  return SaveHistory();
}

int ScanHistory::ForgetFolder(const fs::path& folder) {
  const std::u16string wanted = ToUtf16(folder);
  auto& entries = m_contents.entries;
  auto it = std::find_if(entries.begin(), entries.end(),
                         [&](const ScanHistoryEntry& e) { return SamePath(e.folder, wanted); });
  if (it != entries.end()) entries.erase(it);

  std::error_code ec;
  const fs::path target = WithoutTrailingSeparator(folder);
  const auto status = fs::symlink_status(target, ec);
  if (ec || !fs::exists(status)) return kOk;
  // A damaged or planted history entry must never make us delete anything
  // but a scan-log folder: the folder must resolve to a place strictly
  // inside the base folder, and a link is never followed.
  if (fs::is_symlink(status) || target.empty()) return kErrAccessDenied;
  const fs::path base = fs::weakly_canonical(m_base, ec);
  if (ec) return kErrAccessDenied;
  const fs::path real = fs::canonical(target, ec);
  if (ec) return platform::SystemErrorFromErrorCode(ec);
  if (!IsStrictlyInside(real, base)) return kErrAccessDenied;
  fs::remove_all(real, ec);
  return ec ? platform::SystemErrorFromErrorCode(ec) : kOk;
}

fs::path ScanHistory::NumberedFolder() const {
  return m_base / std::to_string(m_contents.counter) / "";
}

void ScanHistory::BeginNewFolder() {
  ++m_contents.counter;
  m_earlierScan = false;
  ForgetFolder(NumberedFolder());
}

void ScanHistory::TakeBackFolder() {
  if (m_contents.counter > 0) --m_contents.counter;
}

fs::path ScanHistory::CurrentFolder() const { return m_earlierScan ? m_current : NumberedFolder(); }

int ScanHistory::SaveHistory() {
  std::vector<uint8_t> bytes;
  try {
    bytes = SerializeHistory(m_contents);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  std::error_code ec;
  fs::create_directories(m_base, ec);
  {
    platform::UniqueHandle tmp;
    if (int rc = platform::OpenFile(TempPath(), platform::OpenMode::kWriteTruncate, tmp); rc != kOk)
      return rc;
    size_t done = 0;
    while (done < bytes.size()) {
      size_t put = 0;
      int rc = platform::WriteAt(tmp, done, bytes.data() + done, bytes.size() - done, put);
      if (rc == kOk && put == 0) rc = kErrWriteFault;
      if (rc != kOk) {
        tmp.Reset();
        fs::remove(TempPath(), ec);
        return rc;
      }
      done += put;
    }
    if (int rc = platform::Flush(tmp); rc != kOk) {
      tmp.Reset();
      fs::remove(TempPath(), ec);
      return rc;
    }
  }
  // The rename replaces "config" in one step, so a crash leaves either the
  // old or the new history, or (first save) a complete "config.tmp".
  fs::rename(TempPath(), HistoryPath(), ec);
  return ec ? platform::SystemErrorFromErrorCode(ec) : kOk;
}

}  // namespace brinvale
