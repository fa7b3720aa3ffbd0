// tar archives: not carved (no detector), checked when a file system names
// them.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "deepscan/formats/walkers.h"

namespace brinvale {

namespace {

// A 512-byte header: size (12 bytes) at 124, checksum (8) at 148, type at
// 156. The data follows in whole blocks; two zero blocks end the archive,
// which tar writes out in whole records of 20 blocks.
constexpr uint64_t kBlock = 512, kRecord = 20 * kBlock;
constexpr size_t kSizeAt = 124, kSizeBytes = 12, kChecksumAt = 148, kChecksumBytes = 8;
constexpr size_t kTypeAt = 156;
// A pax extended header longer than this is not read for its "size".
constexpr uint64_t kPaxLimit = 1 << 20;

using Block = std::array<uint8_t, kBlock>;

bool IsZero(std::span<const uint8_t> b) {
  return std::all_of(b.begin(), b.end(), [](uint8_t c) { return c == 0; });
}

// A numeric field: octal digits after optional spaces, ended by a space, a
// zero byte or the field's end (an empty field is 0); or, with its first
// byte's high bit set, a big-endian base-256 number (0x80: positive).
std::optional<uint64_t> Number(std::span<const uint8_t> field) {
  if (field[0] & 0x80) {
    if (field[0] != 0x80) return std::nullopt;  // negative
    uint64_t v = 0;
    for (size_t i = 1; i < field.size(); ++i) {
      if (v >> 56) return std::nullopt;
      v = v << 8 | field[i];
    }
    return v;
  }
  size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  uint64_t v = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '7'; ++i) {
    if (v >> 60) return std::nullopt;
    v = v * 8 + uint64_t(field[i] - '0');
  }
  if (i < field.size() && field[i] != ' ' && field[i] != 0) return std::nullopt;
  return v;
}

// The header's sum with its checksum field as spaces; tar writers sum
// unsigned bytes, some old ones signed.
bool ChecksumHolds(const Block& h) {
  const std::optional<uint64_t> stored =
      Number(std::span<const uint8_t>(h).subspan(kChecksumAt, kChecksumBytes));
  if (!stored) return false;
  uint64_t unsignedSum = 0;
  int64_t signedSum = 0;
  for (size_t i = 0; i < kBlock; ++i) {
    const uint8_t c = i >= kChecksumAt && i < kChecksumAt + kChecksumBytes ? ' ' : h[i];
    unsignedSum += c;
    signedSum += int8_t(c);
  }
  return *stored == unsignedSum || int64_t(*stored) == signedSum;
}

// The "size" record of a pax extended header's data ("<length> size=<n>\n"
// records), when it has one.
std::optional<uint64_t> PaxSize(std::string_view records) {
  while (!records.empty()) {
    uint64_t length = 0;
    size_t i = 0;
    for (; i < records.size() && records[i] >= '0' && records[i] <= '9' && length < kPaxLimit; ++i)
      length = length * 10 + uint64_t(records[i] - '0');
    if (i == 0 || length <= i || length > records.size()) return std::nullopt;
    const std::string_view record = records.substr(i, length - i);
    if (record.starts_with(" size=")) {
      uint64_t v = 0;
      for (size_t j = 6; j < record.size() && record[j] >= '0' && record[j] <= '9'; ++j) {
        if (v > UINT64_MAX / 10 - 9) return std::nullopt;
        v = v * 10 + uint64_t(record[j] - '0');
      }
      return v;
    }
    records.remove_prefix(length);
  }
  return std::nullopt;
}

// Links, devices, folders and fifos carry no data, whatever their size says.
bool CarriesData(uint8_t type) { return !(type >= '1' && type <= '6'); }

// Whether the bytes in [from, to) are all zero.
bool ZerosTo(CarvedBytes& f, uint64_t from, uint64_t to) {
  while (from < to) {
    const auto view = f.View(from, size_t(std::min<uint64_t>(to - from, SIZE_MAX)));
    if (view.empty() || !IsZero(view)) return false;
    from += view.size();
  }
  return true;
}

}  // namespace

// Headers from the first block, each with its checksum, each followed by
// its data in whole blocks (pax headers may give the next member's size),
// to the two zero blocks that end the archive. The file ends at the end of
// the record those blocks fall in, when the rest of the record is zeros as
// tar writes it; a file that stops sooner (its own end, on a file system)
// ends there. Bytes other than zeros before the record's end mean another
// record size: where in those zeros the file ended is not stated, so the
// archive stays unchecked.
CarvedVerdict CheckTar(CarvedBytes& f) {
  uint64_t at = 0;
  std::optional<uint64_t> paxSize;
  for (bool first = true;; first = false) {
    Block h;
    if (!f.Read(at, h)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (IsZero(h)) {
      if (first) return DamagedVerdict(CarvedFault::kBadStructure);
      Block second;
      if (!f.Read(at + kBlock, second)) return DamagedVerdict(CarvedFault::kRunsOff);
      if (!IsZero(second)) return DamagedVerdict(CarvedFault::kBadStructure);
      at += 2 * kBlock;
      break;
    }
    if (!ChecksumHolds(h)) return DamagedVerdict(CarvedFault::kChecksum);
    const std::optional<uint64_t> size =
        Number(std::span<const uint8_t>(h).subspan(kSizeAt, kSizeBytes));
    if (!size) return DamagedVerdict(CarvedFault::kBadStructure);
    const uint8_t type = h[kTypeAt];
    uint64_t data = CarriesData(type) ? *size : 0;
    if (type == 'x') {
      paxSize.reset();
      if (*size <= kPaxLimit) {
        std::string records(size_t(*size), '\0');
        if (!f.Read(at + kBlock, std::span(reinterpret_cast<uint8_t*>(records.data()), records.size())))
          return DamagedVerdict(CarvedFault::kRunsOff);
        paxSize = PaxSize(records);
      }
    } else if (type != 'g' && type != 'L' && type != 'K') {
      if (paxSize && CarriesData(type)) data = *paxSize;
      paxSize.reset();
    }
    const uint64_t blocks = data / kBlock + (data % kBlock != 0);
    if (blocks > (f.Extent() - at - kBlock) / kBlock) return DamagedVerdict(CarvedFault::kRunsOff);
    at += kBlock + blocks * kBlock;
  }
  const uint64_t recordEnd = (at + kRecord - 1) / kRecord * kRecord;
  const uint64_t end = std::min(recordEnd, f.Extent());
  if (!ZerosTo(f, at, end)) {
    if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
    return {};
  }
  if (end % kBlock != 0) return {};
  return CompleteVerdict(end);
}

}  // namespace brinvale
