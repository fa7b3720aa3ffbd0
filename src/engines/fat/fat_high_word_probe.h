#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace brinvale {

// The first absolute sector of a cluster; nullopt when it has none.
using ClusterLocator = std::function<std::optional<uint64_t>(uint64_t cluster)>;
// Reads one sector at an absolute sector number; 0 or a system error code.
using SectorFetch = std::function<int(uint64_t sector, std::vector<uint8_t>& out)>;
// Whether the first sector of a candidate cluster, read at `sector`, is what
// the probe looks for.
using CandidateTest = std::function<bool(std::span<const uint8_t> bytes, uint64_t sector)>;

// Finds the high cluster word that a deleted FAT32 entry lost (the upper
// half of its first cluster is cleared on deletion by some systems). Tries
// the high words 0 to fatdir::kLastHighWord with the entry's `low` word and
// answers the first whose cluster passes `test`. A candidate at or past
// `volumeEnd` ends the probe; one whose sector cannot be read is passed over,
// so that one bad sector does not hide the candidates after it. 0 when none
// passes.
uint32_t ProbeHighWord(uint16_t low, uint64_t volumeEnd, const ClusterLocator& locate,
                       const SectorFetch& read, const CandidateTest& test);

}  // namespace brinvale
