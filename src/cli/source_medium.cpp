#include "cli/source_medium.h"

#include "platform/text.h"

namespace brinvale::cli {

ImageSource ImageSourceForSpec(const SourceSpec& given, const DiskMap& disks) {
  ImageSource source;
  source.diskNumber = given.diskNumber;
  switch (given.kind) {
    case SourceSpec::Kind::kImage:
      source.kind = ImageSource::Kind::kImageFile;
      source.imageFile = platform::PathFromUtf8(given.imagePath);
      break;
    case SourceSpec::Kind::kDisk: source.kind = ImageSource::Kind::kWholeDisk; break;
    case SourceSpec::Kind::kPartition: {
      source.kind = ImageSource::Kind::kPartition;
      source.startSector = given.startSector;
      source.sectorCount = given.sectorCount;
      // A run that is exactly a listed volume takes its descriptor.
      if (auto it = disks.find(given.diskNumber); it != disks.end())
        for (const VolumeInfo& record : it->second)
          if (record.kind == VolumeInfo::Kind::kVolume && record.start == given.startSector &&
              record.length == given.sectorCount)
            source.partition = record;
      break;
    }
  }
  return source;
}

}  // namespace brinvale::cli
