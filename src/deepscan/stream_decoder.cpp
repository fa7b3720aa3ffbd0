#include "deepscan/stream_decoder.h"

#include <zlib.h>

#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#if BRINVALE_HAVE_BZIP2
#include <bzlib.h>
#endif
#if BRINVALE_HAVE_LZMA
#include <lzma.h>
#endif

namespace brinvale {
namespace {

constexpr size_t kOutputBytes = 65536;

// What one step of a decoder did.
enum class Step : uint8_t { kGoing, kEnded, kBroken, kCheckFails, kOverBound };

// One codec behind the common loop: Run takes bytes from `in` and writes
// to `out`, saying how many of each it used.
class Decoder {
 public:
  virtual ~Decoder() = default;
  virtual bool Ready() const = 0;
  virtual Step Run(std::span<const uint8_t> in, std::span<uint8_t> out, size_t& used,
                   size_t& written) = 0;
};

class Inflater final : public Decoder {
 public:
  Inflater() { m_ready = inflateInit2(&m_z, -MAX_WBITS) == Z_OK; }
  ~Inflater() override {
    if (m_ready) inflateEnd(&m_z);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool Ready() const override { return m_ready; }
  Step Run(std::span<const uint8_t> in, std::span<uint8_t> out, size_t& used,
           size_t& written) override {
    m_z.next_in = const_cast<Bytef*>(in.data());
    m_z.avail_in = uInt(in.size());
    m_z.next_out = out.data();
    m_z.avail_out = uInt(out.size());
    const int rc = inflate(&m_z, Z_NO_FLUSH);
    used = in.size() - m_z.avail_in;
    written = out.size() - m_z.avail_out;
    switch (rc) {
      case Z_STREAM_END: return Step::kEnded;
      case Z_OK:
      case Z_BUF_ERROR: return Step::kGoing;
      case Z_MEM_ERROR: return Step::kOverBound;
      default: return Step::kBroken;  // Z_DATA_ERROR, Z_NEED_DICT, Z_STREAM_ERROR
    }
  }

 private:
  z_stream m_z{};
  bool m_ready = false;
};

#if BRINVALE_HAVE_BZIP2
class Bunzipper final : public Decoder {
 public:
  Bunzipper() { m_ready = BZ2_bzDecompressInit(&m_s, 0, 0) == BZ_OK; }
  ~Bunzipper() override {
    if (m_ready) BZ2_bzDecompressEnd(&m_s);
  }
  Bunzipper(const Bunzipper&) = delete;
  Bunzipper& operator=(const Bunzipper&) = delete;
  bool Ready() const override { return m_ready; }
  Step Run(std::span<const uint8_t> in, std::span<uint8_t> out, size_t& used,
           size_t& written) override {
    m_s.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(in.data()));
    m_s.avail_in = unsigned(in.size());
    m_s.next_out = reinterpret_cast<char*>(out.data());
    m_s.avail_out = unsigned(out.size());
    const int rc = BZ2_bzDecompress(&m_s);
    used = in.size() - m_s.avail_in;
    written = out.size() - m_s.avail_out;
    switch (rc) {
      case BZ_STREAM_END: return Step::kEnded;
      case BZ_OK: return Step::kGoing;
      // bzlib reports a block's or the stream's failing CRC as a data
      // integrity error; undecodable bits give the same code.
      case BZ_DATA_ERROR: return Step::kCheckFails;
      case BZ_MEM_ERROR: return Step::kOverBound;
      default: return Step::kBroken;  // BZ_DATA_ERROR_MAGIC, BZ_PARAM_ERROR
    }
  }

