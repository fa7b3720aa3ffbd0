// Opening an NTFS volume from an arbitrary image (boot sector, then $MFT's
// runs from record 0), then mapping records and reading the ones the
// engines read first: the root folder (5) and $Bitmap (6).
#include <cstdint>
#include <memory>
#include <vector>

#include "device/byte_source.h"
#include "device/sector_reader.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/file_record.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/ntfs_volume.h"
#include "engines/ntfs/record_to_sector.h"
#include "engines/ntfs/resident_data.h"

using namespace brinvale;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::span<const uint8_t>(data, size)),
                   size / 512);
  NtfsVolume volume;
  if (ReadNtfsBootSector(reader, 0, reader.totalSectors, 512, u'Z', volume) != 0) return 0;
  (void)ReadMftRunList(volume, reader);
  std::vector<uint8_t> record(ntfs::kRecordBufferBytes);
  for (uint64_t number : {0ull, 5ull, 6ull, 100ull, 1ull << 40}) {
    uint64_t sector = 0;
    if (RecordToSector(volume, number, sector) != 0) continue;
    (void)ReadRecord(volume, reader, sector, record);
    RunList runs;
    (void)FindAttributeRuns(volume, reader, sector, ntfs::kTypeData, runs);
    (void)FindAttributeRuns(volume, reader, sector, ntfs::kTypeIndexAllocation, runs);
    uint64_t dataSize = 0;
    (void)ReadDataSize(volume, reader, sector, dataSize);
    std::vector<uint8_t> value;
    (void)ReadResidentData(volume, reader, sector, value);
  }
  return 0;
}
