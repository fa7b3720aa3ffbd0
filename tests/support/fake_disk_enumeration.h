#pragma once

#include <map>
#include <vector>

#include "common/error_codes.h"
#include "platform/disk_enumeration.h"

namespace brinvale::testing {

// A system with the volumes and disks a test gives it.
class FakeDiskEnumeration final : public platform::DiskEnumeration {
 public:
  std::vector<platform::SystemVolume> volumes;
  std::map<int, platform::SystemDisk> disks;  // disks that answer
  int listResult = kOk;
  int limit = 128;

  int ListVolumes(std::vector<platform::SystemVolume>& out) override {
    if (listResult != kOk) return listResult;
    out = volumes;
    return kOk;
  }
  int QueryDisk(int diskNumber, platform::SystemDisk& out) override {
    auto it = disks.find(diskNumber);
    if (it == disks.end()) return kErrFileNotFound;
    out = it->second;
    return kOk;
  }
  int DiskNumberLimit() override { return limit; }
};

// A disk of `sectors` sectors of `bytesPerSector` with the 255 x 63
// translation (a cylinder is 16,065 sectors).
inline platform::SystemDisk MakeDisk(uint64_t sectors, uint32_t bytesPerSector = 512) {
  platform::SystemDisk disk;
  disk.geometry.bytesPerSector = bytesPerSector;
  disk.geometry.tracksPerCylinder = 255;
  disk.geometry.sectorsPerTrack = 63;
  disk.geometry.cylinders = sectors / 16065;
  disk.lengthBytes = sectors * bytesPerSector;
  return disk;
}

// A volume at byte `startBytes`, `lengthBytes` long.
inline platform::SystemVolume MakeVolume(int disk, uint64_t startBytes, uint64_t lengthBytes,
                                         const char* fileSystem, char16_t letter = 0,
                                         uint8_t partitionType = 0) {
  platform::SystemVolume v;
  v.diskNumber = disk;
  v.partitionNumber = 1;
  v.startBytes = startBytes;
  v.lengthBytes = lengthBytes;
  v.fileSystemName = fileSystem;
  v.driveLetter = letter;
  v.partitionType = partitionType;
  return v;
}

}  // namespace brinvale::testing