 private:
  bz_stream m_s{};
  bool m_ready = false;
};
#endif

#if BRINVALE_HAVE_LZMA
class Unxzipper final : public Decoder {
 public:
  // One stream, no concatenation: the decoder stops right after its footer.
  Unxzipper() { m_ready = lzma_stream_decoder(&m_s, kXzMemoryLimit, 0) == LZMA_OK; }
  ~Unxzipper() override { lzma_end(&m_s); }
  Unxzipper(const Unxzipper&) = delete;
  Unxzipper& operator=(const Unxzipper&) = delete;
  bool Ready() const override { return m_ready; }
  Step Run(std::span<const uint8_t> in, std::span<uint8_t> out, size_t& used,
           size_t& written) override {
    m_s.next_in = in.data();
    m_s.avail_in = in.size();
    m_s.next_out = out.data();
    m_s.avail_out = out.size();
    const lzma_ret rc = lzma_code(&m_s, LZMA_RUN);
    used = in.size() - m_s.avail_in;
    written = out.size() - m_s.avail_out;
    switch (rc) {
      case LZMA_STREAM_END: return Step::kEnded;
      case LZMA_OK:
      case LZMA_BUF_ERROR: return Step::kGoing;
      // A block's check, the index or the footer that does not match.
      case LZMA_DATA_ERROR: return Step::kCheckFails;
      case LZMA_MEM_ERROR:
      case LZMA_MEMLIMIT_ERROR: return Step::kOverBound;
      default: return Step::kBroken;  // LZMA_FORMAT_ERROR, LZMA_OPTIONS_ERROR
    }
  }

 private:
  lzma_stream m_s = LZMA_STREAM_INIT;
  bool m_ready = false;
};
#endif

std::unique_ptr<Decoder> MakeDecoder(StreamCodec codec) {
  switch (codec) {
    case StreamCodec::kDeflate: return std::make_unique<Inflater>();
#if BRINVALE_HAVE_BZIP2
    case StreamCodec::kBzip2: return std::make_unique<Bunzipper>();
#endif
#if BRINVALE_HAVE_LZMA
    case StreamCodec::kXz: return std::make_unique<Unxzipper>();
#endif
    default: return nullptr;
  }
}

}  // namespace

bool CanDecode(StreamCodec codec) {
  switch (codec) {
    case StreamCodec::kDeflate: return true;
#if BRINVALE_HAVE_BZIP2
    case StreamCodec::kBzip2: return true;
#endif
#if BRINVALE_HAVE_LZMA
    case StreamCodec::kXz: return true;
#endif
    default: return false;
  }
}

DecodedStream DecodeStream(StreamCodec codec, CarvedBytes& file, uint64_t offset,
                           uint64_t outputBound) {
  DecodedStream result;
  const std::unique_ptr<Decoder> decoder = MakeDecoder(codec);
  if (decoder == nullptr) {
    result.end = StreamEnd::kUnavailable;
    return result;
  }
  if (!decoder->Ready()) {
    result.end = StreamEnd::kOverBound;  // no memory for its state
    return result;
  }
  const bool summed = codec == StreamCodec::kDeflate;
  const auto out = std::make_unique<std::array<uint8_t, kOutputBytes>>();
  uint64_t at = offset;
  std::span<const uint8_t> in;
  for (;;) {
    // A view is asked for only when the last one is used up; it stays
    // valid while nothing else reads through `file`.
    if (in.empty()) in = file.View(at);
    size_t used = 0, written = 0;
    const Step step = decoder->Run(in, *out, used, written);
    at += used;
    in = in.subspan(used);
    result.outputBytes += written;
    if (summed && written > 0) result.crc32 = uint32_t(crc32(result.crc32, out->data(), uInt(written)));
    if (step == Step::kEnded) {
      result.end = StreamEnd::kEnded;
      result.inputEnd = at;
      return result;
    }
    if (result.outputBytes > outputBound) {
      result.end = StreamEnd::kOverBound;
      return result;
    }
    if (step != Step::kGoing) {
      result.end = step == Step::kCheckFails  ? StreamEnd::kCheckFails
                   : step == Step::kOverBound ? StreamEnd::kOverBound
                                              : StreamEnd::kBroken;
      return result;
    }
    // No byte read and none written: the decoder needs input the extent
    // does not have.
    if (used == 0 && written == 0) {
      if (!in.empty()) {
        result.end = StreamEnd::kBroken;
        return result;
      }
      if (file.View(at, 1).empty()) {
        result.end = StreamEnd::kRunsOff;
        return result;
      }
    }
  }
}

}  // namespace brinvale
