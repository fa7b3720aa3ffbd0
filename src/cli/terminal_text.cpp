#include "cli/terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace brinvale::cli {
namespace {

void AppendEscape(std::string& out, const char* format, unsigned value) {
  char text[12];
  std::snprintf(text, sizeof text, format, value);
  out += text;
}

// The code point of the valid UTF-8 sequence at `at` and its length; 0 for
// the length when the bytes there are not a valid sequence.
uint32_t Decode(std::string_view s, size_t at, size_t& length) {
  const auto lead = static_cast<unsigned char>(s[at]);
  length = 0;
  size_t n = 0;
  uint32_t c = 0;
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    c = lead & 0x07;
  } else {
    return 0;
  }
  if (at + n > s.size()) return 0;
  for (size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[at + i]);
    if ((b & 0xC0) != 0x80) return 0;
    c = c << 6 | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid.
  if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
      (c >= 0xD800 && c <= 0xDFFF))
    return 0;
  length = n;
  return c;
}

bool IsReordering(uint32_t c) {
  return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E ||
         c == 0x200F || c == 0x061C;
}

}  // namespace

std::string TerminalSafe(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    size_t length = 0;
    const uint32_t c = Decode(utf8, at, length);
    if (length == 0) {
      AppendEscape(out, "\\x%02x", static_cast<unsigned char>(utf8[at]));
      ++at;
      continue;
    }
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || IsReordering(c)) {
      AppendEscape(out, "\\u%04x", c);
    } else {
      out.append(utf8.substr(at, length));
    }
    at += length;
  }
  return out;
}

}  // namespace brinvale::cli
