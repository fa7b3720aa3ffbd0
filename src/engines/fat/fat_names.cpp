#include "engines/fat/fat_names.h"

#include <algorithm>
#include <vector>

#include "common/bytes.h"
#include "platform/text.h"

namespace brinvale {
namespace {

// Byte offsets of the 13 UTF-16 characters of a long-name part.
constexpr size_t kLongNameOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

// Code page 437 for bytes 0x80..0xFF, the code page of short names written
// by DOS and by most cameras.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
    0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
    0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
    0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
    0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
    0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
    0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
    0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
    0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
    0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
    0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

char16_t ShortNameChar(uint8_t b) {
  if (b >= 'A' && b <= 'Z') return char16_t(b - 'A' + 'a');
  if (b >= 0x80) return kCp437High[b - 0x80];
  return char16_t(b);
}

}  // namespace

void LongNameCollector::AddPart(std::span<const uint8_t> entry) {
  if (m_parts == kMaxParts) m_parts = 0;
  ++m_parts;
  const size_t at = m_chars.size() - m_parts * 13;
  for (size_t i = 0; i < 13; ++i) m_chars[at + i] = char16_t(LoadLe16(entry, kLongNameOffsets[i]));
}

std::string LongNameCollector::Name() const {
  const char16_t* begin = m_chars.data() + m_chars.size() - m_parts * 13;
  const char16_t* end = m_chars.data() + m_chars.size();
  const char16_t* nul = std::find(begin, end, u'\0');
  return platform::Utf16ToUtf8(std::u16string_view(begin, size_t(nul - begin)));
}

std::string ShortEntryName(std::span<const uint8_t> entry, bool isFolder) {
  std::u16string name;
  size_t baseEnd = 8;
  while (baseEnd > 0 && entry[baseEnd - 1] == ' ') --baseEnd;
  for (size_t i = 0; i < baseEnd; ++i)
    name += i == 0 && entry[0] == 0xE5 ? u'!' : ShortNameChar(entry[i]);
  if (!isFolder && entry[8] != ' ') {
    size_t extEnd = 11;
    while (extEnd > 8 && entry[extEnd - 1] == ' ') --extEnd;
    name += u'.';
    for (size_t i = 8; i < extEnd; ++i) name += ShortNameChar(entry[i]);
  }
  return platform::Utf16ToUtf8(name);
}

namespace {

constexpr int kAnyByte = -1;

// The characters a FAT driver puts in a short name for `text` (UTF-8):
// spaces and dots dropped, ASCII upper-cased, "+,;=[]" as "_", and any
// character outside ASCII as kAnyByte.
std::vector<int> ShortNameCharacters(std::string_view text) {
  std::vector<int> out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = uint8_t(text[i]);
    if (c >= 0x80) {
      // One character, however many bytes its UTF-8 takes.
      while (i + 1 < text.size() && (uint8_t(text[i + 1]) & 0xC0) == 0x80) ++i;
      out.push_back(kAnyByte);
    } else if (c == ' ' || c == '.') {
      continue;
    } else if (std::string_view("+,;=[]").find(char(c)) != std::string_view::npos) {
      out.push_back('_');
    } else {
      out.push_back(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
  }
  return out;
}

// The bytes of `field` without trailing blanks.
std::string_view Trimmed(std::span<const uint8_t> field) {
  size_t n = field.size();
  while (n > 0 && field[n - 1] == ' ') --n;
  return std::string_view(reinterpret_cast<const char*>(field.data()), n);
}

}  // namespace

bool ShortNameFitsLongName(std::span<const uint8_t, 11> shortName, std::string_view longName) {
  const size_t dot = longName.rfind('.');
  const bool hasExtension = dot != std::string_view::npos && dot != 0;
  const std::vector<int> base =
      ShortNameCharacters(hasExtension ? longName.substr(0, dot) : longName);
  std::vector<int> extension =
      hasExtension ? ShortNameCharacters(longName.substr(dot + 1)) : std::vector<int>();
  if (extension.size() > 3) extension.resize(3);

  const std::string_view shortBase = Trimmed(shortName.first<8>());
  const std::string_view shortExtension = Trimmed(shortName.subspan<8, 3>());
  if (shortExtension.size() != extension.size()) return false;
  // The base is compared up to a numeric tail "~n", or whole without one.
  size_t compared = shortBase.size();
  if (const size_t tilde = shortBase.rfind('~');
      tilde != std::string_view::npos && tilde + 1 < shortBase.size() &&
      std::all_of(shortBase.begin() + ptrdiff_t(tilde) + 1, shortBase.end(),
                  [](char c) { return c >= '0' && c <= '9'; })) {
    compared = tilde;
    if (base.size() < compared) return false;
  } else if (base.size() != compared) {
    return false;
  }
  int matched = 0;
  for (size_t i = 1; i < compared; ++i) {
    if (base[i] == kAnyByte) continue;
    if (uint8_t(shortBase[i]) != base[i]) return false;
    ++matched;
  }
  for (size_t i = 0; i < extension.size(); ++i) {
    if (extension[i] == kAnyByte) continue;
    if (uint8_t(shortExtension[i]) != extension[i]) return false;
    ++matched;
  }
  return matched >= 3;
}

}  // namespace brinvale
