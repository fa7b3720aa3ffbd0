#include "deepscan/formats/directory_bytes.h"

#include <algorithm>

#include "common/error_codes.h"

namespace brinvale {

std::span<const uint8_t> DirectoryBytes(SizingContext& ctx, std::span<const uint8_t> buffer,
                                        uint64_t needed) {
  if (needed <= buffer.size()) return buffer;
  const uint32_t bps = ctx.bytesPerSector;
  if (ctx.reader == nullptr || bps == 0 || bps > SizingContext::kMaxBytesPerSector) return {};
  const uint64_t total = ctx.reader->totalSectors;
  const uint64_t left = ctx.startSector < total ? total - ctx.startSector : 0;
  const uint32_t count = uint32_t(std::min<uint64_t>(SizingContext::kChunkBytes / bps, left));
  if (count == 0) return {};
  std::span<uint8_t> bytes = ctx.ChunkBuffer().first(size_t(count) * bps);
  if (ctx.Read(ctx.startSector, count, bytes) != kOk || needed > bytes.size()) return {};
  return bytes;
}

}  // namespace brinvale
