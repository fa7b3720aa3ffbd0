#include "common/json_writer.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace brinvale
