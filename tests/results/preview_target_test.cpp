#include "results/preview_target.h"

#include <gtest/gtest.h>

#include <string>

namespace brinvale {
namespace {

TEST(PreviewTarget, PicksTheFileByKind) {
  const std::filesystem::path folder = std::filesystem::path("preview");
  EXPECT_EQ(PreviewTarget("report.PDF", folder), folder / "report.PDF");
  EXPECT_EQ(PreviewTarget("song.mp3", folder), folder / "tmp.avi");
  EXPECT_EQ(PreviewTarget("clip.mkv", folder), folder / "tmp.avi");
  EXPECT_EQ(PreviewTarget("holiday.jpg", folder), folder / "tmp.jpg");
  EXPECT_TRUE(PreviewTarget("notes.txt", folder).empty()) << "text goes to the buffer";
  EXPECT_TRUE(PreviewTarget("README", folder).empty());
}

TEST(PreviewTarget, DocumentNamesAreMadeSafe) {
  const std::filesystem::path folder = std::filesystem::path("preview");
  EXPECT_EQ(PreviewTarget("../../evil.zip", folder), folder / ".._.._evil.zip");
}

TEST(PreviewTarget, PathsOf260CharactersGoToTheBuffer) {
  const std::filesystem::path folder = std::filesystem::path("p");
  // "p" + separator + name: 2 + name length characters.
  EXPECT_FALSE(PreviewTarget(std::string(253, 'a') + ".doc", folder).empty());  // 259
  EXPECT_TRUE(PreviewTarget(std::string(254, 'a') + ".doc", folder).empty());   // 260
}

}  // namespace
}  // namespace brinvale
