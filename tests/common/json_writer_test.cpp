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

}  // namespace
}  // namespace brinvale
