#include "app/printf_conversions.h"

#include <gtest/gtest.h>

namespace brinvale {
namespace {

TEST(PrintfConversions, ListsTheKnownConversionsInOrder) {
  EXPECT_EQ(PrintfConversions("Processed %d of %d, recovered %d, failed %d"), "%d %d %d %d");
  EXPECT_EQ(PrintfConversions("Selected: %s, files: %d"), "%s %d");
  EXPECT_EQ(PrintfConversions("%c:%u %lld%%"), "%c %u %lld %%");
  EXPECT_EQ(PrintfConversions("Scanning drive %c:"), "%c");
}

TEST(PrintfConversions, TextWithoutPercentHasNone) {
  EXPECT_EQ(PrintfConversions("Time left: "), "");
  EXPECT_EQ(PrintfConversions(""), "");
}

TEST(PrintfConversions, AnythingElseAfterPercentIsRefused) {
  EXPECT_EQ(PrintfConversions("%5d"), std::nullopt);
  EXPECT_EQ(PrintfConversions("%x"), std::nullopt);
  EXPECT_EQ(PrintfConversions("%ld"), std::nullopt);
  EXPECT_EQ(PrintfConversions("%I64u"), std::nullopt);
  EXPECT_EQ(PrintfConversions("%n"), std::nullopt);
  EXPECT_EQ(PrintfConversions("50%"), std::nullopt);
  EXPECT_EQ(PrintfConversions("%s %"), std::nullopt);
}

TEST(PrintfConversions, TakesConversionsComparesTheWholeList) {
  EXPECT_TRUE(TakesConversions("Drive %c:", "%c"));
  EXPECT_FALSE(TakesConversions("Drive %s:", "%c"));
  EXPECT_FALSE(TakesConversions("%d von %d", "%d"));
  EXPECT_FALSE(TakesConversions("%d %s", "%s %d"));
  EXPECT_FALSE(TakesConversions("100%%", ""));
  EXPECT_TRUE(TakesConversions("no value", ""));
  EXPECT_FALSE(TakesConversions("%q", ""));
}

}  // namespace
}  // namespace brinvale
