#include "results/relation_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brinvale {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

RelationMap Parse(std::string_view text) {
  RelationMap map;
  ParseRelationText(text, map);
  return map;
}

TEST(RelationText, WritesAndReadsEntriesInKeyOrder) {
  std::string text;
  AppendRelationEntry(text, 4294967298ULL, {5, 6});
  AppendRelationEntry(text, 18446744073709551615ULL, {2147483647});
  EXPECT_EQ(text, " | 4294967298 - [5,6] | 18446744073709551615 - [2147483647]");
  RelationMap map = Parse(text);
  ASSERT_EQ(map.size(), 2u);
  EXPECT_THAT(map.at(4294967298ULL), ElementsAre(5u, 6u));
  EXPECT_THAT(map.at(~0ULL), ElementsAre(2147483647u));
}

TEST(RelationText, RepeatedKeyAppendsAndEmptyListIsKept) {
  RelationMap map = Parse(" | 7 - [1] | 7 - [2,3] | 8 - []");
  EXPECT_THAT(map.at(7), ElementsAre(1u, 2u, 3u));
  ASSERT_EQ(map.count(8), 1u);
  EXPECT_THAT(map.at(8), IsEmpty());
}

TEST(RelationText, MalformedEntriesEndWithoutTakingWhatCannotBeRead) {
  // A missing "]" keeps the numbers before the fault.
  EXPECT_THAT(Parse(" | 1 - [4,5").at(1), ElementsAre(4u, 5u));
  // A number beyond the signed 32-bit range ends the entry there.
  EXPECT_THAT(Parse(" | 1 - [4,2147483648,6] | 2 - [9]").at(1), ElementsAre(4u));
  EXPECT_THAT(Parse(" | 1 - [4,2147483648,6] | 2 - [9]").at(2), ElementsAre(9u));
  // A negative number is not a record number.
  EXPECT_THAT(Parse(" | 1 - [-4] | 2 - [9]"), ::testing::SizeIs(1));
  // A key that does not fit 64 bits, or has no digits, is skipped.
  EXPECT_THAT(Parse(" | 18446744073709551616 - [1]"), IsEmpty());
  EXPECT_THAT(Parse(" | 99999999999999999999999999999 - [1] | 3 - [2]").at(3), ElementsAre(2u));
  EXPECT_THAT(Parse(" |  - [1]"), IsEmpty());
  // The list must follow its key.
  EXPECT_THAT(Parse(" | 5 -[1]"), IsEmpty());
  EXPECT_THAT(Parse(" | 5 - [1,,2]").at(5), ElementsAre(1u));
  EXPECT_THAT(Parse(" | 5 - [1 2]").at(5), ElementsAre(1u));
  EXPECT_THAT(Parse(" | 5 - ["), IsEmpty());
  EXPECT_THAT(Parse(""), IsEmpty());
  EXPECT_THAT(Parse(" | "), IsEmpty());
}

TEST(RelationText, EntryStartInsideADamagedListStartsANewEntry) {
  RelationMap map = Parse(" | 1 - [3, | 2 - [4]");
  EXPECT_THAT(map.at(1), ElementsAre(3u));
  EXPECT_THAT(map.at(2), ElementsAre(4u));
}

}  // namespace
}  // namespace brinvale
