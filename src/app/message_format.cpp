#include "app/message_format.h"

#include <vector>

namespace brinvale {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x110000) {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// A value written as a number.
std::string AsNumber(const FormatValue& v) {
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (const auto* u = std::get_if<uint64_t>(&v)) return std::to_string(*u);
  if (const auto* c = std::get_if<char32_t>(&v)) return std::to_string(uint32_t(*c));
  return std::get<std::string>(v);
}

// A value written as text.
std::string AsText(const FormatValue& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* c = std::get_if<char32_t>(&v)) {
    std::string out;
    AppendUtf8(out, *c);
    return out;
  }
  return AsNumber(v);
}

}  // namespace

std::string FormatMessage(std::string_view format, std::initializer_list<FormatValue> values) {
  const std::vector<FormatValue> args(values);
  size_t next = 0;
  std::string out;
  out.reserve(format.size() + 16);
  size_t i = 0;
  while (i < format.size()) {
    const char ch = format[i];
    if (ch != '%') {
      out += ch;
      ++i;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    // Length modifiers change nothing here: every number is 64-bit.
    size_t j = i + 1;
    while (j < format.size() && (format[j] == 'l' || format[j] == 'h')) ++j;
    if (format.substr(j, 3) == "I64") j += 3;
    const char conversion = j < format.size() ? format[j] : '\0';
    const bool known = conversion == 'd' || conversion == 'i' || conversion == 'u' ||
                       conversion == 'c' || conversion == 's';
    if (!known || next >= args.size()) {
      out.append(format.substr(i, j - i + (conversion != '\0' ? 1 : 0)));
      i = j + 1;
      continue;
    }
    const FormatValue& v = args[next++];
    if (conversion == 'c') {
      if (const auto* c = std::get_if<char32_t>(&v)) {
        AppendUtf8(out, *c);
      } else if (const auto* n = std::get_if<int64_t>(&v); n && *n > 0 && *n < 0x110000) {
        AppendUtf8(out, char32_t(*n));
      } else {
        out += AsText(v);
      }
    } else if (conversion == 's') {
      out += AsText(v);
    } else {
      out += AsNumber(v);
    }
    i = j + 1;
  }
  return out;
}

}  // namespace brinvale
