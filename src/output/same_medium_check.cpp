#include "output/same_medium_check.h"

#include <system_error>

#include "common/error_codes.h"
#include "device/sector_reader.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/text.h"

namespace brinvale {
namespace {

char16_t FoldLetter(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Whether [start, start + length) meets [from, to); a length of 0 reaches
// the end of the disk.
bool Overlaps(uint64_t start, uint64_t length, uint64_t from, uint64_t to) {
  const uint64_t end = length == 0 || start + length < start ? UINT64_MAX : start + length;
  return start < to && from < end;
}

bool OnSourceDisk(const platform::DiskExtent& extent, const ImageSource& source,
                  uint32_t bytesPerSector) {
  if (extent.diskNumber < 0 || extent.diskNumber != source.diskNumber) return false;
  if (source.kind == ImageSource::Kind::kWholeDisk) return true;
  const uint64_t bps = bytesPerSector != 0 ? bytesPerSector : 512;
  const uint64_t from = source.startSector * bps;
  const uint64_t count = source.sectorCount * bps;
  const uint64_t to = from + count < from ? UINT64_MAX : from + count;
  return Overlaps(extent.startBytes, extent.lengthBytes, from, to);
}

}  // namespace

bool TargetLiesOnSource(const std::filesystem::path& target, const ImageSource& source,
                        const DiskMap& disks, const platform::PathStorage& storage,
                        uint32_t bytesPerSector) {
  const std::u16string text = platform::Utf8ToUtf16(platform::PathToUtf8(target));
  for (const VolumeInfo* volume : VolumesBeingCopied(source, disks)) {
    const bool lettered = !volume->numbered && IsLetter(volume->driveLetter);
    if (lettered && !text.empty() && FoldLetter(text[0]) == FoldLetter(volume->driveLetter))
      return true;
    if (lettered && storage.driveLetter != 0 &&
        FoldLetter(storage.driveLetter) == FoldLetter(volume->driveLetter))
      return true;
    if (storage.deviceId != 0 && volume->deviceId == storage.deviceId) return true;
  }
  if (source.kind == ImageSource::Kind::kImageFile) {
    for (const std::filesystem::path& file : storage.imageFiles) {
      std::error_code ec;
      if (std::filesystem::equivalent(file, source.imageFile, ec)) return true;
    }
    return false;
  }
  for (const platform::DiskExtent& extent : storage.extents)
    if (OnSourceDisk(extent, source, bytesPerSector)) return true;
  return false;
}

bool TargetOnSourceMedium(const std::filesystem::path& target, const ImageSource& source,
                          const DiskMap& disks) {
  platform::PathStorage storage;
  if (platform::DescribePathStorage(target, storage) != kOk) storage = platform::PathStorage{};
  uint32_t bps = source.partition ? source.partition->bytesPerSector : 0;
  if (bps == 0 && source.kind == ImageSource::Kind::kPartition) {
    platform::UniqueHandle disk;
    if (platform::OpenDisk(source.diskNumber, disk) == kOk) bps = QueryBytesPerSector(disk);
  }
  return TargetLiesOnSource(target, source, disks, storage, bps);
}

}  // namespace brinvale
