#include "engines/medium_stamp.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <vector>

#include "common/error_codes.h"
#include "common/fnv_hash.h"
#include "platform/volume.h"

namespace brinvale {
namespace {

// What a content stamp was made from, hashed first so that the two kinds
// never agree by accident.
constexpr uint64_t kFreeRangesKind = 1;
constexpr uint64_t kEndsKind = 2;

constexpr uint64_t kEndBytes = 1 << 20;  // hashed at each end without a map

// The free ranges `quick` gives from sector 0, hashed; false when it maps
// no free space.
bool HashFreeRanges(IRidiRedazuvoParse& quick, Fnv1a64& hash) {
  if (quick.BuildAllocationMap() != kOk) return false;
  hash.AddLe64(kFreeRangesKind);
  uint64_t from = 0;
  uint64_t ranges = 0;
  for (;;) {
    uint64_t start = from, length = 0;
    if (quick.NextFreeRange(start, length) != 1) return false;
    // Every range lies past the one before, so the walk ends.
    if (length == 0 || start < from) break;
    hash.AddLe64(start);
    hash.AddLe64(length);
    ++ranges;
    from = start + length;
  }
  hash.AddLe64(ranges);
  return ranges != 0;
}

// Hashes `sectors` sectors from `first`, read in requests of at most 64 KiB.
// A request that fails is hashed as its error code, so an unreadable stretch
// gives the same stamp each time.
void HashSectors(SectorReader& reader, uint64_t first, uint64_t sectors, uint32_t bytesPerSector,
                 Fnv1a64& hash) {
  const uint32_t perRead = std::max<uint32_t>(1, uint32_t(kReadChunkBytes / bytesPerSector));
  std::vector<uint8_t> buffer(size_t(perRead) * bytesPerSector);
  for (uint64_t done = 0; done < sectors;) {
    const uint32_t count = uint32_t(std::min<uint64_t>(perRead, sectors - done));
    uint32_t got = 0;
    const int rc = ReadSectors(count, reader, buffer.data(), first + done, bytesPerSector, got);
    hash.AddLe64(uint64_t(uint32_t(rc)));
    hash.Add(
        std::span<const uint8_t>(buffer.data(), size_t(std::min(got, count)) * bytesPerSector));
    done += count;
  }
}

}  // namespace

uint64_t ContentStamp(IRidiRedazuvoParse* quick, SectorReader& reader, uint64_t start,
                      uint64_t count, uint32_t bytesPerSector) {
  {
    Fnv1a64 ranges;
    if (quick != nullptr && HashFreeRanges(*quick, ranges)) return ranges.Value();
  }
  Fnv1a64 hash;
  hash.AddLe64(kEndsKind);
  if (bytesPerSector == 0) return hash.Value();
  const uint64_t endSectors = std::min<uint64_t>(count, kEndBytes / bytesPerSector);
  HashSectors(reader, start, endSectors, bytesPerSector, hash);
  // The last MiB, or what of it the first did not already cover.
  const uint64_t lastFirst = std::max(endSectors, count - endSectors);
  HashSectors(reader, start + lastFirst, count - lastFirst, bytesPerSector, hash);
  return hash.Value();
}

uint64_t PartitionStamp(char16_t driveLetter, IRidiRedazuvoParse* quick, SectorReader& reader,
                        uint64_t start, uint64_t count, uint32_t bytesPerSector) {
  uint64_t freeBytes = 0;
  if (driveLetter != 0 && platform::DriveLetterFreeSpace(driveLetter, freeBytes) == kOk)
    return freeBytes;
  return ContentStamp(quick, reader, start, count, bytesPerSector);
}

uint64_t ImageStamp(const std::filesystem::path& image) {
  std::error_code ec;
  const auto written = std::filesystem::last_write_time(image, ec);
  if (ec) return 0;
  using namespace std::chrono;
  // FILETIME counts 100 ns intervals from 1601; the Unix epoch is
  // 11,644,473,600 seconds later.
  const auto since1970 = duration_cast<duration<int64_t, std::ratio<1, 10'000'000>>>(
      file_clock::to_sys(written).time_since_epoch());
  const int64_t ticks = since1970.count() + 116'444'736'000'000'000LL;
  return ticks > 0 ? uint64_t(ticks) : 0;
}

}  // namespace brinvale
