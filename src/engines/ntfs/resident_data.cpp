#include "engines/ntfs/resident_data.h"

#include <new>
#include <optional>
#include <span>

#include "common/error_codes.h"
#include "engines/ntfs/attribute.h"
#include "engines/ntfs/attribute_walk.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {
namespace {

using namespace ntfs;

// The first unnamed $DATA of a repaired record, found with the walk `kind`.
std::optional<std::span<const uint8_t>> FindUnnamedData(const NtfsVolume& volume,
                                                        std::span<const uint8_t> record,
                                                        WalkKind kind) {
  AttributeWalk walk(record, volume.recordSize, kind);
  while (walk.Next())
    if (walk.Type() == kTypeData && IsUnnamed(walk.Attribute())) return walk.Attribute();
  return std::nullopt;
}

// Reads and repairs the record, then finds its first unnamed $DATA with the
// walk `kind`. Returns 0 with `found` set or empty, -1 for a record that is
// not FILE, or the read's error.
int FindUnnamedData(const NtfsVolume& volume, SectorReader& reader, uint64_t sector, WalkKind kind,
                    std::vector<uint8_t>& record, std::optional<std::span<const uint8_t>>& found) {
  if (int rc = LoadFileRecord(volume, reader, sector, record); rc != kOk) return rc;
  found = FindUnnamedData(volume, record, kind);
  return kOk;
}

}  // namespace

int ResidentDataOf(const NtfsVolume& volume, std::span<const uint8_t> record,
                   std::vector<uint8_t>& data) {
  try {
    const auto attribute = FindUnnamedData(volume, record, WalkKind::kResidentData);
    if (!attribute || IsNonResident(*attribute)) return kNotResidentData;
    auto value = ResidentValue(*attribute);
    if (!value || value->size() >= volume.recordSize) return kErrInvalidParameter;
    data.assign(value->begin(), value->end());
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int ReadResidentData(const NtfsVolume& volume, SectorReader& reader, uint64_t recordSector,
                     std::vector<uint8_t>& data) {
  try {
    std::vector<uint8_t> record;
    const int rc = LoadFileRecord(volume, reader, recordSector, record);
    if (rc == kNotFileRecord) return kNotResidentData;
    if (rc != kOk) return rc;
    return ResidentDataOf(volume, record, data);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int ReadDataSize(const NtfsVolume& volume, SectorReader& reader, uint64_t recordSector,
                 uint64_t& size) {
  try {
    std::vector<uint8_t> record;
    std::optional<std::span<const uint8_t>> attribute;
    if (int rc =
            FindUnnamedData(volume, reader, recordSector, WalkKind::kDataSize, record, attribute);
        rc != kOk)
      return rc;
    if (!attribute) return kErrInvalidParameter;
    if (IsNonResident(*attribute)) {
      auto dataSize = NonResidentDataSize(*attribute);
      if (!dataSize) return kErrInvalidParameter;
      size = *dataSize;
    } else {
      auto value = ResidentValue(*attribute);
      if (!value) return kErrInvalidParameter;
      size = value->size();
    }
    return kOk;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
