#include "common/size_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace brinvale {
namespace {

TEST(SizeText, UnitBoundaries) {
  EXPECT_EQ(SizeText(0), "0 Bytes");
  EXPECT_EQ(SizeText(1023), "1023 Bytes");
  EXPECT_EQ(SizeText(1024), "1.00 KB");
  EXPECT_EQ(SizeText(1048575), "1024.00 KB") << "just under 1 MiB rounds up in the text";
  EXPECT_EQ(SizeText(1048576), "1.00 MB");
  EXPECT_EQ(SizeText((int64_t(1) << 30) - 1), "1024.00 MB");
  EXPECT_EQ(SizeText(int64_t(1) << 30), "1.00 GB");
  EXPECT_EQ(SizeText(int64_t(1) << 40), "1.00 TB");
}

TEST(SizeText, TwoDecimals) {
  EXPECT_EQ(SizeText(1610612736), "1.50 GB");
  EXPECT_EQ(SizeText(1536), "1.50 KB");
  EXPECT_EQ(SizeText(int64_t(3) << 39), "1.50 TB");
  EXPECT_EQ(SizeText(int64_t(2000) << 40), "2000.00 TB") << "no unit above TB";
}

TEST(SizeText, NegativeAndLargeCountsKeepAll64Bits) {
  EXPECT_EQ(SizeText(-1), "-1 Bytes");
  EXPECT_EQ(SizeText(-5000000000), "-5000000000 Bytes");
  EXPECT_EQ(SizeText(std::numeric_limits<int64_t>::min()), "-9223372036854775808 Bytes");
  EXPECT_EQ(SizeText(std::numeric_limits<int64_t>::max()), "8388608.00 TB");
}

}  // namespace
}  // namespace brinvale
