// bzip2 files: not carved (no detector), checked when a file system names
// them.
#include "deepscan/formats/walkers.h"
#include "deepscan/stream_decoder.h"

namespace brinvale {

using namespace std::literals;

namespace {

// "BZh", the block size '1' to '9', then a block (its magic the digits of
// pi) or the end-of-stream marker (those of the square root of pi).
bool AtStream(CarvedBytes& f, uint64_t at) {
  uint8_t level = 0;
  if (!f.HasAt(at, "BZh"sv) || !f.Byte(at + 3, level) || level < '1' || level > '9') return false;
  return f.HasAt(at + 4, "\x31\x41\x59\x26\x53\x59"sv) ||
         f.HasAt(at + 4, "\x17\x72\x45\x38\x50\x90"sv);
}

}  // namespace

// Streams one after another (as parallel compressors write them), each
// decoded to its end-of-stream marker, where the library checks every
// block's CRC and the stream's combined CRC. The file ends after the last
// stream's padding to a whole byte.
CarvedVerdict CheckBzip2(CarvedBytes& f) {
  if (!AtStream(f, 0)) return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = 0, output = 0;
  while (AtStream(f, at)) {
    const DecodedStream stream =
        DecodeStream(StreamCodec::kBzip2, f, at, kDecodedOutputBound - output);
    switch (stream.end) {
      case StreamEnd::kEnded: break;
      case StreamEnd::kRunsOff: return DamagedVerdict(CarvedFault::kRunsOff);
      case StreamEnd::kCheckFails: return DamagedVerdict(CarvedFault::kChecksum);
      case StreamEnd::kBroken: return DamagedVerdict(CarvedFault::kBadStructure);
      case StreamEnd::kOverBound:
      case StreamEnd::kUnavailable: return {};
    }
    output += stream.outputBytes;
    at = stream.inputEnd;
  }
  return CompleteVerdict(at);
}

}  // namespace brinvale
