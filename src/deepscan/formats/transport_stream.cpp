// MPEG transport streams (.ts, 188-byte packets) and AVCHD/Blu-ray streams
// (.mts, 192-byte packets: a 4-byte timestamp before each TS packet).
#include <algorithm>
#include <vector>

#include "common/error_codes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

namespace {

constexpr size_t kPacket = 188;
constexpr uint8_t kSync = 0x47;
constexpr size_t kProbeBytes = 4096;
constexpr size_t kProbePackets = 22;  // packets starting within the probe

// The sector before the current one has a packet start at one of its
// 188-byte steps back from its end, so the current sector carries on a
// stream rather than starting one.
bool ContinuesStream(SizingContext& ctx) {
  if (ctx.currentSector == 0) return false;
  std::span<uint8_t> previous = ctx.Scratch().first(ctx.bytesPerSector);
  if (ctx.Read(ctx.currentSector - 1, 1, previous) != kOk) return false;
  for (size_t back = kPacket; back <= previous.size(); back += kPacket)
    if (previous[previous.size() - back] == kSync) return true;
  return false;
}

}  // namespace

int DetectTransportStream(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < kPacket || b[0] != kSync || (b[1] == 0 && b[2] == 0 && b[3] == 0))
    return kTypeUnknown;
  for (size_t at = kPacket; at < b.size(); at += kPacket)
    if (b[at] != kSync) return kTypeUnknown;
  if (ctx.bytesPerSector == 0) return kTypeUnknown;
  std::span<const uint8_t> probe;
  if (ctx.ReadBytes(ctx.currentSector * ctx.bytesPerSector, kProbeBytes, probe) != kOk)
    return kTypeUnknown;
  for (size_t i = 0; i < kProbePackets; ++i)
    if (probe[i * kPacket] != kSync) return kTypeUnknown;
  if (ctx.inStream && ContinuesStream(ctx)) return kTypeUnknown;
  if (ctx.InStreamRange(ctx.currentSector)) return kTypeUnknown;
  return kTypeTs;
}

// Packets are followed at 188-byte steps from the start, across chunks,
// while they begin with the sync byte; the stream ends before the first one
// that does not. Its sectors are remembered so that later candidates inside
// it are not taken for new streams.
uint64_t SizeTransportStream(SizingContext& ctx, std::span<const uint8_t> b) {
  const uint32_t bps = ctx.bytesPerSector;
  if (bps == 0) return 0;
  uint64_t next = 0;
  uint64_t streamEnd = UINT64_MAX;
  const auto first = b.first(std::min<size_t>(b.size(), bps));
  for (; next < first.size(); next += kPacket) {
    if (first[next] != kSync) {
      streamEnd = next;
      break;
    }
  }
  next = std::max<uint64_t>(next, (bps + kPacket - 1) / kPacket * kPacket);
  uint64_t size = 0;
  if (streamEnd == UINT64_MAX) {
    ChunkReader chunks(ctx, 64 * kGiB, NextStartRule::kAnyFormat);
    while (streamEnd == UINT64_MAX && chunks.Next()) {
      const auto part = chunks.FilePart();
      const uint64_t end = chunks.FileOffset() + part.size();
      for (; next < end; next += kPacket) {
        if (part[next - chunks.FileOffset()] != kSync) {
          streamEnd = next;
          break;
        }
      }
    }
    size = std::min(chunks.Counted(), streamEnd);
  } else {
    size = streamEnd;
  }
  const uint64_t sectors = std::max<uint64_t>(1, (size + bps - 1) / bps);
  ctx.streamRanges.push_back({ctx.startSector, ctx.startSector + sectors - 1});
  return size;
}

// A 192-byte packet whose TS packet (at 4) is a program association table:
// pointer 0, table 0, section length 17, stream id 0, version 0 current.
// Right after another such stream, a packet with a non-zero timestamp
// carries on that stream rather than starting a new one.
int DetectMts(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 16 || !HasAt(b, 8, "\x00\x00\xB0\x11\x00\x00\xC1\x00"sv)) return kTypeUnknown;
  const bool zeroTimestamp = b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 0;
  return zeroTimestamp || !ctx.afterMts ? kTypeMts : kTypeUnknown;
}

uint64_t SizeMts(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

}  // namespace brinvale

// The packet walk of a transport stream: 188-byte packets (192 in an
// AVCHD/Blu-ray stream, a 4-byte timestamp first), each starting with the
// sync byte, with a valid adaptation field and, per packet id, continuity
// counters that go up by one (mod 16) from one payload to the next, unless
// the adaptation field flags a discontinuity or the packet repeats the one
// before. A stream states no length: it ends at the last whole packet
// before bytes without the sync byte, which may as well be where it was
// cut. So a stream walked whole stays unchecked; a broken packet or
// counter makes it damaged.
namespace brinvale {

namespace {

CarvedVerdict WalkPackets(CarvedBytes& f, uint64_t packet, uint64_t syncAt) {
  std::vector<int8_t> counters(8192, -1);
  uint64_t at = 0, packets = 0;
  for (; f.Holds(at, packet); at += packet, ++packets) {
    uint8_t h[6];
    if (!f.Read(at + syncAt, h)) return DamagedVerdict(CarvedFault::kUnreadable);
    if (h[0] != kSync) break;
    const unsigned pid = unsigned(h[1] & 0x1F) << 8 | h[2];
    const unsigned control = (h[3] >> 4) & 3;
    const int counter = h[3] & 0x0F;
    if (control == 0) return DamagedVerdict(CarvedFault::kBadStructure);
    bool discontinuity = false;
    if (control & 2) {
      const unsigned length = h[4];
      if (length > (control == 2 ? 183u : 182u) || (control == 2 && length != 183))
        return DamagedVerdict(CarvedFault::kBadStructure);
      discontinuity = length > 0 && (h[5] & 0x80);
    }
    if (pid == 0x1FFF || !(control & 1)) continue;
    const int last = counters[pid];
    if (last >= 0 && !discontinuity && counter != last && counter != ((last + 1) & 15))
      return DamagedVerdict(CarvedFault::kBadStructure);
    counters[pid] = int8_t(counter);
  }
  if (packets == 0)
    return DamagedVerdict(f.Holds(0, packet) ? CarvedFault::kBadStructure : CarvedFault::kRunsOff);
  return {};
}

}  // namespace

CarvedVerdict CheckTransportStream(CarvedBytes& f) { return WalkPackets(f, kPacket, 0); }
CarvedVerdict CheckMts(CarvedBytes& f) { return WalkPackets(f, kPacket + 4, 4); }

}  // namespace brinvale
