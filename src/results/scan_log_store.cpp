#include "results/scan_log_store.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>
#include <system_error>
#include <unordered_set>

#include "common/error_codes.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/record_rules.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

constexpr int kErrInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER
constexpr size_t kRewritePiece = 1 << 20;    // relation text is written 1 MiB at a time

int ReadWhole(const platform::UniqueHandle& h, std::vector<uint8_t>& bytes) {
  uint64_t size = 0;
  if (int rc = platform::FileSizeOf(h, size); rc != kOk) return rc;
  if (size > SIZE_MAX / 2) return kErrOutOfMemory;
  bytes.resize(size_t(size));
  size_t done = 0;
  while (done < bytes.size()) {
    size_t got = 0;
    if (int rc = platform::ReadAt(h, done, bytes.data() + done, bytes.size() - done, got);
        rc != kOk)
      return rc;
    if (got == 0) break;  // shorter than its size said: keep what came
    done += got;
  }
  bytes.resize(done);
  return kOk;
}

// Cuts the file back to `size` bytes when an earlier, longer content left a
// tail behind (a reloaded file whose damaged parts were not kept).
int TrimTo(const fs::path& path, uint64_t size) {
  std::error_code ec;
  uint64_t now = fs::file_size(path, ec);
  if (ec || now <= size) return kOk;
  fs::resize_file(path, size, ec);
  return ec ? platform::SystemErrorFromErrorCode(ec) : kOk;
}

}  // namespace

ScanLogStore::ScanLogStore() = default;

ScanLogStore::~ScanLogStore() { CloseLog(); }

