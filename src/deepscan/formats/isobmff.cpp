// ISO base media files: MP4, 3GP and QuickTime.
#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walk_fields.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

// The first box is "ftyp" (size at 0, type at 4, major brand at 8).
int DetectMp4(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 32 || !HasAt(b, 4, "ftyp")) return kTypeUnknown;
  return HasAt(b, 8, "iso") || HasAt(b, 8, "mp42") ? kTypeMp4 : kTypeUnknown;
}

// Some encoders close the file with a "free" box holding their name; the
// file then ends after that text and the non-zero bytes that follow it.
uint64_t SizeMp4(SizingContext& ctx, std::span<const uint8_t> b) {
  constexpr std::string_view kProducedBy = "freeIsoMedia File Produced";
  ChunkReader chunks(ctx, 6 * kGiB, NextStartRule::kAnyFormat);
  chunks.SetStartSector(b);
  while (chunks.Next()) {
    const auto part = chunks.Window();
    size_t end = FindBytes(part, kProducedBy, chunks.SearchFrom(kProducedBy.size()));
    if (end == kNotFound) continue;
    end += kProducedBy.size();
    while (end < part.size() && part[end] != 0) ++end;
    return std::min(chunks.Counted(), chunks.WindowOffset() + end);
  }
  return chunks.Counted();
}

int Detect3gp(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 32 && HasAt(b, 4, "ftyp") && HasAt(b, 8, "3gp") ? kType3gp : kTypeUnknown;
}

uint64_t Size3gp(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

// A movie box first, or a file type box with the QuickTime brand.
int DetectMov(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16) return kTypeUnknown;
  return HasAt(b, 0, "moov") || (HasAt(b, 4, "ftyp") && HasAt(b, 8, "qt  ")) ? kTypeMov
                                                                             : kTypeUnknown;
}

uint64_t SizeMov(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 6 * kGiB);
}

}  // namespace brinvale

// The box walk of an ISO base media file (MP4, MOV, 3GP, M4A): top-level
// boxes (32-bit BE size, four-letter type; size 1: a 64-bit size after the
// type; size 0: the box runs to the end of the file) one after the other.
// The file type box comes first (a QuickTime file may start with its movie
// or media data), the movie box is needed, and the boxes inside it down to
// the sample tables fill their parents exactly; every chunk offset of the
// sample tables points into a media data box. The file ends before the
// first bytes that are no box; a last box of size 0 states no length, so
// such a file stays unchecked.
namespace brinvale {

namespace {

struct Box {
  uint64_t at = 0, header = 0, size = 0;
  char type[4] = {};
  std::string_view Type() const { return std::string_view(type, 4); }
};

enum class BoxRead { kBox, kNotABox, kToTheEnd, kPastExtent };

bool BoxNameByte(uint8_t c) { return (c >= 0x20 && c <= 0x7E) || c == 0xA9; }

// The box header at `at`, inside [at, limit).
BoxRead ReadBox(CarvedBytes& f, uint64_t at, uint64_t limit, Box& box) {
  uint32_t size32 = 0;
  uint8_t type[4];
  if (limit - at < 8) return BoxRead::kNotABox;
  if (!f.Be32(at, size32) || !f.Read(at + 4, type)) return BoxRead::kPastExtent;
  for (int i = 0; i < 4; ++i) {
    if (!BoxNameByte(type[i])) return BoxRead::kNotABox;
    box.type[i] = char(type[i]);
  }
  box.at = at;
  box.header = 8;
  box.size = size32;
  if (size32 == 0) return BoxRead::kToTheEnd;
  if (size32 == 1) {
    if (limit - at < 16) return BoxRead::kNotABox;
    if (!Be64(f, at + 8, box.size)) return BoxRead::kPastExtent;
    box.header = 16;
  }
  if (box.size < box.header) return BoxRead::kNotABox;
  return box.size > limit - at ? BoxRead::kPastExtent : BoxRead::kBox;
}

bool KnownTopLevel(std::string_view t) {
  for (std::string_view k : {"ftyp", "moov", "mdat", "free", "skip", "wide", "uuid", "moof", "mfra",
                             "meta", "pdin", "styp", "sidx", "ssix", "prft", "emsg", "pnot"})
    if (t == k) return true;
  return false;
}

struct Range {
  uint64_t begin, end;
};
constexpr size_t kMaxMediaBoxes = 4096;

// Checks the chunk offsets of one "stco" (32-bit) or "co64" (64-bit) box:
// each one lies in the data of a media data box.
bool ChunkOffsetsHold(CarvedBytes& f, const Box& box, const std::vector<Range>& media) {
  const bool wide = box.Type() == "co64";
  const uint64_t data = box.at + box.header, end = box.at + box.size;
  uint32_t count = 0;
  if (end - data < 8 || !f.Be32(data + 4, count)) return false;
  const uint64_t width = wide ? 8 : 4;
  if (count > (end - data - 8) / width) return false;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t offset = 0;
    uint32_t narrow = 0;
    const uint64_t at = data + 8 + i * width;
    if (wide ? !Be64(f, at, offset) : !f.Be32(at, narrow)) return false;
    if (!wide) offset = narrow;
    // The media boxes stand in file order: the last one starting at or
    // before the offset is the only one that can hold it.
    const auto after = std::upper_bound(media.begin(), media.end(), offset,
                                        [](uint64_t o, const Range& r) { return o < r.begin; });
    if (after == media.begin() || offset >= std::prev(after)->end) return false;
  }
  return true;
}

// Walks the boxes inside [begin, end) of a container; they fill it exactly
// (a QuickTime container may close with four zero bytes). Descends into
// the containers on the way to the sample tables and checks their chunk
// offsets.
CarvedFault WalkContainer(CarvedBytes& f, uint64_t begin, uint64_t end, int depth,
                          const std::vector<Range>& media, bool offsets) {
  uint64_t at = begin;
  while (at < end) {
    Box box;
    const BoxRead read = ReadBox(f, at, end, box);
    if (read != BoxRead::kBox) {
      uint32_t terminator = 1;
      if (end - at == 4 && f.Be32(at, terminator) && terminator == 0) return CarvedFault::kNone;
      return CarvedFault::kBadStructure;
    }
    const std::string_view t = box.Type();
    if (depth < 6 && (t == "trak" || t == "mdia" || t == "minf" || t == "stbl")) {
      const CarvedFault inner =
          WalkContainer(f, box.at + box.header, box.at + box.size, depth + 1, media, offsets);
      if (inner != CarvedFault::kNone) return inner;
    } else if (offsets && (t == "stco" || t == "co64") && !ChunkOffsetsHold(f, box, media)) {
      return CarvedFault::kBadStructure;
    }
    at += box.size;
  }
  return CarvedFault::kNone;
}

}  // namespace

