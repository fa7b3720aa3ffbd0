#include "results/carved_condition_file.h"

#include <cstring>
#include <new>
#include <string>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "platform/text.h"

namespace brinvale {
namespace {

constexpr char kHeader[carved::kHeaderSize + 1] = "BVCARVE1";
constexpr size_t kPendingEntries = 256;
// A verdict file holds one entry per carved file, a few times over at most.
constexpr uint64_t kMaxFileBytes = 512ull * 1024 * 1024;

}  // namespace

std::filesystem::path CarvedConditionFileName(std::string_view baseName) {
  return platform::PathFromUtf8("." + std::string(baseName) + "_Condition");
}

void EncodeCarvedEntry(const CarvedEntry& entry, std::span<uint8_t> b) {
  std::memset(b.data(), 0, carved::kEntrySize);
  StoreLe32(b, carved::kNumber, entry.number);
  b[carved::kCondition] = uint8_t(entry.verdict.condition);
  b[carved::kFault] = uint8_t(entry.verdict.fault);
  StoreLe64(b, carved::kStartSector, entry.startSector);
  const CarvedVerdict& v = entry.verdict;
  StoreLe64(b, carved::kExactLength,
            v.condition == CarvedCondition::kComplete    ? v.exactLength
            : v.condition == CarvedCondition::kUnchecked ? v.streamEnd
                                                         : 0);
}

std::optional<CarvedEntry> DecodeCarvedEntry(std::span<const uint8_t> b) {
  if (b.size() < carved::kEntrySize) return std::nullopt;
  const uint8_t condition = b[carved::kCondition];
  const uint8_t fault = b[carved::kFault];
  if (condition > uint8_t(CarvedCondition::kDamaged) || fault > uint8_t(CarvedFault::kUnreadable))
    return std::nullopt;
  CarvedEntry e;
  e.number = LoadLe32(b, carved::kNumber);
  e.startSector = LoadLe64(b, carved::kStartSector);
  e.verdict.condition = CarvedCondition(condition);
  e.verdict.fault = CarvedFault(fault);
  const uint64_t length = LoadLe64(b, carved::kExactLength);
  if (e.verdict.condition == CarvedCondition::kComplete) e.verdict.exactLength = length;
  if (e.verdict.condition == CarvedCondition::kUnchecked) e.verdict.streamEnd = length;
  return e;
}

bool ParseCarvedConditions(std::span<const uint8_t> bytes, std::vector<CarvedEntry>& out) {
  if (bytes.size() < carved::kHeaderSize ||
      std::memcmp(bytes.data(), kHeader, carved::kHeaderSize) != 0)
    return false;
  for (size_t at = carved::kHeaderSize; bytes.size() - at >= carved::kEntrySize;
       at += carved::kEntrySize)
    if (auto e = DecodeCarvedEntry(bytes.subspan(at, carved::kEntrySize))) out.push_back(*e);
  return true;
}

CarvedConditionFile::~CarvedConditionFile() { (void)Flush(); }

int CarvedConditionFile::Open(const std::filesystem::path& path) {
  (void)Flush();
  m_file.Reset();
  m_entries.clear();
  m_pending.clear();
  m_end = 0;
  try {
    platform::UniqueHandle file;
    if (int rc = platform::OpenFile(path, platform::OpenMode::kWriteKeep, file); rc != kOk)
      return rc;
    uint64_t size = 0;
    if (int rc = platform::FileSizeOf(file, size); rc != kOk) return rc;
    std::vector<uint8_t> bytes;
    std::vector<CarvedEntry> entries;
    bool ours = false;
    if (size >= carved::kHeaderSize && size <= kMaxFileBytes) {
      bytes.resize(size_t(size));
      size_t got = 0;
      if (int rc = platform::ReadAt(file, 0, bytes.data(), bytes.size(), got); rc != kOk) return rc;
      bytes.resize(got);
      ours = ParseCarvedConditions(bytes, entries);
    }
    if (ours) {
      for (const CarvedEntry& e : entries) m_entries[e.number] = {e.startSector, e.verdict};
      // New entries go after the last whole one.
      m_end = carved::kHeaderSize +
              (bytes.size() - carved::kHeaderSize) / carved::kEntrySize * carved::kEntrySize;
    } else {
      // Empty, or not a verdict file: start it afresh.
      platform::UniqueHandle fresh;
      if (int rc = platform::OpenFile(path, platform::OpenMode::kWriteTruncate, fresh); rc != kOk)
        return rc;
      if (int rc = platform::WriteAll(fresh, 0, kHeader, carved::kHeaderSize); rc != kOk) return rc;
      file = std::move(fresh);
      m_end = carved::kHeaderSize;
    }
    m_file = std::move(file);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

std::optional<CarvedVerdict> CarvedConditionFile::Find(uint32_t number,
                                                       uint64_t startSector) const {
  const auto it = m_entries.find(number);
  if (it == m_entries.end() || it->second.startSector != startSector) return std::nullopt;
  return it->second.verdict;
}

int CarvedConditionFile::Add(uint32_t number, uint64_t startSector, const CarvedVerdict& verdict) {
  try {
    m_entries[number] = {startSector, verdict};
    const size_t at = m_pending.size();
    m_pending.resize(at + carved::kEntrySize);
    EncodeCarvedEntry({number, startSector, verdict},
                      std::span<uint8_t>(m_pending).subspan(at, carved::kEntrySize));
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  return m_pending.size() >= kPendingEntries * carved::kEntrySize ? Flush() : kOk;
}

int CarvedConditionFile::Flush() {
  if (m_pending.empty() || !m_file.IsOpen()) return kOk;
  const int rc = platform::WriteAll(m_file, m_end, m_pending.data(), m_pending.size());
  if (rc != kOk) return rc;
  m_end += m_pending.size();
  m_pending.clear();
  return kOk;
}

}  // namespace brinvale
