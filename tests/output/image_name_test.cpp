#include "output/image_name.h"

#include <gtest/gtest.h>

namespace brinvale {
namespace {

VolumeInfo Partition(char16_t letter, bool numbered, const char* fileSystem, uint64_t total) {
  VolumeInfo v;
  v.driveLetter = letter;
  v.numbered = numbered;
  v.fileSystemName = fileSystem;
  v.totalBytes = total;
  return v;
}

TEST(ProposeImageName, WholeDiskCountsFromOne) {
  EXPECT_EQ(ProposeDiskImageName(0), "Physical Disk 1");
  EXPECT_EQ(ProposeDiskImageName(11), "Physical Disk 12");
}

TEST(ProposeImageName, LetteredPartitionShowsLetterFileSystemAndSize) {
  EXPECT_EQ(ProposePartitionImageName(Partition(u'E', false, "FAT32", 1610612736)),
            "E (FAT32, 1.50 GB)");
  EXPECT_EQ(ProposePartitionImageName(Partition(u'c', false, "NTFS", 1023)),
            "c (NTFS, 1023 Bytes)");
}

TEST(ProposeImageName, LetterlessPartitionShowsItsNumber) {
  EXPECT_EQ(ProposePartitionImageName(Partition(3, true, "ext4", 1048576)), "3 (ext4, 1.00 MB)");
  // Number 67 is the code of 'C' but still a number.
  EXPECT_EQ(ProposePartitionImageName(Partition(67, true, "NTFS", 2048)), "67 (NTFS, 2.00 KB)");
}

}  // namespace
}  // namespace brinvale
