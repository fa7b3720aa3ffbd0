#include "engines/ntfs/ntfs_volume.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/error_codes.h"
#include "engines/ntfs/record_to_sector.h"
#include "record_builder.h"

namespace brinvale {
namespace {

std::vector<uint8_t> BootSector(uint16_t bytesPerSector, uint8_t sectorsPerCluster,
                                uint64_t mftCluster) {
  std::vector<uint8_t> b(4096, 0);
  std::memcpy(b.data() + 3, "NTFS    ", 8);  // OEM name
  StoreLe16(b, 0x0B, bytesPerSector);        // bytes per sector
  b[0x0D] = sectorsPerCluster;               // sectors per cluster
  StoreLe64(b, 0x28, 20000);                 // total sectors
  StoreLe64(b, 0x30, mftCluster);            // $MFT cluster
  b[0x40] = 0xF6;                            // clusters per record: not used
  b[510] = 0x55;
  b[511] = 0xAA;
  return b;
}

TEST(ParseNtfsBootSector, RecordGeometryFollowsTheSectorSize) {
  struct Case {
    uint16_t stored;
    uint32_t bytesPerSector, recordSize, sectorsPerRecord;
  } cases[] = {
      {0, 512, 1024, 2},  // 0 is read as 512
      {512, 512, 1024, 2},
      {1024, 1024, 1024, 1},
      {4096, 4096, 4096, 1},
  };
  for (const auto& c : cases) {
    NtfsVolume v;
    v.startSector = 100;
    ASSERT_EQ(ParseNtfsBootSector(BootSector(c.stored, 8, 4), v), kOk) << c.stored;
    EXPECT_EQ(v.bytesPerSector, c.bytesPerSector);
    EXPECT_EQ(v.recordSize, c.recordSize);
    EXPECT_EQ(v.sectorsPerRecord, c.sectorsPerRecord);
    EXPECT_EQ(v.sectorsPerCluster, 8u);
    EXPECT_EQ(v.mftStartSector, 100u + 8 * 4);
  }
}

TEST(ParseNtfsBootSector, LargeClustersAreStoredAsANegativePower) {
  NtfsVolume v;
  ASSERT_EQ(ParseNtfsBootSector(BootSector(512, 0xF8, 2), v), kOk);  // -8: 256 sectors
  EXPECT_EQ(v.sectorsPerCluster, 256u);
  EXPECT_EQ(v.ClusterBytes(), 128u * 1024);
  EXPECT_EQ(v.mftStartSector, 512u);
  ASSERT_EQ(ParseNtfsBootSector(BootSector(512, 0xFF, 2), v), kOk);  // -1: 2 sectors
  EXPECT_EQ(v.sectorsPerCluster, 2u);
  ASSERT_EQ(ParseNtfsBootSector(BootSector(4096, 0xF7, 2), v), kOk);  // -9: 2 MiB clusters
  EXPECT_EQ(v.ClusterBytes(), 2u << 20);
}

TEST(ParseNtfsBootSector, CountsUpTo128AreCounts) {
  // 0x80 is 128 sectors (64 KiB clusters of 512-byte sectors), not -128.
  for (uint8_t stored : {1, 2, 8, 64, 128}) {
    NtfsVolume v;
    ASSERT_EQ(ParseNtfsBootSector(BootSector(512, stored, 3), v), kOk) << int(stored);
    EXPECT_EQ(v.sectorsPerCluster, stored);
    EXPECT_EQ(v.mftStartSector, 3u * stored);
  }
  NtfsVolume v;
  ASSERT_EQ(ParseNtfsBootSector(BootSector(4096, 128, 3), v), kOk);  // 512 KiB clusters
  EXPECT_EQ(v.ClusterBytes(), 512u * 1024);
}

TEST(ParseNtfsBootSector, FieldsOutOfRangeAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> boot;
  } cases[] = {
      {"sector size 1536", BootSector(1536, 8, 4)},
      {"sector size 8192", BootSector(8192, 1, 4)},
      {"0 sectors per cluster", BootSector(512, 0, 4)},
      {"0x81 sectors per cluster", BootSector(512, 0x81, 4)},
      {"0xE0 sectors per cluster (a shift of 32)", BootSector(512, 0xE0, 4)},
      {"0xE1 sectors per cluster (2^31 sectors)", BootSector(512, 0xE1, 4)},
      {"cluster of 4 MiB", BootSector(512, 0xF3, 4)},
      {"cluster of 4 MiB on 4 KiB sectors", BootSector(4096, 0xF6, 4)},
      {"$MFT past 64 bits", BootSector(512, 8, 0x2000000000000000ull)},
  };
  for (const auto& c : cases) {
    NtfsVolume v;
    v.startSector = 5;
    EXPECT_EQ(ParseNtfsBootSector(c.boot, v), kErrInvalidParameter) << c.what;
    EXPECT_EQ(v.startSector, 5u) << c.what;
    EXPECT_EQ(v.bytesPerSector, 512u) << c.what;
  }
}

TEST(ReadNtfsBootSector, ShortMediumIsAReadError) {
  std::vector<uint8_t> bytes = BootSector(512, 8, 4);
  bytes.resize(2048);
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes), 4);
  NtfsVolume v;
  EXPECT_EQ(ReadNtfsBootSector(reader, 0, 4, 512, u'E', v), kErrInvalidParameter);
  // The reader claims 8 sectors but the bytes end at 4: a short read.
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes), 8);
  EXPECT_EQ(ReadNtfsBootSector(reader, 0, 8, 512, u'E', v), kErrReadFault);
}

