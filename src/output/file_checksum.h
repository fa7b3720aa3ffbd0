#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace brinvale {

// The byte length and SHA-256 (lower-case hex) of the file at `path`, read
// to its end. Returns 0 or the system error of opening or reading it.
int ChecksumFile(const std::filesystem::path& path, uint64_t& size, std::string& sha256);

}  // namespace brinvale
