// Matroska and WebM (.mkv): an EBML header first.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

int DetectMkv(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 16 && HasAt(b, 0, "\x1A\x45\xDF\xA3"sv) ? kTypeMkv : kTypeUnknown;
}

uint64_t SizeMkv(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 64 * kGiB);
}

}  // namespace brinvale

// The element walk of a Matroska or WebM file: EBML elements (an ID of one
// to four bytes, a size of one to eight, both variable-length integers),
// the EBML header with its document type, then the segment. A segment of
// known size is filled exactly by its elements and ends the file; a
// segment of unknown size (written live) is walked element by element up
// to the first bytes that are no top-level element, which state no length,
// so such a file stays unchecked. Clusters of unknown size end at the next
// top-level element. A CRC-32 element first in a top-level element holds
// the CRC of the rest of its data. The segment needs its Info and Tracks.
namespace brinvale {

namespace {

constexpr uint32_t kEbmlId = 0x1A45DFA3, kDocType = 0x4282, kSegment = 0x18538067;
constexpr uint32_t kCluster = 0x1F43B675, kInfo = 0x1549A966, kTracks = 0x1654AE6B;
constexpr uint32_t kCrc32 = 0xBF, kVoid = 0xEC;

bool TopLevelId(uint32_t id) {
  switch (id) {
    case 0x114D9B74:  // SeekHead
    case kInfo:
    case kTracks:
    case kCluster:
    case 0x1C53BB6B:  // Cues
    case 0x1941A469:  // Attachments
    case 0x1043A770:  // Chapters
    case 0x1254C367:  // Tags
    case kVoid:
    case kCrc32: return true;
    default: return false;
  }
}

bool ClusterChildId(uint32_t id) {
  switch (id) {
    case 0xE7:    // Timestamp
    case 0x5854:  // SilentTracks
    case 0xA7:    // Position
    case 0xAB:    // PrevSize
    case 0xA3:    // SimpleBlock
    case 0xA0:    // BlockGroup
    case 0xAF:    // EncryptedBlock
    case kVoid:
    case kCrc32: return true;
    default: return false;
  }
}

struct Element {
  uint64_t at = 0, data = 0, size = 0;
  uint32_t id = 0;
  bool unknownSize = false;
  uint64_t End() const { return data + size; }
};

enum class ElementRead { kElement, kNotAnElement, kPastExtent };

// The element header at `at`. Its data may run past the extent; the
// caller decides.
ElementRead ReadElement(CarvedBytes& f, uint64_t at, Element& e) {
  uint8_t first = 0;
  if (!f.Byte(at, first)) return ElementRead::kPastExtent;
  int idLength = 1;
  while (idLength <= 4 && !(first & (0x80 >> (idLength - 1)))) ++idLength;
  if (idLength > 4) return ElementRead::kNotAnElement;
  uint32_t id = first;
  for (int i = 1; i < idLength; ++i) {
    uint8_t b = 0;
    if (!f.Byte(at + i, b)) return ElementRead::kPastExtent;
    id = id << 8 | b;
  }
  uint8_t lead = 0;
  if (!f.Byte(at + idLength, lead)) return ElementRead::kPastExtent;
  int sizeLength = 1;
  while (sizeLength <= 8 && !(lead & (0x80 >> (sizeLength - 1)))) ++sizeLength;
  if (sizeLength > 8) return ElementRead::kNotAnElement;
  uint64_t size = lead & (0xFF >> sizeLength);
  bool allOnes = size == (0xFFu >> sizeLength);
  for (int i = 1; i < sizeLength; ++i) {
    uint8_t b = 0;
    if (!f.Byte(at + idLength + i, b)) return ElementRead::kPastExtent;
    size = size << 8 | b;
    allOnes = allOnes && b == 0xFF;
  }
  e.at = at;
  e.id = id;
  e.data = at + idLength + sizeLength;
  e.size = allOnes ? 0 : size;
  e.unknownSize = allOnes;
  return ElementRead::kElement;
}

// A CRC-32 element first in [data, end) must match the rest.
bool CrcHolds(CarvedBytes& f, uint64_t data, uint64_t end) {
  Element crc;
  if (ReadElement(f, data, crc) != ElementRead::kElement || crc.id != kCrc32) return true;
  uint32_t stored = 0, actual = 0;
  if (crc.size != 4 || crc.End() > end || !f.Le32(crc.data, stored)) return false;
  return f.Crc32(crc.End(), end - crc.End(), actual) && actual == stored;
}

// The elements of [data, end) fill it exactly.
bool ChildrenFill(CarvedBytes& f, uint64_t data, uint64_t end) {
  for (uint64_t at = data; at < end;) {
    Element e;
    if (ReadElement(f, at, e) != ElementRead::kElement || e.unknownSize || e.data > end ||
        e.size > end - e.data)
      return false;
    at = e.End();
  }
  return true;
}

// Walks a cluster of unknown size from its data: its children, up to the
// first element that is not one of them. Answers where the cluster ends.
CarvedFault WalkOpenCluster(CarvedBytes& f, uint64_t at, uint64_t limit, uint64_t& end) {
  while (at < limit) {
    Element e;
    const ElementRead read = ReadElement(f, at, e);
    if (read == ElementRead::kPastExtent) return CarvedFault::kRunsOff;
    if (read == ElementRead::kNotAnElement || !ClusterChildId(e.id)) break;
    if (e.unknownSize) return CarvedFault::kBadStructure;
    if (e.data > limit || e.size > limit - e.data) return CarvedFault::kRunsOff;
    at = e.End();
  }
  end = at;
  return CarvedFault::kNone;
}

}  // namespace

CarvedVerdict CheckMatroska(CarvedBytes& f) {
  const uint64_t extent = f.Extent();
  Element header;
  if (ReadElement(f, 0, header) != ElementRead::kElement || header.id != kEbmlId ||
      header.unknownSize)
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Holds(header.data, header.size)) return DamagedVerdict(CarvedFault::kRunsOff);
  if (!ChildrenFill(f, header.data, header.End()))
    return DamagedVerdict(CarvedFault::kBadStructure);
  bool matroska = false;
  for (uint64_t at = header.data; at < header.End();) {
    Element e;
    (void)ReadElement(f, at, e);
    if (e.id == kDocType) {
      matroska =
          (e.size == 8 && f.HasAt(e.data, "matroska")) || (e.size == 4 && f.HasAt(e.data, "webm"));
    }
    at = e.End();
  }
  if (!matroska) return DamagedVerdict(CarvedFault::kBadStructure);
  // Void elements may stand between the header and the segment.
  uint64_t at = header.End();
  Element segment;
  for (;;) {
    const ElementRead read = ReadElement(f, at, segment);
    if (read == ElementRead::kPastExtent) return DamagedVerdict(CarvedFault::kRunsOff);
    if (read != ElementRead::kElement) return DamagedVerdict(CarvedFault::kBadStructure);
    if (segment.id == kSegment) break;
    if (segment.id != kVoid || segment.unknownSize)
      return DamagedVerdict(CarvedFault::kBadStructure);
    at = segment.End();
  }
  const bool open = segment.unknownSize;
  if (!open && !f.Holds(segment.data, segment.size)) return DamagedVerdict(CarvedFault::kRunsOff);
  const uint64_t limit = open ? extent : segment.End();
  bool info = false, tracks = false;
  at = segment.data;
  while (at < limit) {
    Element e;
    const ElementRead read = ReadElement(f, at, e);
    if (read == ElementRead::kPastExtent) return DamagedVerdict(CarvedFault::kRunsOff);
    if (read == ElementRead::kNotAnElement || !TopLevelId(e.id)) {
      if (open) break;  // the end of a live-written segment
      return DamagedVerdict(CarvedFault::kBadStructure);
    }
    if (e.unknownSize) {
      if (e.id != kCluster) return DamagedVerdict(CarvedFault::kBadStructure);
      uint64_t end = 0;
      if (const CarvedFault fault = WalkOpenCluster(f, e.data, limit, end);
          fault != CarvedFault::kNone)
        return DamagedVerdict(fault);
      at = end;
      continue;
    }
    if (e.data > limit || e.size > limit - e.data)
      return DamagedVerdict(open || limit == extent ? CarvedFault::kRunsOff
                                                    : CarvedFault::kBadStructure);
    if (e.id == kInfo) info = true;
    if (e.id == kTracks) tracks = true;
    if (e.id != kVoid && e.id != kCrc32 && !CrcHolds(f, e.data, e.End()))
      return DamagedVerdict(f.ReadFailed() ? CarvedFault::kUnreadable : CarvedFault::kChecksum);
    if (e.id == kCluster && !ChildrenFill(f, e.data, e.End()))
      return DamagedVerdict(CarvedFault::kBadStructure);
    at = e.End();
  }
  if (!info || !tracks) return DamagedVerdict(CarvedFault::kBadStructure);
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  if (open) return {};
  return CompleteVerdict(segment.End());
}

}  // namespace brinvale
