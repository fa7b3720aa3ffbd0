#include "cli/scan_options.h"

#include <gtest/gtest.h>


namespace brinvale::cli {
namespace {

std::optional<ScanOptions> Parse(std::vector<std::string> args, std::string& error) {
  return ParseScanOptions(args, error);
}

TEST(ScanOptions, DefaultsRecoverEverythingWithOther) {
  std::string error;
  auto o = Parse({"x.img"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_FALSE(o->fullScan);
  EXPECT_EQ(o->source.imagePath, "x.img");
  EXPECT_NE(o->filter.find("*.jpg"), std::string::npos);
  EXPECT_NE(o->filter.find("*.zip"), std::string::npos);
  EXPECT_EQ(o->filter.substr(o->filter.size() - 7), "|.other");
}

TEST(ScanOptions, TypesMixExtensionsAndCategories) {
  std::string error;
  auto filter = FilterForTypes("JPG, .pdf,*.txt", error);
  ASSERT_TRUE(filter) << error;
  EXPECT_EQ(*filter, "*.jpg|*.pdf|*.txt") << "ascending, lower-cased, one pattern each";
  filter = FilterForTypes("archive,other", error);
  ASSERT_TRUE(filter) << error;
  EXPECT_NE(filter->find("*.7z"), std::string::npos);
  EXPECT_NE(filter->find("*.iso"), std::string::npos);
  EXPECT_EQ(filter->find("*.jpg"), std::string::npos);
  EXPECT_EQ(filter->substr(filter->size() - 7), "|.other");
  filter = FilterForTypes("other", error);
  ASSERT_TRUE(filter);
  EXPECT_EQ(*filter, ".other");
}

TEST(ScanOptions, RefusesWhatCannotBeMeant) {
  std::string error;
  EXPECT_FALSE(FilterForTypes("", error));
  EXPECT_FALSE(FilterForTypes("a|b", error));
  EXPECT_FALSE(Parse({}, error));
  EXPECT_FALSE(Parse({"a.img", "b.img"}, error));
  EXPECT_FALSE(Parse({"a.img", "--mode", "deep"}, error));
  EXPECT_FALSE(Parse({"a.img", "--recover-to"}, error));
  EXPECT_FALSE(Parse({"a.img", "--keep-paths"}, error)) << "needs --recover-to";
  EXPECT_FALSE(Parse({"a.img", "--bogus"}, error));
  EXPECT_FALSE(Parse({"disk:x"}, error));
  auto o = Parse({"disk:1:2048:4096", "--mode", "full", "--list", "--json", "--fresh"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_TRUE(o->fullScan && o->list && o->json);
  EXPECT_FALSE(o->check);
  EXPECT_EQ(o->resume, ResumeChoice::kFresh);
  EXPECT_EQ(o->source.startSector, 2048u);
  o = Parse({"a.img", "--list", "--check"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_TRUE(o->list && o->check);
}

}  // namespace
}  // namespace brinvale::cli
