#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Reading back the CSV form of a recovery manifest, to check the files it
// lists.
namespace brinvale {

struct ManifestEntry {
  std::string path;  // relative to the manifest's folder, UTF-8
  std::optional<uint64_t> size;
  std::string sha256;  // "" for a file that was not written
  std::string result;
};

// Parses `text` (RFC 4180: quoted fields may hold commas, doubled quotes
// and line breaks; lines end in CRLF or LF). The header must name at least
// "path", "size", "sha256" and "result", in any order. Empty with `error`
// set when the text is no manifest: a missing column, an unterminated
// quote, a row with another number of fields than the header, a size that
// is not a number or a checksum that is not 64 hex digits.
std::optional<std::vector<ManifestEntry>> ParseManifestCsv(std::span<const uint8_t> text,
                                                           std::string& error);

}  // namespace brinvale
