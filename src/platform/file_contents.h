#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

// Small files read and written whole: settings and language files.
namespace brinvale::platform {

// Reads the whole file into `bytes`. Returns 0; 2 or 3 when it is missing;
// 8 when it is longer than `maxBytes` (nothing is read then); or the error
// of opening or reading it.
int ReadFileBytes(const std::filesystem::path& path, size_t maxBytes, std::vector<uint8_t>& bytes);

// Writes `bytes` to "<path>.tmp", flushes it and renames it over `path`, so
// a crash leaves either the old or the new file. On failure `path` stays as
// it was and the temporary file is removed. Returns 0 or the system error.
int ReplaceFileContents(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace brinvale::platform
