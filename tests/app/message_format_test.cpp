#include "app/message_format.h"

#include <gtest/gtest.h>

#include "app/duration_text.h"

namespace brinvale {
namespace {

TEST(FormatMessage, FillsConversionsInOrder) {
  EXPECT_EQ(FormatMessage("Scanning drive %c:", {U'E'}), "Scanning drive E:");
  EXPECT_EQ(FormatMessage("%s %d%%", {std::string("Progress:"), int64_t(37)}), "Progress: 37%");
  EXPECT_EQ(FormatMessage("%s %I64u / %I64u", {std::string("Sectors:"), uint64_t(5),
                                               uint64_t(18446744073709551615ull)}),
            "Sectors: 5 / 18446744073709551615");
  EXPECT_EQ(FormatMessage("%d of %d, %ld ok, %lld failed",
                          {int64_t(2), int64_t(2), int64_t(1), int64_t(1)}),
            "2 of 2, 1 ok, 1 failed");
  EXPECT_EQ(FormatMessage("正在扫描驱动器 %c:", {U'E'}), "正在扫描驱动器 E:");
}

// A language file may be damaged or wrong: no conversion ever reads a value
// that is not there, and a value of the wrong kind is written as it is.
TEST(FormatMessage, DamagedFormatsCannotReachPastTheValues) {
  EXPECT_EQ(FormatMessage("%s %s %s %n", {std::string("a")}), "a %s %s %n");
  EXPECT_EQ(FormatMessage("%d", {std::string("x")}), "x");
  EXPECT_EQ(FormatMessage("%s", {int64_t(-4)}), "-4");
  EXPECT_EQ(FormatMessage("%c", {int64_t(3)}), "\x03");
  EXPECT_EQ(FormatMessage("100%", {}), "100%");
  EXPECT_EQ(FormatMessage("%", {int64_t(1)}), "%");
  EXPECT_EQ(FormatMessage("no conversions", {int64_t(1), int64_t(2)}), "no conversions");
}

TEST(DurationText, ThreeFormsAndNegativeSeconds) {
  EXPECT_EQ(DurationText(3725), "1 Hour 2 Min");
  EXPECT_EQ(DurationText(3600), "1 Hour 0 Min");
  EXPECT_EQ(DurationText(125), "2 Min 5 Sec");
  EXPECT_EQ(DurationText(60), "1 Min 0 Sec");
  EXPECT_EQ(DurationText(59), "59 Sec");
  EXPECT_EQ(DurationText(-1), "-1 Sec");
  EXPECT_EQ(DurationText(int64_t(1) << 40), "305419896 Hour 36 Min");
}

}  // namespace
}  // namespace brinvale
