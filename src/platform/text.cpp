#include "platform/text.h"

namespace brinvale::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at s[i]; advances i. Overlong forms,
// surrogates and values above U+10FFFF give U+FFFD for one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  // Leads: C2..DF two bytes, E0..EF three, F0..F4 four; C0, C1 and F5..FF
  // never start a valid sequence.
  int len = b0 >= 0xF0 && b0 <= 0xF4   ? 4
            : b0 >= 0xE0 && b0 <= 0xEF ? 3
            : b0 >= 0xC2 && b0 < 0xE0  ? 2
                                       : 0;
  if (len == 0 || i + size_t(len) > s.size()) {
    ++i;
    return kReplacement;
  }
  char32_t c = b0 & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    unsigned char b = byte(i + size_t(k));
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = c << 6 | (b & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += size_t(len);
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | c >> 12);
    out += char(0x80 | (c >> 6 & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | c >> 18);
    out += char(0x80 | (c >> 12 & 0x3F));
    out += char(0x80 | (c >> 6 & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = DecodeUtf8(utf8, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
#if defined(_WIN32)
  std::u16string wide = Utf8ToUtf16(utf8);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
  return std::filesystem::path(std::string(utf8));
#endif
}

std::string PathToUtf8(const std::filesystem::path& path) {
#if defined(_WIN32)
  const std::wstring& w = path.native();
  return Utf16ToUtf8(std::u16string(w.begin(), w.end()));
#else
  return path.native();
#endif
}

}  // namespace brinvale::platform
