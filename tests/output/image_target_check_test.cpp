#include "output/image_target_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/error_codes.h"
#include "platform/disk_enumeration.h"

namespace brinvale {
namespace {

constexpr uint64_t kGiB = uint64_t(1) << 30;

ImageTargetFacts Target(const char* fileSystem, std::optional<uint64_t> freeBytes = std::nullopt,
                        bool onSource = false) {
  return ImageTargetFacts{onSource, fileSystem, freeBytes};
}

TEST(CheckImageTarget, Fat32TakesThreeGibButNotFiveAndNotExactlyFour) {
  EXPECT_EQ(CheckImageTarget(Target("FAT32"), 3 * kGiB), ImageTargetProblem::kNone);
  EXPECT_EQ(CheckImageTarget(Target("FAT32"), 5 * kGiB), ImageTargetProblem::kFat32TooLarge);
  // A FAT32 file holds at most 4 GiB - 1 bytes.
  EXPECT_EQ(CheckImageTarget(Target("FAT32"), 4 * kGiB), ImageTargetProblem::kFat32TooLarge);
  EXPECT_EQ(CheckImageTarget(Target("FAT32"), 4 * kGiB - 1), ImageTargetProblem::kNone);
}

TEST(CheckImageTarget, OtherFatsStopAboveTwoGibButExfatDoesNot) {
  EXPECT_EQ(CheckImageTarget(Target("FAT"), 3 * kGiB), ImageTargetProblem::kFatTooLarge);
  EXPECT_EQ(CheckImageTarget(Target("FAT"), 2 * kGiB), ImageTargetProblem::kNone);
  EXPECT_EQ(CheckImageTarget(Target("EXFAT"), 300 * kGiB), ImageTargetProblem::kNone);
  EXPECT_EQ(CheckImageTarget(Target("NTFS"), 300 * kGiB), ImageTargetProblem::kNone);
}

TEST(CheckImageTarget, FreeSpaceMustExceedTheImage) {
  EXPECT_EQ(CheckImageTarget(Target("NTFS", 1000), 1000), ImageTargetProblem::kNotEnoughSpace);
  EXPECT_EQ(CheckImageTarget(Target("NTFS", 1001), 1000), ImageTargetProblem::kNone);
  // Unknown free space skips the check.
  EXPECT_EQ(CheckImageTarget(Target("NTFS"), 1000), ImageTargetProblem::kNone);
}

TEST(CheckImageTarget, ChecksInOrderAndNamesTheirMessages) {
  // Everything wrong at once: the source drive comes first.
  EXPECT_EQ(CheckImageTarget(Target("FAT32", 0, true), 5 * kGiB), ImageTargetProblem::kSameDrive);
  EXPECT_EQ(CheckImageTarget(Target("FAT32", 0), 5 * kGiB), ImageTargetProblem::kFat32TooLarge);
  EXPECT_EQ(CheckImageTarget(Target("FAT", 0), 3 * kGiB), ImageTargetProblem::kFatTooLarge);
  EXPECT_STREQ(ImageTargetMessageKey(ImageTargetProblem::kSameDrive), "MSG0218");
  EXPECT_STREQ(ImageTargetMessageKey(ImageTargetProblem::kFatTooLarge), "MSG0219");
  EXPECT_STREQ(ImageTargetMessageKey(ImageTargetProblem::kFat32TooLarge), "MSG0220");
  EXPECT_STREQ(ImageTargetMessageKey(ImageTargetProblem::kNotEnoughSpace), "MSG0221");
  EXPECT_STREQ(ImageTargetMessageKey(ImageTargetProblem::kNone), "");
}

VolumeInfo Volume(int disk, char16_t letter, uint64_t start, uint64_t length, uint64_t deviceId = 0,
                  const char* fileSystem = "NTFS") {
  VolumeInfo v;
  v.diskNumber = disk;
  v.driveLetter = letter;
  v.start = start;
  v.length = length;
  v.deviceId = deviceId;
  v.fileSystemName = fileSystem;
  return v;
}

// The disk lists below are made up; their disk numbers lie far above any
// this machine has, so that where the test's own folders really lie never
// matches them.
constexpr int kDisk = 40;

TEST(DescribeImageTarget, PathOnTheCopiedDriveLetterIgnoringCase) {
  DiskMap disks;
  disks[kDisk] = {Volume(kDisk, u'C', 2048, 100000), Volume(kDisk, u'D', 200000, 100000)};
  disks[kDisk + 1] = {Volume(kDisk + 1, u'E', 2048, 100000)};
  ImageSource partition = ImageSourceFromVolume(disks[kDisk][0]);
  EXPECT_TRUE(DescribeImageTarget("c:\\images\\c.img", partition, disks).onSourceDrive);
  EXPECT_FALSE(DescribeImageTarget("D:\\images\\c.img", partition, disks).onSourceDrive);
  // A whole disk: every volume on it counts.
  ImageSource whole;
  whole.kind = ImageSource::Kind::kWholeDisk;
  whole.diskNumber = kDisk;
  EXPECT_TRUE(DescribeImageTarget("D:\\disk0.img", whole, disks).onSourceDrive);
  EXPECT_FALSE(DescribeImageTarget("E:\\disk0.img", whole, disks).onSourceDrive);
  // A run of sectors that overlaps D: only.
  ImageSource run;
  run.kind = ImageSource::Kind::kPartition;
  run.diskNumber = kDisk;
  run.startSector = 250000;
  run.sectorCount = 10;
  EXPECT_TRUE(DescribeImageTarget("d:\\run.img", run, disks).onSourceDrive);
  EXPECT_FALSE(DescribeImageTarget("c:\\run.img", run, disks).onSourceDrive);
}

TEST(DescribeImageTarget, NumberedVolumesHaveNoLetterToMatch) {
  DiskMap disks;
  VolumeInfo numbered = Volume(kDisk, 67, 2048, 1000);  // 67 is the code of 'C'
  numbered.numbered = true;
  disks[kDisk] = {numbered};
  EXPECT_FALSE(
      DescribeImageTarget("C:\\x.img", ImageSourceFromVolume(numbered), disks).onSourceDrive);
}

#if !defined(_WIN32)
TEST(DescribeImageTarget, FolderOnTheCopiedDeviceAndItsFileSystemName) {
  const auto folder = std::filesystem::temp_directory_path();
  uint64_t device = 0;
  ASSERT_EQ(platform::VolumeDeviceIdOfPath(folder, device), kOk);
  DiskMap disks;
  disks[kDisk] = {Volume(kDisk, 1, 2048, 1000, device, "FAT32"),
                  Volume(kDisk, 2, 4096, 1000, device + 1)};
  disks[kDisk][0].numbered = disks[kDisk][1].numbered = true;
  const auto target = folder / "brinvale-target-check.img";
  ImageTargetFacts same =
      DescribeImageTarget(target, ImageSourceFromVolume(disks[kDisk][0]), disks);
  EXPECT_TRUE(same.onSourceDrive);
  // The disk list names the target volume's file system.
  EXPECT_EQ(same.fileSystemName, "FAT32");
  EXPECT_TRUE(same.freeBytes.has_value());
  ImageTargetFacts other =
      DescribeImageTarget(target, ImageSourceFromVolume(disks[kDisk][1]), disks);
  EXPECT_FALSE(other.onSourceDrive);
}
#endif

TEST(DescribeImageTarget, AnImageFileIsNeverCopiedOntoItself) {
  const auto path = std::filesystem::temp_directory_path() / "brinvale_target_check_self.img";
  std::ofstream(path) << "x";
  ImageSource file;
  file.kind = ImageSource::Kind::kImageFile;
  file.imageFile = path;
  EXPECT_TRUE(DescribeImageTarget(path, file, {}).onSourceDrive);
  EXPECT_FALSE(DescribeImageTarget(path.string() + ".copy", file, {}).onSourceDrive);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace brinvale
