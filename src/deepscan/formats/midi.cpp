// Standard MIDI files and SMAF ringtones (.mmf).
#include <algorithm>
#include <string_view>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walk_fields.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

namespace {

constexpr uint64_t kHeaderChunkBytes = 14;  // "MThd", length 6, format, tracks, division

// Follows the track chunks ("MTrk", big-endian length) one after the other
// from the end of the header chunk, over bytes fed in file order.
class TrackWalk {
 public:
  explicit TrackWalk(uint32_t tracks) : m_wanted(tracks) {}

  void Feed(std::span<const uint8_t> bytes, uint64_t offset) {
    const uint64_t end = offset + bytes.size();
    while (!Done() && !m_broken) {
      const uint64_t at = m_next + m_have;
      if (at >= end) return;
      if (at < offset) {  // bytes that were never seen
        m_broken = true;
        return;
      }
      m_header[m_have++] = bytes[size_t(at - offset)];
      if (m_have < sizeof m_header) continue;
      m_have = 0;
      if (!HasAt(m_header, 0, "MTrk")) {
        m_broken = true;
        return;
      }
      m_next += 8 + uint64_t(LoadBe32(m_header, 4));
      ++m_found;
    }
  }
  bool Done() const { return m_found >= m_wanted; }
  bool Broken() const { return m_broken; }
  uint64_t End() const { return m_next; }

 private:
  uint32_t m_wanted;
  uint32_t m_found = 0;
  uint64_t m_next = kHeaderChunkBytes;
  uint8_t m_header[8] = {};
  size_t m_have = 0;
  bool m_broken = false;
};

}  // namespace

// "MThd", header length 6 (big-endian at 4), the first "MTrk" at 14.
int DetectMidi(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 18 && HasAt(b, 0, "MThd") && LoadBe32(b, 4) == 6 && HasAt(b, 14, "MTrk")
             ? kTypeMidi
             : kTypeUnknown;
}

// The file is the header chunk plus as many track chunks as the header's
// track count (big-endian at 10). The walk starts in the start sector, where
// the first track chunk lies, and goes on through the chunks until the last
// track has been read or the walk breaks (then the next start decides).
uint64_t SizeMidi(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 12) return ctx.bytesPerSector;
  TrackWalk walk(LoadBe16(b, 10));
  walk.Feed(b.first(std::min<size_t>(b.size(), ctx.bytesPerSector)), 0);
  ChunkReader chunks(ctx, 8 * kMiB, NextStartRule::kAnyFormat);
  while ((!walk.Done() || walk.End() > chunks.Counted()) && chunks.Next())
    walk.Feed(chunks.FilePart(), chunks.FileOffset());
  return walk.Done() && !walk.Broken() ? std::min(walk.End(), chunks.Counted()) : chunks.Counted();
}

int DetectMmf(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "MMMD") ? kTypeMmf : kTypeUnknown;
}

uint64_t SizeMmf(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 256 * kMiB);
}

}  // namespace brinvale

// The chunk walk of a standard MIDI file: the header chunk ("MThd", length
// at least 6, format 0 to 2, the track count), then chunks (four letters,
// 32-bit BE length) up to the last of the counted "MTrk" chunks, each
// closed by the end-of-track event FF 2F 00. Chunks of other names are
// passed over.
namespace brinvale {

CarvedVerdict CheckMidi(CarvedBytes& f) {
  uint32_t headerLength = 0;
  uint16_t format = 0, tracks = 0;
  if (!f.HasAt(0, "MThd") || !f.Be32(4, headerLength) || !f.Be16(8, format) ||
      !f.Be16(10, tracks) || headerLength < 6 || format > 2 || tracks == 0)
    return DamagedVerdict(CarvedFault::kBadStructure);
  uint64_t at = 8 + uint64_t(headerLength);
  for (uint32_t found = 0; found < tracks;) {
    char name[4];
    uint32_t length = 0;
    if (!f.Holds(at, 8)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (!FourCcAt(f, at, name) || !f.Be32(at + 4, length))
      return DamagedVerdict(CarvedFault::kBadStructure);
    if (!f.Holds(at, 8 + uint64_t(length))) return DamagedVerdict(CarvedFault::kRunsOff);
    if (std::string_view(name, 4) == "MTrk") {
      if (length < 3 || !f.HasAt(at + 8 + length - 3, "\xFF\x2F\x00"sv))
        return DamagedVerdict(CarvedFault::kBadStructure);
      ++found;
    }
    at += 8 + uint64_t(length);
  }
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  return CompleteVerdict(at);
}

// The chunk walk of a SMAF file: "MMMD" and the length of what follows,
// filled exactly by chunks (four bytes of name, 32-bit BE length), the
// contents info "CNTI" first; the last two bytes may be a CRC (not all
// writers fill it in, so it is not checked).
CarvedVerdict CheckMmf(CarvedBytes& f) {
  uint32_t length = 0;
  if (!f.HasAt(0, "MMMD") || !f.Be32(4, length) || !f.HasAt(8, "CNTI"))
    return DamagedVerdict(CarvedFault::kBadStructure);
  const uint64_t end = 8 + uint64_t(length);
  if (!f.Holds(0, end)) return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t at = 8;
  while (end - at >= 8) {
    uint32_t chunk = 0;
    if (!f.Be32(at + 4, chunk) || chunk > end - at - 8)
      return DamagedVerdict(CarvedFault::kBadStructure);
    at += 8 + uint64_t(chunk);
  }
  if (at != end && at + 2 != end) return DamagedVerdict(CarvedFault::kBadStructure);
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  return CompleteVerdict(end);
}

}  // namespace brinvale
