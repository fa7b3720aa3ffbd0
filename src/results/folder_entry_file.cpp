#include "results/folder_entry_file.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "results/scan_record.h"

namespace brinvale {

FolderEntry MakeFolderEntry(uint32_t cluster, uint32_t number, std::string_view name) {
  return FolderEntry{cluster, number, std::string(CutUtf8(name, dirinfo::kNameBytes - 1))};
}

void EncodeFolderEntry(const FolderEntry& entry, std::span<uint8_t> bytes) {
  std::fill(bytes.begin(), bytes.begin() + dirinfo::kSize, uint8_t(0));
  StoreLe32(bytes, dirinfo::kCluster, entry.cluster);
  StoreLe32(bytes, dirinfo::kNumber, entry.number);
  std::string_view name = CutUtf8(entry.name, dirinfo::kNameBytes - 1);
  std::memcpy(bytes.data() + dirinfo::kName, name.data(), name.size());
}

void ParseFolderEntries(std::span<const uint8_t> bytes, std::vector<FolderEntry>& out) {
  const size_t whole = bytes.size() / dirinfo::kSize;
  out.reserve(out.size() + whole);
  for (size_t i = 0; i < whole; ++i) {
    auto e = bytes.subspan(i * dirinfo::kSize, dirinfo::kSize);
    const char* name = reinterpret_cast<const char*>(e.data() + dirinfo::kName);
    out.push_back(FolderEntry{LoadLe32(e, dirinfo::kCluster), LoadLe32(e, dirinfo::kNumber),
                              std::string(name, strnlen(name, dirinfo::kNameBytes - 1))});
  }
}

}  // namespace brinvale
