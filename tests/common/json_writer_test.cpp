#include "common/json_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace brinvale {
namespace {

TEST(JsonWriter, EscapesAndSeparates) {
  JsonWriter j;
  j.BeginObject();
  j.String("name", "a\"b\\c\n\x01");
  j.Number("n", -3);
  j.BeginArray("list");
  j.BeginObject();
  j.Bool("ok", true);
  j.EndObject();
  j.BeginObject();
  j.EndObject();
  j.EndArray();
  j.EndObject();
  EXPECT_EQ(j.Text(), R"({"name":"a\"b\\c\n\u0001","n":-3,"list":[{"ok":true},{}]})");
}

// Escapes at either end of a string and next to each other, with UTF-8
// bytes and plain runs between them passing as they are.
TEST(JsonWriter, EscapesAtTheEndsAndInRuns) {
  JsonWriter j;
  j.BeginArray();
  j.String({}, "\"photo\t");
  j.String({}, "\r\n\x1f");
  j.String({}, "caf\xc3\xa9 \\ \"x\"");
  j.String({}, "");
  j.EndArray();
  EXPECT_EQ(j.TakeText(), R"(["\"photo\t","\r\n\u001f","café \\ \"x\"",""])");
  EXPECT_EQ(j.Text(), "");
}

// Long texts are stepped over eight bytes at a time: an escape is found
// wherever it sits in a word, and the bytes around it pass as they are.
TEST(JsonWriter, EscapesWhereverTheyFallInALongText) {
  auto expected = [](const std::string& text) {
    std::string out = "[\"";
    for (char c : text) {
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\x01': out += "\\u0001"; break;
        case '\x1f': out += "\\u001f"; break;
        default: out += c;
      }
    }
    return out + "\"]";
  };
  for (char special : {'"', '\\', '\n', '\x01', '\x1f', ' ', '\x7f', '\xc3', '\x80'}) {
    for (size_t length = 1; length <= 40; ++length) {
      for (size_t at = 0; at < length; ++at) {
        std::string text(length, 'x');
        text[at] = special;
        if (at + 9 < length) text[at + 9] = '"';  // a second one a word further on
        JsonWriter j;
        j.BeginArray();
        j.String({}, text);
        j.EndArray();
        ASSERT_EQ(j.TakeText(), expected(text)) << int(special) << " " << length << " " << at;
      }
    }
  }
}

}  // namespace
}  // namespace brinvale
