#include "common/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brinvale {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Every case runs with the processor's SHA instructions (where it has them)
// and with the plain C++ rounds.
class Sha256Rounds : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { sha256_internal::UsePortableRounds(GetParam()); }
  void TearDown() override { sha256_internal::UsePortableRounds(false); }
};

INSTANTIATE_TEST_SUITE_P(Rounds, Sha256Rounds, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Portable" : "Native"; });

TEST_P(Sha256Rounds, KnownDigests) {
  EXPECT_EQ(Sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex(Bytes("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the length no longer fits the first block's padding.
  EXPECT_EQ(Sha256Hex(Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  const std::string million(1000000, 'a');
  EXPECT_EQ(Sha256Hex(Bytes(million)),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Fed in pieces of every size around the block length, the digest is that
// of the whole.
TEST_P(Sha256Rounds, PiecesGiveTheDigestOfTheWhole) {
  std::vector<uint8_t> data(1000);
  // Many blocks in one piece, and a tail: the digest of the whole.
  {
    std::vector<uint8_t> big(64 * 1000 + 17);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7 + (i >> 8));
    sha256_internal::UsePortableRounds(true);
    const std::string portable = Sha256Hex(big);
    sha256_internal::UsePortableRounds(GetParam());
    EXPECT_EQ(Sha256Hex(big), portable);
  }
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 131 + 7);
  const std::string whole = Sha256Hex(data);
  for (size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 127u, 999u}) {
    Sha256 hash;
    for (size_t at = 0; at < data.size(); at += piece)
      hash.Update(std::span<const uint8_t>(data).subspan(at, std::min(piece, data.size() - at)));
    EXPECT_EQ(hash.HexDigest(), whole) << piece;
  }
}

}  // namespace
}  // namespace brinvale
