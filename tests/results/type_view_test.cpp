#include "results/type_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "results/file_categories.h"
#include "store_test_support.h"

namespace brinvale {
namespace {

using namespace brinvale::testing;
using ::testing::ElementsAre;
using ::testing::Pair;

std::vector<std::string> Keys(const ExtensionGroups& g) {
  std::vector<std::string> keys;
  for (const auto& [k, v] : g) keys.push_back(k + ":" + std::to_string(v.size()));
  return keys;
}

TEST(GroupByExtension, AliasesJoinAndNamesWithoutExtensionAreUnknow) {
  std::vector<ScanRecord> results{File("report.jpeg"), File("a.JPG"),  File("scan.scr"),
                                  File("page.HTM"),    File("README"), File(""),
                                  File("t.TIFF"),      File("s.midi"), File("x.docx"),
                                  File("y.xlsx"),      File("z.pptx"), File("m.m4p")};
  ExtensionGroups groups{{"stale", {}}};
  GroupByExtension(results, groups);
  EXPECT_THAT(Keys(groups), ElementsAre("doc:1", "html:1", "jpg:2", "m4a:1", "mid:1", "pcx:1",
                                        "ppt:1", "tif:1", "unknow:2", "xls:1"));
  EXPECT_EQ(groups["jpg"][0], &results[0]);
  EXPECT_EQ(groups["jpg"][1], &results[1]);
  GroupByExtension({}, groups);
  EXPECT_TRUE(groups.empty());
}

TEST(BuildTypeFilter, TickedExtensionsInOrderOrAllFiveLists) {
  EXPECT_EQ(BuildTypeFilter({"mp3", "jpg", "doc"}), "*.doc|*.jpg|*.mp3");
  EXPECT_EQ(BuildTypeFilter({"zip"}), "*.zip");
  std::string all = BuildTypeFilter({});
  EXPECT_EQ(all, std::string(kPhotoList) + "|" + std::string(kAudioList) + "|" +
                     std::string(kVideoList) + "|" + std::string(kDocumentList) + "|" +
                     std::string(kArchiveList));
}

TEST(BuildTypeView, CategoriesCountTheirChildrenAndUnknowComesLast) {
  std::vector<ScanRecord> results{File("a.jpg"), File("b.jpg"), File("c.mp3"), File("noext"),
                                  File("x.zzz"), File("y.aaa"), File("d.jpeg")};
  ExtensionGroups groups;
  GroupByExtension(results, groups);
  const TypeFilterOption options[] = {
      {"jpg", FileCategory::kPhoto, "JPEG Image (*.jpg)"},
      {"mp3", FileCategory::kAudio, "MP3 Audio (*.mp3)"},
      {"zip", FileCategory::kArchive, "ZIP Archive (*.zip)"},
  };
  const std::array<std::string, kCategoryCount> captions{"Photo",    "Audio",   "Video",
                                                         "Document", "Archive", "Others"};
  TypeView v = BuildTypeView(groups, options, true, captions);
  EXPECT_EQ(v.categories[0].label, "Photo (3)");
  ASSERT_EQ(v.categories[0].children.size(), 1u);
  EXPECT_EQ(v.categories[0].children[0].label, "JPEG Image (3)");
  EXPECT_EQ(v.categories[1].label, "Audio (1)");
  EXPECT_EQ(v.categories[4].label, "Archive") << "no zip files: no count";
  std::vector<std::string> other;
  for (const auto& c : v.categories[5].children) other.push_back(c.label);
  EXPECT_THAT(other, ElementsAre("AAA Files (1)", "ZZZ Files (1)", "unknow (1)"));
  EXPECT_EQ(v.categories[5].label, "Others (3)");
  ASSERT_TRUE(v.selected);
  EXPECT_THAT(*v.selected, Pair(0u, 0u));

  TypeView noOther = BuildTypeView(groups, options, false, captions);
  EXPECT_TRUE(noOther.categories[5].children.empty());
  EXPECT_EQ(noOther.categories[5].label, "Others");

  ExtensionGroups onlyAudio;
  std::vector<ScanRecord> one{File("s.mp3")};
  GroupByExtension(one, onlyAudio);
  TypeView a = BuildTypeView(onlyAudio, options, false, captions);
  ASSERT_TRUE(a.selected);
  EXPECT_THAT(*a.selected, Pair(1u, 0u));
  EXPECT_FALSE(BuildTypeView({}, options, true, captions).selected);
}

}  // namespace
}  // namespace brinvale
