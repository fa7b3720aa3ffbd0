#include "common/json_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace brinvale {

namespace {

// Whether any of the eight bytes of `word` is a quote, a backslash or a
// control character. Each test flags a byte that is zero after the XOR (or
// below 0x20); a borrow can flag a wrong byte only above one truly
// flagged, so the answer for the word is exact.
bool AnyNeedsEscape(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  auto anyZero = [](uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  return (anyZero(word ^ (kOnes * '"')) | anyZero(word ^ (kOnes * '\\')) |
          ((word - kOnes * 0x20) & ~word & kHighs)) != 0;
}

}  // namespace

void JsonWriter::Quote(std::string_view text) {
  m_text += '"';
  size_t plain = 0;  // start of the run of characters that need no escape
  for (size_t i = 0; i < text.size(); ++i) {
    // Runs of eight plain bytes are stepped over a word at a time.
    uint64_t word = 0;
    while (text.size() - i >= sizeof word) {
      std::memcpy(&word, text.data() + i, sizeof word);
      if (AnyNeedsEscape(word)) break;
      i += sizeof word;
    }
    if (i == text.size()) break;
    const char c = text[i];
    if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20) continue;
    m_text.append(text.data() + plain, i - plain);
    plain = i + 1;
    switch (c) {
      case '"': m_text += "\\\""; break;
      case '\\': m_text += "\\\\"; break;
      case '\n': m_text += "\\n"; break;
      case '\r': m_text += "\\r"; break;
      case '\t': m_text += "\\t"; break;
      default: {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
        m_text += escaped;
      }
    }
  }
  m_text.append(text.data() + plain, text.size() - plain);
  m_text += '"';
}

void JsonWriter::Key(std::string_view key) {
  if (m_needComma) m_text += ',';
  m_needComma = true;
  if (!key.empty()) {
    Quote(key);
    m_text += ':';
  }
}

void JsonWriter::BeginObject(std::string_view key) {
  Key(key);
  m_text += '{';
  m_needComma = false;
}

void JsonWriter::EndObject() {
  m_text += '}';
  m_needComma = true;
}

void JsonWriter::BeginArray(std::string_view key) {
  Key(key);
  m_text += '[';
  m_needComma = false;
}

void JsonWriter::EndArray() {
  m_text += ']';
  m_needComma = true;
}

void JsonWriter::String(std::string_view key, std::string_view value) {
  Key(key);
  Quote(value);
}

void JsonWriter::Number(std::string_view key, int64_t value) {
  Key(key);
  m_text += std::to_string(value);
}

void JsonWriter::Unsigned(std::string_view key, uint64_t value) {
  Key(key);
  m_text += std::to_string(value);
}

void JsonWriter::Bool(std::string_view key, bool value) {
  Key(key);
  m_text += value ? "true" : "false";
}

void JsonWriter::Null(std::string_view key) {
  Key(key);
  m_text += "null";
}

}  // namespace brinvale
