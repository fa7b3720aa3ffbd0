#include "engines/ntfs/record_names.h"

#include "common/bytes.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {

namespace {

// $STANDARD_INFORMATION value offsets of the three times.
constexpr size_t kStandardCreated = 0x00;
constexpr size_t kStandardModified = 0x08;
constexpr size_t kStandardAccessed = 0x18;
constexpr size_t kStandardTimesBytes = 0x20;

struct StandardTimes {
  bool found = false;
  uint64_t created = 0, modified = 0, accessed = 0;
};

// The times of a resident $STANDARD_INFORMATION whose value lies inside it.
bool ReadStandardTimes(std::span<const uint8_t> attribute, StandardTimes& out) {
  if (attribute.size() < ntfs::attr::kResidentHeaderBytes ||
      attribute[ntfs::attr::kNonResident] != 0)
    return false;
  const size_t length = LoadLe32(attribute, ntfs::attr::kValueLength);
  const size_t offset = LoadLe16(attribute, ntfs::attr::kValueOffset);
  if (length < kStandardTimesBytes || offset > attribute.size() ||
      attribute.size() - offset < kStandardTimesBytes)
    return false;
  const auto value = attribute.subspan(offset);
  out.found = true;
  out.created = LoadLe64(value, kStandardCreated);
  out.modified = LoadLe64(value, kStandardModified);
  out.accessed = LoadLe64(value, kStandardAccessed);
  return true;
}

}  // namespace

RecordNames ReadRecordNames(std::span<const uint8_t> record, uint32_t recordSize, WalkKind kind) {
  RecordNames out;
  StandardTimes standard;
  AttributeWalk walk(record, recordSize, kind);
  while (walk.Next()) {
    const auto attribute = walk.Attribute();
    if (walk.Type() == ntfs::kTypeStandardInformation && !standard.found) {
      (void)ReadStandardTimes(attribute, standard);
    } else if (walk.Type() == ntfs::kTypeFileName) {
      FileNameInfo info;
      if (!DecodeFileName(attribute, info)) continue;
      if (!out.found) {
        out.found = true;
        out.name = info.name;
        out.size = info.dataSize;
        out.first = std::move(info);
      } else if (info.nameSpace == ntfs::file_name::kNamespaceWin32) {
        out.name = info.name;
      }
    } else if (walk.Type() == ntfs::kTypeData && out.found && !out.dataSeen &&
               attribute[ntfs::attr::kNameLength] == 0) {
      out.dataSeen = true;
      if (attribute[ntfs::attr::kNonResident] == 0) {
        out.size = LoadLe32(attribute, ntfs::attr::kValueLength);
      } else if (attribute.size() >= ntfs::attr::kDataSize + 8) {
        out.size = LoadLe64(attribute, ntfs::attr::kDataSize);
      }
    }
  }
  if (out.found && standard.found) {
    out.first.created = standard.created;
    out.first.modified = standard.modified;
    out.first.accessed = standard.accessed;
  }
  return out;
}

}  // namespace brinvale
