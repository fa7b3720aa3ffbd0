#include "results/scan_record.h"

#include <gtest/gtest.h>

#include <string>

namespace brinvale {
namespace {

TEST(ScanRecord, FieldsSitAtTheirOffsetsLittleEndian) {
  ScanRecord r;
  r.SetSourceKey(u'E');
  r.SetEngine(EngineCode::kFormattedFat);
  r.SetIsFolder(true);
  r.SetNumber(0x01020304);
  r.SetFileSize(0x1122334455667788ull);
  r.SetPartitionStart(63);
  auto b = r.Bytes();
  ASSERT_EQ(b.size(), 346u);
  EXPECT_EQ(b[0], 'E');
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(b[2], 3);   // engine code at 2
  EXPECT_EQ(b[6], 1);   // folder flag at 6
  EXPECT_EQ(b[18], 0x04);  // record number at 18, low byte first
  EXPECT_EQ(b[21], 0x01);
  EXPECT_EQ(b[54], 0x88);  // size at 54
  EXPECT_EQ(b[61], 0x11);
  EXPECT_EQ(b[78], 63);    // partition start at 78
  ScanRecord copy = ScanRecord::FromBytes(b);
  EXPECT_EQ(copy.FileSize(), 0x1122334455667788ull);
  EXPECT_EQ(copy.Number(), 0x01020304u);
  EXPECT_TRUE(copy.IsFolder());
}

TEST(ScanRecord, NameHoldsAtMost259BytesAndItsNul) {
  ScanRecord r;
  r.SetName(std::string(400, 'x'));
  EXPECT_EQ(r.Name().size(), 259u);
  EXPECT_EQ(r.Bytes()[86], 'x');
  EXPECT_EQ(r.Bytes()[86 + 259], 0);
  r.SetName("short");
  EXPECT_EQ(r.Name(), "short");
  EXPECT_EQ(r.Bytes()[86 + 6], 0) << "the rest of the old name is cleared";
}

TEST(ScanRecord, LongNamesAreCutAtACharacterBoundary) {
  // 258 ASCII bytes then a two-byte character: it does not fit whole.
  ScanRecord r;
  r.SetName(std::string(258, 'a') + "é");
  EXPECT_EQ(r.Name().size(), 258u);
  // Three-byte characters from the start: 86 fit in 258 bytes.
  std::string cjk;
  for (int i = 0; i < 100; ++i) cjk += "資";
  r.SetName(cjk);
  EXPECT_EQ(r.Name().size(), 258u);
  EXPECT_EQ(r.Name().substr(255), "資");
}

TEST(ScanRecord, ClusterToSectorCountsFromClusterTwo) {
  // 512-byte sectors, 8 per cluster, first data sector 2,048, volume at 63.
  ScanRecord r;
  r.SetClusterBytes(4096);
  r.SetFirstDataSector(2048);
  r.SetPartitionStart(63);
  EXPECT_EQ(r.ClusterToSector(5, 512), 2135u);
  EXPECT_EQ(r.ClusterToSector(2, 512), 2111u);
}

}  // namespace
}  // namespace brinvale
