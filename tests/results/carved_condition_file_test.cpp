// The verdict file of carved files: its 24-byte entries, field by field,
// and the file as it is opened, added to and opened again.
#include "results/carved_condition_file.h"

#include <gtest/gtest.h>

#include <array>

#include "common/bytes.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

TEST(CarvedEntry, FieldsByOffset) {
  std::array<uint8_t, carved::kEntrySize> b{};
  EncodeCarvedEntry({7, 0x1122334455ull, CompleteVerdict(4096)}, b);
  EXPECT_EQ(LoadLe32(b, 0), 7u);               // record number
  EXPECT_EQ(b[4], 1);                          // complete
  EXPECT_EQ(b[5], 0);                          // no fault
  EXPECT_EQ(LoadLe64(b, 8), 0x1122334455ull);  // start sector
  EXPECT_EQ(LoadLe64(b, 16), 4096u);           // exact length
  EncodeCarvedEntry({8, 9, DamagedVerdict(CarvedFault::kChecksum)}, b);
  EXPECT_EQ(b[4], 2);
  EXPECT_EQ(b[5], 2);
  EXPECT_EQ(LoadLe64(b, 16), 0u);  // no length for a damaged file
  auto back = DecodeCarvedEntry(b);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->verdict, DamagedVerdict(CarvedFault::kChecksum));
  // An unchecked stream keeps where its units stop in the same field.
  EncodeCarvedEntry({9, 9, StreamEndVerdict(12288)}, b);
  EXPECT_EQ(b[4], 0);
  EXPECT_EQ(LoadLe64(b, 16), 12288u);
  back = DecodeCarvedEntry(b);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->verdict, StreamEndVerdict(12288));
  EXPECT_EQ(back->verdict.exactLength, 0u);
  b[4] = 3;  // no such condition
  EXPECT_FALSE(DecodeCarvedEntry(b));
  b[4] = 1;
  b[5] = 9;  // no such fault
  EXPECT_FALSE(DecodeCarvedEntry(b));
}

TEST(CarvedEntry, HeaderAndPartialEntries) {
  std::vector<uint8_t> bytes{'B', 'V', 'C', 'A', 'R', 'V', 'E', '1'};
  std::array<uint8_t, carved::kEntrySize> e{};
  EncodeCarvedEntry({1, 10, CompleteVerdict(5)}, e);
  bytes.insert(bytes.end(), e.begin(), e.end());
  bytes.insert(bytes.end(), e.begin(), e.begin() + 10);  // a cut entry
  std::vector<CarvedEntry> out;
  ASSERT_TRUE(ParseCarvedConditions(bytes, out));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].verdict.exactLength, 5u);
  bytes[0] = 'X';
  out.clear();
  EXPECT_FALSE(ParseCarvedConditions(bytes, out));
}

TEST(CarvedConditionFileTest, KeptAcrossOpensLaterEntryWins) {
  test::TempDir dir("carved-conditions");
  const auto path = dir.Path() / CarvedConditionFileName("File_Type_0_2026129171");
  EXPECT_EQ(path.filename().string(), ".File_Type_0_2026129171_Condition");
  {
    CarvedConditionFile file;
    ASSERT_EQ(file.Open(path), 0);
    EXPECT_EQ(file.Count(), 0u);
    ASSERT_EQ(file.Add(1, 100, CompleteVerdict(1234)), 0);
    ASSERT_EQ(file.Add(2, 200, DamagedVerdict(CarvedFault::kRunsOff)), 0);
    ASSERT_EQ(file.Add(1, 100, CompleteVerdict(999)), 0);
  }  // written out when closed
  CarvedConditionFile again;
  ASSERT_EQ(again.Open(path), 0);
  EXPECT_EQ(again.Count(), 2u);
  EXPECT_EQ(again.Find(1, 100), CompleteVerdict(999));
  EXPECT_EQ(again.Find(2, 200), DamagedVerdict(CarvedFault::kRunsOff));
  // An entry made for another start sector is not this record's.
  EXPECT_FALSE(again.Find(1, 101));
  EXPECT_FALSE(again.Find(3, 100));
  uint64_t size = 0;
  ASSERT_EQ(platform::FileSize(path, size), 0);
  EXPECT_EQ(size, carved::kHeaderSize + 3 * carved::kEntrySize);
}

TEST(CarvedConditionFileTest, ForeignFileIsStartedAfresh) {
  test::TempDir dir("carved-foreign");
  const auto path = dir.Path() / "v";
  test::WriteFileBytes(path, std::vector<uint8_t>(100, 'x'));
  CarvedConditionFile file;
  ASSERT_EQ(file.Open(path), 0);
  EXPECT_EQ(file.Count(), 0u);
  ASSERT_EQ(file.Add(4, 4, CompleteVerdict(4)), 0);
  ASSERT_EQ(file.Flush(), 0);
  CarvedConditionFile again;
  ASSERT_EQ(again.Open(path), 0);
  EXPECT_EQ(again.Find(4, 4), CompleteVerdict(4));
}

TEST(CarvedVerdictRules, RecoveredLengthAndNames) {
  EXPECT_EQ(RecoveredLength(CompleteVerdict(1000), 4096), 1000u);
  EXPECT_EQ(RecoveredLength(CompleteVerdict(4100), 4096), 4100u);  // a line end in the last sector
  EXPECT_EQ(RecoveredLength(DamagedVerdict(CarvedFault::kChecksum), 4096), 4096u);
  EXPECT_EQ(RecoveredLength(CarvedVerdict{}, 4096), 4096u);
  EXPECT_EQ(RecoveredLength(StreamEndVerdict(3000), 4096), 3000u);
  EXPECT_EQ(RecoveredLength(StreamEndVerdict(5000), 4096), 4096u);  // never past the scan's size
  EXPECT_EQ(CarvedConditionName(CarvedCondition::kComplete), "complete");
  EXPECT_EQ(CarvedConditionName(CarvedCondition::kDamaged), "damaged");
  EXPECT_EQ(CarvedConditionName(CarvedCondition::kUnchecked), "unchecked");
}

}  // namespace
}  // namespace brinvale
