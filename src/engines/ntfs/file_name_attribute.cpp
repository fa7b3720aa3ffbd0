#include "engines/ntfs/file_name_attribute.h"

#include "common/bytes.h"
#include "engines/ntfs/attribute.h"
#include "engines/ntfs/ntfs_layout.h"

namespace brinvale {

using namespace ntfs;

bool DecodeFileName(std::span<const uint8_t> a, FileNameInfo& info) {
  if (a.size() < file_name::kName || AttributeType(a) != kTypeFileName || IsNonResident(a))
    return false;
  const size_t length = a[file_name::kNameLength];
  if (a.size() - file_name::kName < 2 * length) return false;
  FileNameInfo out;
  const uint64_t parent = LoadLe64(a, file_name::kParent);
  out.parentRecord = parent & kRecordNumberMask;
  out.parentSequence = uint16_t(parent >> 48);
  out.created = LoadLe64(a, file_name::kCreated);
  out.modified = LoadLe64(a, file_name::kModified);
  out.accessed = LoadLe64(a, file_name::kAccessed);
  out.dataSize = LoadLe64(a, file_name::kDataSize);
  out.nameSpace = a[file_name::kNamespace];
  out.name.resize(length);
  for (size_t i = 0; i < length; ++i) out.name[i] = char16_t(LoadLe16(a, file_name::kName + 2 * i));
  info = std::move(out);
  return true;
}

}  // namespace brinvale
