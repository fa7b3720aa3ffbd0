#include "engines/fat/fat_directory_tests.h"

#include <cstring>

#include "common/bytes.h"

// FIXME: a reduced stand-in for the full directory-sector tests (no date
// checks, no long-name checksum walk); it keeps the content sizers' stop
// rule working until the complete tests take its place.
namespace brinvale {

namespace {

constexpr size_t kEntryBytes = 32;
constexpr uint8_t kAttrReadOnly = 0x01, kAttrVolume = 0x08, kAttrFolder = 0x10, kAttrArchive = 0x20,
                  kAttrLongName = 0x0F;

bool IsBadNameByte(uint8_t c) {
  return c < 0x20 || (c >= 'a' && c <= 'z') || std::strchr("\\/:*?\"<>|.", c) != nullptr;
}

bool IsDotPair(std::span<const uint8_t> e) {
  return e.size() >= 64 && e[0] == '.' && (e[11] & kAttrFolder) && LoadLe32(e, 28) == 0 &&
         e[32] == '.' && e[33] == '.' && (e[43] & kAttrFolder) && LoadLe32(e, 60) == 0;
}

}  // namespace

bool IsPlausibleEntry(std::span<const uint8_t> e) {
  if (e.size() < kEntryBytes) return false;
  if (IsDotPair(e)) return true;
  const uint8_t attr = e[11];
  const uint32_t size = LoadLe32(e, 28);
  const bool hasCluster = LoadLe16(e, 20) != 0 || LoadLe16(e, 26) != 0;
  if (!(attr & kAttrFolder) && size == 0 && hasCluster) return false;
  if (attr == kAttrVolume && (size != 0 || hasCluster)) return false;
  if (attr != kAttrVolume && attr != kAttrLongName && (attr & kAttrVolume)) return false;
  if ((attr & kAttrFolder && attr & kAttrReadOnly) || attr >= 64) return false;
  if (attr == kAttrLongName) return (e[0] == 0xE5 || (e[0] & ~0x40) <= 18) && LoadLe16(e, 26) == 0;
  if (attr != kAttrVolume) {
    const bool dotEntry = e[0] == '.';  // "." and ".." in a folder's first cluster
    for (size_t i = 0; i < 11; ++i) {
      if (i == 0 && e[0] == 0xE5) continue;
      if (dotEntry && e[i] == '.') continue;
      if (IsBadNameByte(e[i])) return false;
    }
  }
  if (e[0] != 0xE5 && (attr & kAttrFolder) && size != 0) return false;
  return attr == kAttrVolume || (attr & (kAttrFolder | kAttrArchive)) != 0;
}

bool IsDotDirectoryStart(std::span<const uint8_t> s) { return IsDotPair(s); }

bool IsDirectorySector(std::span<const uint8_t> s) {
  if (s.size() < kEntryBytes) return true;
  const size_t count = s.size() / kEntryBytes;
  for (size_t i = 0; i < count; ++i) {
    std::span<const uint8_t> e = s.subspan(i * kEntryBytes);
    if (e[0] == 0) {
      if (i == 0) return false;
      for (uint8_t b : e)
        if (b != 0) return false;
      return true;
    }
    if (!IsPlausibleEntry(e)) return false;
    if (std::memcmp(&e[1], &e[17], 14) == 0) return false;
  }
  return true;
}

}  // namespace brinvale
