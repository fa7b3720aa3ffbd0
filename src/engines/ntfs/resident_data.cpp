#include "engines/ntfs/resident_data.h"

#include <new>
#include <optional>
#include <span>

#include "common/error_codes.h"
#include "engines/ntfs/attribute.h"
#include "engines/ntfs/attribute_walk.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/fixups.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {
namespace {

using namespace ntfs;

// Reads and repairs the record, then finds the first unnamed $DATA with
// the walk `kind`. Returns 0 with `found` set or empty, -1 for a record that
// is not FILE, or the read's error.
int FindUnnamedData(const NtfsVolume& volume, SectorReader& reader, uint64_t sector, WalkKind kind,
                    std::vector<uint8_t>& record, std::optional<std::span<const uint8_t>>& found) {
  record.assign(volume.recordSize, 0);
  if (int rc = ReadRecord(volume, reader, sector, record); rc != kOk) return rc;
  if (!HasFileSignature(record)) return kNotFileRecord;
  ApplyFixups(record, volume.recordSize);
  AttributeWalk walk(record, volume.recordSize, kind);
  while (walk.Next()) {
    if (walk.Type() == kTypeData && IsUnnamed(walk.Attribute())) {
      found = walk.Attribute();
      break;
    }
  }
  return kOk;
}

}  // namespace

int ReadResidentData(const NtfsVolume& volume, SectorReader& reader, uint64_t recordSector,
                     std::vector<uint8_t>& data) {
  try {
    std::vector<uint8_t> record;
    std::optional<std::span<const uint8_t>> attribute;
    int rc =
        FindUnnamedData(volume, reader, recordSector, WalkKind::kResidentData, record, attribute);
    if (rc == kNotFileRecord) return kNotResidentData;
    if (rc != kOk) return rc;
    if (!attribute || IsNonResident(*attribute)) return kNotResidentData;
    auto value = ResidentValue(*attribute);
    if (!value || value->size() >= volume.recordSize) return kErrInvalidParameter;
    data.assign(value->begin(), value->end());
    return kOk;
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
