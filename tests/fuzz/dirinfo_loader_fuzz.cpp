// The folder-name file loader on arbitrary bytes, then an encode of each
// entry that must load back the same.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "results/folder_entry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale;
  std::vector<FolderEntry> entries;
  ParseFolderEntries(std::span<const uint8_t>(data, size), entries);
  if (entries.size() != size / dirinfo::kSize) std::abort();
  std::vector<uint8_t> bytes(dirinfo::kSize);
  for (const auto& e : entries) {
    if (e.name.size() >= dirinfo::kNameBytes) std::abort();
    EncodeFolderEntry(e, bytes);
    std::vector<FolderEntry> back;
    ParseFolderEntries(bytes, back);
    if (back.size() != 1 || back[0].cluster != e.cluster || back[0].number != e.number ||
        e.name.compare(0, back[0].name.size(), back[0].name) != 0)
      std::abort();
  }
  return 0;
}
