#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "device/disk_map.h"
#include "device/volume_info.h"

// What an image is made of: a whole disk, a run of sectors of a disk (a
// partition), or an image file copied whole.
namespace brinvale {

struct ImageSource {
  enum class Kind { kWholeDisk, kPartition, kImageFile };
  Kind kind = Kind::kWholeDisk;
  int diskNumber = -1;
  uint64_t startSector = 0;         // kPartition: first sector, in the disk's sector size
  uint64_t sectorCount = 0;         // kPartition: sectors to copy
  std::filesystem::path imageFile;  // kImageFile
  // The partition's descriptor when the source was picked from the disk
  // list; it names the drive letter or device the image must not go to.
  std::optional<VolumeInfo> partition;
};

// The source for one record of the disk list: a whole-disk record gives the
// whole disk, anything else the run of sectors it covers.
ImageSource ImageSourceFromVolume(const VolumeInfo& record);

// The bytes the copy will write: a partition's sectors x its disk's sector
// size; a whole disk's length as the disk reports it (0 when it cannot be
// learnt); an image file's whole 512-byte sectors. Returns 0 or the system
// error of opening the disk or file (the bytes are then 0).
int ImageSourceBytes(const ImageSource& source, uint64_t& bytes);

// The volumes of `disks` whose sectors the copy reads: for a whole disk every
// volume of the disk, for a partition every volume that overlaps its run
// (and its own descriptor when it carries one). Pointers into `disks`
// and `source`, which must outlive the result.
std::vector<const VolumeInfo*> VolumesBeingCopied(const ImageSource& source, const DiskMap& disks);

}  // namespace brinvale
