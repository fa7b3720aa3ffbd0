#include "common/crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace brinvale {
namespace {

TEST(Crc32, KnownValues) {
  const char* check = "123456789";
  EXPECT_EQ(Crc32({reinterpret_cast<const uint8_t*>(check), std::strlen(check)}), 0xCBF43926u);
  EXPECT_EQ(Crc32({}), 0u);
  // 32 zero bytes, as an empty GPT entry area's first stretch.
  std::vector<uint8_t> zeros(32, 0);
  EXPECT_EQ(Crc32(zeros), 0x190A55ADu);
}

}  // namespace
}  // namespace brinvale
