#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The INI text of "config.ini" and the language files, read and edited as
// bytes (UTF-8, with or without a byte-order mark, LF or CRLF line ends).
//
// Lines are classified after their leading blanks (spaces, tabs):
//   empty                      skipped
//   ";..."                     a comment, skipped
//   "[name]"                   starts section "name" (blanks around the name
//                              dropped; without "]" the rest of the line)
//   "key=value"                an entry of the current section: the key is
//                              the text before the first "=", without blanks
//                              around it; the value is everything after that
//                              "=" exactly as it stands (further "=" and
//                              trailing blanks belong to it). Only the line
//                              end is removed: "\n" and any "\r" before it.
//   anything else              skipped, as are entries with an empty key and
//                              entries before the first section.
namespace brinvale {

struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;  // (key, value) in file order
};

// Sections in file order; a name that appears twice gives two sections.
struct IniContents {
  std::vector<IniSection> sections;
};

// Parses any bytes; never fails (what is not an entry is skipped).
IniContents ParseIniBytes(std::span<const uint8_t> bytes);

// Settings lookups compare names without regard to ASCII case and take the
// first match: the first section of that name, the first key in it. The
// pointers stay valid while `contents` is unchanged; null when not found.
const IniSection* FindIniSection(const IniContents& contents, std::string_view section);
const std::string* FindIniValue(const IniContents& contents, std::string_view section,
                                std::string_view key);

// `bytes` with the value of `key` in `section` set to `value`, everything
// else kept byte for byte: the line FindIniValue would read is given the new
// value; without one, a line is added after the section's header; without
// the section, the section and its line are appended. New lines take the
// file's line end. `section`, `key` and `value` must hold no line break,
// `section` no "]" and `key` no "=" and no blanks at its ends.
std::vector<uint8_t> WithIniValue(std::span<const uint8_t> bytes, std::string_view section,
                                  std::string_view key, std::string_view value);

}  // namespace brinvale
