#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The relation file of a scan log: which records lie in which folder. One
// entry per folder key, entries back to back without line breaks:
//
//   " | " <key, unsigned 64-bit decimal> " - [" <numbers> "]"
//
// where <numbers> are record numbers (decimal, 0 to 2^31 - 1) joined by ","
// without spaces. Entries come in ascending key order.
namespace brinvale {

// Folder key -> the numbers of the records filed in that folder, in the
// order they were reported.
using RelationMap = std::map<uint64_t, std::vector<uint32_t>>;

// Adds every entry of `text` to `map` (numbers of a key that is already
// there are appended). Only what reads soundly is taken: an entry whose key
// has no digits or does not fit 64 bits, or that lacks " - [", is skipped;
// a number that is missing or out of range, or a missing "]", ends its
// entry, keeping the numbers before it. Parsing resumes at the next " | ".
void ParseRelationText(std::string_view text, RelationMap& map);

// Appends the entry of one key to `out`.
void AppendRelationEntry(std::string& out, uint64_t key, const std::vector<uint32_t>& numbers);

}  // namespace brinvale