TEST(ReadNtfsBootSector, StartAndCountAreRestatedInVolumeSectors) {
  std::vector<uint8_t> bytes(16 * 4096, 0);
  auto boot = BootSector(4096, 1, 4);
  std::copy(boot.begin(), boot.end(), bytes.begin() + 8 * 512);  // volume at byte 4096
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes), bytes.size() / 512);
  NtfsVolume v;
  ASSERT_EQ(ReadNtfsBootSector(reader, 8, 120, 512, u'F', v), kOk);
  EXPECT_EQ(v.startSector, 1u);
  EXPECT_EQ(v.sectorCount, 15u);
  EXPECT_EQ(v.mftStartSector, 5u);
  EXPECT_EQ(v.driveLetter, u'F');
  // A start that is not a whole 4,096-byte sector.
  EXPECT_EQ(ReadNtfsBootSector(reader, 7, 120, 512, u'F', v), kErrInvalidParameter);
}

TEST(OpenNtfsVolume, ReadsTheMftRunsFromRecordZero) {
  testing::MemoryVolume disk;
  auto boot = BootSector(512, 8, 4);
  disk.PutAt(0, boot);
  // $MFT: 16 clusters at 4, then 8 at 60.
  disk.PutAt(32, testing::RecordBuilder(0)
                     .NonResident(0x80, {0x11, 0x10, 0x04, 0x11, 0x08, 0x38}, 24 * 4096)
                     .Build());
  SectorReader reader = disk.Reader();
  NtfsVolume v;
  ASSERT_EQ(OpenNtfsVolume(reader, 0, reader.totalSectors, 512, u'G', v), kOk);
  EXPECT_EQ(v.mftRuns, (RunList{{16, 4, false}, {8, 56, false}}));
  // A boot sector whose $MFT cluster holds no FILE record.
  StoreLe64(boot, 0x30, 10);
  disk.PutAt(0, boot);
  reader = disk.Reader();
  EXPECT_EQ(OpenNtfsVolume(reader, 0, reader.totalSectors, 512, u'G', v), -1);
}

TEST(OpenNtfsVolume, FollowsTheMftsOwnAttributeList) {
  // Record 0 keeps the first 16 clusters of $MFT and lists record 3 (inside
  // them) for the next 8, at cluster 60.
  testing::MemoryVolume disk;
  disk.PutAt(0, BootSector(512, 8, 4));
  std::vector<uint8_t> list(0x40, 0);
  for (size_t i = 0; i < 2; ++i) {
    const size_t e = 0x20 * i;
    StoreLe32(list, e + 0x00, 0x80);        // $DATA
    StoreLe16(list, e + 0x04, 0x20);        // entry length
    list[e + 0x07] = 0x1A;                  // name offset
    StoreLe64(list, e + 0x08, i ? 16 : 0);  // lowest VCN
    StoreLe64(list, e + 0x10, i ? 3 : 0);   // record
  }
  disk.PutRecord(0, testing::RecordBuilder(0)
                        .Resident(0x20, list)
                        .NonResident(0x80, {0x11, 0x10, 0x04}, 24 * 4096)
                        .Build());
  disk.PutRecord(
      3,
      testing::RecordBuilder(3).BaseRecord(0).NonResident(0x80, {0x11, 0x08, 0x3C}, 0, 16).Build());
  SectorReader reader = disk.Reader();
  NtfsVolume v;
  ASSERT_EQ(OpenNtfsVolume(reader, 0, reader.totalSectors, 512, u'G', v), kOk);
  EXPECT_EQ(v.mftRuns, (RunList{{16, 4, false}, {8, 56, false}}));
  uint64_t sector = 0;
  ASSERT_EQ(RecordToSector(v, 64, sector), kOk);  // first record of the listed piece
  EXPECT_EQ(sector, 60u * 8);
}

}  // namespace
}  // namespace brinvale
