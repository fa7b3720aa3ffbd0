#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brinvale {

// Collects the long-name parts (attribute 0x0F) that precede a short entry.
// Each part holds 13 UTF-16 characters at bytes 1..10, 14..25 and 28..31;
// the parts come last-part-first on disk, so each new part is placed before
// the ones already collected. A name has at most 20 parts (255 characters).
// Sequence numbers and checksums are not compared: a deleted entry's first
// byte no longer holds its sequence number.
class LongNameCollector {
 public:
  static constexpr size_t kMaxParts = 20;

  // Adds one 32-byte long-name entry. A part beyond the 20th cannot belong
  // to a valid name: the collected name is dropped and collection restarts.
  void AddPart(std::span<const uint8_t> entry);
  void Clear() { m_parts = 0; }
  bool Empty() const { return m_parts == 0; }
  // The collected name as UTF-8, up to its first NUL.
  std::string Name() const;

 private:
  std::array<char16_t, kMaxParts * 13> m_chars{};  // filled from the end
  size_t m_parts = 0;
};

// The name of a short entry: the 8 base bytes without trailing blanks, then
// for files with an extension "." and the 3 extension bytes without trailing
// blanks, lower-cased (ASCII A-Z only). A deleted entry's first byte 0xE5 is
// shown as "!". Bytes above 0x7F are taken as code page 437 and returned as
// UTF-8.
std::string ShortEntryName(std::span<const uint8_t> entry, bool isFolder);

// Whether the 11-byte name `shortName` can be the short name a FAT driver
// made for `longName` (UTF-8), its first byte left out (a deleted entry has
// lost it): its base up to a "~n" tail, and its extension, are the long
// name's with spaces and all dots but the last dropped, upper-cased, and
// "+,;=[]" as "_". A character of the long name outside ASCII matches any
// byte. Fewer than three characters to compare never fit.
bool ShortNameFitsLongName(std::span<const uint8_t, 11> shortName, std::string_view longName);

}  // namespace brinvale
