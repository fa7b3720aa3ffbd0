#pragma once

#include <cstdint>

#include "deepscan/carved_bytes.h"

// Decoding of one compressed stream (deflate, bzip2, xz) inside a carved
// file, to find where the stream ends and whether its own checks hold. The
// output goes into a small reused buffer and is only counted (and, for
// deflate, summed with CRC-32): nothing of it is kept.
//
// Every decode is bounded: by the extent for its input, by `outputBound`
// for its output (a stream that would write more stops with kOverBound),
// and, for xz, by a memory limit. As the decoders' time is linear in what
// they read and write, the bound on the output bounds the time too.
namespace brinvale {

enum class StreamCodec : uint8_t {
  kDeflate,  // raw deflate (RFC 1951), as gzip members carry it
  kBzip2,    // one bzip2 stream, "BZh" to its end-of-stream marker and CRC
  kXz,       // one xz stream, its header to its footer
};

// How a decode ended.
enum class StreamEnd : uint8_t {
  kEnded,        // the stream's own end; the decoder's own checks held
  kRunsOff,      // the extent (or the medium) ended first
  kBroken,       // bytes the decoder cannot take as this format
  kCheckFails,   // a CRC, check or index the decoder verifies does not match
  kOverBound,    // more output than the bound, or more memory than the limit
  kUnavailable,  // this build has no decoder for the codec
};

struct DecodedStream {
  StreamEnd end = StreamEnd::kBroken;
  uint64_t inputEnd = 0;     // kEnded: the offset just past the stream's last byte
  uint64_t outputBytes = 0;  // what the stream decoded to, up to where it stopped
  uint32_t crc32 = 0;        // kDeflate: the CRC-32 of that output
};

// The output a carved file's streams may decode to, all streams and
// members together: 256 MiB. Past it the file stays unchecked. A deflate
// stream writes at most about 1032 bytes per byte it reads, so the bound
// is met after reading about 256 KiB of a stream of zeros.
inline constexpr uint64_t kDecodedOutputBound = uint64_t(256) << 20;
// The memory an xz decoder may take (xz -9 needs 65 MiB).
inline constexpr uint64_t kXzMemoryLimit = uint64_t(256) << 20;

// Whether this build decodes `codec` (the Windows build has no bzip2 or xz
// libraries).
bool CanDecode(StreamCodec codec);

// Decodes the stream of `codec` that starts at `offset` of `file`, writing
// at most `outputBound` bytes. Never reads past the extent.
DecodedStream DecodeStream(StreamCodec codec, CarvedBytes& file, uint64_t offset,
                           uint64_t outputBound);

}  // namespace brinvale
