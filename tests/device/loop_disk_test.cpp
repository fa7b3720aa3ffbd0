// The disk list of a real partitioned disk: the MBR fixture image attached
// as a loop device, read through sysfs and libblkid.
#if !defined(_WIN32)

#include <gtest/gtest.h>

#include <algorithm>

#include "device/disk_map.h"
#include "platform/disk.h"
#include "support/partitioned_loop_device.h"
#include "support/mbr_disk_fixture.h"

namespace brinvale {
namespace {

TEST(LoopDisk, RefreshDisksListsBothPartitionsAndTheTrailingGap) {
  const auto manifest = testing::ReadMbrDiskManifest();
  ASSERT_EQ(manifest.size(), 2u) << "mbr_disk.manifest missing from " << testing::FixtureDir();
  std::string whyNot;
  auto loop = testing::PartitionedLoopDevice::Attach(testing::FixtureDir() / "mbr_disk.img", whyNot);
  if (!loop) GTEST_SKIP() << whyNot;

  const std::vector<std::string> names = platform::WholeDiskNames();
  const auto it = std::find(names.begin(), names.end(), loop->Name());
  ASSERT_NE(it, names.end()) << loop->Name() << " is not among the whole disks";
  const int disk = int(it - names.begin());

  DiskEnumerator enumerator;
  ASSERT_EQ(RefreshDisks(enumerator), 1);
  const auto found = enumerator.Disks().find(disk);
  ASSERT_NE(found, enumerator.Disks().end());
  const std::vector<VolumeInfo>& list = found->second;
  // Two volumes and the 38,912 free sectors after them (over one cylinder).
  ASSERT_EQ(list.size(), 3u);
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(manifest[i].fileSystem);
    const VolumeInfo& v = list[i];
    EXPECT_EQ(v.kind, VolumeInfo::Kind::kVolume);
    EXPECT_EQ(v.diskNumber, disk);
    EXPECT_EQ(v.partitionNumber, manifest[i].number);
    EXPECT_EQ(v.start, manifest[i].start);
    EXPECT_EQ(v.length, manifest[i].length);
    EXPECT_EQ(v.fileSystemName, manifest[i].fileSystem);
    EXPECT_EQ(v.label, manifest[i].label);
    EXPECT_EQ(v.volumePath, loop->Device() + "p" + std::to_string(manifest[i].number));
    EXPECT_TRUE(v.numbered);
    EXPECT_EQ(v.bus, platform::DiskBus::kFileBacked);
    // Not mounted: the whole length counts as used.
    EXPECT_EQ(v.totalBytes, v.length * 512);
    EXPECT_EQ(v.freeBytes, 0u);
  }
  EXPECT_EQ(list[0].typeCode, 11);  // FAT32
  EXPECT_EQ(list[1].typeCode, 7);   // NTFS
  EXPECT_EQ(list[2].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(list[2].start, 92160u);
  EXPECT_EQ(list[2].length, 131072u - 92160u);
}

}  // namespace
}  // namespace brinvale

#endif
