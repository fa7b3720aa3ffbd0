// How the formatted FAT engine learns the old cluster layouts: from the
// boot sector, from two "." sightings, and which one it takes for a sector.
#include <gtest/gtest.h>

#include "common/bytes.h"
#include "engines/fat/professional_fat_test_support.h"

namespace brinvale {
namespace {

using testing::DirectoryStart;
using testing::FileAt;
using testing::ProFatMedium;
using testing::ScratchFolder;

ClusterGeometry Geometry(uint32_t spc, uint32_t dataStart) { return {spc, dataStart, 0}; }

// The common fields of a FAT boot sector.
std::vector<uint8_t> BootSector(uint8_t sectorsPerCluster, uint16_t rootEntries) {
  std::vector<uint8_t> b(512, 0);
  b[0] = 0xEB, b[1] = 0x3C, b[2] = 0x90;     // jump
  std::memcpy(b.data() + 3, "MKFS.FAT", 8);  // OEM name
  StoreLe16(b, 11, 512);                     // bytes per sector
  b[13] = sectorsPerCluster;                 // sectors per cluster
  StoreLe16(b, 14, 4);                       // reserved sectors
  b[16] = 2;                                 // FAT count
  StoreLe16(b, 17, rootEntries);             // root entries (FAT12/16)
  b[21] = 0xF8;                              // media
  StoreLe32(b, 32, 200000);                  // total sectors
  b[510] = 0x55, b[511] = 0xAA;              // boot signature
  return b;
}

std::vector<uint8_t> Fat16Boot() {
  std::vector<uint8_t> b = BootSector(4, 224);
  StoreLe16(b, 22, 200);                      // sectors per FAT (16-bit)
  std::memcpy(b.data() + 54, "FAT16   ", 8);  // type text
  return b;
}

std::vector<uint8_t> Fat32Boot() {
  std::vector<uint8_t> b = BootSector(8, 0);
  StoreLe32(b, 36, 300);                      // sectors per FAT (32-bit)
  StoreLe32(b, 44, 2);                        // root cluster
  std::memcpy(b.data() + 82, "FAT32   ", 8);  // type text
  return b;
}

class ProFatGeometryTest : public ::testing::Test {
 protected:
  ScratchFolder logs;
};

TEST_F(ProFatGeometryTest, TwoSightingsGiveTheClusterSizeAndWhereClusterTwoLies) {
  ProFatMedium medium(10100);
  auto engine = medium.Open(logs.Path());
  engine->OnDirectoryStart(DirectoryStart(5, 0), 10000);
  EXPECT_TRUE(engine->Geometries().empty());
  engine->OnDirectoryStart(DirectoryStart(9, 0), 10032);
  ASSERT_EQ(engine->Geometries().size(), 1u);
  EXPECT_EQ(engine->Geometries()[0], Geometry(8, 9976));
  // A third sighting that the layout places adds nothing.
  engine->OnDirectoryStart(DirectoryStart(12, 0), 9976 + 10 * 8);
  EXPECT_EQ(engine->Geometries().size(), 1u);
}

TEST_F(ProFatGeometryTest, SectorDistanceMustBeAPowerOfTwoClusters) {
  {
    ProFatMedium medium(2000);
    auto engine = medium.Open(logs.Path());
    engine->OnDirectoryStart(DirectoryStart(3, 0), 1000);
    engine->OnDirectoryStart(DirectoryStart(6, 0), 1024);  // 24 sectors for 3 clusters
    ASSERT_EQ(engine->Geometries().size(), 1u);
    EXPECT_EQ(engine->Geometries()[0], Geometry(8, 992));
  }
  {
    ProFatMedium medium(2000);
    auto engine = medium.Open(logs.Path());
    engine->OnDirectoryStart(DirectoryStart(3, 0), 1000);
    engine->OnDirectoryStart(DirectoryStart(13, 0), 1030);  // 30 sectors for 10: 3 each
    EXPECT_TRUE(engine->Geometries().empty());
  }
}

TEST_F(ProFatGeometryTest, LargerClusterAtTheEarlierSectorTeachesNothing) {
  ProFatMedium medium(11000);
  auto engine = medium.Open(logs.Path());
  engine->OnDirectoryStart(DirectoryStart(9, 0), 10000);
  engine->OnDirectoryStart(DirectoryStart(5, 0), 10032);
  EXPECT_TRUE(engine->Geometries().empty());
}

TEST_F(ProFatGeometryTest, ClusterTwoBeforeTheVolumeTeachesNothing) {
  ProFatMedium medium(2000);
  auto engine = medium.Open(logs.Path());
  // 64 sectors per cluster would put cluster 2 at 100 - 64 x 98 < 0.
  engine->OnDirectoryStart(DirectoryStart(100, 0), 100);
  engine->OnDirectoryStart(DirectoryStart(101, 0), 164);
  EXPECT_TRUE(engine->Geometries().empty());
}

TEST_F(ProFatGeometryTest, FilesSeenBeforeTheLayoutAreWrittenWhenItIsLearnt) {
  ProFatMedium medium(10100);
  auto engine = medium.Open(logs.Path());
  engine->OnDirectoryStart(DirectoryStart(5, 0, {FileAt("NOTES   TXT", 40, 700)}), 10000);
  EXPECT_EQ(engine->GetRecordCount(), 0u);  // no layout places the file yet
  engine->OnDirectoryStart(DirectoryStart(9, 0), 10032);
  ASSERT_EQ(engine->GetRecordCount(), 1u);
  RecordList found;
  ASSERT_EQ(engine->Search("*.txt", found), 0);
  ASSERT_EQ(found.size(), 1u);
  const ScanRecord& r = found[0];
  EXPECT_EQ(r.Name(), "notes.txt");
  EXPECT_EQ(r.EngineValue(), 3u);
  EXPECT_EQ(r.ClusterBytes(), 4096u);
  EXPECT_EQ(r.FirstDataSector(), 9976u);
  EXPECT_EQ(r.PartitionStart(), 0u);
  EXPECT_EQ(r.MetadataSector(), 10000u);
  EXPECT_EQ(r.EntryKey(), 40u);
  EXPECT_EQ(r.FileSize(), 700u);
  EXPECT_FALSE(r.IsFolder());
  // Written once: finishing adds only the folder that holds it.
  EXPECT_EQ(engine->FinishFatScan(), 0);
  ASSERT_EQ(engine->Search("*.txt", found), 0);
  EXPECT_EQ(found.size(), 1u);
}

TEST_F(ProFatGeometryTest, NearestGeometryPrefersTheClosestStartAtOrBeforeTheSector) {
  ProFatMedium medium(8000);
  auto engine = medium.Open(logs.Path());
  EXPECT_FALSE(engine->NearestGeometry(100).has_value());
  engine->OnDirectoryStart(DirectoryStart(3, 0), 1000);
  engine->OnDirectoryStart(DirectoryStart(4, 0), 1008);  // 8 per cluster, cluster 2 at 992
  ASSERT_EQ(engine->Geometries().size(), 1u);
  // One layout is taken for every sector.
  EXPECT_EQ(engine->NearestGeometry(10), Geometry(8, 992));
  engine->OnDirectoryStart(DirectoryStart(3, 0), 5000);
  engine->OnDirectoryStart(DirectoryStart(5, 0), 5008);  // 4 per cluster, cluster 2 at 4996
  ASSERT_EQ(engine->Geometries().size(), 2u);
  EXPECT_EQ(engine->NearestGeometry(3000), Geometry(8, 992));
  EXPECT_EQ(engine->NearestGeometry(4996), Geometry(4, 4996));
  EXPECT_EQ(engine->NearestGeometry(7000), Geometry(4, 4996));
  // Before every start: the first layout.
  EXPECT_EQ(engine->NearestGeometry(500), Geometry(8, 992));
}

TEST_F(ProFatGeometryTest, BootGeometryIsLeftOutOfNearestAmongSeveral) {
  ProFatMedium medium(8000);
  medium.Write(0, Fat32Boot());
  auto engine = medium.Open(logs.Path());
  ASSERT_EQ(engine->ReadBootGeometry(), 0);
  ASSERT_EQ(engine->Geometries().size(), 1u);
  const ClusterGeometry boot = Geometry(8, 4 + 2 * 300);  // reserved + two FATs
  EXPECT_EQ(engine->Geometries()[0], boot);
  engine->OnDirectoryStart(DirectoryStart(3, 0), 5000);
  engine->OnDirectoryStart(DirectoryStart(4, 0), 5004);  // 4 per cluster, cluster 2 at 4996
  ASSERT_EQ(engine->Geometries().size(), 2u);
  // The boot layout starts closer to sector 3000 but is not a candidate;
  // with no other start before it, the first (boot) layout is taken.
  EXPECT_EQ(engine->NearestGeometry(3000), boot);
  EXPECT_EQ(engine->NearestGeometry(6000), Geometry(4, 4996));
}

TEST_F(ProFatGeometryTest, Fat16BootGeometryCountsTheRootDirectoryFromItsEntries) {
  ProFatMedium medium(2000);
  medium.Write(0, Fat16Boot());
  auto engine = medium.Open(logs.Path());
  ASSERT_EQ(engine->ReadBootGeometry(), 0);
  ASSERT_EQ(engine->Geometries().size(), 1u);
  // 4 reserved + 2 x 200 FAT sectors + 224 entries x 32 bytes / 512 = 14.
  EXPECT_EQ(engine->Geometries()[0], Geometry(4, 4 + 400 + 14));
  // The root directory starts right after the FATs: a file there is filed
  // at the top level (root cluster 0).
  std::vector<uint8_t> root(512, 0);
  const testing::Entry file = FileAt("ROOT    TXT", 7, 10);
  std::copy(file.begin(), file.end(), root.begin());
  engine->OnDirectorySector(root, 404);
  EXPECT_EQ(engine->FinishFatScan(), 0);
  RecordList top;
  ASSERT_EQ(engine->ListChildren(nullptr, 0, top), 0);
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].Name(), "root.txt");
}

TEST_F(ProFatGeometryTest, NoBootSectorGivesNoGeometryAndNoError) {
  ProFatMedium medium(100);
  auto engine = medium.Open(logs.Path());
  EXPECT_EQ(engine->ReadBootGeometry(), 0);
  EXPECT_TRUE(engine->Geometries().empty());
}

}  // namespace
}  // namespace brinvale
