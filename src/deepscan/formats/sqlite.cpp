// SQLite 3 databases.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"

namespace brinvale {

using namespace std::literals;

int DetectSqlite(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "SQLite format 3\x00"sv) ? kTypeSqlite : kTypeUnknown;
}

uint64_t SizeSqlite(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 4 * kGiB);
}

}  // namespace brinvale
