#include "output/manifest_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace brinvale {
namespace {

std::optional<std::vector<ManifestEntry>> Parse(const std::string& text, std::string& error) {
  return ParseManifestCsv(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
      error);
}

const std::string kSha(64, 'a');

TEST(ManifestReader, ReadsQuotedFieldsInAnyColumnOrder) {
  std::string error;
  const auto rows = Parse("result,sha256,path,size\r\n"
                          "Success," + kSha + ",\"photo/a, \"\"b\"\".jpg\",12\r\n"
                          "Access is denied,,\"two\r\nlines.txt\",\r\n"
                          "\r\n",
                          error);
  ASSERT_TRUE(rows) << error;
  ASSERT_EQ(rows->size(), 2u);
  EXPECT_EQ((*rows)[0].path, "photo/a, \"b\".jpg");
  EXPECT_EQ((*rows)[0].size, 12u);
  EXPECT_EQ((*rows)[0].sha256, kSha);
  EXPECT_EQ((*rows)[0].result, "Success");
  EXPECT_EQ((*rows)[1].path, "two\r\nlines.txt");
  EXPECT_FALSE((*rows)[1].size.has_value());
  EXPECT_EQ((*rows)[1].sha256, "");
}

TEST(ManifestReader, LineFeedsAByteOrderMarkAndNoFinalLineEnd) {
  std::string error;
  const auto rows = Parse("\xEF\xBB\xBFpath,size,sha256,result\nx,1," + kSha + ",Success", error);
  ASSERT_TRUE(rows) << error;
  ASSERT_EQ(rows->size(), 1u);
  EXPECT_EQ((*rows)[0].path, "x");
}

TEST(ManifestReader, RefusesWhatIsNoManifest) {
  struct Case {
    std::string text, why;
  } cases[] = {
      {"", "empty"},
      {"path,size,result\r\nx,1,Success\r\n", "lacks one of the columns"},
      {"path,size,sha256,result\r\n\"x,1,,Success\r\n", "not closed"},
      {"path,size,sha256,result\r\n\"x\"y,1,,Success\r\n", "follows a closing quote"},
      {"path,size,sha256,result\r\nx,1,,Success,more\r\n", "row 2 has 5 fields"},
      {"path,size,sha256,result\r\nx,-1,,Success\r\n", "is not a number"},
      {"path,size,sha256,result\r\nx,1,ABC,Success\r\n", "not 64 hex digits"},
      {"path,size,sha256,result\r\n,1,,Success\r\n", "names no file"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.text, error)) << c.text;
    EXPECT_NE(error.find(c.why), std::string::npos) << c.text << ": " << error;
  }
}

}  // namespace
}  // namespace brinvale
