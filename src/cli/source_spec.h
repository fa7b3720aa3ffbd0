#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brinvale::cli {

// What the user named as a scan source: an image file path, "disk:N" (whole
// disk N) or "disk:N:START:COUNT" (a partition by start sector and count).
struct SourceSpec {
  enum class Kind { kImage, kDisk, kPartition } kind = Kind::kImage;
  std::string imagePath;  // UTF-8
  int diskNumber = -1;
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;  // 0 with kDisk: the whole disk
};

// Parses SOURCE; empty with `error` set when a "disk:" form is malformed.
std::optional<SourceSpec> ParseSourceSpec(std::string_view text, std::string& error);

}  // namespace brinvale::cli
