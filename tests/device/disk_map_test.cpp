#include "device/disk_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "device/sector_reader.h"
#include "support/fake_disk_enumeration.h"
#include "support/fixture_path.h"

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


// The partition table of disk 1 is the sfdisk fixture's; disk 2's is
// damaged; disk 3 has none; disk 4's holds nothing that can be trusted.
int FixtureTables(int disk, uint32_t bytesPerSector, PartitionTable& out) {
  out = PartitionTable{};
  if (disk == 1) {
    SectorReader reader;
    if (int rc = OpenImageReader(reader, test::FixturePath("mbr_parts.img")); rc != kOk) return rc;
    const int rc = ReadPartitionTable(reader, bytesPerSector, out);
    CloseReader(reader);
    return rc;
  }
  if (disk == 2 || disk == 4) {
    out.scheme = PartitionScheme::kMbr;
    out.diskSectors = 200000;
    out.damage = "partition 2 overlaps partition 1";
    if (disk == 2) {
      PartitionEntry p;
      p.number = 1;
      p.start = 2048;
      p.length = 100000;
      p.type = 0x0C;
      out.partitions.push_back(p);
      PartitionEntry unknown = p;  // a kind of partition that holds no user data
      unknown.number = 3;
      unknown.start = 150000;
      unknown.length = 1000;
      unknown.type = 0;
      out.partitions.push_back(unknown);
    }
    return kOk;
  }
  return kOk;  // no scheme
}

TEST(RefreshDisks, ADiskWithoutSystemVolumesListsThePartitionsOfItsOwnTable) {
  auto owned = std::make_unique<FakeDiskEnumeration>();
  FakeDiskEnumeration& fake = *owned;
  fake.disks[0] = MakeDisk(200000);
  fake.disks[1] = MakeDisk(98304);  // the 48 MiB fixture
  fake.disks[2] = MakeDisk(200000);
  fake.disks[3] = MakeDisk(200000);
  fake.disks[4] = MakeDisk(200000);
  fake.volumes = {MakeVolume(0, 2048ull * 512, 190000ull * 512, "NTFS", u'C')};
  DiskEnumerator enumerator(std::move(owned), FixtureTables);
  ASSERT_TRUE(RefreshDisks(enumerator));

  // The system's own volume is not second-guessed by a table.
  const auto& system = enumerator.Disks().at(0);
  ASSERT_EQ(system.size(), 1u);
  EXPECT_EQ(system[0].origin, VolumeInfo::Origin::kSystem);
  EXPECT_TRUE(system[0].tableProblem.empty());

  // Partitions 1, 2 and the logical 5 from the table, then the gap after
  // the last one (20,480 sectors, more than a cylinder); the gaps of 2,048
  // and 4,096 sectors before 2 and 5 are less than one and are not listed.
  const auto& disk = enumerator.Disks().at(1);
  ASSERT_EQ(disk.size(), 4u);
  const uint64_t starts[] = {2048, 36864, 61440};
  const uint64_t lengths[] = {32768, 20480, 16384};
  const int numbers[] = {1, 2, 5};
  const uint8_t types[] = {0x06, 0x07, 0x06};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(disk[i].kind, VolumeInfo::Kind::kVolume);
    EXPECT_EQ(disk[i].origin, VolumeInfo::Origin::kPartitionTable);
    EXPECT_EQ(disk[i].start, starts[i]);
    EXPECT_EQ(disk[i].length, lengths[i]);
    EXPECT_EQ(disk[i].partitionNumber, numbers[i]);
    EXPECT_EQ(disk[i].typeCode, types[i]);
    EXPECT_EQ(disk[i].diskNumber, 1);
    EXPECT_TRUE(disk[i].numbered);
    EXPECT_EQ(disk[i].totalBytes, lengths[i] * 512);
    EXPECT_TRUE(disk[i].tableProblem.empty());
  }
  // Numbers count every record before: C: is 1, so these are 2, 3, 4.
  EXPECT_EQ(disk[0].driveLetter, 2);
  EXPECT_EQ(disk[2].driveLetter, 4);
  EXPECT_EQ(disk[3].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(disk[3].start, 77824u);
  EXPECT_EQ(disk[3].length, 98304u - 77824u);
  EXPECT_FALSE(std::any_of(disk.begin(), disk.end(), [](const VolumeInfo& v) {
    return v.kind == VolumeInfo::Kind::kWholeDisk;
  }));

  // A damaged table: the partition that could be trusted, the gap after it
  // and the whole disk, each with the reason; the entry of no known kind
  // is left out as a system volume without a type would be.
  const auto& damaged = enumerator.Disks().at(2);
  ASSERT_EQ(damaged.size(), 3u);
  EXPECT_EQ(damaged[0].kind, VolumeInfo::Kind::kWholeDisk);
  EXPECT_EQ(damaged[0].length, 200000u);
  EXPECT_EQ(damaged[1].origin, VolumeInfo::Origin::kPartitionTable);
  EXPECT_EQ(damaged[1].start, 2048u);
  EXPECT_EQ(damaged[1].typeCode, 0x0C);
  EXPECT_EQ(damaged[2].kind, VolumeInfo::Kind::kGap);
  EXPECT_EQ(damaged[2].start, 102048u);
  for (const VolumeInfo& v : damaged)
    EXPECT_EQ(v.tableProblem, "partition 2 overlaps partition 1");

  // No table: the whole disk as before, with nothing to report.
  const auto& plain = enumerator.Disks().at(3);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].kind, VolumeInfo::Kind::kWholeDisk);
  EXPECT_TRUE(plain[0].tableProblem.empty());

  // Nothing trustworthy: the whole disk, with the reason.
  const auto& bad = enumerator.Disks().at(4);
  ASSERT_EQ(bad.size(), 1u);
  EXPECT_EQ(bad[0].kind, VolumeInfo::Kind::kWholeDisk);
  EXPECT_EQ(bad[0].tableProblem, "partition 2 overlaps partition 1");
}

TEST(RefreshDisks, WithoutATableReaderADiskWithoutVolumesIsListedWhole) {
  Fixture f;
  f.fake->disks[1] = MakeDisk(98304);
  ASSERT_TRUE(RefreshDisks(*f.enumerator));
  ASSERT_EQ(f.Disk(1).size(), 1u);
  EXPECT_EQ(f.Disk(1)[0].kind, VolumeInfo::Kind::kWholeDisk);
}

}  // namespace
}  // namespace brinvale
