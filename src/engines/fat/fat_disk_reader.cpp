// Opening a disk for the FAT engines, with the sector size it reports.
#include "engines/fat/fat_disk_reader.h"

#include "common/error_codes.h"
#include "platform/disk.h"

namespace brinvale {

int OpenFatDiskReader(int diskNumber, SectorReader& reader, uint32_t& bytesPerSector) {
  bytesPerSector = 512;
  {
    platform::UniqueHandle disk;
    if (int rc = platform::OpenDisk(diskNumber, disk); rc != kOk) return rc;
    bytesPerSector = QueryBytesPerSector(disk);
  }
  return OpenDiskReader(reader, diskNumber);
}

}  // namespace brinvale
