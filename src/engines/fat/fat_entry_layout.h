#pragma once

#include <cstddef>
#include <cstdint>

// Where the fields of a 32-byte FAT directory entry lie, and the attribute
// bits the FAT engines look at.
namespace brinvale::fatdir {

inline constexpr size_t kEntryBytes = 32;
inline constexpr size_t kAttributes = 11;
inline constexpr size_t kChecksum = 13;  // of a long-name part
inline constexpr size_t kClusterHigh = 20;
inline constexpr size_t kClusterLow = 26;
inline constexpr size_t kFileSize = 28;
inline constexpr uint8_t kDeletedMark = 0xE5;
inline constexpr uint8_t kAttrLabel = 0x08;
inline constexpr uint8_t kAttrFolder = 0x10;
inline constexpr uint8_t kAttrArchive = 0x20;
inline constexpr uint8_t kAttrLongName = 0x0F;
// The high cluster words tried for a deleted FAT32 entry that lost its own.
inline constexpr uint32_t kLastHighWord = 256;

}  // namespace brinvale::fatdir
