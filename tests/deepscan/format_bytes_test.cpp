// Byte searches and the CRC-32 the sizers and walkers share.
#include <gtest/gtest.h>

#include <random>
#include <string_view>
#include <vector>

#include "deepscan/carved_bytes.h"
#include "deepscan/format_bytes.h"

namespace brinvale {
namespace {

using namespace std::literals;

size_t LastByHand(std::span<const uint8_t> hay, std::string_view needle) {
  if (needle.empty() || needle.size() > hay.size()) return kNotFound;
  for (size_t at = hay.size() - needle.size() + 1; at-- > 0;)
    if (std::equal(needle.begin(), needle.end(), hay.begin() + ptrdiff_t(at),
                   [](char n, uint8_t h) { return uint8_t(n) == h; }))
      return at;
  return kNotFound;
}

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(FindLastBytes, EdgesOfTheHaystack) {
  EXPECT_EQ(FindLastBytes(Bytes("PK\5\6"sv), "PK\5\6"sv), 0u);
  EXPECT_EQ(FindLastBytes(Bytes("xPK\5\6PK\5\6"sv), "PK\5\6"sv), 5u);
  EXPECT_EQ(FindLastBytes(Bytes("PK\5"sv), "PK\5\6"sv), kNotFound);
  EXPECT_EQ(FindLastBytes(Bytes("abc"sv), ""sv), kNotFound);
  // Overlapping hits: the later start wins.
  EXPECT_EQ(FindLastBytes(Bytes("aaaa"sv), "aa"sv), 2u);
}

TEST(FindLastBytes, HitsOnBothSidesOfEveryBlockEdge) {
  // Needles that start just before, at and just after the 4 KiB steps the
  // search goes back in, also ones that run on past a step, in haystacks
  // whose lengths are not multiples of the step.
  const std::string_view needle = "\xEF\xBB\x01\x23\x45"sv;
  for (const size_t size : {4099u, 8192u, 8196u, 12289u}) {
    std::vector<uint8_t> hay(size, 0xEF);
    for (size_t probe = 0; probe + needle.size() <= size; ++probe) {
      if (probe % 4096 > 8 && probe % 4096 < 4088 && probe + needle.size() + 8 < size) continue;
      std::fill(hay.begin(), hay.end(), 0xEF);
      std::copy(needle.begin(), needle.end(), hay.begin() + ptrdiff_t(probe));
      ASSERT_EQ(FindLastBytes(hay, needle), probe) << size << " " << probe;
    }
  }
}

TEST(FindLastBytes, SameAsAByteWalkOnRandomBytes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> hay(rng() % 20000);
    // Few byte values, so hits are common and partial hits commoner.
    for (uint8_t& b : hay) b = uint8_t(rng() % 3);
    std::string pattern(size_t(1 + rng() % 6), '\0');
    for (char& c : pattern) c = char(rng() % 3);
    ASSERT_EQ(FindLastBytes(hay, pattern), LastByHand(hay, pattern)) << round;
  }
}

TEST(Crc32Continue, KnownValuesAndContinuation) {
  EXPECT_EQ(Crc32Continue(0, Bytes("123456789"sv)), 0xCBF43926u);
  EXPECT_EQ(Crc32Continue(0, {}), 0u);
  const uint32_t first = Crc32Continue(0, Bytes("1234"sv));
  EXPECT_EQ(Crc32Continue(first, Bytes("56789"sv)), 0xCBF43926u);
  // PNG's IEND chunk: type and empty data give the CRC every file ends with.
  EXPECT_EQ(Crc32Continue(0, Bytes("IEND"sv)), 0xAE426082u);
}

}  // namespace
}  // namespace brinvale
