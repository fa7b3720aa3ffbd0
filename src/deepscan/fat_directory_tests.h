#pragma once

#include <cstdint>
#include <span>

// Tests that tell whether bytes read from a medium look like FAT directory
// data. They are pure functions of the bytes given and never read past the
// span they are handed.
namespace brinvale {

// Longest long-name run: 255 UTF-16 characters at 13 per part make 20 parts.
inline constexpr int kMaxLongNameParts = 20;

// The checksum that every long-name part of a run carries (byte 13) of the
// 11 name bytes of the short entry that ends the run.
uint8_t ShortNameChecksum(std::span<const uint8_t, 11> shortName);

// Whether the 32-byte entry at the start of `entries` is a plausible live or
// deleted directory entry. `entries` may hold the following entry as well
// (64 bytes or more): a "." folder entry directly followed by a ".." folder
// entry is accepted on sight; without the second entry that shortcut is not
// taken. Fewer than 32 bytes: no.
bool IsPlausibleEntry(std::span<const uint8_t> entries);

// Whether `sector` starts with a "." folder entry of size 0 followed by a
// ".." folder entry of size 0: the first sector of a folder. Fewer than 64
// bytes: no.
bool IsDotDirectoryStart(std::span<const uint8_t> sector);

// Whether the whole of `sector` (any length; normally the bytes per sector)
// reads as a run of directory entries, possibly ended by zero fill. Fewer
// than 32 bytes count as a directory sector; trailing bytes after the last
// whole entry are only looked at by the zero-fill rule.
bool IsDirectorySector(std::span<const uint8_t> sector);

}  // namespace brinvale
