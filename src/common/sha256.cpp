#include "common/sha256.h"

#include <algorithm>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define BRINVALE_SHA256_X86 1
#endif

namespace brinvale {
namespace {

constexpr uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2};

constexpr uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// The message schedule takes each block as big-endian 32-bit words.
void PortableBlocks(uint32_t* state, const uint8_t* data, size_t count) {
  for (; count > 0; --count, data += 64) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
      w[i] = uint32_t(data[4 * i]) << 24 | uint32_t(data[4 * i + 1]) << 16 |
             uint32_t(data[4 * i + 2]) << 8 | uint32_t(data[4 * i + 3]);
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
      const uint32_t t1 =
          h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
      const uint32_t t2 =
          (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

#if defined(BRINVALE_SHA256_X86)
// The SHA extensions of x86 processors: two rounds per instruction, on the
// state kept as the pairs ABEF and CDGH. Sixteen groups of four rounds; the
// schedule's next four words are made while the rounds run.
__attribute__((target("sha,sse4.1"))) void ShaNiBlocks(uint32_t* state, const uint8_t* data,
                                                       size_t count) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
  __m128i state1 =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
  __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);  // ABEF
  state1 = _mm_blend_epi16(state1, tmp, 0xF0);       // CDGH
  for (; count > 0; --count, data += 64) {
    const __m128i abef = state0, cdgh = state1;
    __m128i m[4];
    // Unrolled whole, the four schedule words stay in registers; as a loop
    // they go through the stack on the rounds' critical path (1.5 times
    // slower).
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
      __m128i& current = m[i % 4];
      if (i < 4)
        current = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
      __m128i msg =
          _mm_add_epi32(current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * i)));
      state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
      if (i >= 3 && i < 15) {
        __m128i& next = m[(i + 1) % 4];
        next = _mm_add_epi32(next, _mm_alignr_epi8(current, m[(i + 3) % 4], 4));
        next = _mm_sha256msg2_epu32(next, current);
      }
      msg = _mm_shuffle_epi32(msg, 0x0E);
      state0 = _mm_sha256rnds2_epu32(state0, state1, msg);
      if (i >= 1 && i < 13) m[(i + 3) % 4] = _mm_sha256msg1_epu32(m[(i + 3) % 4], current);
    }
    state0 = _mm_add_epi32(state0, abef);
    state1 = _mm_add_epi32(state1, cdgh);
  }
  tmp = _mm_shuffle_epi32(state0, 0x1B);       // FEBA
  state1 = _mm_shuffle_epi32(state1, 0xB1);    // DCHG
  state0 = _mm_blend_epi16(tmp, state1, 0xF0);  // DCBA
  state1 = _mm_alignr_epi8(state1, tmp, 8);    // HGFE
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}
#endif

using BlocksFunction = void (*)(uint32_t*, const uint8_t*, size_t);

// The processor's SHA instructions where it has them, else plain C++.
BlocksFunction ChooseBlocks() {
#if defined(BRINVALE_SHA256_X86)
  // CPUID leaf 7 EBX bit 29: SHA; leaf 1 ECX bit 19: SSE4.1, bit 9: SSSE3.
  unsigned a = 0, b = 0, c = 0, d = 0;
  const bool sse = __get_cpuid(1, &a, &b, &c, &d) && (c & (1u << 19)) != 0 && (c & (1u << 9)) != 0;
  if (sse && __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29)) != 0) return ShaNiBlocks;
#endif
  return PortableBlocks;
}

bool g_portableOnly = false;

BlocksFunction CurrentBlocks() {
  static const BlocksFunction chosen = ChooseBlocks();
  return g_portableOnly ? PortableBlocks : chosen;
}

}  // namespace

namespace sha256_internal {
void UsePortableRounds(bool on) { g_portableOnly = on; }
}  // namespace sha256_internal

Sha256::Sha256()
    : m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Blocks(const uint8_t* data, size_t count) {
  CurrentBlocks()(m_state.data(), data, count);
}

void Sha256::Update(std::span<const uint8_t> bytes) {
  m_totalBytes += bytes.size();
  size_t at = 0;
  if (m_pendingBytes > 0) {
    const size_t take = std::min(bytes.size(), m_pending.size() - m_pendingBytes);
    std::copy_n(bytes.data(), take, m_pending.data() + m_pendingBytes);
    m_pendingBytes += take;
    at = take;
    if (m_pendingBytes < m_pending.size()) return;
    Blocks(m_pending.data(), 1);
    m_pendingBytes = 0;
  }
  const size_t whole = (bytes.size() - at) / 64;
  if (whole > 0) Blocks(bytes.data() + at, whole);
  at += whole * 64;
  std::copy(bytes.begin() + ptrdiff_t(at), bytes.end(), m_pending.begin());
  m_pendingBytes = bytes.size() - at;
}

std::string Sha256::HexDigest() {
  // The padding: one 1 bit, zeros, and the message length in bits
  // (big-endian) to end a block.
  const uint64_t bits = m_totalBytes * 8;
  uint8_t tail[72] = {0x80};
  const size_t zeros = (m_pendingBytes < 56 ? 56 : 120) - m_pendingBytes;
  for (int i = 0; i < 8; ++i) tail[zeros + size_t(i)] = uint8_t(bits >> (56 - 8 * i));
  Update(std::span<const uint8_t>(tail, zeros + 8));
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(64, '0');
  for (size_t i = 0; i < 64; ++i)
    hex[i] = kDigits[(m_state[i / 8] >> (28 - 4 * (i % 8))) & 0xf];
  return hex;
}

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  Sha256 hash;
  hash.Update(bytes);
  return hash.HexDigest();
}

}  // namespace brinvale
