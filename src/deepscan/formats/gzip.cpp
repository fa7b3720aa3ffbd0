// gzip streams.
#include <cstring>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"
#include "deepscan/stream_decoder.h"

namespace brinvale {

using namespace std::literals;

// Magic 1F 8B, method 8 (deflate), flags (3) none or a file name only,
// extra flags (8) 2 or 4 (best or fastest compression), system (9) below 14
// or 255 (unknown).
int DetectGzip(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16 || !HasAt(b, 0, "\x1F\x8B\x08"sv)) return kTypeUnknown;
  if ((b[3] != 0 && b[3] != 8) || (b[8] != 2 && b[8] != 4)) return kTypeUnknown;
  return b[9] < 14 || b[9] == 255 ? kTypeGzip : kTypeUnknown;
}

uint64_t SizeGzip(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

}  // namespace brinvale

namespace brinvale {

namespace {

// Member header (RFC 1952): 1F 8B, method 8, flags, time (4), extra flags,
// system; then, as the flags say, the extra field (2-byte length), the
// name and the comment (each ending in a zero byte) and the header's CRC-16
// (the low half of the CRC-32 of the header before it).
constexpr uint8_t kHeaderCrc = 0x02, kExtra = 0x04, kName = 0x08, kComment = 0x10;
constexpr uint8_t kReservedFlags = 0xE0;
constexpr uint64_t kFixedHeader = 10, kTrailer = 8;

// The offset after the zero byte that ends the text at `at`; false when no
// zero byte comes before the extent's end.
bool SkipZeroTerminated(CarvedBytes& f, uint64_t& at) {
  for (;;) {
    const auto view = f.View(at);
    if (view.empty()) return false;
    const void* zero = std::memchr(view.data(), 0, view.size());
    if (zero != nullptr) {
      at += uint64_t(static_cast<const uint8_t*>(zero) - view.data()) + 1;
      return true;
    }
    at += view.size();
  }
}

bool AtMember(CarvedBytes& f, uint64_t at) { return f.HasAt(at, "\x1F\x8B\x08"sv); }

}  // namespace

// Members one after another, each header walked, its deflate stream
// decoded to its own end, and its trailer's CRC-32 and length (ISIZE, the
// length modulo 2^32) checked against the output. The file ends after the
// last member's trailer: where no member header follows.
CarvedVerdict CheckGzip(CarvedBytes& f) {
  if (!AtMember(f, 0)) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = 0, output = 0;
  while (AtMember(f, at)) {
    uint8_t head[kFixedHeader];
    if (!f.Read(at, head)) return DamagedVerdict(CarvedFault::kRunsOff);
    const uint8_t flags = head[3];
    if (flags & kReservedFlags) return DamagedVerdict(CarvedFault::kBadStructure);
    uint64_t next = at + kFixedHeader;
    if (flags & kExtra) {
      uint16_t length = 0;
      if (!f.Le16(next, length) || !f.Holds(next, 2 + uint64_t(length)))
        return DamagedVerdict(CarvedFault::kRunsOff);
      next += 2 + uint64_t(length);
    }
    if ((flags & kName) && !SkipZeroTerminated(f, next)) return DamagedVerdict(CarvedFault::kRunsOff);
    if ((flags & kComment) && !SkipZeroTerminated(f, next))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (flags & kHeaderCrc) {
      uint32_t crc = 0;
      uint16_t stored = 0;
      if (!f.Crc32(at, next - at, crc) || !f.Le16(next, stored))
        return DamagedVerdict(CarvedFault::kRunsOff);
      if (uint16_t(crc) != stored) return DamagedVerdict(CarvedFault::kChecksum);
      next += 2;
    }
    const DecodedStream stream =
        DecodeStream(StreamCodec::kDeflate, f, next, kDecodedOutputBound - output);
    switch (stream.end) {
      case StreamEnd::kEnded: break;
      case StreamEnd::kRunsOff: return DamagedVerdict(CarvedFault::kRunsOff);
      case StreamEnd::kCheckFails: return DamagedVerdict(CarvedFault::kChecksum);
      case StreamEnd::kBroken: return DamagedVerdict(CarvedFault::kBadStructure);
      case StreamEnd::kOverBound:
      case StreamEnd::kUnavailable: return {};
    }
    output += stream.outputBytes;
    uint32_t crc = 0, size = 0;
    if (!f.Le32(stream.inputEnd, crc) || !f.Le32(stream.inputEnd + 4, size))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (crc != stream.crc32 || size != uint32_t(stream.outputBytes))
      return DamagedVerdict(CarvedFault::kChecksum);
    at = stream.inputEnd + kTrailer;
  }
  return CompleteVerdict(at);
}

}  // namespace brinvale
