#include "engines/ntfs/record_to_sector.h"

#include <gtest/gtest.h>

#include "common/error_codes.h"

namespace brinvale {
namespace {

NtfsVolume Volume(uint32_t bytesPerSector, uint32_t sectorsPerCluster, RunList runs,
                  uint64_t start = 1000) {
  NtfsVolume v;
  EXPECT_TRUE(SetSectorSize(v, bytesPerSector));
  v.sectorsPerCluster = sectorsPerCluster;
  v.startSector = start;
  v.mftRuns = std::move(runs);
  return v;
}

uint64_t SectorOf(const NtfsVolume& v, uint64_t record) {
  uint64_t sector = 0;
  EXPECT_EQ(RecordToSector(v, record, sector), kOk) << record;
  return sector;
}

TEST(RecordToSector, WalksTheMftRuns) {
  // 512-byte sectors, 8 per cluster: 4 records per cluster.
  // Run 1: 2 clusters at 100 (records 0..7); run 2: 3 clusters at 40 (8..19).
  auto v = Volume(512, 8, {{2, 100, false}, {3, -60, false}});
  EXPECT_EQ(SectorOf(v, 0), 1000u + 800);
  EXPECT_EQ(SectorOf(v, 7), 1000u + 800 + 14);
  // Record 8 starts where run 1 ends: it is at the start of run 2.
  EXPECT_EQ(SectorOf(v, 8), 1000u + 320);
  EXPECT_EQ(SectorOf(v, 19), 1000u + 320 + 22);
}

TEST(RecordToSector, RecordPastTheMftIsAnError) {
  auto v = Volume(512, 8, {{2, 100, false}, {3, -60, false}});
  uint64_t sector = 77;
  EXPECT_EQ(RecordToSector(v, 20, sector), kErrInvalidParameter);
  EXPECT_EQ(RecordToSector(v, ~uint64_t(0), sector), kErrInvalidParameter);
  EXPECT_EQ(sector, 77u);
  NtfsVolume empty = Volume(512, 8, {});
  EXPECT_EQ(RecordToSector(empty, 0, sector), kErrInvalidParameter);
}

TEST(RecordToSector, FourKilobyteSectorsHoldOneRecordEach) {
  auto v = Volume(4096, 1, {{10, 4, false}}, 0);
  EXPECT_EQ(v.recordSize, 4096u);
  EXPECT_EQ(SectorOf(v, 0), 4u);
  EXPECT_EQ(SectorOf(v, 9), 13u);
  uint64_t sector = 0;
  EXPECT_EQ(RecordToSector(v, 10, sector), kErrInvalidParameter);
}

TEST(RecordToSector, RecordSplitOverTwoRunsIsAnError) {
  // One sector per cluster: a 1,024-byte record can straddle two runs.
  auto v = Volume(512, 1, {{3, 50, false}, {3, 50, false}});
  EXPECT_EQ(SectorOf(v, 0), 1050u);
  uint64_t sector = 0;
  EXPECT_EQ(RecordToSector(v, 1, sector), kErrInvalidParameter);  // sectors 2 and 3
}

TEST(RecordToSector, SparseRunHoldsNoRecords) {
  auto v = Volume(512, 8, {{1, 100, false}, {1, 0, true}, {1, 10, false}});
  uint64_t sector = 0;
  EXPECT_EQ(RecordToSector(v, 4, sector), kErrInvalidParameter);
  EXPECT_EQ(SectorOf(v, 8), 1000u + 110 * 8);
}

}  // namespace
}  // namespace brinvale
