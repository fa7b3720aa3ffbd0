#include "engines/ntfs/attribute_list.h"

#include <algorithm>
#include <new>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/ntfs/attribute.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/run_list.h"

namespace brinvale {

using namespace ntfs;

int ReadAttributeListBytes(const NtfsVolume& volume, SectorReader& reader,
                           std::span<const uint8_t> attribute, std::vector<uint8_t>& bytes) {
  bytes.clear();
  try {
    if (!IsNonResident(attribute)) {
      auto value = ResidentValue(attribute);
      if (!value) return kErrInvalidParameter;
      bytes.assign(value->begin(), value->end());
      return kOk;
    }
    auto dataSize = NonResidentDataSize(attribute);
    if (!dataSize || volume.bytesPerSector == 0 || volume.sectorsPerCluster == 0)
      return kErrInvalidParameter;
    const size_t wanted = size_t(std::min<uint64_t>(*dataSize, kMaxAttributeListBytes));
    RunList runs;
    DecodeRunList(attribute, runs);
    std::vector<PlacedRun> placed;
    PlaceRuns(runs, placed);
    std::vector<uint8_t> sector(volume.bytesPerSector);
    for (const PlacedRun& run : placed) {
      uint64_t runSectors = 0;
      if (__builtin_mul_overflow(run.clusterCount, uint64_t(volume.sectorsPerCluster), &runSectors))
        return kErrInvalidParameter;
      for (uint64_t i = 0; i < runSectors && bytes.size() < wanted; ++i) {
        if (run.sparse) {
          std::fill(sector.begin(), sector.end(), 0);
        } else {
          uint64_t at = 0;
          if (__builtin_mul_overflow(run.startCluster, uint64_t(volume.sectorsPerCluster), &at) ||
              __builtin_add_overflow(at, i, &at) ||
              __builtin_add_overflow(at, volume.startSector, &at))
            return kErrInvalidParameter;
          uint32_t got = 0;
          if (int rc = ReadSectors(1, reader, sector.data(), at, volume.bytesPerSector, got);
              rc != kOk)
            return rc;
        }
        const size_t take = std::min<size_t>(sector.size(), wanted - bytes.size());
        bytes.insert(bytes.end(), sector.begin(), sector.begin() + ptrdiff_t(take));
      }
      if (bytes.size() >= wanted) break;
    }
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

void ParseAttributeList(std::span<const uint8_t> bytes, std::vector<AttributeListEntry>& entries) {
  size_t at = 0;
  while (bytes.size() - at >= list_entry::kMinBytes) {
    const uint32_t type = LoadLe32(bytes, at + list_entry::kType);
    if (type == 0 || type == kTypeEnd) break;
    const uint16_t length = LoadLe16(bytes, at + list_entry::kLength);
    if (length < list_entry::kMinBytes || length > bytes.size() - at) break;
    auto entry = bytes.subspan(at, length);
    AttributeListEntry e;
    e.type = type;
    const size_t nameBytes = size_t(entry[list_entry::kNameLength]) * 2;
    const size_t nameAt = entry[list_entry::kNameOffset];
    if (nameBytes > 0) {
      if (nameAt > entry.size() || nameBytes > entry.size() - nameAt) break;  // name outside
      e.name = entry.subspan(nameAt, nameBytes);
    }
    e.lowestVcn = LoadLe64(entry, list_entry::kLowestVcn);
    e.recordNumber = LoadLe64(entry, list_entry::kRecord) & kRecordNumberMask;
    entries.push_back(e);
    at += length;
  }
}

}  // namespace brinvale
