// One NTFS file record (and the records after it, for attribute lists) from
// arbitrary bytes: fix-up, every attribute walk, run lists, names, and the
// reads that find runs, resident data and the data size.
// Input: one byte of geometry (bit 0: 4,096-byte sectors and records, else
// 512-byte sectors and 1,024-byte records; bits 1-2: log2 of sectors per
// cluster), then the medium, whose first record is MFT record 0.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/attribute_walk.h"
#include "engines/ntfs/file_name_attribute.h"
#include "engines/ntfs/fixups.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/resident_data.h"
#include "engines/ntfs/run_list.h"

using namespace brinvale;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  NtfsVolume volume;
  SetSectorSize(volume, (data[0] & 1) ? 4096 : 512);
  volume.sectorsPerCluster = 1u << ((data[0] >> 1) & 3);
  std::vector<uint8_t> medium(data + 1, data + size);
  const size_t clusterBytes = volume.ClusterBytes();
  // At least four records, whole clusters.
  medium.resize(std::max<size_t>((medium.size() + clusterBytes - 1) / clusterBytes * clusterBytes,
                                 4 * std::max<size_t>(volume.recordSize, clusterBytes)));
  volume.sectorCount = medium.size() / volume.bytesPerSector;
  volume.mftRuns = {{medium.size() / clusterBytes, 0, false}};

  // The structures on the first record, repaired in memory.
  std::vector<uint8_t> record(medium.begin(), medium.begin() + volume.recordSize);
  record.resize(ntfs::kRecordBufferBytes, 0);
  (void)ApplyFixups(record, volume.recordSize);
  for (WalkKind kind : {WalkKind::kRecordAnalysis, WalkKind::kParentChain, WalkKind::kFindRuns,
                        WalkKind::kResidentData, WalkKind::kDataSize}) {
    AttributeWalk walk(record, volume.recordSize, kind);
    while (walk.Next()) {
      RunList runs;
      DecodeRunList(walk.Attribute(), runs);
      std::vector<PlacedRun> placed;
      (void)PlaceRuns(runs, placed);
      FileNameInfo name;
      (void)DecodeFileName(walk.Attribute(), name);
    }
  }

  // The same record read through a reader, attribute lists followed.
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(medium)),
                   volume.sectorCount);
  for (uint32_t type : {ntfs::kTypeData, ntfs::kTypeIndexAllocation}) {
    RunList runs;
    (void)FindAttributeRuns(volume, reader, 0, type, runs);
  }
  std::vector<uint8_t> value;
  (void)ReadResidentData(volume, reader, 0, value);
  uint64_t dataSize = 0;
  (void)ReadDataSize(volume, reader, 0, dataSize);
  return 0;
}
