// Windows icons: a directory of images stored one after the other.
#include <algorithm>

#include "common/bytes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/directory_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

namespace {

// Header: reserved 0, type 1 (icon), image count at 4. Directory entries of
// 16 bytes from 6: width, height, colours, reserved (3), planes, bits, image
// size at 8, image offset at 12.
constexpr size_t kCountAt = 4, kDirectoryAt = 6, kEntryBytes = 16;
constexpr size_t kEntryReservedAt = 3, kImageSizeAt = 8, kImageOffsetAt = 12;

uint64_t DirectoryEnd(uint32_t count) { return kDirectoryAt + uint64_t(kEntryBytes) * count; }

}  // namespace

// Each image follows the directory and the images before it, with no gap.
int DetectIco(SizingContext&, std::span<const uint8_t> b) {
  if (b.size() < 16 || !HasAt(b, 0, "\x00\x00\x01\x00"sv)) return kTypeUnknown;
  const uint32_t count = LoadLe16(b, kCountAt);
  if (count == 0 || b.size() < DirectoryEnd(count)) return kTypeUnknown;
  uint64_t expected = DirectoryEnd(count);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = kDirectoryAt + kEntryBytes * i;
    if (b[entry + kEntryReservedAt] != 0 || LoadLe32(b, entry + kImageOffsetAt) != expected)
      return kTypeUnknown;
    expected += LoadLe32(b, entry + kImageSizeAt);
  }
  return kTypeIco;
}

// The end of the last image in the directory.
uint64_t SizeIco(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < kDirectoryAt) return ctx.bytesPerSector;
  const uint32_t count = LoadLe16(b, kCountAt);
  if (count == 0) return ctx.bytesPerSector;
  const auto bytes = DirectoryBytes(ctx, b, DirectoryEnd(count));
  if (bytes.empty()) return ctx.bytesPerSector;
  const size_t last = kDirectoryAt + kEntryBytes * (count - 1);
  return uint64_t(LoadLe32(bytes, last + kImageOffsetAt)) + LoadLe32(bytes, last + kImageSizeAt);
}

}  // namespace brinvale

// The directory walk of an icon: every image the directory lists lies
// inside the file and begins as a PNG or with a 40-byte bitmap info
// header; the file ends with the furthest image.
namespace brinvale {

CarvedVerdict CheckIco(CarvedBytes& f) {
  uint16_t reserved = 1, type = 0, count = 0;
  if (!f.Le16(0, reserved) || !f.Le16(2, type) || !f.Le16(kCountAt, count))
    return DamagedVerdict(CarvedFault::kRunsOff);
  if (reserved != 0 || (type != 1 && type != 2) || count == 0)
    return DamagedVerdict(CarvedFault::kBadStructure);
  const uint64_t directoryEnd = DirectoryEnd(count);
  if (!f.Holds(0, directoryEnd)) return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t end = directoryEnd;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t entry = kDirectoryAt + kEntryBytes * i;
    uint32_t size = 0, offset = 0, header = 0;
    if (!f.Le32(entry + kImageSizeAt, size) || !f.Le32(entry + kImageOffsetAt, offset))
      return DamagedVerdict(CarvedFault::kRunsOff);
    if (offset < directoryEnd || size < 8) return DamagedVerdict(CarvedFault::kBadStructure);
    if (!f.Holds(offset, size)) return DamagedVerdict(CarvedFault::kRunsOff);
    if (!f.HasAt(offset, "\x89PNG\r\n\x1A\n"sv) && !(f.Le32(offset, header) && header == 40))
      return DamagedVerdict(CarvedFault::kBadStructure);
    end = std::max(end, uint64_t(offset) + size);
  }
  return CompleteVerdict(end);
}

}  // namespace brinvale
