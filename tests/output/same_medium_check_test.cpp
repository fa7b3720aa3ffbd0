#include "output/same_medium_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace brinvale {
namespace {

namespace fs = std::filesystem;

platform::PathStorage OnDisk(int disk, uint64_t start, uint64_t length) {
  platform::PathStorage s;
  s.known = true;
  s.extents.push_back({disk, "disk" + std::to_string(disk), start, length});
  return s;
}

ImageSource WholeDisk(int disk) {
  ImageSource source;
  source.kind = ImageSource::Kind::kWholeDisk;
  source.diskNumber = disk;
  return source;
}

ImageSource SectorRun(int disk, uint64_t start, uint64_t count) {
  ImageSource source;
  source.kind = ImageSource::Kind::kPartition;
  source.diskNumber = disk;
  source.startSector = start;
  source.sectorCount = count;
  return source;
}

TEST(TargetLiesOnSource, AnyPieceOfAScannedWholeDisk) {
  EXPECT_TRUE(TargetLiesOnSource("/mnt/x", WholeDisk(2), {}, OnDisk(2, 1 << 20, 1 << 20), 512));
  EXPECT_FALSE(TargetLiesOnSource("/mnt/x", WholeDisk(3), {}, OnDisk(2, 1 << 20, 1 << 20), 512));
  // Storage that could not be placed on a disk is on none.
  EXPECT_FALSE(TargetLiesOnSource("/mnt/x", WholeDisk(2), {}, OnDisk(-1, 0, 0), 512));
  EXPECT_FALSE(TargetLiesOnSource("/mnt/x", WholeDisk(2), {}, platform::PathStorage{}, 512));
}

TEST(TargetLiesOnSource, APartitionOnlyWhereItsSectorsMeetTheFileSystem) {
  // The file system: bytes 1 MiB to 2 MiB of disk 1.
  const platform::PathStorage fs = OnDisk(1, 1 << 20, 1 << 20);
  EXPECT_TRUE(TargetLiesOnSource("/t", SectorRun(1, 2048, 100), {}, fs, 512));
  EXPECT_TRUE(TargetLiesOnSource("/t", SectorRun(1, 4095, 1), {}, fs, 512));   // its last sector
  EXPECT_FALSE(TargetLiesOnSource("/t", SectorRun(1, 4096, 1000), {}, fs, 512));  // just after it
  EXPECT_FALSE(TargetLiesOnSource("/t", SectorRun(1, 0, 2048), {}, fs, 512));   // just before it
  // With 4,096-byte sectors sector 256 is byte 1 MiB.
  EXPECT_TRUE(TargetLiesOnSource("/t", SectorRun(1, 256, 1), {}, fs, 4096));
  EXPECT_FALSE(TargetLiesOnSource("/t", SectorRun(1, 255, 1), {}, fs, 4096));
  // A file system reaching to the end of the disk (length 0).
  EXPECT_TRUE(TargetLiesOnSource("/t", SectorRun(1, 1u << 30, 1), {}, OnDisk(1, 1 << 20, 0), 512));
}

TEST(TargetLiesOnSource, DriveLettersAndDevicesOfTheVolumesBeingRead) {
  DiskMap disks;
  VolumeInfo e;
  e.diskNumber = 0;
  e.driveLetter = u'E';
  e.start = 2048;
  e.length = 1000;
  e.deviceId = 0x812;
  disks[0] = {e};
  const ImageSource partition = ImageSourceFromVolume(disks[0][0]);
  EXPECT_TRUE(TargetLiesOnSource("e:\\out", partition, disks, {}, 512));
  EXPECT_FALSE(TargetLiesOnSource("D:\\out", partition, disks, {}, 512));
  platform::PathStorage lettered;
  lettered.driveLetter = u'E';  // a folder mounted from E: elsewhere
  EXPECT_TRUE(TargetLiesOnSource("C:\\mnt\\e", partition, disks, lettered, 512));
  platform::PathStorage device;
  device.deviceId = 0x812;
  EXPECT_TRUE(TargetLiesOnSource("/media/e/out", partition, disks, device, 512));
  device.deviceId = 0x813;
  EXPECT_FALSE(TargetLiesOnSource("/media/e/out", partition, disks, device, 512));
}

TEST(TargetLiesOnSource, AnImageOnlyThroughALoopDeviceOrMountOverIt) {
  const fs::path image = fs::temp_directory_path() / "brinvale_same_medium.img";
  std::ofstream(image) << "x";
  ImageSource source;
  source.kind = ImageSource::Kind::kImageFile;
  source.imageFile = image;
  platform::PathStorage mounted = OnDisk(4, 0, 0);
  mounted.imageFiles.push_back(image);
  EXPECT_TRUE(TargetLiesOnSource("/mnt/img/out", source, {}, mounted, 512));
  // Beside the image, on the file system that holds it: the image does not change.
  EXPECT_FALSE(TargetLiesOnSource(image.parent_path() / "out", source, {}, OnDisk(4, 0, 0), 512));
  platform::PathStorage other = OnDisk(4, 0, 0);
  other.imageFiles.push_back(image.string() + ".other");
  EXPECT_FALSE(TargetLiesOnSource("/mnt/other/out", source, {}, other, 512));
  fs::remove(image);
}

}  // namespace
}  // namespace brinvale
