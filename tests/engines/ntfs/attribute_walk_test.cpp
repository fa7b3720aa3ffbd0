#include "engines/ntfs/attribute_walk.h"

#include <gtest/gtest.h>

#include "engines/ntfs/fixups.h"
#include "record_builder.h"

namespace brinvale {
namespace {

using testing::RecordBuilder;

// A bare attribute header of `length` bytes with type `type`.
std::vector<uint8_t> Header(uint32_t type, uint32_t length) {
  std::vector<uint8_t> a(std::max<uint32_t>(length, 0x18));
  StoreLe32(a, 0x00, type);    // type
  StoreLe32(a, 0x04, length);  // length as stored
  return a;
}

std::vector<uint8_t> Repaired(const RecordBuilder& b) {
  auto r = b.Build();
  ApplyFixups(r, 1024);
  return r;
}

std::vector<uint32_t> Types(const std::vector<uint8_t>& record, WalkKind kind) {
  std::vector<uint32_t> types;
  AttributeWalk walk(record, 1024, kind);
  while (walk.Next()) types.push_back(walk.Type());
  return types;
}

constexpr WalkKind kAllKinds[] = {WalkKind::kRecordAnalysis, WalkKind::kParentChain,
                                  WalkKind::kFindRuns, WalkKind::kResidentData,
                                  WalkKind::kDataSize};

TEST(AttributeWalk, VisitsEachAttributeUpToTheEndMarker) {
  auto r = Repaired(RecordBuilder().Resident(0x10, {1, 2}).Resident(0x30, {3}).Resident(0x80, {}));
  for (WalkKind kind : kAllKinds)
    EXPECT_EQ(Types(r, kind), (std::vector<uint32_t>{0x10, 0x30, 0x80}));
}

TEST(AttributeWalk, LengthZeroOrBelowTheHeaderEndsEveryWalk) {
  for (uint32_t length : {0u, 8u, 0x17u}) {
    auto r = Repaired(RecordBuilder().Resident(0x10, {}).Raw(Header(0x30, length)));
    for (WalkKind kind : kAllKinds)
      EXPECT_EQ(Types(r, kind), (std::vector<uint32_t>{0x10})) << length;
  }
}

TEST(AttributeWalk, AttributeEndingPastTheRecordEndsEveryWalk) {
  auto r = Repaired(RecordBuilder().Resident(0x10, {}).Raw(Header(0x80, 0x18)));
  // Stretch the second attribute to end 8 bytes past the record.
  AttributeWalk probe(r, 1024, WalkKind::kFindRuns);
  ASSERT_TRUE(probe.Next());
  const size_t second = probe.Offset() + probe.Attribute().size();
  StoreLe32(r, second + 4, uint32_t(1024 - second + 8));
  for (WalkKind kind : kAllKinds) EXPECT_EQ(Types(r, kind), (std::vector<uint32_t>{0x10}));
  // Ending exactly at the record end is still inside.
  StoreLe32(r, second + 4, uint32_t(1024 - second));
  EXPECT_EQ(Types(r, WalkKind::kFindRuns), (std::vector<uint32_t>{0x10, 0x80}));
}

TEST(AttributeWalk, EndMarkersDifferByWalk) {
  struct Case {
    uint32_t marker;
    bool endsAnalysis, endsChain, endsFindRuns, endsResident, endsDataSize;
  } cases[] = {
      {0xFFFFFFFF, true, true, true, true, true},
      {0xFDFDFDFD, true, true, false, true, false},
      {0xFE000000, true, false, false, false, false},  // above 0xFDFDFDFD
      {0x00000000, true, true, false, false, false},
  };
  for (const auto& c : cases) {
    auto r =
        Repaired(RecordBuilder().Resident(0x10, {}).Raw(Header(c.marker, 0x18)).Resident(0x80, {}));
    const std::vector<uint32_t> ended{0x10}, passed{0x10, c.marker, 0x80};
    EXPECT_EQ(Types(r, WalkKind::kRecordAnalysis), c.endsAnalysis ? ended : passed) << c.marker;
    EXPECT_EQ(Types(r, WalkKind::kParentChain), c.endsChain ? ended : passed) << c.marker;
    EXPECT_EQ(Types(r, WalkKind::kFindRuns), c.endsFindRuns ? ended : passed) << c.marker;
    EXPECT_EQ(Types(r, WalkKind::kResidentData), c.endsResident ? ended : passed) << c.marker;
    EXPECT_EQ(Types(r, WalkKind::kDataSize), c.endsDataSize ? ended : passed) << c.marker;
  }
}

TEST(AttributeWalk, AnalysisWalksStopAtBytesInUse) {
  auto r = Repaired(RecordBuilder().Resident(0x10, {}).Resident(0x30, {}));
  // Bytes in use end after the first attribute (0x18 bytes at 0x38).
  StoreLe32(r, 0x18, 0x38 + 0x18);
  EXPECT_EQ(Types(r, WalkKind::kRecordAnalysis), (std::vector<uint32_t>{0x10}));
  EXPECT_EQ(Types(r, WalkKind::kParentChain), (std::vector<uint32_t>{0x10}));
  EXPECT_EQ(Types(r, WalkKind::kFindRuns), (std::vector<uint32_t>{0x10, 0x30}));
}

TEST(AttributeWalk, FirstAttributeOutsideTheRecordOrNoSignatureGivesNothing) {
  auto r = Repaired(RecordBuilder().Resident(0x10, {}));
  auto outside = r;
  StoreLe16(outside, 0x14, 1020);  // 4 bytes before the end: no room for a header
  for (WalkKind kind : kAllKinds) EXPECT_TRUE(Types(outside, kind).empty());
  StoreLe16(outside, 0x14, 0xFFF0);
  for (WalkKind kind : kAllKinds) EXPECT_TRUE(Types(outside, kind).empty());
  auto unsigned_ = r;
  unsigned_[0] = 'B';  // "BILE"
  for (WalkKind kind : kAllKinds) EXPECT_TRUE(Types(unsigned_, kind).empty());
}

TEST(AttributeWalk, NeverLeavesTheRecordSizeEvenInALargerBuffer) {
  auto r = Repaired(RecordBuilder().Resident(0x10, {}));
  // The next record in the buffer starts right after this one; remove the
  // end marker so the walk would run into it.
  AttributeWalk probe(r, 1024, WalkKind::kFindRuns);
  ASSERT_TRUE(probe.Next());
  const size_t end = probe.Offset() + probe.Attribute().size();
  StoreLe32(r, end, 0x80);
  StoreLe32(r, end + 4, uint32_t(1024 - end));  // a $DATA filling the rest exactly
  r.resize(2048, 0x11);
  EXPECT_EQ(Types(r, WalkKind::kFindRuns), (std::vector<uint32_t>{0x10, 0x80}));
  StoreLe32(r, end + 4, uint32_t(1024 - end + 0x18));  // now it would cross into the next
  EXPECT_EQ(Types(r, WalkKind::kFindRuns), (std::vector<uint32_t>{0x10}));
}

}  // namespace
}  // namespace brinvale
