// A FAT volume's boot sector and FAT from arbitrary bytes: the layout must
// parse or be refused, and chains must end, whatever the entries say.
#include <cstdint>
#include <memory>
#include <span>

#include "device/sector_reader.h"
#include "engines/fat/fat_boot_sector.h"
#include "engines/fat/fat_names.h"
#include "engines/fat/fat_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace brinvale;
  std::span<const uint8_t> bytes(data, size);
  if (size >= 32) {
    LongNameCollector names;
    names.AddPart(bytes.first(32));
    (void)names.Name();
    (void)ShortEntryName(bytes.first(32), bytes[0] & 1);
  }
  auto geometry = ParseFatBootSector(bytes);
  if (!geometry) return 0;
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes), size / 512);
  FatTable table(reader, *geometry, geometry->reservedSectors);
  // Follow a few chains, bounded as the engines bound them.
  for (uint32_t start = 2; start < 34; ++start) {
    uint32_t c = start;
    for (uint64_t steps = 0; steps <= geometry->clusterCount && steps < 4096; ++steps) {
      auto next = table.NextCluster(c);
      if (!next || *next == c) break;
      c = *next;
    }
  }
  return 0;
}
