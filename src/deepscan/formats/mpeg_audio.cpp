// MPEG audio: MP3 with an ID3v2 tag first, and MP2 frames.
#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walk_fields.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

// "ID3", version (3, 4: not FF), flags (5: low five bits clear), and the
// tag size as four 7-bit bytes (6..9).
int DetectMp3(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 10 || !HasAt(b, 0, "ID3") || b[3] == 0xFF || b[4] == 0xFF || (b[5] & 0x1F) != 0)
    return kTypeUnknown;
  for (size_t i = 6; i < 10; ++i)
    if (b[i] >= 0x80) return kTypeUnknown;
  return kTypeMp3;
}

// An ID3v1 tag ("TAG" + 125 bytes) closes the file: the first "TAG" of each
// chunk is remembered, the last chunk's wins.
uint64_t SizeMp3(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr uint64_t kId3v1Bytes = 128;
  uint64_t tagEnd = UINT64_MAX;
  ChunkReader chunks(ctx, 2 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t at = FindBytes(chunks.Window(), "TAG", chunks.SearchFrom(3));
    if (at != kNotFound) tagEnd = chunks.WindowOffset() + at + kId3v1Bytes;
  }
  return std::min(chunks.Counted(), tagEnd);
}

int DetectMp2(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "\xFF\xFD\xE4\x00"sv) ? kTypeMp2 : kTypeUnknown;
}

// Until the next start of another format: the stream's own frames begin
// with the bytes its row detects (see NextStartRule).
uint64_t SizeMp2(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 256 * kMiB, NextStartRule::kIgnoreMp2);
}

}  // namespace brinvale

