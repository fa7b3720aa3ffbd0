// The partition table reader on arbitrary disks: the input is the disk,
// read once in 512-byte sectors and once in 4,096-byte ones.
#include <cstdint>
#include <memory>
#include <span>

#include "device/partition_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (uint32_t sectorBytes : {512u, 4096u}) {
    brinvale::SectorReader reader;
    brinvale::OpenSourceReader(
        reader, std::make_unique<brinvale::MemoryByteSource>(std::span<const uint8_t>(data, size)),
        size / sectorBytes);
    brinvale::PartitionTable table;
    if (brinvale::ReadPartitionTable(reader, sectorBytes, table) != 0) continue;
    for (const brinvale::PartitionEntry& e : table.partitions)
      if (e.start + e.length > table.diskSectors) __builtin_trap();
    (void)brinvale::UnpartitionedRanges(table);
  }
  return 0;
}
