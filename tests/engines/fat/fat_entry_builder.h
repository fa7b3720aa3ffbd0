#pragma once

// Builders of 32-byte FAT directory entries for byte-level tests.
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "common/bytes.h"

namespace brinvale::testing {

using Entry = std::array<uint8_t, 32>;

// FAT date: bits 0-4 day, 5-8 month, 9-15 years since 1980.
constexpr uint16_t FatDate(int year, int month, int day) {
  return uint16_t((year - 1980) << 9 | month << 5 | day);
}

// FAT time: bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours.
constexpr uint16_t FatTime(int hour, int minute, int second) {
  return uint16_t(hour << 11 | minute << 5 | second / 2);
}

// A live file "PHOTO   JPG" of 1234 bytes at cluster 5, all three stamps
// 15 June 2010 12:30:20.
inline Entry FileEntry(const char* name11 = "PHOTO   JPG") {
  Entry e{};
  std::memcpy(e.data(), name11, 11);       // base name + extension
  e[11] = 0x20;                            // attributes: archive
  e[12] = 0;                               // reserved
  e[13] = 0;                               // creation 10-ms count
  StoreLe16(e, 14, FatTime(12, 30, 20));   // creation time
  StoreLe16(e, 16, FatDate(2010, 6, 15));  // creation date
  StoreLe16(e, 18, FatDate(2010, 6, 15));  // last access date
  StoreLe16(e, 20, 0);                     // first cluster, high word
  StoreLe16(e, 22, FatTime(12, 30, 20));   // last write time
  StoreLe16(e, 24, FatDate(2010, 6, 15));  // last write date
  StoreLe16(e, 26, 5);                     // first cluster, low word
  StoreLe32(e, 28, 1234);                  // size
  return e;
}

// A live folder "DCIM" at cluster 9 with the same stamps.
inline Entry FolderEntry(const char* name11 = "DCIM       ") {
  Entry e = FileEntry(name11);
  e[11] = 0x10;         // attributes: folder
  StoreLe16(e, 26, 9);  // first cluster, low word
  StoreLe32(e, 28, 0);  // size: folders have none
  return e;
}

// The "." or ".." entry at the start of a folder.
inline Entry DotEntry(int dots, uint16_t cluster) {
  Entry e = FolderEntry(dots == 1 ? ".          " : "..         ");
  StoreLe16(e, 26, cluster);  // first cluster, low word
  return e;
}

// A volume label with no time stamps.
inline Entry LabelEntry(const char* label11) {
  Entry e{};
  std::memcpy(e.data(), label11, 11);  // the label text
  e[11] = 0x08;                        // attributes: volume label
  return e;                            // no stamps, cluster or size
}

// A long-name part holding 13 letters starting at `firstLetter`.
inline Entry LongNamePart(uint8_t sequence, uint8_t checksum, char firstLetter = 'a') {
  Entry e{};
  e[0] = sequence;  // sequence number (0x40: last part)
  static constexpr size_t kCharAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (size_t k = 0; k < 13; ++k) {  // 13 UTF-16 characters
    StoreLe16(e, kCharAt[k], uint16_t(firstLetter + char(k % 26)));
  }
  e[11] = 0x0F;         // attributes: long-name part
  e[12] = 0;            // type
  e[13] = checksum;     // checksum of the short name
  StoreLe16(e, 26, 0);  // first cluster: always 0
  return e;
}

// Entries laid end to end, then zero fill up to `sectorSize` bytes.
inline std::vector<uint8_t> Sector(std::initializer_list<Entry> entries, size_t sectorSize = 512) {
  std::vector<uint8_t> s;
  for (const Entry& e : entries) s.insert(s.end(), e.begin(), e.end());
  if (s.size() < sectorSize) s.resize(sectorSize, 0);
  return s;
}

inline std::vector<uint8_t> Concat(const Entry& a, const Entry& b) {
  std::vector<uint8_t> s(a.begin(), a.end());
  s.insert(s.end(), b.begin(), b.end());
  return s;
}

}  // namespace brinvale::testing
