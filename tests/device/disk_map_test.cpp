#include "device/disk_map.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/fake_disk_enumeration.h"

namespace brinvale {
namespace {

using testing::FakeDiskEnumeration;
using testing::MakeDisk;
using testing::MakeVolume;

constexpr uint64_t kMiB = 1 << 20;

// Builds an enumerator over a fake system that the test fills in first.
struct Fixture {
  FakeDiskEnumeration* fake = nullptr;
  std::unique_ptr<DiskEnumerator> enumerator;
  Fixture() {
    auto owned = std::make_unique<FakeDiskEnumeration>();
    fake = owned.get();
    enumerator = std::make_unique<DiskEnumerator>(std::move(owned));
  }
  const std::vector<VolumeInfo>& Disk(int n) { return enumerator->Disks().at(n); }
};

TEST(RefreshDisks, SortsVolumesAndAddsGapsOfMoreThanOneCylinder) {
  Fixture f;
  // 200,000 sectors; volumes listed out of order.
  f.fake->disks[0] = MakeDisk(200000);
  f.fake->volumes = {
      MakeVolume(0, 100000ull * 512, 50000ull * 512, "FAT32", u'F'),  // after a 48,000 gap
      MakeVolume(0, 2048ull * 512, 50000ull * 512, "NTFS", u'E'),     // no gap before 2048
  };
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  const auto& list = f.Disk(0);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].driveLetter, u'E');
  EXPECT_EQ(list[0].start, 2048u);
  EXPECT_EQ(list[0].length, 50000u);
  EXPECT_EQ(list[0].typeCode, 7);
  // The gap runs from the end of E: (52,048) to the start of F:.
  EXPECT_EQ(list[1].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(list[1].start, 52048u);
  EXPECT_EQ(list[1].length, 100000u - 52048u);
  EXPECT_EQ(list[1].totalBytes, (100000u - 52048u) * 512);
  EXPECT_EQ(list[1].freeBytes, list[1].totalBytes);
  EXPECT_EQ(list[1].usedBytes, 0u);
  EXPECT_EQ(list[1].driveLetter, 0);
  EXPECT_EQ(list[1].typeCode, 0);
  EXPECT_EQ(list[1].partitionNumber, 0);
  EXPECT_EQ(list[2].driveLetter, u'F');
  EXPECT_EQ(list[2].typeCode, 11);
  // 50,000 sectors after F: and more than a cylinder: a trailing gap.
  EXPECT_EQ(list[3].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(list[3].start, 150000u);
  EXPECT_EQ(list[3].length, 50000u);
}

TEST(RefreshDisks, StretchesOfOneCylinderOrLessGetNoGap) {
  Fixture f;
  // Exactly one cylinder (16,065 sectors) between and after the volumes.
  f.fake->disks[0] = MakeDisk(2048 + 1000 + 16065 + 1000 + 16065);
  f.fake->volumes = {
      MakeVolume(0, 2048ull * 512, 1000ull * 512, "FAT"),
      MakeVolume(0, (3048ull + 16065) * 512, 1000ull * 512, "FAT"),
  };
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  EXPECT_EQ(f.Disk(0).size(), 2u);
}

TEST(RefreshDisks, UsbStickWithOneFat32VolumeGivesOneRecordAndATrailingGap) {
  Fixture f;
  platform::SystemDisk stick = MakeDisk(7864320);  // 3.75 GiB
  stick.removable = true;
  stick.bus = platform::DiskBus::kUsb;
  f.fake->disks[1] = stick;
  f.fake->disks[0] = MakeDisk(100000);
  f.fake->volumes = {MakeVolume(1, 2048ull * 512, 7800000ull * 512, "FAT32", u'E', 0x0C)};
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  // Disk 0 has no volume: one whole-disk record.
  ASSERT_EQ(f.Disk(0).size(), 1u);
  EXPECT_EQ(f.Disk(0)[0].kind, VolumeInfo::Kind::kWholeDisk);
  const auto& list = f.Disk(1);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].driveLetter, u'E');
  EXPECT_FALSE(list[0].numbered);
  EXPECT_EQ(list[0].typeCode, 11);
  EXPECT_EQ(list[0].start, 2048u);
  EXPECT_EQ(list[0].length, 7800000u);
  EXPECT_TRUE(list[0].removable);
  EXPECT_EQ(list[0].bus, platform::DiskBus::kUsb);
  // 7,864,320 - 7,802,048 = 62,272 sectors, almost four cylinders.
  EXPECT_EQ(list[1].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(list[1].length, 62272u);
}

TEST(RefreshDisks, KeepsOnlyVolumesWithATypeCodeAndADiskNumber) {
  Fixture f;
  f.fake->disks[0] = MakeDisk(1000000);
  f.fake->volumes = {
      MakeVolume(0, 2048ull * 512, 1000ull * 512, "ext4"),           // no type: left out
      MakeVolume(0, 4096ull * 512, 1000ull * 512, "ext4", 0, 0x83),  // partition type kept
      MakeVolume(-1, 8192ull * 512, 1000ull * 512, "NTFS"),          // no disk: left out
      MakeVolume(0, 16384ull * 512, 1000ull * 512, "fat", 0, 0x0E),  // "FAT" ignoring case
  };
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  std::vector<uint8_t> types;
  for (const VolumeInfo& v : f.Disk(0))
    if (v.kind == VolumeInfo::Kind::kVolume) types.push_back(v.typeCode);
  EXPECT_EQ(types, (std::vector<uint8_t>{0x83, 6}));
}

TEST(RefreshDisks, NumbersLetterlessVolumesByTheirPositionInTheWholeList) {
  Fixture f;
  f.fake->disks[0] = MakeDisk(1000000);
  f.fake->disks[2] = MakeDisk(1000000);
  f.fake->volumes = {
      MakeVolume(2, 2048ull * 512, 990000ull * 512, "NTFS"),  // no letter
      MakeVolume(0, 2048ull * 512, 400000ull * 512, "NTFS", u'C'),
      MakeVolume(0, 600000ull * 512, 390000ull * 512, "NTFS"),  // no letter
  };
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  // Disk 0: C:, gap, #3; disk 2: #4.
  const auto& disk0 = f.Disk(0);
  ASSERT_EQ(disk0.size(), 3u);
  EXPECT_EQ(disk0[0].driveLetter, u'C');
  EXPECT_EQ(disk0[1].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(disk0[1].driveLetter, 0);
  EXPECT_EQ(disk0[2].driveLetter, 3);
  EXPECT_TRUE(disk0[2].numbered);
  ASSERT_EQ(f.Disk(2).size(), 1u);
  EXPECT_EQ(f.Disk(2)[0].driveLetter, 4);
  EXPECT_TRUE(f.Disk(2)[0].numbered);
}

TEST(RefreshDisks, WholeDiskRecordsForDisksWithoutVolumes) {
  Fixture f;
  f.fake->limit = 8;
  f.fake->disks[3] = MakeDisk(40000, 4096);
  // A disk smaller than one cylinder still shows its true length.
  f.fake->disks[5] = MakeDisk(8192);
  f.fake->disks[9] = MakeDisk(8192);  // beyond the limit: never asked
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  ASSERT_EQ(f.enumerator->Disks().size(), 2u);
  const VolumeInfo& three = f.Disk(3).at(0);
  EXPECT_EQ(three.kind, VolumeInfo::Kind::kWholeDisk);
  EXPECT_EQ(three.driveLetter, 0);
  EXPECT_EQ(three.start, 0u);
  EXPECT_EQ(three.length, 40000u);
  EXPECT_EQ(three.totalBytes, 40000ull * 4096);
  EXPECT_EQ(three.freeBytes, three.totalBytes);
  EXPECT_EQ(f.Disk(5).at(0).length, 8192u);
}

TEST(RefreshDisks, ConvertsBytesWithEachDisksOwnSectorSize) {
  Fixture f;
  f.fake->disks[0] = MakeDisk(1000000, 512);
  f.fake->disks[1] = MakeDisk(1000000, 4096);
  f.fake->volumes = {
      MakeVolume(0, 1 * kMiB, 100 * kMiB, "NTFS", u'C'),
      MakeVolume(1, 1 * kMiB, 100 * kMiB, "NTFS", u'D'),
  };
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  EXPECT_EQ(f.Disk(0)[0].start, 2048u);
  EXPECT_EQ(f.Disk(0)[0].length, 204800u);
  EXPECT_EQ(f.Disk(1)[0].start, 256u);
  EXPECT_EQ(f.Disk(1)[0].length, 25600u);
  EXPECT_EQ(f.Disk(1)[0].bytesPerSector, 4096u);
  EXPECT_EQ(f.enumerator->BytesPerSector(), 4096u);
}

TEST(RefreshDisks, ADiskThatDoesNotAnswerKeepsTheSectorSizeBeforeItAndGetsNoGaps) {
  Fixture f;
  f.fake->disks[0] = MakeDisk(10000000, 4096);
  f.fake->volumes = {
      MakeVolume(0, 1 * kMiB, 4 * kMiB, "NTFS", u'C'),
      MakeVolume(1, 1 * kMiB, 4 * kMiB, "NTFS", u'D'),  // disk 1 does not answer
      MakeVolume(1, 400 * kMiB, 4 * kMiB, "NTFS", u'E'),
  };
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  const auto& disk1 = f.Disk(1);
  ASSERT_EQ(disk1.size(), 2u);
  EXPECT_EQ(disk1[0].start, 256u);  // 1 MiB in 4 KiB sectors
  EXPECT_EQ(disk1[1].start, 400u * 256);
}

TEST(RefreshDisks, OverlappingVolumesMakeNoWrappedGap) {
  Fixture f;
  f.fake->disks[0] = MakeDisk(100000);
  f.fake->volumes = {
      MakeVolume(0, 2048ull * 512, 90000ull * 512, "NTFS", u'C'),
      MakeVolume(0, 4096ull * 512, 1000ull * 512, "NTFS", u'D'),  // inside C:
  };
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  for (const VolumeInfo& v : f.Disk(0)) EXPECT_NE(v.kind, VolumeInfo::Kind::kGap);
}

TEST(RefreshDisks, UnansweredFreeSpaceGivesLengthAndNoFreeBytes) {
  Fixture f;
  f.fake->disks[0] = MakeDisk(100000);
  platform::SystemVolume quiet = MakeVolume(0, 2048ull * 512, 1000ull * 512, "NTFS", u'C');
  platform::SystemVolume answered = MakeVolume(0, 4096ull * 512, 1000ull * 512, "NTFS", u'D');
  answered.spaceKnown = true;
  answered.totalBytes = 500000;
  answered.freeBytes = 200000;
  f.fake->volumes = {quiet, answered};
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  const auto& list = f.Disk(0);
  EXPECT_EQ(list[0].totalBytes, 1000u * 512);
  EXPECT_EQ(list[0].freeBytes, 0u);
  EXPECT_EQ(list[0].usedBytes, 1000u * 512);
  EXPECT_EQ(list[1].totalBytes, 500000u);
  EXPECT_EQ(list[1].usedBytes, 300000u);
}

TEST(RefreshDisks, FailsWithAnEmptyListWhenTheVolumesCannotBeListed) {
  Fixture f;
  f.fake->disks[0] = MakeDisk(100000);
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  EXPECT_FALSE(f.enumerator->Disks().empty());
  f.fake->listResult = 5;
  EXPECT_EQ(RefreshDisks(*f.enumerator), 0);
  EXPECT_TRUE(f.enumerator->Disks().empty());
  VolumeInfo out;
  EXPECT_EQ(NextVolume(*f.enumerator, out), 0);
}

TEST(NextVolume, HandsOutDisksAscendingThenStopsUntilTheNextRefresh) {
  Fixture f;
  f.fake->disks[4] = MakeDisk(100000);
  f.fake->disks[1] = MakeDisk(100000);
  f.fake->volumes = {
      MakeVolume(4, 2048ull * 512, 1000ull * 512, "NTFS", u'G'),
      MakeVolume(1, 2048ull * 512, 1000ull * 512, "NTFS", u'D'),
      MakeVolume(1, 40000ull * 512, 1000ull * 512, "NTFS", u'E'),
  };
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  std::vector<char16_t> letters;
  VolumeInfo out;
  while (NextVolume(*f.enumerator, out) == 1) letters.push_back(out.driveLetter);
  // D:, gap (38,000 sectors), E:, gap, G:, gap.
  EXPECT_EQ(letters, (std::vector<char16_t>{u'D', 0, u'E', 0, u'G', 0}));
  EXPECT_EQ(NextVolume(*f.enumerator, out), 0);
  ASSERT_EQ(RefreshDisks(*f.enumerator), 1);
  ASSERT_EQ(NextVolume(*f.enumerator, out), 1);
  EXPECT_EQ(out.driveLetter, u'D');
}

TEST(TypeCodeFor, FileSystemNamesOverrideThePartitionType) {
  EXPECT_EQ(TypeCodeFor("NTFS", 0x27), 7);
  EXPECT_EQ(TypeCodeFor("Fat32", 0), 11);
  EXPECT_EQ(TypeCodeFor("FAT", 0x0E), 6);
  EXPECT_EQ(TypeCodeFor("exFAT", 0x07), 7);  // not a FAT name: the table's byte
  EXPECT_EQ(TypeCodeFor("FAT16", 0x0E), 0x0E);
}

}  // namespace
}  // namespace brinvale
