#include "engines/ntfs/record_names.h"

#include "common/bytes.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {

RecordNames ReadRecordNames(std::span<const uint8_t> record, uint32_t recordSize, WalkKind kind) {
  RecordNames out;
  AttributeWalk walk(record, recordSize, kind);
  while (walk.Next()) {
    const auto attribute = walk.Attribute();
    if (walk.Type() == ntfs::kTypeFileName) {
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
  return out;
}

}  // namespace brinvale
