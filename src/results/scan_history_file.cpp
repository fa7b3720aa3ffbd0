#include "results/scan_history_file.h"

#include <algorithm>
#include <iterator>

#include "common/bytes.h"

namespace brinvale {
namespace {

std::u16string LoadUtf16Field(std::span<const uint8_t> b, size_t at) {
  std::u16string text;
  for (size_t i = 0; i < hist::kPathUnits; ++i) {
    char16_t unit = char16_t(LoadLe16(b, at + 2 * i));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

void StoreUtf16Field(std::span<uint8_t> b, size_t at, std::u16string_view text) {
  size_t units = std::min(text.size(), hist::kPathUnits - 1);
  // Never leave the high half of a surrogate pair without its low half.
  if (units > 0 && units < text.size() && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF)
    --units;
  for (size_t i = 0; i < hist::kPathUnits; ++i)
    StoreLe16(b, at + 2 * i, i < units ? uint16_t(text[i]) : uint16_t(0));
}

// The fields of a resume point in the order they are stored.
constexpr uint64_t ResumePoint::*kResumeFields[] = {
    &ResumePoint::rangeStart, &ResumePoint::rangeLength, &ResumePoint::doneInRange,
    &ResumePoint::doneTotal, &ResumePoint::filesFound};
static_assert(std::size(kResumeFields) * 8 == hist::kResumeBytes);

}  // namespace

ResumePoint DecodeResumePoint(std::span<const uint8_t> b) {
  ResumePoint r;
  size_t at = 0;
  for (uint64_t ResumePoint::*field : kResumeFields) {
    r.*field = uint64_t(LoadLe32(b, at)) | uint64_t(LoadLe32(b, at + 4)) << 32;
    at += 8;
  }
  return r;
}

void EncodeResumePoint(const ResumePoint& r, std::span<uint8_t> b) {
  size_t at = 0;
  for (uint64_t ResumePoint::*field : kResumeFields) {
    StoreLe32(b, at, uint32_t(r.*field));
    StoreLe32(b, at + 4, uint32_t(r.*field >> 32));
    at += 8;
  }
}

ScanHistoryEntry DecodeHistoryEntry(std::span<const uint8_t> b) {
  ScanHistoryEntry e;
  e.diskNumber = LoadLe32(b, hist::kDiskNumber);
  e.startSector = LoadLe64(b, hist::kStartSector);
  e.sectorCount = LoadLe64(b, hist::kSectorCount);
  e.resume = DecodeResumePoint(b.subspan(hist::kResume, hist::kResumeBytes));
  e.partitionStamp = LoadLe64(b, hist::kPartitionStamp);
  e.imageWriteTime = LoadLe64(b, hist::kImageWriteTime);
  e.imagePath = LoadUtf16Field(b, hist::kImagePath);
  e.folder = LoadUtf16Field(b, hist::kFolder);
  return e;
}

void EncodeHistoryEntry(const ScanHistoryEntry& e, std::span<uint8_t> b) {
  std::fill(b.begin(), b.begin() + hist::kEntryBytes, uint8_t(0));
  StoreLe32(b, hist::kDiskNumber, e.diskNumber);
  StoreLe64(b, hist::kStartSector, e.startSector);
  StoreLe64(b, hist::kSectorCount, e.sectorCount);
  EncodeResumePoint(e.resume, b.subspan(hist::kResume, hist::kResumeBytes));
  StoreLe64(b, hist::kPartitionStamp, e.partitionStamp);
  StoreLe64(b, hist::kImageWriteTime, e.imageWriteTime);
  StoreUtf16Field(b, hist::kImagePath, e.imagePath);
  StoreUtf16Field(b, hist::kFolder, e.folder);
}

HistoryContents ParseHistoryBytes(std::span<const uint8_t> bytes) {
  HistoryContents contents;
  if (bytes.size() < hist::kCounterBytes) return contents;
  contents.counter = LoadLe64(bytes, 0);
  size_t whole = (bytes.size() - hist::kCounterBytes) / hist::kEntryBytes;
  whole = std::min(whole, hist::kMaxEntries);
  contents.entries.reserve(whole);
  for (size_t i = 0; i < whole; ++i)
    contents.entries.push_back(DecodeHistoryEntry(
        bytes.subspan(hist::kCounterBytes + i * hist::kEntryBytes, hist::kEntryBytes)));
  return contents;
}

std::vector<uint8_t> SerializeHistory(const HistoryContents& contents) {
  std::vector<uint8_t> bytes(hist::kCounterBytes + contents.entries.size() * hist::kEntryBytes);
  StoreLe64(bytes, 0, contents.counter);
  for (size_t i = 0; i < contents.entries.size(); ++i)
    EncodeHistoryEntry(contents.entries[i],
                       std::span<uint8_t>(bytes).subspan(
                           hist::kCounterBytes + i * hist::kEntryBytes, hist::kEntryBytes));
  return bytes;
}

}  // namespace brinvale
