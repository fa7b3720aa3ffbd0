#pragma once

#include <cstdint>
#include <span>

// Tests telling whether bytes from a medium are FAT directory data. Pure
// functions of the bytes given; entries are the standard 32-byte ones.
namespace brinvale {

// One 32-byte entry; `entry` may run on into the following entry, which the
// "." + ".." shortcut looks at.
bool IsPlausibleEntry(std::span<const uint8_t> entry);

// The first two entries of a sector are "." and ".." folders of size 0.
bool IsDotDirectoryStart(std::span<const uint8_t> sector);

// A whole sector reads as a run of plausible directory entries (a sector
// shorter than one entry counts as one).
bool IsDirectorySector(std::span<const uint8_t> sector);

}  // namespace brinvale
