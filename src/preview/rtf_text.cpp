#include "preview/rtf_text.h"

#include <array>
#include <cstdint>
#include <vector>

namespace brinvale::preview {
namespace {

// Groups deeper than this are not followed (their text is still taken).
constexpr size_t kMaxDepth = 256;

// Windows-1252 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

class TextOut {
 public:
  explicit TextOut(size_t maxChars) : m_max(maxChars) {}
  bool Full() const { return m_chars >= m_max; }
  void Put(char32_t c) {
    if (Full()) return;
    if (c < 0x80) {
      m_text += char(c);
    } else if (c < 0x800) {
      m_text += char(0xC0 | (c >> 6));
      m_text += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      m_text += char(0xE0 | (c >> 12));
      m_text += char(0x80 | ((c >> 6) & 0x3F));
      m_text += char(0x80 | (c & 0x3F));
    } else {
      m_text += char(0xF0 | (c >> 18));
      m_text += char(0x80 | ((c >> 12) & 0x3F));
      m_text += char(0x80 | ((c >> 6) & 0x3F));
      m_text += char(0x80 | (c & 0x3F));
    }
    ++m_chars;
  }
  void PutUnit(char16_t u) {
    if (u >= 0xD800 && u <= 0xDBFF) {
      m_high = u;
      return;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) {
      if (m_high != 0) Put(0x10000 + ((char32_t(m_high) - 0xD800) << 10) + (u - 0xDC00));
      m_high = 0;
      return;
    }
    m_high = 0;
    Put(u);
  }
  void PutByte(uint8_t b) {
    if (b >= 0x80 && b < 0xA0)
      PutUnit(kCp1252High[b - 0x80]);
    else
      PutUnit(b);
  }
  std::string Take() { return std::move(m_text); }

 private:
  std::string m_text;
  size_t m_chars = 0;
  size_t m_max;
  char16_t m_high = 0;
};

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Destinations whose contents are never body text.
bool SkippedDestination(std::string_view word) {
  for (std::string_view skip : {"fonttbl", "colortbl", "stylesheet", "info", "pict", "object",
                                "header", "footer", "headerl", "headerr", "footerl", "footerr",
                                "listtable", "listoverridetable", "rsidtbl", "generator",
                                "themedata", "colorschememapping", "datastore", "latentstyles",
                                "xmlnstbl", "filetbl", "revtbl", "fldinst", "bkmkstart", "bkmkend"})
    if (word == skip) return true;
  return false;
}

}  // namespace

std::string RtfText(std::string_view rtf, size_t maxChars) {
  TextOut out(maxChars);
  struct Group {
    bool skip = false;
    int unicodeSkip = 1;
  };
  std::vector<Group> groups{Group{}};
  int pendingSkip = 0;  // fallback characters still to drop after \uN
  size_t i = 0;
  const size_t n = rtf.size();
  bool groupStart = false;
  while (i < n && !out.Full()) {
    const char c = rtf[i];
    if (c == '{') {
      if (groups.size() < kMaxDepth) groups.push_back(groups.back());
      groupStart = true;
      ++i;
      continue;
    }
    if (c == '}') {
      if (groups.size() > 1) groups.pop_back();
      groupStart = false;
      pendingSkip = 0;
      ++i;
      continue;
    }
    const bool atGroupStart = groupStart;
    groupStart = false;
    Group& group = groups.back();
    if (c == '\\' && i + 1 == n) break;  // a cut control word
    if (c == '\\') {
      const char next = rtf[i + 1];
      if (IsAlpha(next)) {
        size_t j = i + 1;
        while (j < n && IsAlpha(rtf[j]) && j - i < 32) ++j;
        const std::string_view word = rtf.substr(i + 1, j - i - 1);
        bool negative = false;
        long value = 0;
        bool hasValue = false;
        if (j < n && rtf[j] == '-') {
          negative = true;
          ++j;
        }
        while (j < n && IsDigit(rtf[j])) {
          if (value < 1000000) value = value * 10 + (rtf[j] - '0');
          hasValue = true;
          ++j;
        }
        if (negative) value = -value;
        if (j < n && rtf[j] == ' ') ++j;
        i = j;
        if (atGroupStart && SkippedDestination(word)) group.skip = true;
        if (group.skip) continue;
        if (word == "par" || word == "line" || word == "row") {
          out.Put('\n');
        } else if (word == "tab" || word == "cell") {
          out.Put('\t');
        } else if (word == "uc" && hasValue) {
          group.unicodeSkip = int(std::max(0L, std::min(value, 8L)));
        } else if (word == "u" && hasValue) {
          out.PutUnit(char16_t(value < 0 ? value + 65536 : value));
          pendingSkip = group.unicodeSkip;
        } else if (word == "emdash") {
          out.Put(0x2014);
        } else if (word == "endash") {
          out.Put(0x2013);
        } else if (word == "bullet") {
          out.Put(0x2022);
        }
        continue;
      }
      if (next == '*') {
        // An optional destination: unknown to a plain reader, so skipped.
        if (atGroupStart) group.skip = true;
        i += 2;
        continue;
      }
      if (next == '\'' && i + 3 < n) {
        const int hi = HexValue(rtf[i + 2]);
        const int lo = HexValue(rtf[i + 3]);
        i += 4;
        if (group.skip || hi < 0 || lo < 0) continue;
        if (pendingSkip > 0) {
          --pendingSkip;
          continue;
        }
        out.PutByte(uint8_t(hi * 16 + lo));
        continue;
      }
      // A control symbol: \\ \{ \} are text, \~ a space, the rest nothing.
      i += 2;
      if (group.skip) continue;
      if (next == '\\' || next == '{' || next == '}')
        out.Put(char32_t(next));
      else if (next == '~')
        out.Put(' ');
      else if (next == '\n' || next == '\r')
        out.Put('\n');
      continue;
    }
    ++i;
    if (group.skip || c == '\r' || c == '\n') continue;
    if (pendingSkip > 0) {
      --pendingSkip;
      continue;
    }
    out.PutByte(uint8_t(c));
  }
  return out.Take();
}

}  // namespace brinvale::preview
