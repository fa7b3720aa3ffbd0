// xz files: not carved (no detector), checked when a file system names
// them.
#include <algorithm>
#include <cstring>

#include "deepscan/formats/walkers.h"
#include "deepscan/stream_decoder.h"

namespace brinvale {

using namespace std::literals;

namespace {

constexpr auto kMagic = "\xFD" "7zXZ\x00"sv;

// The first byte at or after `at` that is not zero (the extent's end when
// only zeros follow); false when a read fails.
bool SkipZeros(CarvedBytes& f, uint64_t& at) {
  while (at < f.Extent()) {
    const auto view = f.View(at);
    if (view.empty()) return false;
    const auto nonZero = std::find_if(view.begin(), view.end(), [](uint8_t b) { return b != 0; });
    at += uint64_t(nonZero - view.begin());
    if (nonZero != view.end()) return true;
  }
  return true;
}

}  // namespace

// Streams one after another, each decoded from its header to its footer:
// the library checks every block's check (CRC-32, CRC-64 or SHA-256), the
// index against the blocks, and the footer against the index. Stream
// padding (zeros in fours) counts only when another stream follows it; the
// file ends after the last stream's footer.
CarvedVerdict CheckXz(CarvedBytes& f) {
  if (!f.HasAt(0, kMagic)) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = 0, output = 0;
  for (;;) {
    const DecodedStream stream = DecodeStream(StreamCodec::kXz, f, at, kDecodedOutputBound - output);
    switch (stream.end) {
      case StreamEnd::kEnded: break;
      case StreamEnd::kRunsOff: return DamagedVerdict(CarvedFault::kRunsOff);
      case StreamEnd::kCheckFails: return DamagedVerdict(CarvedFault::kChecksum);
      case StreamEnd::kBroken: return DamagedVerdict(CarvedFault::kBadStructure);
      case StreamEnd::kOverBound:
      case StreamEnd::kUnavailable: return {};
    }
    output += stream.outputBytes;
    uint64_t next = stream.inputEnd;
    if (!SkipZeros(f, next)) return DamagedVerdict(CarvedFault::kUnreadable);
    if ((next - stream.inputEnd) % 4 != 0 || !f.HasAt(next, kMagic))
      return CompleteVerdict(stream.inputEnd);
    at = next;
  }
}

}  // namespace brinvale
