// The reader of settings and language files on arbitrary bytes, and setting
// the language in them: every other entry must read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "app/ini_file.h"

namespace {

using namespace brinvale;

char Fold(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool Same(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void CheckShape(const IniContents& contents) {
  for (const IniSection& s : contents.sections) {
    if (s.name.find_first_of("\n]") != std::string::npos) std::abort();
    for (const auto& [key, value] : s.entries) {
      if (key.empty() || IsBlank(key.front()) || IsBlank(key.back())) std::abort();
      if (key.find_first_of("\n=") != std::string::npos) std::abort();
      if (value.find('\n') != std::string::npos) std::abort();
      if (!value.empty() && value.back() == '\r') std::abort();
    }
  }
}

// What parsing the changed bytes must give: the entry the settings lookup
// reads gets the new value, or the section gets the entry first, or the
// section is appended.
IniContents Expected(IniContents contents, std::string_view section, std::string_view key,
                     std::string_view value) {
  for (IniSection& s : contents.sections) {
    if (!Same(s.name, section)) continue;
    for (auto& [k, v] : s.entries) {
      if (Same(k, key)) {
        v = value;
        return contents;
      }
    }
    s.entries.insert(s.entries.begin(), {std::string(key), std::string(value)});
    return contents;
  }
  contents.sections.push_back({std::string(section), {{std::string(key), std::string(value)}}});
  return contents;
}

bool Equal(const IniContents& a, const IniContents& b) {
  if (a.sections.size() != b.sections.size()) return false;
  for (size_t i = 0; i < a.sections.size(); ++i)
    if (a.sections[i].name != b.sections[i].name || a.sections[i].entries != b.sections[i].entries)
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const IniContents parsed = ParseIniBytes(bytes);
  CheckShape(parsed);

  constexpr std::string_view kSection = "DefaultLanguage", kKey = "Default", kValue = "Deutsch ";
  const std::vector<uint8_t> changed = WithIniValue(bytes, kSection, kKey, kValue);
  const IniContents again = ParseIniBytes(changed);
  const std::string* read = FindIniValue(again, kSection, kKey);
  if (!read || *read != kValue) std::abort();
  if (!Equal(again, Expected(parsed, kSection, kKey, kValue))) std::abort();
  return 0;
}
