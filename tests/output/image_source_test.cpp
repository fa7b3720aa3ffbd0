#include "output/image_source.h"

#include <gtest/gtest.h>

#include "common/error_codes.h"

namespace brinvale {
namespace {

VolumeInfo Record(VolumeInfo::Kind kind, uint64_t start, uint64_t length) {
  VolumeInfo v;
  v.kind = kind;
  v.diskNumber = 2;
  v.start = start;
  v.length = length;
  v.bytesPerSector = 4096;
  return v;
}

TEST(ImageSource, APartitionsImageSizeIsTheBytesTheCopyWrites) {
  // The file system reports less than its partition holds (its own
  // structures are not counted); the copy writes every sector.
  VolumeInfo fat = Record(VolumeInfo::Kind::kVolume, 256, 1048576);
  fat.totalBytes = 4000000000;
  const ImageSource source = ImageSourceFromVolume(fat);
  EXPECT_EQ(source.kind, ImageSource::Kind::kPartition);
  EXPECT_EQ(source.diskNumber, 2);
  EXPECT_EQ(source.startSector, 256u);
  EXPECT_EQ(source.sectorCount, 1048576u);
  uint64_t bytes = 0;
  EXPECT_EQ(ImageSourceBytes(source, bytes), kOk);
  EXPECT_EQ(bytes, 1048576ull * 4096);  // 4 GiB: too large for FAT32
}

TEST(ImageSource, AWholeDiskRecordGivesTheWholeDisk) {
  const ImageSource source = ImageSourceFromVolume(Record(VolumeInfo::Kind::kWholeDisk, 0, 99));
  EXPECT_EQ(source.kind, ImageSource::Kind::kWholeDisk);
  EXPECT_EQ(source.diskNumber, 2);
  EXPECT_FALSE(source.partition.has_value());
}

TEST(ImageSource, VolumesBeingCopiedAreThoseTheRunOverlaps) {
  DiskMap disks;
  disks[2] = {Record(VolumeInfo::Kind::kVolume, 256, 1000),  // 256..1255
              Record(VolumeInfo::Kind::kGap, 1256, 50000),
              Record(VolumeInfo::Kind::kVolume, 51256, 1000)};
  disks[3] = {Record(VolumeInfo::Kind::kVolume, 256, 1000)};
  ImageSource run;
  run.kind = ImageSource::Kind::kPartition;
  run.diskNumber = 2;
  run.startSector = 1255;  // the last sector of the first volume
  run.sectorCount = 100;
  auto volumes = VolumesBeingCopied(run, disks);
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0], &disks[2][0]);
  run.startSector = 1256;  // just after it: only the gap
  EXPECT_TRUE(VolumesBeingCopied(run, disks).empty());
  ImageSource whole;
  whole.diskNumber = 2;
  EXPECT_EQ(VolumesBeingCopied(whole, disks).size(), 2u);
}

}  // namespace
}  // namespace brinvale
