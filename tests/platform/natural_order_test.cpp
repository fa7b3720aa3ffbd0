#include "platform/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace brinvale::platform {
namespace {

TEST(NaturalLess, DigitRunsCompareAsNumbers) {
  EXPECT_TRUE(NaturalLess("loop2", "loop10"));
  EXPECT_FALSE(NaturalLess("loop10", "loop2"));
  EXPECT_TRUE(NaturalLess("sda", "sdb"));
  EXPECT_TRUE(NaturalLess("nvme0n1", "nvme1n1"));
  EXPECT_TRUE(NaturalLess("nvme1n1", "nvme10n1"));
  EXPECT_TRUE(NaturalLess("nvme0n2", "nvme0n10"));
  EXPECT_TRUE(NaturalLess("sd", "sda")) << "a prefix comes first";
  EXPECT_TRUE(NaturalLess("mmcblk9", "mmcblk10"));
  EXPECT_TRUE(NaturalLess("x99999999999999999999", "x100000000000000000000"))
      << "runs longer than any integer type";
}

TEST(NaturalLess, IsAStrictOrder) {
  for (const char* s : {"", "sda", "loop10", "nvme0n1", "a007"}) {
    EXPECT_FALSE(NaturalLess(s, s)) << s;
  }
  // Equal numbers with different leading zeros still order one way only.
  EXPECT_NE(NaturalLess("a07", "a7"), NaturalLess("a7", "a07"));
}

TEST(NaturalLess, SortsDeviceNames) {
  std::vector<std::string> names = {"sdb",     "loop10", "nvme1n1",  "loop2",  "sda",
                                    "nvme0n1", "loop0",  "nvme0n10", "nvme0n2"};
  std::sort(names.begin(), names.end(), NaturalLess);
  const std::vector<std::string> expected = {"loop0",    "loop2",   "loop10", "nvme0n1", "nvme0n2",
                                             "nvme0n10", "nvme1n1", "sda",    "sdb"};
  EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace brinvale::platform