// The frame walk of an MPEG audio file (MP3, MP2): an optional ID3v2 tag
// (syncsafe size; a footer when flagged), then frames, each with its
// length from its header (layer, bit rate, sample rate, padding), all of
// the first frame's version, layer and sample rate; then optional tags at
// the end: an APEv2 tag with its header and an ID3v1 tag ("TAG", 128
// bytes). The length is stated by a Xing/Info (or VBRI) frame first, which
// counts the frames and bytes that follow; without one the frames end at
// the first bytes that are no frame, which states no length (unchecked):
// when no frames of the same kind follow anywhere after them in the extent,
// the stream ends after them and their tags (its stream end).
namespace brinvale {

namespace {

struct FrameHeader {
  int version = 0;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  int layer = 0;    // 1, 2, 3
  int sampleRate = 0;
  int channels = 0;
  bool crc = false;
  uint64_t length = 0;
};

bool ParseFrameHeader(const uint8_t (&h)[4], FrameHeader& out) {
  static constexpr uint16_t kRates[5][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 I
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 II
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 III
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2 I
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2 II, III
  };
  static constexpr int kSampleRates[4][3] = {
      {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  const int version = (h[1] >> 3) & 3, layerBits = (h[1] >> 1) & 3;
  const int rateIndex = h[2] >> 4, sampleIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
  if (version == 1 || layerBits == 0 || rateIndex == 0 || rateIndex == 15 || sampleIndex == 3 ||
      (h[3] & 3) == 2)
    return false;
  const int layer = 4 - layerBits;
  const int row = version == 3 ? layer - 1 : (layer == 1 ? 3 : 4);
  const uint64_t rate = uint64_t(kRates[row][rateIndex]) * 1000;
  const uint64_t sampleRate = kSampleRates[version][sampleIndex];
  out.version = version;
  out.layer = layer;
  out.sampleRate = int(sampleRate);
  out.channels = (h[3] >> 6) == 3 ? 1 : 2;
  out.crc = !(h[1] & 1);
  if (layer == 1)
    out.length = (12 * rate / sampleRate + padding) * 4;
  else if (layer == 3 && version != 3)
    out.length = 72 * rate / sampleRate + padding;
  else
    out.length = 144 * rate / sampleRate + padding;
  return out.length >= 4;
}

// The frame and byte counts of a Xing/Info or VBRI frame at `at`.
bool StatedCounts(CarvedBytes& f, uint64_t at, const FrameHeader& h, uint32_t& frames,
                  uint32_t& bytes) {
  frames = bytes = 0;
  if (h.layer != 3) return false;
  const uint64_t side = h.version == 3 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
  const uint64_t xing = at + 4 + (h.crc ? 2 : 0) + side;
  if (xing + 16 <= at + h.length && (f.HasAt(xing, "Xing") || f.HasAt(xing, "Info"))) {
    uint32_t flags = 0;
    uint64_t field = xing + 8;
    if (!f.Be32(xing + 4, flags) || !(flags & 1) || !f.Be32(field, frames)) return false;
    if ((flags & 2) && !f.Be32(field + 4, bytes)) return false;
    return true;
  }
  if (at + 36 + 18 <= at + h.length && f.HasAt(at + 36, "VBRI"))
    return f.Be32(at + 36 + 10, bytes) && f.Be32(at + 36 + 14, frames);
  return false;
}

// The longest frame a header describes (MPEG-2.5 Layer II at 160 kbit/s and
// 8 kHz, padded).
constexpr uint64_t kLongestFrame = 2881;

// Frames of one stream share their version, layer and sample rate.
bool SameKind(const FrameHeader& a, const FrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

bool HeaderIn(std::span<const uint8_t> bytes, uint64_t at, FrameHeader& h) {
  if (at + 4 > bytes.size()) return false;
  const uint8_t raw[4] = {bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]};
  return ParseFrameHeader(raw, h);
}

// What may still belong to a stream after its last frame, sought in one
// pass over the bytes: a frame of its kind before `near` (the stream goes
// on after a few broken frames), two frames of any kind back to back (it
// goes on after a broken stretch, perhaps at another rate, as joined or
// broadcast recordings do), or the start of any audio tag (Lyrics3, an APE
// tag with only its footer, an ID3v2 tag with its footer, ID3v1 or its
// extended form).
class AudioAfterSearch {
 public:
  AudioAfterSearch(CarvedBytes& f, const FrameHeader& first, uint64_t near)
      : m_f(f), m_first(first), m_near(near) {}

  // Whether something in [from, to) may be more of the stream. Also true
  // when too many frame headers were tried, or a read fails: the end then
  // stays unknown.
  bool FoundIn(uint64_t from, uint64_t to) {
    // Each block is read with the frame and tag that may start at its end.
    constexpr uint64_t kBlock = 64 << 10, kOverlap = kLongestFrame + 4 + 16;
    static constexpr std::string_view kTagMarks[] = {"TAG", "APETAGEX", "LYRICSBEGIN", "3DI",
                                                     "ID3"};
    for (uint64_t pos = from; pos < to; pos += kBlock) {
      const uint64_t scan = std::min(kBlock, to - pos);
      m_bytes.resize(size_t(std::min(scan + kOverlap, m_f.Extent() - pos)));
      if (!m_f.Read(pos, m_bytes)) return true;
      const std::span<const uint8_t> bytes(m_bytes);
      for (std::string_view mark : kTagMarks) {
        const size_t at = FindBytes(bytes, mark);
        if (at != kNotFound && at < scan) return true;
      }
      for (size_t i = 0; i < scan; ++i) {
        const auto* hit = static_cast<const uint8_t*>(std::memchr(&m_bytes[i], 0xFF, scan - i));
        if (hit == nullptr) break;
        i = size_t(hit - m_bytes.data());
        FrameHeader h, next;
        if (!HeaderIn(bytes, i, h)) continue;
        if ((SameKind(h, m_first) && pos + i < m_near) || HeaderIn(bytes, i + h.length, next))
          return true;
        if (++m_tried > kMostHeadersTried) return true;
      }
    }
    return false;
  }

 private:
  // Past this many headers that pair with nothing the end stays unknown.
  static constexpr uint64_t kMostHeadersTried = 1 << 16;

  CarvedBytes& m_f;
  const FrameHeader m_first;
  const uint64_t m_near;
  uint64_t m_tried = 0;
  std::vector<uint8_t> m_bytes;
};

}  // namespace

CarvedVerdict CheckMpegAudio(CarvedBytes& f) {
  uint64_t at = 0;
  if (f.HasAt(0, "ID3")) {
    uint8_t h[10];
    if (!f.Read(0, h)) return DamagedVerdict(CarvedFault::kRunsOff);
    uint64_t size = 0;
    for (int i = 6; i < 10; ++i) {
      if (h[i] & 0x80) return DamagedVerdict(CarvedFault::kBadStructure);
      size = size << 7 | h[i];
    }
    at = 10 + size + ((h[5] & 0x10) ? 10 : 0);
  }
  const uint64_t audio = at;
  FrameHeader first;
  uint32_t statedFrames = 0, statedBytes = 0;
  bool stated = false;
  uint64_t frames = 0, lastFrame = 0, longest = 0;
  for (;; ++frames) {
    if (stated && frames == uint64_t(statedFrames) + 1) break;
    uint8_t raw[4];
    FrameHeader h;
    const bool read = f.Read(at, raw);
    const bool frame = read && ParseFrameHeader(raw, h) && (frames == 0 || SameKind(h, first));
    if (!frame) {
      // Some writers count the tag frame itself.
      if (frames == 0 || (stated && frames != statedFrames))
        return DamagedVerdict(read ? CarvedFault::kBadStructure : CarvedFault::kRunsOff);
      break;
    }
    if (!f.Holds(at, h.length)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (frames == 0) {
      first = h;
      stated = StatedCounts(f, at, h, statedFrames, statedBytes);
    }
    lastFrame = at;
    longest = std::max(longest, h.length);
    at += h.length;
  }
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  if (!stated) {
    // No frame count: the stream ends with its last frame and the tags
    // after it, unless what follows in the extent may be more of it. The
    // last frame's own bytes are searched too: a frame cut short ends in
    // the next frame or tag, which its length runs over.
    const uint64_t framesEnd = at;
    if (auto fault = SkipTrailingAudioTags(f, at)) return *fault;
    if (f.Extent() - at > kResumptionSearchBytes) return {};
    // Frames near the last one count alone: a few of its longest frames.
    constexpr uint64_t kNearFrames = 4;
    AudioAfterSearch search(f, first, framesEnd + kNearFrames * longest);
    if (search.FoundIn(lastFrame + 4, framesEnd) || search.FoundIn(at, f.Extent())) return {};
    if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
    return StreamEndVerdict(at);
  }
  // Writers count the bytes from the tag frame, or from the file's start.
  if (statedBytes != 0 && statedBytes != at - audio && statedBytes != at)
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (auto fault = SkipTrailingAudioTags(f, at)) return *fault;
  return CompleteVerdict(at);
}

}  // namespace brinvale
