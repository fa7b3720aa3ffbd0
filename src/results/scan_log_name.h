#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace brinvale {

// Prefixes of the scan logs of each engine kind; the coordinator looks for
// them to resume a scan.
inline constexpr std::string_view kQuickLogPrefix = "Fast_";
inline constexpr std::string_view kFormattedFatLogPrefix = "Pro_Fat_";
inline constexpr std::string_view kFormattedNtfsLogPrefix = "Pro_Ntfs_";
inline constexpr std::string_view kContentLogPrefix = "File_Type_";

// The base name of a scan log: prefix, the partition's start sector (0 for
// an image), "_", then year, month, day and hour without padding or
// separators and the minute right-aligned in two characters ("%2d").
// 09:05 on 7 March 2026 at sector 2048: "Fast_2048_2026379 5".
std::string ScanLogBaseName(std::string_view prefix, uint64_t startSector,
                            const platform::SystemTime& start);

}  // namespace brinvale
