// Flash movies (SWF) and Flash video (FLV).
#include <algorithm>
#include <bit>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walk_fields.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

// "CWS" (zlib-compressed, version 6 to 15) or "FWS" (plain, version below
// 6); the version is byte 3.
int DetectSwf(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 8) return kTypeUnknown;
  if (HasAt(b, 0, "CWS") && b[3] >= 6 && b[3] <= 15) return kTypeSwf;
  if (HasAt(b, 0, "FWS") && b[3] < 6) return kTypeSwf;
  return kTypeUnknown;
}

// A plain movie's length stands at 4; a compressed one's is the inflated
// length, so only its first sector is claimed.
uint64_t SizeSwf(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 8 || !HasAt(b, 0, "FWS")) return ctx.bytesPerSector;
  return std::min<uint64_t>(LoadLe32(b, 4), 256 * kMiB);
}

// "FLV", version 1, flags at 4, header size 9 (big-endian at 5).
int DetectFlv(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "FLV") && b[3] == 1 && HasAt(b, 5, "\x00\x00\x00\x09"sv)
             ? kTypeFlv
             : kTypeUnknown;
}

uint64_t SizeFlv(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

}  // namespace brinvale

// The tag walk of a Flash video: the header ("FLV", version, flags, header
// size), a zero PreviousTagSize, then tags (type 8 sound, 9 video, 18
// script; 24-bit data size; timestamp; stream id 0; data), each followed
// by its PreviousTagSize (11 + data size). The length is stated by the
// "filesize" entry of the onMetaData script tag, where the tags must end;
// without it the tags end at the first bytes that are no tag, which states
// no length, so such a file stays unchecked.
namespace brinvale {

namespace {

// The "filesize" number (AMF0: name length 8, "filesize", type 0, a
// big-endian double) of the script tag data in [data, end).
bool StatedFlvSize(CarvedBytes& f, uint64_t data, uint64_t end, uint64_t& size) {
  constexpr auto kEntry =
      "\x00\x08"
      "filesize\x00"sv;
  const uint64_t last = std::min(end, data + 4096);
  for (uint64_t at = data; at + kEntry.size() + 8 <= last; ++at) {
    if (!f.HasAt(at, kEntry)) continue;
    uint64_t bits = 0;
    if (!Be64(f, at + kEntry.size(), bits)) return false;
    const double value = std::bit_cast<double>(bits);
    if (!(value >= 1 && value < 1.8e19) || value != double(uint64_t(value))) return false;
    size = uint64_t(value);
    return true;
  }
  return false;
}

}  // namespace

CarvedVerdict CheckFlv(CarvedBytes& f) {
  uint32_t headerSize = 0, previous = 1;
  uint8_t version = 0;
  if (!f.HasAt(0, "FLV") || !f.Byte(3, version) || version != 1 || !f.Be32(5, headerSize) ||
      headerSize < 9)
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Be32(headerSize, previous)) return DamagedVerdict(CarvedFault::kRunsOff);
  if (previous != 0) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t stated = 0;
  bool haveStated = false;
  uint64_t at = uint64_t(headerSize) + 4;
  for (bool first = true;; first = false) {
    if (haveStated && at == stated) break;
    if (haveStated && at > stated) return DamagedVerdict(CarvedFault::kBadStructure);
    uint8_t type = 0;
    uint32_t dataSize = 0, stream = 1;
    if (!f.Byte(at, type) || !Be24(f, at + 1, dataSize) || !Be24(f, at + 8, stream)) {
      if (haveStated) return DamagedVerdict(CarvedFault::kRunsOff);
      break;
    }
    const uint8_t kind = type & 0x1F;
    if ((type & 0xC0) != 0 || (kind != 8 && kind != 9 && kind != 18) || stream != 0) {
      if (haveStated || first) return DamagedVerdict(CarvedFault::kBadStructure);
      break;
    }
    const uint64_t end = at + 11 + dataSize;
    if (!f.Holds(at, 15 + uint64_t(dataSize))) return DamagedVerdict(CarvedFault::kRunsOff);
    if (!f.Be32(end, previous) || previous != 11 + dataSize)
      return DamagedVerdict(CarvedFault::kBadStructure);
    if (first && kind == 18) haveStated = StatedFlvSize(f, at + 11, end, stated);
    if (haveStated && !f.Holds(0, stated)) return DamagedVerdict(CarvedFault::kRunsOff);
    at = end + 4;
  }
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  return haveStated ? CompleteVerdict(stated) : CarvedVerdict{};
}

// The tag walk of an uncompressed Flash movie ("FWS"): its length at 4,
// the frame rectangle (5-bit field width, four fields), frame rate and
// count, then tags (16-bit code and length; length 63: a 32-bit length
// follows) up to the End tag (code 0), which closes the stated length
// exactly. A compressed movie states only its inflated length: unchecked.
CarvedVerdict CheckSwf(CarvedBytes& f) {
  if (f.HasAt(0, "CWS") || f.HasAt(0, "ZWS")) return {};
  uint32_t length = 0;
  uint8_t bits = 0;
  if (!f.HasAt(0, "FWS") || !f.Le32(4, length) || !f.Byte(8, bits))
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Holds(0, length)) return DamagedVerdict(CarvedFault::kRunsOff);
  const uint64_t rectBytes = (5 + 4 * uint64_t(bits >> 3) + 7) / 8;
  uint64_t at = 8 + rectBytes + 4;
  while (at < length) {
    uint16_t codeAndLength = 0;
    if (length - at < 2 || !f.Le16(at, codeAndLength))
      return DamagedVerdict(CarvedFault::kBadStructure);
    uint64_t tagLength = codeAndLength & 0x3F;
    at += 2;
    if (tagLength == 0x3F) {
      uint32_t longLength = 0;
      if (length - at < 4 || !f.Le32(at, longLength))
        return DamagedVerdict(CarvedFault::kBadStructure);
      tagLength = longLength;
      at += 4;
    }
    if (tagLength > length - at) return DamagedVerdict(CarvedFault::kBadStructure);
    at += tagLength;
    if ((codeAndLength >> 6) == 0) {
      if (at != length) return DamagedVerdict(CarvedFault::kBadStructure);
      if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
      return CompleteVerdict(length);
    }
  }
  return DamagedVerdict(CarvedFault::kBadStructure);
}

}  // namespace brinvale
