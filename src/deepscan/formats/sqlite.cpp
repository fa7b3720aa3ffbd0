// SQLite 3 databases.
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

using namespace std::literals;

int DetectSqlite(SizingContext&, std::span<const uint8_t> b) {
  return HasAt(b, 0, "SQLite format 3\x00"sv) ? kTypeSqlite : kTypeUnknown;
}

uint64_t SizeSqlite(SizingContext& ctx, std::span<const uint8_t>) {
  return SizeUntilNextStart(ctx, 4 * kGiB);
}

}  // namespace brinvale

namespace brinvale {

namespace {

// The 100-byte header (big-endian): page size at 16 (1 for 65536), write
// and read versions at 18 and 19 (1 legacy, 2 WAL), payload fractions 64,
// 32, 32 at 21-23, change counter at 24, the database size in pages at 28,
// the first freelist trunk page at 32, the freelist page count at 36, and
// at 92 the change counter the size at 28 is valid for. Page 1's b-tree
// header follows at 100: a table b-tree page, leaf (13) or interior (5).
constexpr size_t kHeaderBytes = 100;

}  // namespace

// The database is its page count times its page size, when the header's
// size is valid: nonzero and written with the change counter it carries
// (writers older than 3.7.0 leave it stale, and then the file's length is
// stated nowhere: unchecked).
CarvedVerdict CheckSqlite(CarvedBytes& f) {
  uint8_t bytes[kHeaderBytes + 1];
  if (!f.Read(0, bytes)) return DamagedVerdict(CarvedFault::kRunsOff);
  const std::span<const uint8_t> h(bytes);
  if (!HasAt(h, 0, "SQLite format 3\x00"sv)) return DamagedVerdict(CarvedFault::kBadStructure);
  const uint32_t raw = LoadBe16(h, 16);
  const uint32_t pageSize = raw == 1 ? 65536 : raw;
  if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (h[18] < 1 || h[18] > 2 || h[19] < 1 || h[19] > 2 || h[21] != 64 || h[22] != 32 ||
      h[23] != 32)
    return DamagedVerdict(CarvedFault::kBadStructure);
  if (h[kHeaderBytes] != 13 && h[kHeaderBytes] != 5) return DamagedVerdict(CarvedFault::kBadStructure);
  const uint32_t pages = LoadBe32(h, 28);
  if (pages == 0 || LoadBe32(h, 24) != LoadBe32(h, 92)) return {};
  if (LoadBe32(h, 32) > pages || LoadBe32(h, 36) >= pages)
    return DamagedVerdict(CarvedFault::kBadStructure);
  const uint64_t length = uint64_t(pageSize) * pages;
  if (!f.Holds(0, length)) return DamagedVerdict(CarvedFault::kRunsOff);
  return CompleteVerdict(length);
}

}  // namespace brinvale
