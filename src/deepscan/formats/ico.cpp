// Windows icons: a directory of images stored one after the other.
#include <algorithm>

#include "common/bytes.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/directory_bytes.h"
#include "deepscan/formats/formats.h"

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
