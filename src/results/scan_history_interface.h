#pragma once

#include <cstdint>
#include <filesystem>

#include "results/scan_history_file.h"

namespace brinvale {

// What a full scan needs of the per-user index of scan-log folders: find the
// earlier scan of an unchanged medium, open a new numbered folder or give
// one back, forget a folder, and record how far a scan got. The index
// itself lives with the application; engines are handed one by whoever
// makes them. Used by one thread at a time.
class IScanHistory {
 public:
  virtual ~IScanHistory() = default;

  // Looks up the partition (disk, start, count). True with the entry when
  // it is there and its stamp equals `stamp`, the partition's state now
  // (PartitionStamp); the current folder is then the entry's. A changed
  // medium's folder is forgotten.
  virtual bool FindPartitionEntry(uint32_t diskNumber, uint64_t startSector, uint64_t sectorCount,
                                  uint64_t stamp, ScanHistoryEntry& out) = 0;
  // The same for an image file, by path and its last-write time now.
  virtual bool FindImageEntry(const std::filesystem::path& imagePath, uint64_t writeTime,
                              ScanHistoryEntry& out) = 0;
  // The same for one partition of an image that holds a whole disk, by the
  // image's path and the partition's start and length in it; a scan of it
  // is recorded with RecordScan(start, count, ..., imagePath).
  virtual bool FindImagePartitionEntry(const std::filesystem::path& imagePath,
                                       uint64_t startSector, uint64_t sectorCount,
                                       uint64_t writeTime, ScanHistoryEntry& out) = 0;

  // Records a finished or stopped full scan and saves the index. The entry
  // is found by the medium's identity alone (disk, start and count, or the
  // image path with the start and length of the partition in it, start 0
  // for the whole image; an empty `imagePath` means a partition of a disk)
  // and takes `stamp`,
  // the stamp the scan was opened with, so that a medium that changed
  // during the scan is seen as changed next time and the folder just
  // written is never lost to it. Returns 0 or a system error code.
  virtual int RecordScan(uint32_t diskNumber, uint64_t startSector, uint64_t sectorCount,
                         uint64_t stamp, const ResumePoint& resume,
                         const std::filesystem::path& folder,
                         const std::filesystem::path& imagePath) = 0;

  // Drops the folder's entry and deletes the folder with its content.
  // Returns 0 or a system error code.
  virtual int ForgetFolder(const std::filesystem::path& folder) = 0;

  // Moves to the next numbered folder and empties it.
  virtual void BeginNewFolder() = 0;
  // Takes the folder counter back by one, after a new scan that stopped
  // before it had anything to keep.
  virtual void TakeBackFolder() = 0;
  // The folder of the last lookup's earlier scan, or else the numbered
  // folder of the counter.
  virtual std::filesystem::path CurrentFolder() const = 0;
};

}  // namespace brinvale
