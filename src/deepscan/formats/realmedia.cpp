// RealMedia (.rm, .rmvb).
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

int DetectRealMedia(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, ".RMF") ? kTypeRealMedia : kTypeUnknown;
}

// The file ends after the first index chunk header: "INDX", chunk size 20,
// version 0, two entries and no next index.
uint64_t SizeRealMedia(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr auto kIndexHeader =
      "INDX\x00\x00\x00\x14\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x00"sv;
  ChunkReader chunks(ctx, 6 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const size_t at =
        FindBytes(chunks.Window(), kIndexHeader, chunks.SearchFrom(kIndexHeader.size()));
    if (at != kNotFound)
      return std::min(chunks.Counted(), chunks.WindowOffset() + at + kIndexHeader.size());
  }
  return chunks.Counted();
}

}  // namespace brinvale

// The chunk walk of a RealMedia file: the ".RMF" header, then chunks (four
// letters, 32-bit BE size, 16-bit version) up to the data chunk at the
// offset the properties chunk "PROP" states; the data chunk holds the
// packets it counts (16-bit version and length each), and the file ends
// after them, or after the chain of index chunks "INDX" (14-byte entries,
// each naming the next, the last naming none) that starts at the stated
// index offset.
namespace brinvale {

namespace {

constexpr uint64_t kChunkHead = 10, kDataHead = 18;

}  // namespace

CarvedVerdict CheckRealMedia(CarvedBytes& f) {
  uint32_t headerSize = 0;
  if (!f.HasAt(0, ".RMF") || !f.Be32(4, headerSize) || headerSize < 18)
    return DamagedVerdict(CarvedFault::kBadStructure);
  uint32_t indexAt = 0, dataAt = 0;
  bool properties = false;
  uint64_t at = headerSize;
  for (;;) {
    char name[4];
    uint32_t size = 0;
    if (!f.Holds(at, kChunkHead)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (!FourCcAt(f, at, name) || !f.Be32(at + 4, size) || size < kChunkHead)
      return DamagedVerdict(CarvedFault::kBadStructure);
    const std::string_view id(name, 4);
    if (id == "PROP") {
      if (size < kChunkHead + 40 || !f.Be32(at + 38, indexAt) || !f.Be32(at + 42, dataAt))
        return DamagedVerdict(CarvedFault::kBadStructure);
      properties = true;
    }
    if (id == "DATA") break;
    if (!f.Holds(at, size)) return DamagedVerdict(CarvedFault::kRunsOff);
    at += size;
  }
  if (!properties || at != dataAt) return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Holds(at, kDataHead)) return DamagedVerdict(CarvedFault::kRunsOff);
  uint32_t packets = 0, size = 0;
  if (!f.Be32(at + 4, size) || !f.Be32(at + 10, packets))
    return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t end = at + kDataHead;
  for (uint32_t i = 0; i < packets; ++i) {
    uint16_t version = 0, length = 0;
    if (!f.Be16(end, version) || !f.Be16(end + 2, length))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (version > 1 || length < 12) return DamagedVerdict(CarvedFault::kBadStructure);
    if (!f.Holds(end, length)) return DamagedVerdict(CarvedFault::kRunsOff);
    end += length;
  }
  // Some writers count the data chunk's 18-byte head twice in its size,
  // and close a file without index with eight zero bytes.
  if (end - at != size && end - at + kDataHead != size)
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (indexAt == 0) {
    uint32_t a = 1, b = 1;
    if (f.Be32(end, a) && f.Be32(end + 4, b) && a == 0 && b == 0) end += 8;
  } else {
    if (indexAt != end) return DamagedVerdict(CarvedFault::kBadStructure);
    for (;;) {
      uint32_t indexSize = 0, entries = 0, next = 0;
      if (!f.HasAt(end, "INDX"))
        return DamagedVerdict(f.Holds(end, 4) ? CarvedFault::kBadStructure : CarvedFault::kRunsOff);
      if (!f.Be32(end + 4, indexSize) || !f.Be32(end + 10, entries) || !f.Be32(end + 16, next))
        return DamagedVerdict(CarvedFault::kRunsOff);
      if (indexSize != 20 + 14 * uint64_t(entries))
        return DamagedVerdict(CarvedFault::kBadStructure);
      if (!f.Holds(end, indexSize)) return DamagedVerdict(CarvedFault::kRunsOff);
      end += indexSize;
      if (next == 0) break;
      if (next != end) return DamagedVerdict(CarvedFault::kBadStructure);
    }
  }
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  return CompleteVerdict(end);
}

}  // namespace brinvale
