// The archive reader over any bytes: listing them and reading every member
// (bounded), as the preview does with a found archive or office document.
#include <cstddef>
#include <cstdint>
#include <span>

#include "preview/archive_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale::preview;
  const std::span<const uint8_t> bytes(data, size);
  ArchiveLimits limits;
  limits.maxEntries = 64;
  limits.maxMemberBytes = 1u << 20;
  std::vector<ArchiveEntry> entries;
  ListArchiveBytes(bytes, entries, limits);
  size_t total = 0;
  ReadArchiveMembersBytes(
      bytes, [](const std::string&) { return true; },
      [&](const std::string&, const std::string& member) {
        total += member.size();
        return true;
      },
      limits);
  return 0;
}
