#include "output/image_source.h"

#include "common/error_codes.h"
#include "device/sector_reader.h"
#include "platform/disk.h"
#include "platform/file.h"

namespace brinvale {

ImageSource ImageSourceFromVolume(const VolumeInfo& record) {
  ImageSource source;
  source.diskNumber = record.diskNumber;
  if (record.kind == VolumeInfo::Kind::kWholeDisk) {
    source.kind = ImageSource::Kind::kWholeDisk;
    return source;
  }
  source.kind = ImageSource::Kind::kPartition;
  source.startSector = record.start;
  source.sectorCount = record.length;
  source.partition = record;
  return source;
}

int ImageSourceBytes(const ImageSource& source, uint64_t& bytes) {
  bytes = 0;
  switch (source.kind) {
    case ImageSource::Kind::kImageFile: {
      uint64_t size = 0;
      if (int rc = platform::FileSize(source.imageFile, size); rc != kOk) return rc;
      bytes = size / 512 * 512;
      return kOk;
    }
    case ImageSource::Kind::kPartition: {
      uint32_t bps = source.partition ? source.partition->bytesPerSector : 0;
      if (bps == 0) {
        platform::UniqueHandle disk;
        if (int rc = platform::OpenDisk(source.diskNumber, disk); rc != kOk) return rc;
        bps = QueryBytesPerSector(disk);
      }
      bytes = source.sectorCount * bps;
      return kOk;
    }
    case ImageSource::Kind::kWholeDisk: {
      platform::UniqueHandle disk;
      if (int rc = platform::OpenDisk(source.diskNumber, disk); rc != kOk) return rc;
      if (platform::QueryDiskLength(disk, bytes) != kOk) bytes = 0;
      return kOk;
    }
  }
  return kErrInvalidParameter;
}

std::vector<const VolumeInfo*> VolumesBeingCopied(const ImageSource& source, const DiskMap& disks) {
  std::vector<const VolumeInfo*> volumes;
  if (source.partition) volumes.push_back(&*source.partition);
  if (source.kind == ImageSource::Kind::kImageFile) return volumes;
  auto it = disks.find(source.diskNumber);
  if (it == disks.end()) return volumes;
  const uint64_t end = source.startSector + source.sectorCount;
  for (const VolumeInfo& record : it->second) {
    // Gaps hold no file system; a whole-disk record stands for a disk whose
    // file system (if any) could not be listed as a volume.
    if (record.kind == VolumeInfo::Kind::kGap) continue;
    const bool overlaps = source.kind == ImageSource::Kind::kWholeDisk ||
                          (record.start < end && source.startSector < record.start + record.length);
    if (overlaps) volumes.push_back(&record);
  }
  return volumes;
}

}  // namespace brinvale
