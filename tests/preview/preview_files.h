#pragma once

// The preview's fixture files (tests/fixtures/make_preview_fixtures.sh) and
// damaged copies of them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fixture_path.h"

namespace brinvale::preview::test {

inline std::filesystem::path PreviewFile(const std::string& name) {
  return brinvale::test::FixturePath("preview") / name;
}

inline std::vector<uint8_t> PreviewBytes(const std::string& name) {
  return brinvale::test::ReadFileBytes(PreviewFile(name));
}

// Copies of `bytes` cut short at several points and with bytes flipped
// through their length: what a partly overwritten found file looks like.
inline std::vector<std::vector<uint8_t>> DamagedCopies(const std::vector<uint8_t>& bytes) {
  std::vector<std::vector<uint8_t>> copies;
  for (size_t cut : {size_t(0), size_t(1), size_t(30), bytes.size() / 4, bytes.size() / 2,
                     bytes.size() - 1})
    if (cut < bytes.size()) copies.emplace_back(bytes.begin(), bytes.begin() + long(cut));
  uint32_t state = 12345;
  for (int round = 0; round < 40 && !bytes.empty(); ++round) {
    std::vector<uint8_t> mutated = bytes;
    for (int flip = 0; flip < 1 + round % 5; ++flip) {
      state = state * 1103515245u + 12345u;
      mutated[(state >> 8) % mutated.size()] ^= uint8_t(1 + (state >> 24) % 255);
    }
    copies.push_back(std::move(mutated));
  }
  return copies;
}

}  // namespace brinvale::preview::test
