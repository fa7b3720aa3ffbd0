// Microsoft cabinets, which carry their length.
#include <algorithm>
#include <vector>

#include "common/bytes.h"
#include "deepscan/chunk_reader.h"
#include "deepscan/file_type_codes.h"
#include "deepscan/format_bytes.h"
#include "deepscan/formats/formats.h"
#include "deepscan/formats/walkers.h"

namespace brinvale {

int DetectCab(SizingContext&, std::span<const uint8_t> b) {
  return b.size() >= 36 && HasAt(b, 0, "MSCF") ? kTypeCab : kTypeUnknown;
}

// "MSCF", reserved, cabinet size at 8.
uint64_t SizeCab(SizingContext& ctx, std::span<const uint8_t> b) {
  if (b.size() < 36) return ctx.bytesPerSector;
  return std::min<uint64_t>(LoadLe32(b, 8), 1 * kGiB);
}

}  // namespace brinvale

namespace brinvale {

namespace {

// Header: "MSCF", the cabinet size at 8, the first file entry's offset at
// 16, version 1.3 (minor at 24, major at 25), folder count at 26, file
// count at 28, flags at 30 (1: a previous cabinet, 2: a next one, 4:
// reserved areas, their sizes at 36: header (2 bytes), folder and data
// (1 byte each)). Folder entries (8 bytes and the folder reserve): first
// data block's offset, block count. File entries (16 bytes and a name
// ending in zero): folder index at 8. Data blocks: checksum, compressed
// and uncompressed sizes (2 bytes each), the data reserve, the data.
constexpr uint64_t kHeaderBytes = 36, kFolderBytes = 8, kFileBytes = 16, kDataBytes = 8;
constexpr uint16_t kPrevious = 1, kNext = 2, kReserve = 4;
constexpr uint16_t kMaxCompressedBlock = 32768 + 6144;
constexpr uint64_t kMaxName = 256;

bool SkipName(CarvedBytes& f, uint64_t& at) {
  for (uint64_t i = 0; i <= kMaxName; ++i) {
    uint8_t c = 0;
    if (!f.Byte(at + i, c)) return false;
    if (c == 0) {
      at += i + 1;
      return true;
    }
  }
  return false;
}

// The cabinet checksum: the XOR of the little-endian words of `bytes`, a
// last partial word taken with its bytes in reverse, continued from `seed`.
uint32_t CabinetChecksum(std::span<const uint8_t> bytes, uint32_t seed) {
  uint32_t sum = seed;
  size_t i = 0;
  for (; i + 4 <= bytes.size(); i += 4) sum ^= LoadLe32(bytes, i);
  uint32_t last = 0;
  for (; i < bytes.size(); ++i) last = last << 8 | bytes[i];
  return sum ^ last;
}

}  // namespace

// Every folder's data blocks walked inside the cabinet size, each block's
// checksum checked where it has one (and the blocks have no reserved area,
// whose place in the sum varies between writers), and every file entry
// naming a folder of the cabinet. The file is the cabinet size.
CarvedVerdict CheckCab(CarvedBytes& f) {
  uint8_t bytes[kHeaderBytes];
  if (!f.Read(0, bytes)) return DamagedVerdict(CarvedFault::kRunsOff);
  const std::span<const uint8_t> h(bytes);
  if (!HasAt(h, 0, "MSCF") || h[25] != 1 || h[24] != 3)
    return DamagedVerdict(CarvedFault::kBadStructure);
  const uint32_t size = LoadLe32(h, 8), filesAt = LoadLe32(h, 16);
  const uint16_t folders = LoadLe16(h, 26), files = LoadLe16(h, 28), flags = LoadLe16(h, 30);
  if (size < kHeaderBytes || filesAt >= size) return DamagedVerdict(CarvedFault::kBadStructure);
  if (!f.Holds(0, size)) return DamagedVerdict(CarvedFault::kRunsOff);
  uint64_t at = kHeaderBytes;
  uint16_t headerReserve = 0;
  uint8_t folderReserve = 0, dataReserve = 0;
  if (flags & kReserve) {
    if (!f.Le16(at, headerReserve) || !f.Byte(at + 2, folderReserve) ||
        !f.Byte(at + 3, dataReserve))
      return DamagedVerdict(CarvedFault::kRunsOff);
    at += 4 + uint64_t(headerReserve);
  }
  for (const uint16_t link : {kPrevious, kNext})
    if ((flags & link) && (!SkipName(f, at) || !SkipName(f, at)))
      return DamagedVerdict(CarvedFault::kBadStructure);
  std::vector<uint8_t> data;
  for (uint16_t i = 0; i < folders; ++i) {
    const uint64_t entry = at + (kFolderBytes + folderReserve) * uint64_t(i);
    uint32_t block = 0;
    uint16_t blocks = 0;
    if (entry + kFolderBytes > size || !f.Le32(entry, block) || !f.Le16(entry + 4, blocks))
      return DamagedVerdict(CarvedFault::kBadStructure);
    for (uint16_t b = 0; b < blocks; ++b) {
      uint8_t head[kDataBytes];
      if (uint64_t(block) + kDataBytes + dataReserve > size || !f.Read(block, head))
        return DamagedVerdict(CarvedFault::kBadStructure);
      const uint32_t checksum = LoadLe32(head, 0);
      const uint16_t compressed = LoadLe16(head, 4);
      const uint64_t dataAt = uint64_t(block) + kDataBytes + dataReserve;
      if (compressed > kMaxCompressedBlock || dataAt + compressed > size)
        return DamagedVerdict(CarvedFault::kBadStructure);
      if (checksum != 0 && dataReserve == 0) {
        data.resize(compressed);
        if (!f.Read(dataAt, data)) return DamagedVerdict(CarvedFault::kRunsOff);
        const uint32_t sum =
            CabinetChecksum(std::span<const uint8_t>(head).subspan(4, 4), CabinetChecksum(data, 0));
        if (sum != checksum) return DamagedVerdict(CarvedFault::kChecksum);
      }
      block = uint32_t(dataAt + compressed);
    }
  }
  at = filesAt;
  for (uint16_t i = 0; i < files; ++i) {
    uint16_t folder = 0;
    if (at + kFileBytes > size || !f.Le16(at + 8, folder))
      return DamagedVerdict(CarvedFault::kBadStructure);
    if (folder >= folders && folder < 0xFFFD) return DamagedVerdict(CarvedFault::kBadStructure);
    at += kFileBytes;
    if (!SkipName(f, at) || at > size) return DamagedVerdict(CarvedFault::kBadStructure);
  }
  return CompleteVerdict(size);
}

}  // namespace brinvale
