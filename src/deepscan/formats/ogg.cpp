// Ogg files (Vorbis, Opus, Theora, FLAC in Ogg). The format table has no row
// for them, so they are never carved by content; their walker checks those
// found by name in a file system.
//
// The page walk: pages ("OggS", version 0, header flags, granule position,
// stream serial, page sequence, CRC, segment table; the page is the header
// plus the sum of its segment lengths) whose CRC (polynomial 04C11DB7, not
// reflected, over the page with its CRC field as zero) holds. Each logical
// stream starts with a beginning-of-stream page, numbers its pages in
// order and ends with an end-of-stream page; the file ends when every
// stream has ended and no new one is chained after them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "deepscan/carved_bytes.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

namespace {

constexpr uint64_t kPageHead = 27;
constexpr uint8_t kContinued = 1, kFirstPage = 2, kLastPage = 4;
constexpr size_t kMaxStreams = 256;

const std::array<uint32_t, 256>& OggCrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24;
      for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[i] = r;
    }
    return t;
  }();
  return table;
}

// The CRC of `length` bytes at `at`, bytes 22..25 (the CRC field) as zero.
bool PageCrc(CarvedBytes& f, uint64_t at, uint64_t length, uint32_t& crc) {
  const auto& table = OggCrcTable();
  crc = 0;
  for (uint64_t done = 0; done < length;) {
    const std::span<const uint8_t> part = f.View(at + done, length - done);
    if (part.empty()) return false;
    for (size_t i = 0; i < part.size(); ++i) {
      const uint64_t offset = done + i;
      const uint8_t b = offset >= 22 && offset < 26 ? 0 : part[i];
      crc = (crc << 8) ^ table[((crc >> 24) ^ b) & 0xFF];
    }
    done += part.size();
  }
  return true;
}

struct Stream {
  uint32_t serial = 0;
  uint32_t nextPage = 0;
  bool ended = false;
};

}  // namespace

CarvedVerdict CheckOgg(CarvedBytes& f) {
  std::vector<Stream> streams;
  uint64_t at = 0;
  for (;;) {
    const bool allEnded = !streams.empty() && std::all_of(streams.begin(), streams.end(),
                                                          [](const Stream& s) { return s.ended; });
    uint8_t head[kPageHead];
    const bool page = f.HasAt(at, "OggS");
    if (allEnded) {
      // A chained stream may follow; anything else is past the file.
      uint8_t flags = 0;
      if (!page || !f.Byte(at + 5, flags) || !(flags & kFirstPage)) break;
      streams.clear();
    }
    if (!page || !f.Read(at, head))
      return DamagedVerdict(f.Holds(at, kPageHead) ? CarvedFault::kBadStructure
                                                   : CarvedFault::kRunsOff);
    const uint8_t version = head[4], flags = head[5], segments = head[26];
    if (version != 0 || flags > 7) return DamagedVerdict(CarvedFault::kBadStructure);
    uint8_t table[255];
    const std::span<uint8_t> lacing(table, segments);
    if (!f.Read(at + kPageHead, lacing)) return DamagedVerdict(CarvedFault::kRunsOff);
    uint64_t length = kPageHead + segments;
    for (uint8_t l : lacing) length += l;
    if (!f.Holds(at, length)) return DamagedVerdict(CarvedFault::kRunsOff);
    const uint32_t stored = uint32_t(head[22]) | uint32_t(head[23]) << 8 |
                            uint32_t(head[24]) << 16 | uint32_t(head[25]) << 24;
    uint32_t crc = 0;
    if (!PageCrc(f, at, length, crc)) return DamagedVerdict(CarvedFault::kUnreadable);
    if (crc != stored) return DamagedVerdict(CarvedFault::kChecksum);
    const uint32_t serial = uint32_t(head[14]) | uint32_t(head[15]) << 8 |
                            uint32_t(head[16]) << 16 | uint32_t(head[17]) << 24;
    const uint32_t sequence = uint32_t(head[18]) | uint32_t(head[19]) << 8 |
                              uint32_t(head[20]) << 16 | uint32_t(head[21]) << 24;
    auto stream = std::find_if(streams.begin(), streams.end(),
                               [&](const Stream& s) { return s.serial == serial; });
    if (flags & kFirstPage) {
      if (stream != streams.end() || streams.size() >= kMaxStreams || sequence != 0 ||
          (flags & kContinued))
        return DamagedVerdict(CarvedFault::kBadStructure);
      streams.push_back({serial, 0, false});
      stream = streams.end() - 1;
    }
    if (stream == streams.end() || stream->ended || sequence != stream->nextPage)
      return DamagedVerdict(CarvedFault::kBadStructure);
    stream->nextPage = sequence + 1;
    stream->ended = flags & kLastPage;
    at += length;
  }
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  return CompleteVerdict(at);
}

}  // namespace brinvale
