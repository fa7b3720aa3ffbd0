#include "results/scan_log_check.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <system_error>

#include "common/error_codes.h"
#include "common/fnv_hash.h"
#include "platform/file.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/scan_record.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "brinvale scan-log check 1\n";
constexpr size_t kReadBytes = 1 << 20;

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool IsPlainName(std::string_view name) {
  if (name.empty() || name[0] == '.') return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

// Length and checksum of one file, read whole.
int MeasureFile(const fs::path& path, CheckedLogFile& out) {
  platform::UniqueHandle file;
  if (int rc = platform::OpenFile(path, platform::OpenMode::kReadExisting, file); rc != kOk)
    return rc;
  std::vector<uint8_t> buffer(kReadBytes);
  Fnv1a64 hash;
  uint64_t offset = 0;
  for (;;) {
    size_t got = 0;
    if (int rc = platform::ReadAt(file, offset, buffer.data(), buffer.size(), got); rc != kOk)
      return rc;
    if (got == 0) break;
    hash.Add(std::span<const uint8_t>(buffer.data(), got));
    offset += got;
  }
  out.length = offset;
  out.checksum = hash.Value();
  return kOk;
}

std::string Hex16(uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[size_t(i)] = kDigits[value & 0xF];
  return text;
}

}  // namespace

std::string SerializeScanLogCheck(const std::vector<CheckedLogFile>& files) {
  std::string text(kHeader);
  for (const CheckedLogFile& f : files)
    text += std::to_string(f.length) + " " + Hex16(f.checksum) + " " + f.name + "\n";
  return text;
}

bool ParseScanLogCheck(std::span<const uint8_t> bytes, std::vector<CheckedLogFile>& files) {
  files.clear();
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.substr(0, kHeader.size()) != kHeader) return false;
  std::set<std::string_view> names;
  std::vector<CheckedLogFile> parsed;
  size_t at = kHeader.size();
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    if (end == std::string_view::npos || parsed.size() == kMaxCheckedLogFiles) return false;
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    CheckedLogFile f;
    const char* first = line.data();
    const char* last = line.data() + line.size();
    auto [afterLength, lengthError] = std::from_chars(first, last, f.length);
    if (lengthError != std::errc() || afterLength == first || afterLength == last ||
        *afterLength != ' ')
      return false;
    const char* hexStart = afterLength + 1;
    if (last - hexStart < 18) return false;
    if (!std::all_of(hexStart, hexStart + 16,
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
      return false;
    auto [afterHex, hexError] = std::from_chars(hexStart, hexStart + 16, f.checksum, 16);
    if (hexError != std::errc() || afterHex != hexStart + 16 || *afterHex != ' ') return false;
    const std::string_view name(afterHex + 1, size_t(last - (afterHex + 1)));
    if (!IsPlainName(name) || !names.insert(name).second) return false;
    f.name = std::string(name);
    parsed.push_back(std::move(f));
  }
  files = std::move(parsed);
  return true;
}

int MeasureScanLogs(const fs::path& folder, std::vector<CheckedLogFile>& files) {
  files.clear();
  std::error_code ec;
  std::vector<CheckedLogFile> found;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    CheckedLogFile f;
    f.name = platform::PathToUtf8(it->path().filename());
    if (f.name.empty() || f.name[0] == '.') continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    found.push_back(std::move(f));
  }
  if (ec) return platform::SystemErrorFromErrorCode(ec);
  std::sort(found.begin(), found.end(),
            [](const CheckedLogFile& a, const CheckedLogFile& b) { return a.name < b.name; });
  for (CheckedLogFile& f : found)
    if (int rc = MeasureFile(folder / platform::PathFromUtf8(f.name), f); rc != kOk) return rc;
  files = std::move(found);
  return kOk;
}

int WriteScanLogCheck(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return platform::SystemErrorFromErrorCode(ec);
  std::vector<CheckedLogFile> files;
  if (int rc = MeasureScanLogs(folder, files); rc != kOk) return rc;
  const std::string text = SerializeScanLogCheck(files);
  const fs::path target = folder / kScanLogCheckName;
  const fs::path temporary = folder / (std::string(kScanLogCheckName) + ".tmp");
  {
    platform::UniqueHandle file;
    if (int rc = platform::OpenFile(temporary, platform::OpenMode::kWriteTruncate, file); rc != kOk)
      return rc;
    int rc = platform::WriteAll(file, 0, text.data(), text.size());
    if (rc == kOk) rc = platform::Flush(file);
    if (rc != kOk) {
      file.Reset();
      fs::remove(temporary, ec);
      return rc;
    }
  }
  fs::rename(temporary, target, ec);
  if (ec) {
    const int rc = platform::SystemErrorFromErrorCode(ec);
    fs::remove(temporary, ec);
    return rc;
  }
  return kOk;
}

uint64_t RecordsInLogs(const std::vector<CheckedLogFile>& files) {
  uint64_t records = 0;
  for (const CheckedLogFile& f : files)
    if (!EndsWith(f.name, "_Relation") && !EndsWith(f.name, "_DirInfo"))
      records += f.length / ScanRecord::kSize;
  return records;
}

ScanLogVerdict VerifyScanLogs(const fs::path& folder, uint64_t records) {
  ScanLogVerdict verdict;
  std::vector<CheckedLogFile> recorded;
  {
    platform::UniqueHandle file;
    uint64_t size = 0;
    if (platform::OpenFile(folder / kScanLogCheckName, platform::OpenMode::kReadExisting, file) !=
            kOk ||
        platform::FileSizeOf(file, size) != kOk || size > kMaxCheckedLogFiles * 300)
      return verdict;
    std::vector<uint8_t> text(static_cast<size_t>(size));
    size_t done = 0;
    while (done < text.size()) {
      size_t got = 0;
      if (platform::ReadAt(file, done, text.data() + done, text.size() - done, got) != kOk ||
          got == 0)
        return verdict;
      done += got;
    }
    if (!ParseScanLogCheck(text, recorded)) return verdict;
  }
  std::vector<CheckedLogFile> present;
  if (MeasureScanLogs(folder, present) != kOk) return verdict;
  auto find = [](const std::vector<CheckedLogFile>& list, const std::string& name) {
    return std::find_if(list.begin(), list.end(),
                        [&](const CheckedLogFile& f) { return f.name == name; });
  };
  for (const CheckedLogFile& r : recorded) {
    verdict.file = r.name;
    const auto now = find(present, r.name);
    if (now == present.end()) {
      verdict.state = ScanLogState::kFileMissing;
      return verdict;
    }
    if (now->length != r.length) {
      verdict.state = ScanLogState::kLengthDiffers;
      return verdict;
    }
    if (now->checksum != r.checksum) {
      verdict.state = ScanLogState::kContentDiffers;
      return verdict;
    }
  }
  for (const CheckedLogFile& p : present) {
    if (find(recorded, p.name) == recorded.end()) {
      verdict.state = ScanLogState::kFileAdded;
      verdict.file = p.name;
      return verdict;
    }
  }
  verdict.file.clear();
  verdict.records = RecordsInLogs(present);
  verdict.state = verdict.records == records ? ScanLogState::kIntact : ScanLogState::kRecordCount;
  return verdict;
}

}  // namespace brinvale
