#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace brinvale {

// Builds one JSON document as text. The caller pairs Begin/End calls; the
// writer puts the commas. Strings are UTF-8 and escaped as JSON needs.
class JsonWriter {
 public:
  void BeginObject(std::string_view key = {});
  void EndObject();
  void BeginArray(std::string_view key = {});
  void EndArray();
  void String(std::string_view key, std::string_view value);
  void Number(std::string_view key, int64_t value);
  void Unsigned(std::string_view key, uint64_t value);
  void Bool(std::string_view key, bool value);
  void Null(std::string_view key);

  const std::string& Text() const { return m_text; }
  // The text, taken out: the writer is empty afterwards.
  std::string TakeText() { return std::move(m_text); }
  // Room for `bytes` of text, for a large document of known shape.
  void Reserve(size_t bytes) { m_text.reserve(bytes); }

 private:
  void Key(std::string_view key);
  void Quote(std::string_view text);

  std::string m_text;
  bool m_needComma = false;
};

}  // namespace brinvale
