#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace brinvale {

// FNV-1a over 64 bits: a quick checksum that any changed byte moves. It
// tells accidental change from none (a cut or overwritten file, a medium
// that was written to); it is no defence against deliberate collisions.
class Fnv1a64 {
 public:
  static constexpr uint64_t kOffsetBasis = 0xCBF29CE484222325ULL;
  static constexpr uint64_t kPrime = 0x100000001B3ULL;

  void Add(std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) m_value = (m_value ^ b) * kPrime;
  }
  // Adds the eight bytes of `value`, lowest first.
  void AddLe64(uint64_t value) {
    for (int i = 0; i < 8; ++i) m_value = (m_value ^ uint8_t(value >> (8 * i))) * kPrime;
  }
  uint64_t Value() const { return m_value; }

 private:
  uint64_t m_value = kOffsetBasis;
};

}  // namespace brinvale
