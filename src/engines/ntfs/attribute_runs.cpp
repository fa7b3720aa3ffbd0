#include "engines/ntfs/attribute_runs.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "common/error_codes.h"
#include "engines/ntfs/attribute.h"
#include "engines/ntfs/attribute_list.h"
#include "engines/ntfs/attribute_walk.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/record_to_sector.h"

namespace brinvale {
namespace {

using namespace ntfs;

using Record = std::vector<uint8_t>;

bool SameName(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// The attribute of `type` this lookup is after: for $DATA the unnamed one.
bool IsWanted(std::span<const uint8_t> attribute, uint32_t type) {
  return AttributeType(attribute) == type && (type != kTypeData || IsUnnamed(attribute));
}

// In a repaired record, the non-resident piece of `type` named `name` that
// starts at cluster `lowestVcn`.
std::optional<std::span<const uint8_t>> FindPiece(std::span<const uint8_t> record,
                                                  uint32_t recordSize, uint32_t type,
                                                  std::span<const uint8_t> name,
                                                  uint64_t lowestVcn) {
  AttributeWalk walk(record, recordSize, WalkKind::kFindRuns);
  while (walk.Next()) {
    auto a = walk.Attribute();
    if (AttributeType(a) != type || size_t(a[attr::kNameLength]) * 2 != name.size() ||
        !SameName(AttributeName(a), name))
      continue;
    if (LowestVcn(a) == lowestVcn) return a;
  }
  return std::nullopt;
}

// Appends, in list order, the pieces of the attribute of `type` that the
// list names. Stops at the first piece that cannot be read or does not
// continue where the runs before it ended, so no run is ever placed at
// the wrong point of the file.
void FollowAttributeList(const NtfsVolume& volume, SectorReader& reader,
                         std::span<const uint8_t> base, std::span<const uint8_t> listAttribute,
                         uint32_t type, RunList& runs) {
  std::vector<uint8_t> bytes;
  ReadAttributeListBytes(volume, reader, listAttribute, bytes);  // keeps what arrived
  std::vector<AttributeListEntry> entries;
  ParseAttributeList(bytes, entries);
  const uint64_t baseNumber = RecordNumberOf(base);
  std::optional<std::span<const uint8_t>> name;  // the name of the first piece
  uint64_t nextVcn = 0;
  Record extension;
  for (const AttributeListEntry& entry : entries) {
    if (entry.type != type) continue;
    if (type == kTypeData && !entry.name.empty()) continue;  // a named stream
    if (!name) name = entry.name;
    if (!SameName(*name, entry.name)) continue;
    if (entry.lowestVcn != nextVcn) return;
    std::span<const uint8_t> holder = base;
    if (entry.recordNumber != baseNumber) {
      uint64_t sector = 0;
      if (RecordToSector(volume, entry.recordNumber, sector) != kOk) return;
      if (LoadFileRecord(volume, reader, sector, extension) != kOk) return;
      // A reused record belongs to another file now.
      if (RecordNumberOf(extension) != uint32_t(entry.recordNumber) ||
          BaseRecordNumberOf(extension) != baseNumber)
        return;
      holder = extension;
    }
    auto piece = FindPiece(holder, volume.recordSize, type, entry.name, entry.lowestVcn);
    if (!piece) return;
    const size_t before = runs.size();
    if (DecodeRunList(*piece, runs) == 0) return;
    nextVcn += TotalClusters(std::span(runs).subspan(before));
  }
}

}  // namespace

int AttributeRunsOf(const NtfsVolume& volume, SectorReader& reader,
                    std::span<const uint8_t> record, uint32_t type, RunList& runs) {
  try {
    std::optional<std::span<const uint8_t>> wanted;
    std::optional<std::span<const uint8_t>> list;
    AttributeWalk walk(record, volume.recordSize, WalkKind::kFindRuns);
    while (walk.Next()) {
      auto a = walk.Attribute();
      if (!list && AttributeType(a) == kTypeAttributeList) list = a;
      if (!wanted && IsWanted(a, type)) wanted = a;
    }
    // Extension records never hold a list of their own; a base record's
    // list names every piece, including those in the base record.
    if (list && BaseRecordNumberOf(record) == 0) {
      const size_t before = runs.size();
      FollowAttributeList(volume, reader, record, *list, type, runs);
      if (runs.size() > before) return kOk;
    }
    if (wanted) {
      DecodeRunList(*wanted, runs);
      return kOk;
    }
    return list ? kOk : kAttributeNotFound;
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

int FindAttributeRuns(const NtfsVolume& volume, SectorReader& reader, uint64_t recordSector,
                      uint32_t type, RunList& runs) {
  try {
    Record record;
    if (int rc = LoadFileRecord(volume, reader, recordSector, record); rc != kOk) return rc;
    return AttributeRunsOf(volume, reader, record, type, runs);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
}

}  // namespace brinvale
