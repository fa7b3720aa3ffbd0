#include "deepscan/formats/footer_sizing.h"

#include <algorithm>

#include "deepscan/chunk_reader.h"
#include "deepscan/format_bytes.h"

namespace brinvale {

uint64_t SizeToFirstFooter(SizingContext& ctx, std::span<const uint8_t> buffer,
                           std::string_view footer, uint64_t capBytes) {
  if (size_t end = FindFooter(buffer, footer, ctx.bytesPerSector); end != kNotFound) return end;
  ChunkReader chunks(ctx, capBytes, NextStartRule::kAnyFormat);
  chunks.SetStartSector(buffer);
  while (chunks.Next()) {
    const size_t end =
        FindFooter(chunks.Window(), footer, ctx.bytesPerSector, chunks.NewBytesFrom(footer.size()));
    if (end != kNotFound) return std::min(chunks.Counted(), chunks.WindowOffset() + end);
  }
  return chunks.Counted();
}

}  // namespace brinvale
