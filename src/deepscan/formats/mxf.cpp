// Material Exchange Format: a closed, complete header partition pack first.
#include <algorithm>
#include <vector>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walk_fields.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

int DetectMxf(SizingContext&, std::span<const uint8_t> b) {
  constexpr auto kHeaderPartition =
      "\x06\x0E\x2B\x34\x02\x05\x01\x01\x0D\x01\x02\x01\x01\x02\x04\x00"sv;
  return HasAt(b, 0, kHeaderPartition) ? kTypeMxf : kTypeUnknown;
}

uint64_t SizeMxf(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

}  // namespace brinvale

// The KLV walk of an MXF file: keys (16 bytes, 06 0E 2B 34 first) with BER
// lengths, one after the other. Each partition pack states its own offset
// and the previous partition's; the closed header states where the footer
// partition stands. The random index pack closes the file: its last four
// bytes are its own length, and every partition it lists stands where it
// says. A file without one ends after its footer partition at the first
// bytes that are no KLV, which states no length (unchecked).
namespace brinvale {

namespace {

constexpr auto kKeyPrefix = "\x06\x0E\x2B\x34"sv;
constexpr auto kPartitionPrefix = "\x06\x0E\x2B\x34\x02\x05\x01\x01\x0D\x01\x02\x01\x01"sv;
constexpr uint8_t kRandomIndexKind = 0x11;
constexpr uint8_t kFooterKind = 0x04;

// The KLV at `at`: its key's 14th byte (the partition kind when the key is
// a partition pack's, else 0), where its value starts and how long it is.
enum class KlvRead { kKlv, kNotAKlv, kPastExtent };
KlvRead ReadKlv(CarvedBytes& f, uint64_t at, uint8_t& kind, uint64_t& value, uint64_t& length) {
  if (!f.Holds(at, 17)) return KlvRead::kPastExtent;
  if (!f.HasAt(at, kKeyPrefix)) return KlvRead::kNotAKlv;
  kind = 0;
  if (f.HasAt(at, kPartitionPrefix) && !f.Byte(at + 13, kind)) return KlvRead::kPastExtent;
  uint8_t ber = 0;
  if (!f.Byte(at + 16, ber)) return KlvRead::kPastExtent;
  length = ber;
  value = at + 17;
  if (ber >= 0x80) {
    const int bytes = ber & 0x7F;
    if (bytes == 0 || bytes > 8) return KlvRead::kNotAKlv;
    length = 0;
    for (int i = 0; i < bytes; ++i) {
      uint8_t b = 0;
      if (!f.Byte(value + i, b)) return KlvRead::kPastExtent;
      length = length << 8 | b;
    }
    value += bytes;
  }
  return f.Holds(value, length) ? KlvRead::kKlv : KlvRead::kPastExtent;
}

}  // namespace

CarvedVerdict CheckMxf(CarvedBytes& f) {
  std::vector<uint64_t> partitions;
  uint64_t footerAt = 0, previous = 0, at = 0;
  bool footerSeen = false;
  for (;;) {
    uint8_t kind = 0;
    uint64_t value = 0, length = 0;
    const KlvRead read = ReadKlv(f, at, kind, value, length);
    if (read != KlvRead::kKlv) {
      if (at == 0) return DamagedVerdict(CarvedFault::kBadStructure);
      if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
      if (footerSeen && read == KlvRead::kNotAKlv) return {};
      return DamagedVerdict(read == KlvRead::kPastExtent ? CarvedFault::kRunsOff
                                                         : CarvedFault::kBadStructure);
    }
    const uint64_t end = value + length;
    if (kind >= 0x02 && kind <= 0x04) {
      uint64_t self = 0, before = 0, footer = 0;
      if (length < 32 || !Be64(f, value + 8, self) || !Be64(f, value + 16, before) ||
          !Be64(f, value + 24, footer))
        return DamagedVerdict(CarvedFault::kBadStructure);
      if (self != at || (!partitions.empty() && before != previous))
        return DamagedVerdict(CarvedFault::kBadStructure);
      if (at == 0) footerAt = footer;
      if (footerAt != 0 && (at == footerAt) != (kind == kFooterKind))
        return DamagedVerdict(CarvedFault::kBadStructure);
      footerSeen = footerSeen || kind == kFooterKind;
      previous = at;
      if (partitions.size() < 65536) partitions.push_back(at);
    } else if (kind == kRandomIndexKind) {
      uint32_t stated = 0;
      if (length < 4 || (length - 4) % 12 != 0 || !f.Be32(end - 4, stated) || stated != end - at)
        return DamagedVerdict(CarvedFault::kBadStructure);
      for (uint64_t entry = value; entry + 12 <= end - 4; entry += 12) {
        uint64_t offset = 0;
        if (!Be64(f, entry + 4, offset)) return DamagedVerdict(CarvedFault::kRunsOff);
        if (std::find(partitions.begin(), partitions.end(), offset) == partitions.end())
          return DamagedVerdict(CarvedFault::kBadStructure);
      }
      if (!footerSeen && footerAt != 0) return DamagedVerdict(CarvedFault::kBadStructure);
      if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
      return CompleteVerdict(end);
    }
    at = end;
  }
}

}  // namespace brinvale
