#include "engines/ntfs/run_list.h"

#include <gtest/gtest.h>

#include "record_builder.h"

namespace brinvale {
namespace {

// A non-resident $DATA attribute holding `runs` as its run list.
std::vector<uint8_t> AttributeWithRuns(const std::vector<uint8_t>& runs) {
  std::vector<uint8_t> a((0x40 + runs.size() + 1 + 7) & ~size_t(7));
  StoreLe32(a, 0x00, 0x80);                // $DATA
  StoreLe32(a, 0x04, uint32_t(a.size()));  // length
  a[0x08] = 1;                             // non-resident
  StoreLe16(a, 0x20, 0x40);                // run list offset
  std::copy(runs.begin(), runs.end(), a.begin() + 0x40);
  return a;
}

std::vector<PlacedRun> Placed(const RunList& runs) {
  std::vector<PlacedRun> placed;
  EXPECT_TRUE(PlaceRuns(runs, placed));
  return placed;
}

TEST(DecodeRunList, TwoByteOffsetAndNegativeDelta) {
  RunList runs;
  // 0x21: 1-byte count 0x10, 2-byte offset 0x0100; 0x11: count 8, offset -16.
  EXPECT_EQ(DecodeRunList(AttributeWithRuns({0x21, 0x10, 0x00, 0x01, 0x11, 0x08, 0xF0}), runs), 2u);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (DataRun{16, 256, false}));
  EXPECT_EQ(runs[1], (DataRun{8, -16, false}));
  auto placed = Placed(runs);
  EXPECT_EQ(placed[1].startCluster, 240u);
}

TEST(DecodeRunList, RunBeforeClusterZeroEndsTheList) {
  RunList runs;
  // Count 4 at cluster 0x10, then count 4 at -0x20: cluster -16 does not exist.
  DecodeRunList(AttributeWithRuns({0x11, 0x04, 0x10, 0x11, 0x04, 0xE0}), runs);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].clusterDelta, 16);
}

TEST(DecodeRunList, RunWithoutOffsetIsSparseAndLeavesTheNextStartAlone) {
  RunList runs;
  DecodeRunList(AttributeWithRuns({
                    0x11, 0x10, 0x20,  // 16 clusters at 32
                    0x01, 0x08,        // 8 sparse clusters
                    0x11, 0x04, 0x10,  // 4 clusters at 32 + 16
                }),
                runs);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_TRUE(runs[1].sparse);
  EXPECT_EQ(runs[1].clusterDelta, 0);
  auto placed = Placed(runs);
  EXPECT_EQ(placed[0].startCluster, 32u);
  EXPECT_TRUE(placed[1].sparse);
  EXPECT_EQ(placed[1].clusterCount, 8u);
  EXPECT_EQ(placed[2].startCluster, 48u);
  EXPECT_FALSE(placed[2].sparse);
}

TEST(DecodeRunList, LengthsKeepAllSixtyFourBits) {
  RunList runs;
  // 5-byte count 0x01_0000_0002, 1-byte offset 1; then an 8-byte count.
  DecodeRunList(AttributeWithRuns({0x15, 0x02, 0x00, 0x00, 0x00, 0x01, 0x01,  //
                                   0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}),
                runs);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].clusterCount, 0x0100000002ull);
  EXPECT_EQ(runs[1].clusterCount, 0x7FFFFFFFFFFFFFFFull);
  EXPECT_TRUE(runs[1].sparse);
}

TEST(DecodeRunList, DecodesToTheEndOfAnAttributeLongerThanASector) {
  // 150 runs of 4 bytes: the list reaches past byte 512 of the attribute.
  std::vector<uint8_t> list;
  for (int i = 0; i < 150; ++i) list.insert(list.end(), {0x21, 0x01, 0x02, 0x00});
  auto attribute = AttributeWithRuns(list);
  ASSERT_GT(attribute.size(), 600u);
  RunList runs;
  EXPECT_EQ(DecodeRunList(attribute, runs), 150u);
  EXPECT_EQ(Placed(runs).back().startCluster, 150u * 2);
}

TEST(DecodeRunList, StopsAtMalformedRuns) {
  struct Case {
    const char* what;
    std::vector<uint8_t> list;
    size_t runs;
  } cases[] = {
      {"header 0 ends", {0x11, 0x01, 0x01, 0x00, 0x11, 0x01, 0x01}, 1},
      {"count field of 9 bytes", {0x11, 0x01, 0x01, 0x19}, 1},
      {"offset field of 9 bytes", {0x91, 0x01}, 0},
      {"run of 0 clusters", {0x11, 0x00, 0x05, 0x11, 0x01, 0x01}, 0},
      {"count field missing", {0x10, 0x05}, 0},
  };
  for (const auto& c : cases) {
    RunList runs;
    EXPECT_EQ(DecodeRunList(AttributeWithRuns(c.list), runs), c.runs) << c.what;
  }
}

TEST(DecodeRunList, RunPastTheAttributeEndIsDropped) {
  auto attribute = AttributeWithRuns({0x11, 0x01, 0x01, 0x00});
  // Cut the attribute inside a second run whose header claims 4 more bytes.
  attribute.resize(0x40 + 3 + 3);
  attribute[0x43] = 0x31;
  attribute[0x44] = 0x01;
  attribute[0x45] = 0x01;
  StoreLe32(attribute, 0x04, uint32_t(attribute.size()));
  RunList runs;
  EXPECT_EQ(DecodeRunList(attribute, runs), 1u);
}

TEST(DecodeRunList, ResidentOrTruncatedAttributeHasNoRuns) {
  auto attribute = AttributeWithRuns({0x11, 0x01, 0x01});
  attribute[0x08] = 0;  // resident
  RunList runs;
  EXPECT_EQ(DecodeRunList(attribute, runs), 0u);
  EXPECT_EQ(DecodeRunList(std::span(attribute).first(0x21), runs), 0u);
  // A run-list offset past the attribute.
  attribute[0x08] = 1;
  StoreLe16(attribute, 0x20, 0x400);
  EXPECT_EQ(DecodeRunList(attribute, runs), 0u);
}

TEST(DecodeRunList, AppendedPieceIsRebasedOnTheRunsBefore) {
  RunList runs;
  DecodeRunList(AttributeWithRuns({0x11, 0x04, 0x64}), runs);  // 4 clusters at 100
  // The second piece of the attribute starts again from cluster 0: 2 at 50.
  DecodeRunList(AttributeWithRuns({0x11, 0x02, 0x32, 0x01, 0x03, 0x11, 0x01, 0x05}), runs);
  auto placed = Placed(runs);
  ASSERT_EQ(placed.size(), 4u);
  EXPECT_EQ(placed[0].startCluster, 100u);
  EXPECT_EQ(placed[1].startCluster, 50u);
  EXPECT_TRUE(placed[2].sparse);
  EXPECT_EQ(placed[3].startCluster, 55u);
  EXPECT_EQ(TotalClusters(runs), 10u);
}

}  // namespace
}  // namespace brinvale
