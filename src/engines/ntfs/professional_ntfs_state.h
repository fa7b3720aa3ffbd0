#pragma once

// What the formatted-NTFS engine keeps between calls; shared by its .cpp
// files only.
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "deepscan/sizing_context.h"
#include "engines/ntfs/ntfs_volume.h"
#include "engines/ntfs/professional_ntfs_recovery.h"

namespace brinvale {

// Where the records of one file system lie. `locator` finds record n with
// RecordToSector: its start, cluster size and MFT runs are those of the
// file system (or, for a file system whose MFT is unknown, a start of
// record 0 and one long run). `fsStart` is the file system's first sector.
struct ProNtfsView {
  NtfsVolume locator;
  uint64_t fsStart = 0;
  bool contiguous = false;  // no $MFT record known: the MFT taken as contiguous
};

// A folder met on a parent chain: its record number and the view its
// record is found through.
struct ProNtfsFolder {
  uint32_t number = 0;
  size_t view = 0;
};

struct CProfessionalNtfsRecovery::State {
  std::vector<uint8_t> record;  // the record being analysed, fix-up applied
  std::vector<uint8_t> chain;   // a parent read on a chain
  std::vector<ProNtfsView> views;
  std::map<uint64_t, size_t> mftViews;         // MFT key -> index in views
  std::map<uint64_t, size_t> contiguousViews;  // sector of record 0 -> index
  std::vector<ProNtfsFolder> folders;          // in the order met
  std::unordered_map<uint32_t, size_t> folderIndex;
  std::unique_ptr<SizingContext> sizing;
};

}  // namespace brinvale

namespace brinvale {

// The sectors per cluster assumed before any record tells: from the
// volume's size in MiB, s, and k = bytes per sector / 512: 8 up to 7k MiB,
// 1 up to 512k, 2 up to 1024k, 4 up to 2048k, 8 above.
uint32_t DefaultSectorsPerCluster(uint64_t sectorCount, uint32_t bytesPerSector);

}  // namespace brinvale
