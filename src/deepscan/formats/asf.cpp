// Advanced Systems Format (.wmv, .asf, .wma).
#include <algorithm>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

namespace {

// GUIDs as stored: first three fields little-endian.
constexpr auto kHeaderObject = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;
constexpr auto kFileProperties =
    "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65"sv;
// File properties object: GUID 0, object size 16, file id 24, file size
// 40, ..., flags 88 (bit 0: broadcast, the file size is not valid).
constexpr size_t kFileSizeAt = 40, kFlagsAt = 88, kObjectMin = 92;
constexpr size_t kFirstChildAt = 30;  // after the header object's own fields

}  // namespace

int DetectAsf(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 24 && HasAt(b, 0, kHeaderObject) ? kTypeAsf : kTypeUnknown;
}

uint64_t SizeAsf(SizingContext& ctx, std::span<const uint8_t> b) {
  const size_t at = FindBytes(b, kFileProperties, kFirstChildAt);
  if (at == kNotFound || b.size() - at < kObjectMin || (LoadLe32(b, at + kFlagsAt) & 1) != 0)
    return ctx.bytesPerSector;
  return std::min(LoadLe64(b, at + kFileSizeAt), 256 * kMiB);
}

}  // namespace brinvale

// The object walk of an ASF file: the header object (its size, the count
// of the objects inside it, which fill it exactly, the file properties
// object among them), then top-level objects (GUID, 64-bit size) up to
// the file size the file properties state: the data object (its packet
// count times the fixed packet size, after its 50-byte head) and the index
// objects; where its first packet opens with error correction data, every
// packet does. A broadcast file's size is not valid: its objects end at the
// first bytes that are no object, which states no length (unchecked).
namespace brinvale {

namespace {

constexpr auto kDataObject = "\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;
constexpr uint64_t kObjectHead = 24, kDataHead = 50;
constexpr size_t kPacketCountAt = 56, kMinPacketAt = 92, kMaxPacketAt = 96;

}  // namespace

CarvedVerdict CheckAsf(CarvedBytes& f) {
  uint64_t headerSize = 0;
  uint32_t count = 0;
  if (!f.HasAt(0, kHeaderObject) || !f.Le64(16, headerSize) || !f.Le32(24, count) ||
      headerSize < kFirstChildAt)
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Holds(0, headerSize)) return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t fileSize = 0, packets = 0;
  uint32_t flags = 0, minPacket = 0, maxPacket = 0;
  bool properties = false;
  uint64_t at = kFirstChildAt;
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t size = 0;
    if (headerSize - at < kObjectHead || !f.Le64(at + 16, size) || size < kObjectHead ||
        size > headerSize - at)
      return DamagedVerdict(CarvedFault::kBadStructure);
    if (f.HasAt(at, kFileProperties)) {
      if (size < kObjectMin + 8 || !f.Le64(at + kFileSizeAt, fileSize) ||
          !f.Le64(at + kPacketCountAt, packets) || !f.Le32(at + kFlagsAt, flags) ||
          !f.Le32(at + kMinPacketAt, minPacket) || !f.Le32(at + kMaxPacketAt, maxPacket))
        return DamagedVerdict(CarvedFault::kBadStructure);
      properties = true;
    }
    at += size;
  }
  if (at != headerSize || !properties) return DamagedVerdict(CarvedFault::kBadStructure);
  const bool broadcast = flags & 1;
  if (!broadcast && fileSize < headerSize) return DamagedVerdict(CarvedFault::kBadStructure);
  if (!broadcast && !f.Holds(0, fileSize)) return DamagedVerdict(CarvedFault::kRunsOff);
  const uint64_t end = broadcast ? f.Extent() : fileSize;
  bool data = false;
  while (at < end) {
    uint64_t size = 0;
    const bool object = end - at >= kObjectHead && f.Le64(at + 16, size) && size >= kObjectHead;
    if (!object || size > end - at) {
      if (broadcast && data) break;
      return DamagedVerdict(broadcast ? CarvedFault::kRunsOff : CarvedFault::kBadStructure);
    }
    if (f.HasAt(at, kDataObject)) {
      uint64_t total = 0;
      if (data || size < kDataHead || !f.Le64(at + 40, total))
        return DamagedVerdict(CarvedFault::kBadStructure);
      // With a fixed packet size the packets fill the data object exactly.
      if (!broadcast && (total != packets || (minPacket == maxPacket && minPacket != 0 &&
                                              ((size - kDataHead) % minPacket != 0 ||
                                               (size - kDataHead) / minPacket != total))))
        return DamagedVerdict(CarvedFault::kBadStructure);
      // A writer that puts error correction data (flags 0x82, two bytes)
      // before its first packet puts it before every packet.
      uint8_t flags0 = 0;
      if (!broadcast && minPacket == maxPacket && minPacket >= 3 && total > 0 &&
          f.Byte(at + kDataHead, flags0) && flags0 == 0x82) {
        for (uint64_t i = 0; i < total; ++i) {
          if (!f.HasAt(at + kDataHead + i * minPacket, "\x82\x00\x00"sv))
            return DamagedVerdict(f.ReadFailed() ? CarvedFault::kUnreadable
                                                 : CarvedFault::kBadStructure);
        }
      }
      data = true;
    }
    at += size;
  }
  if (!data) return DamagedVerdict(CarvedFault::kBadStructure);
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  return broadcast ? CarvedVerdict{} : CompleteVerdict(fileSize);
}

}  // namespace brinvale
