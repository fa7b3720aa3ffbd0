#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// SHA-256 (FIPS 180-4), fed in pieces, for the checksums of recovered files.
namespace brinvale {

class Sha256 {
 public:
  Sha256();
  void Update(std::span<const uint8_t> bytes);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Blocks(const uint8_t* data, size_t count);

  std::array<uint32_t, 8> m_state;
  std::array<uint8_t, 64> m_pending{};
  size_t m_pendingBytes = 0;
  uint64_t m_totalBytes = 0;
};

// SHA-256 of `bytes` as lower-case hex.
std::string Sha256Hex(std::span<const uint8_t> bytes);

namespace sha256_internal {
// Where the processor has SHA instructions they do the rounds; this makes
// the plain C++ rounds do them instead, so that tests check both.
void UsePortableRounds(bool on);
}  // namespace sha256_internal

}  // namespace brinvale
