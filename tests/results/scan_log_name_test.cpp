#include "results/scan_log_name.h"

#include <gtest/gtest.h>

namespace brinvale {
namespace {

TEST(ScanLogBaseName, NumbersRunTogetherAndTheMinuteIsRightAligned) {
  platform::SystemTime t;
  t.year = 2026, t.month = 3, t.day = 7, t.hour = 9, t.minute = 5;
  EXPECT_EQ(ScanLogBaseName(kQuickLogPrefix, 2048, t), "Fast_2048_2026379 5");
  t.month = 12, t.day = 31, t.hour = 23, t.minute = 59;
  EXPECT_EQ(ScanLogBaseName(kContentLogPrefix, 0, t),
            "File_Type_0_2026123123"
            "59");
}

}  // namespace
}  // namespace brinvale