int ScanLogStore::OpenLog(const fs::path& folder, std::string_view baseName) {
  CloseLog();
  // An engine that was given no folder must not write into the working one.
  if (folder.empty()) return kErrInvalidParameter;
  try {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return platform::SystemErrorFromErrorCode(ec);
    const std::string base(baseName);
    m_recordPath = folder / platform::PathFromUtf8(base);
    m_relationPath = folder / platform::PathFromUtf8(base + "_Relation");
    m_folderPath = folder / platform::PathFromUtf8(base + "_DirInfo");

    if (int rc = platform::OpenFile(m_recordPath, platform::OpenMode::kWriteKeep, m_recordFile);
        rc != kOk)
      return rc;
    uint64_t size = 0;
    if (int rc = platform::FileSizeOf(m_recordFile, size); rc != kOk) return rc;
    // Records already there keep their numbers; new ones follow them (a
    // partial record at the end is overwritten).
    m_count = uint32_t(std::min<uint64_t>(size / ScanRecord::kSize, UINT32_MAX - 1));

    if (int rc = platform::OpenFile(m_relationPath, platform::OpenMode::kWriteKeep, m_relationFile);
        rc != kOk)
      return rc;
    std::vector<uint8_t> bytes;
    if (int rc = ReadWhole(m_relationFile, bytes); rc != kOk) return rc;
    ParseRelationText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                      m_relations);

    m_buffer.resize(kBufferBytes);
    m_used = 0;

    if (int rc = platform::OpenFile(m_folderPath, platform::OpenMode::kWriteKeep, m_folderFile);
        rc != kOk)
      return rc;
    if (int rc = ReadWhole(m_folderFile, bytes); rc != kOk) return rc;
    ParseFolderEntries(bytes, m_folders);
    for (size_t i = 0; i < m_folders.size(); ++i) m_firstFolder.emplace(m_folders[i].cluster, i);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int ScanLogStore::WriteBuffer() {
  if (m_used == 0) return kOk;
  // The pending records are the last ones counted, so their place in the
  // file follows from the count even after an earlier failed write.
  const uint64_t offset = uint64_t(RecordsOnFile()) * ScanRecord::kSize;
  int rc = platform::WriteAll(m_recordFile, offset, m_buffer.data(), m_used);
  m_used = 0;
  return rc;
}

std::span<uint8_t, ScanRecord::kSize> ScanLogStore::AppendRecord() {
  if (m_buffer.size() < kBufferBytes) m_buffer.resize(kBufferBytes);
  if (m_used + ScanRecord::kSize > kBufferBytes) {
    if (int rc = WriteBuffer(); rc != kOk && m_writeError == kOk) m_writeError = rc;
  }
  std::span<uint8_t, ScanRecord::kSize> slot(m_buffer.data() + m_used, ScanRecord::kSize);
  std::fill(slot.begin(), slot.end(), uint8_t(0));
  m_used += ScanRecord::kSize;
  ++m_count;
  return slot;
}

uint32_t ScanLogStore::AppendRecord(const ScanRecord& record) {
  auto slot = AppendRecord();
  std::memcpy(slot.data(), record.Bytes().data(), ScanRecord::kSize);
  StoreLe32(slot, rec::kNumber, m_count);
  return m_count;
}

void ScanLogStore::AddRelation(uint64_t key, uint32_t number) {
  m_relations[key].push_back(number);
  m_indexDirty = true;
  m_parentIndexValid = false;
}

void ScanLogStore::AddRelation(uint64_t key, uint32_t number, uint32_t folderCluster,
                               std::string_view folderName) {
  AddRelation(key, number);
  m_folders.push_back(MakeFolderEntry(folderCluster, number, folderName));
  m_firstFolder.emplace(folderCluster, m_folders.size() - 1);
}

int ScanLogStore::RewriteRelations() {
  std::string text;
  text.reserve(kRewritePiece + 4096);
  uint64_t offset = 0;
  for (const auto& [key, numbers] : m_relations) {
    AppendRelationEntry(text, key, numbers);
    if (text.size() >= kRewritePiece) {
      if (int rc = platform::WriteAll(m_relationFile, offset,
                                      reinterpret_cast<const uint8_t*>(text.data()), text.size());
          rc != kOk)
        return rc;
      offset += text.size();
      text.clear();
    }
  }
  if (int rc = platform::WriteAll(m_relationFile, offset,
                                  reinterpret_cast<const uint8_t*>(text.data()), text.size());
      rc != kOk)
    return rc;
  return TrimTo(m_relationPath, offset + text.size());
}

int ScanLogStore::RewriteFolders() {
  std::vector<uint8_t> bytes(std::min<size_t>(m_folders.size(), 4096) * dirinfo::kSize);
  uint64_t offset = 0;
  size_t i = 0;
  while (i < m_folders.size()) {
    size_t n = std::min(m_folders.size() - i, bytes.size() / dirinfo::kSize);
    for (size_t k = 0; k < n; ++k)
      EncodeFolderEntry(m_folders[i + k],
                        std::span<uint8_t>(bytes).subspan(k * dirinfo::kSize, dirinfo::kSize));
    if (int rc = platform::WriteAll(m_folderFile, offset, bytes.data(), n * dirinfo::kSize);
        rc != kOk)
      return rc;
    offset += n * dirinfo::kSize;
    i += n;
  }
  return TrimTo(m_folderPath, offset);
}

int ScanLogStore::FlushLog() {
  if (!IsOpen()) return kErrInvalidHandle;
  if (int rc = WriteBuffer(); rc != kOk) return rc;
  // A buffer write that failed while appending lost records: say so once.
  if (int rc = std::exchange(m_writeError, kOk); rc != kOk) return rc;
  if (!m_indexDirty) return kOk;
  try {
    if (int rc = RewriteRelations(); rc != kOk) return rc;
    if (int rc = RewriteFolders(); rc != kOk) return rc;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  m_indexDirty = false;
  return kOk;
}

int ScanLogStore::ReadRecord(uint32_t number, ScanRecord& out) {
  if (number == 0 || number > m_count) return kErrInvalidParameter;
  const uint32_t onFile = RecordsOnFile();
  if (number > onFile) {  // still in the write buffer
    out = ScanRecord::FromBytes(std::span<const uint8_t>(m_buffer).subspan(
        size_t(number - onFile - 1) * ScanRecord::kSize, ScanRecord::kSize));
    return kOk;
  }
  return m_cache.Read(m_recordFile, number, out);
}

uint64_t ScanLogStore::ResolveKey(uint64_t key) const {
  if (key == 0 && !m_relations.empty()) return m_relations.begin()->first;
  return key;
}

namespace {

// Eight name bytes from `from`, lower-cased, as a big-endian number: most
// comparisons of the listing sort end on the first sixteen bytes without
// touching the records.
uint64_t FoldedWord(std::string_view name, size_t from) {
  uint64_t v = 0;
  for (size_t i = from; i < from + 8; ++i) {
    unsigned char c = i < name.size() ? static_cast<unsigned char>(name[i]) : 0;
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    v = v << 8 | c;
  }
  return v;
}

struct SortKey {
  uint64_t head;
  uint64_t next;
  uint32_t index;
  bool folder;
};

// Puts `list` in the order of `keys` (each key's index names its record),
// moving every record once.
void Permute(std::vector<ScanRecord>& list, const std::vector<SortKey>& keys) {
  std::vector<uint32_t> from(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) from[i] = keys[i].index;
  for (size_t start = 0; start < from.size(); ++start) {
    if (from[start] == start) continue;
    ScanRecord held = list[start];
    size_t at = start;
    while (from[at] != start) {
      list[at] = list[from[at]];
      size_t next = from[at];
      from[at] = uint32_t(at);
      at = next;
    }
    list[at] = held;
    from[at] = uint32_t(at);
  }
}

}  // namespace

int ScanLogStore::ListFolder(uint64_t key, std::vector<ScanRecord>& out) {
  out.clear();
  auto it = m_relations.find(ResolveKey(key));
  if (it == m_relations.end()) return kOk;
  int result = kOk;
  try {
    out.reserve(it->second.size());
    ScanRecord r;
    for (uint32_t number : it->second) {
      // A number that names no record (a damaged relation file) is skipped.
      if (number == 0 || number > m_count) continue;
      if (int rc = ReadRecord(number, r); rc != kOk) {
        result = rc;
        break;
      }
      if (!IsHiddenPhoto(r)) out.push_back(r);
    }
    std::vector<SortKey> keys(out.size());
    for (size_t i = 0; i < out.size(); ++i) {
      std::string_view name = out[i].Name();
      keys[i] =
          SortKey{FoldedWord(name, 0), FoldedWord(name, 8), uint32_t(i), IsFolderRecord(out[i])};
    }
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
      if (a.folder != b.folder) return !a.folder;
      if (a.head != b.head) return a.head < b.head;
      if (a.next != b.next) return a.next < b.next;
      return ListedBefore(out[a.index], out[b.index]);
    });
    Permute(out, keys);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  return result;
}

int ScanLogStore::CountFilesBelow(uint64_t key, uint32_t& count) {
  count = 0;
  try {
    std::deque<uint64_t> queue{ResolveKey(key)};
    std::unordered_set<uint64_t> seen{queue.front()};
    ScanRecord r;
    while (!queue.empty()) {
      const uint64_t current = queue.front();
      queue.pop_front();
      auto it = m_relations.find(current);
      if (it == m_relations.end()) continue;
      const uint64_t childLevel = ((current >> 32) + 1) << 32;
      for (uint32_t number : it->second) {
        if (number == 0 || number > m_count) continue;
        if (int rc = ReadRecord(number, r); rc != kOk) return rc;
        if (IsFolderRecord(r)) {
          // A folder filed under itself or an ancestor is walked once.
          uint64_t child = childLevel | r.EntryKey();
          if (seen.insert(child).second) queue.push_back(child);
        } else {
          ++count;
        }
      }
    }
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  return kOk;
}

template <typename Visit, typename AfterChunk>
int ScanLogStore::ForEachRecord(Visit visit, AfterChunk afterChunk) {
  uint64_t fileBytes = 0;
  if (int rc = platform::FileSizeOf(m_recordFile, fileBytes); rc != kOk) return rc;
  const uint64_t recordBytes = uint64_t(RecordsOnFile()) * ScanRecord::kSize;
  std::vector<uint8_t> chunk(kBufferBytes);
  for (uint64_t offset = 0; offset < recordBytes;) {
    const size_t want = size_t(std::min<uint64_t>(kBufferBytes, recordBytes - offset));
    size_t done = 0;
    while (done < want) {
      size_t got = 0;
      if (int rc =
              platform::ReadAt(m_recordFile, offset + done, chunk.data() + done, want - done, got);
          rc != kOk)
        return rc;
      if (got == 0) return kErrHandleEof;
      done += got;
    }
    for (size_t at = 0; at + ScanRecord::kSize <= done; at += ScanRecord::kSize)
      if (visit(std::span<const uint8_t>(chunk).subspan(at, ScanRecord::kSize))) return kOk;
    offset += done;
    if (int rc = afterChunk(offset, fileBytes); rc != kOk) return rc;
  }
  for (size_t at = 0; at < m_used; at += ScanRecord::kSize)
    if (visit(std::span<const uint8_t>(m_buffer).subspan(at, ScanRecord::kSize))) return kOk;
  return kOk;
}

int ScanLogStore::FindFolderRecord(uint32_t cluster, ScanRecord& out) {
  if (!IsOpen()) return kErrInvalidHandle;
  bool folder = false;
  int rc = ForEachRecord(
      [&](std::span<const uint8_t> bytes) {
        if (LoadLe32(bytes, rec::kEntryKey) != cluster) return false;
        out = ScanRecord::FromBytes(bytes);
        folder = IsFolderRecord(out);
        return folder;
      },
      [](uint64_t, uint64_t) { return kOk; });
  if (rc != kOk) return rc;
  return folder ? kOk : kErrInvalidParameter;
}

bool ScanLogStore::ParentKeyOf(uint32_t number, uint64_t& key) {
  if (!m_parentIndexValid) {
    m_parentOrdinal.assign(size_t(m_count) + 1, 0);
    m_keysByOrdinal.clear();
    m_keysByOrdinal.reserve(m_relations.size());
    for (const auto& [k, numbers] : m_relations) {
      m_keysByOrdinal.push_back(k);
      const uint32_t ordinal = uint32_t(m_keysByOrdinal.size());
      for (uint32_t n : numbers)
        if (n <= m_count && m_parentOrdinal[n] == 0) m_parentOrdinal[n] = ordinal;
    }
    m_parentIndexValid = true;
  }
  if (number >= m_parentOrdinal.size() || m_parentOrdinal[number] == 0) return false;
  key = m_keysByOrdinal[m_parentOrdinal[number] - 1];
  return true;
}

const FolderEntry* ScanLogStore::FirstFolderEntry(uint32_t cluster) const {
  auto it = m_firstFolder.find(cluster);
  return it == m_firstFolder.end() ? nullptr : &m_folders[it->second];
}

int ScanLogStore::GetAncestors(const ScanRecord& record, std::vector<ScanRecord>& out) {
  out.clear();
  if (m_relations.empty()) return kOk;
  try {
    const uint64_t topKey = m_relations.begin()->first;
    std::unordered_set<uint32_t> onChain{record.Number()};
    uint32_t current = record.Number();
    for (;;) {
      uint64_t key = 0;
      if (!ParentKeyOf(current, key) || key == topKey || uint32_t(key >> 32) == kForeignLevel)
        return kOk;
      const uint32_t cluster = uint32_t(key);
      ScanRecord parent;
      const FolderEntry* entry = FirstFolderEntry(cluster);
      if (entry != nullptr && entry->number != current) {
        // The record itself has every field; the entry's name and number
        // stand in when it cannot be read back.
        if (ReadRecord(entry->number, parent) != kOk || !IsFolderRecord(parent) ||
            parent.EntryKey() != cluster) {
          parent = ScanRecord();
          parent.SetIsFolder(true);
          parent.SetNumber(entry->number);
          parent.SetEntryKey(cluster);
          parent.SetName(entry->name);
        }
      } else if (int rc = FindFolderRecord(cluster, parent); rc != kOk) {
        return rc;
      }
      // Damaged folder data can file two folders under each other.
      if (!onChain.insert(parent.Number()).second) return kOk;
      out.push_back(parent);
      current = parent.Number();
    }
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

bool ScanLogStore::OutermostKey(const ScanRecord& record, uint64_t& key) {
  std::vector<ScanRecord> chain;
  if (GetAncestors(record, chain) == kErrOutOfMemory) return false;
  return ParentKeyOf(chain.empty() ? record.Number() : chain.back().Number(), key);
}

int ScanLogStore::VisitRecords(const std::function<void(const ScanRecord&)>& visit) {
  if (!IsOpen()) return kErrInvalidHandle;
  try {
    return ForEachRecord(
        [&](std::span<const uint8_t> bytes) {
          visit(ScanRecord::FromBytes(bytes));
          return false;
        },
        [](uint64_t, uint64_t) { return kOk; });
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int ScanLogStore::GetRecordPath(const ScanRecord& record, std::string& path, size_t maxBytes) {
  path.clear();
  std::vector<ScanRecord> chain;
  int rc = GetAncestors(record, chain);
  if (rc == kErrOutOfMemory) return rc;
  // A gap in the chain still leaves the inner part of the path.
  std::string full;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    full += it->Name();
    full += '\\';
  }
  path = std::string(CutUtf8(full, maxBytes));
  return path.size() == full.size() ? kOk : kErrInsufficientBuffer;
}

void ScanLogStore::SetSearchCallback(SearchProgress callback, void* user) {
  m_searchCallback = callback;
  m_searchUser = user;
}

int ScanLogStore::Search(std::string_view filter, std::vector<ScanRecord>& out) {
  out.clear();
  if (int rc = FlushLog(); rc != kOk) return rc;
  uint64_t fileBytes = 0;
  if (int rc = platform::FileSizeOf(m_recordFile, fileBytes); rc != kOk) return rc;
  SearchFilter match(filter);
  const bool allowOther = fileBytes < kOtherSearchLimit;
  try {
    return ForEachRecord(
        [&](std::span<const uint8_t> bytes) {
          ScanRecord r = ScanRecord::FromBytes(bytes);
          if (match.Matches(r, allowOther)) out.push_back(r);
          return false;
        },
        [&](uint64_t done, uint64_t total) {
          if (m_searchCallback == nullptr || total == 0) return kOk;
          return m_searchCallback(m_searchUser, int(done * 100 / total), 0);
        });
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

void ScanLogStore::CloseLog() {
  if (IsOpen()) FlushLog();
  m_recordFile.Reset();
  m_relationFile.Reset();
  m_folderFile.Reset();
  m_buffer.clear();
  m_buffer.shrink_to_fit();
  m_used = 0;
  m_count = 0;
  m_writeError = kOk;
  m_indexDirty = false;
  m_relations.clear();
  m_folders.clear();
  m_firstFolder.clear();
  m_parentOrdinal.clear();
  m_keysByOrdinal.clear();
  m_parentIndexValid = false;
  m_cache.Clear();
}

}  // namespace brinvale