CarvedVerdict CheckIsoBmff(CarvedBytes& f) {
  const uint64_t extent = f.Extent();
  std::vector<Range> media;
  Box moov;
  bool haveMoov = false, toTheEnd = false, manyMedia = false;
  uint64_t at = 0;
  for (bool first = true; at < extent; first = false) {
    Box box;
    const BoxRead read = ReadBox(f, at, extent, box);
    const bool known = read != BoxRead::kNotABox && KnownTopLevel(box.Type());
    if (first) {
      const std::string_view t = box.Type();
      if (read == BoxRead::kNotABox ||
          !(t == "ftyp" || t == "moov" || t == "mdat" || t == "wide" || t == "free" || t == "skip"))
        return DamagedVerdict(CarvedFault::kBadStructure);
      if (t == "ftyp" && read == BoxRead::kBox && (box.size < 16 || (box.size - 16) % 4 != 0))
        return DamagedVerdict(CarvedFault::kBadStructure);
    }
    if (read == BoxRead::kNotABox) break;
    if (read == BoxRead::kPastExtent) {
      if (known || !haveMoov) return DamagedVerdict(CarvedFault::kRunsOff);
      break;  // bytes after the file that happen to start like a box
    }
    if (read == BoxRead::kToTheEnd) {
      if (!known) break;
      box.size = extent - at;
      toTheEnd = true;
    }
    if (box.Type() == "mdat") {
      if (media.size() == kMaxMediaBoxes) manyMedia = true;
      if (!manyMedia) media.push_back({box.at + box.header, box.at + box.size});
    }
    if (box.Type() == "moov") {
      if (haveMoov) return DamagedVerdict(CarvedFault::kBadStructure);
      moov = box;
      haveMoov = true;
    }
    at += box.size;
    if (toTheEnd) break;
  }
  if (!haveMoov) return DamagedVerdict(CarvedFault::kBadStructure);
  // Past so many media data boxes (fragments) their offsets are not followed.
  if (manyMedia) media.clear();
  if (const CarvedFault fault =
          WalkContainer(f, moov.at + moov.header, moov.at + moov.size, 0, media, !manyMedia);
      fault != CarvedFault::kNone)
    return DamagedVerdict(fault);
  if (f.ReadFailed()) return DamagedVerdict(CarvedFault::kUnreadable);
  if (toTheEnd) return {};
  return CompleteVerdict(at);
}

}  // namespace brinvale
