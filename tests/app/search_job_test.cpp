#include "app/search_job.h"

#include <gtest/gtest.h>

#include "app/recorder_window.h"
#include "common/error_codes.h"
#include "engines/engine_factory.h"
#include "results/file_categories.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

using test::RecorderWindow;
using test::TestMessages;

ScanSource Image(const std::string& fixture, uint16_t tag) {
  ScanSource s;
  s.imagePath = test::FixturePath(fixture);
  s.sourceTag = tag;
  return s;
}

// Quick-scans `source` into `folder` without a job.
void Scan(ScanSource& source, const std::filesystem::path& folder) {
  EngineSetup setup;
  setup.logFolder = folder;
  source.engine =
      CreateEngineForImage(source.imagePath, char16_t(source.sourceTag), ScanMode::kQuick, setup);
  ASSERT_NE(source.engine, nullptr);
  ASSERT_EQ(source.engine->Scan(nullptr), kOk);
}

TEST(SearchFilterText, ChosenExtensionsInOrderElseTheFiveLists) {
  EXPECT_EQ(SearchFilterText({"png", "jpg"}), "*.png|*.jpg");
  EXPECT_EQ(SearchFilterText({}), std::string(kPhotoList) + "|" + std::string(kAudioList) + "|" +
                                      std::string(kVideoList) + "|" + std::string(kDocumentList) +
                                      "|" + std::string(kArchiveList));
}

TEST(SearchStageText, ImageNameFillsTheTextOrFollowsIt) {
  ScanSource image;
  image.imagePath = "/x/card.img";
  EXPECT_EQ(SearchStageText(image, TestMessages()), "Searching image card.img");
  auto prefixOnly = [](std::string_view key) {
    return key == "MSG1203" ? std::string("Searching image") : std::string();
  };
  EXPECT_EQ(SearchStageText(image, prefixOnly), "Searching image card.img");
}

TEST(SearchJob, FirstSourceWithoutAnEngineClosesWithOneAndPostsNothing) {
  test::TempDir logs("search_job_none");
  ScanSource none = Image("sample.img", 1), scanned = Image("fat16.img", 2);
  Scan(scanned, logs.Path());
  RecordList results;
  RecorderWindow window;
  JobState state;
  RunSearchJob({{&none, &scanned}, SearchFilterText({}), &results, TestMessages()}, window, state);
  EXPECT_EQ(*window.closed, CloseCode::kDone);
  EXPECT_TRUE(window.posted.empty());
  EXPECT_TRUE(results.empty());
}

TEST(SearchJob, GathersTheMatchesOfEverySource) {
  test::TempDir logs("search_job_two");
  ScanSource a = Image("sample.img", 1), b = Image("fat16.img", 2);
  Scan(a, logs.Path() / "1");
  Scan(b, logs.Path() / "2");
  const std::string filter = SearchFilterText({});
  RecordList alone;
  ASSERT_EQ(a.engine->Search(filter, alone), kOk);
  const size_t fromA = alone.size();
  ASSERT_EQ(b.engine->Search(filter, alone), kOk);
  const size_t fromB = alone.size();
  ASSERT_GT(fromA, 0u);
  ASSERT_GT(fromB, 0u);

  RecordList results;
  RecorderWindow window;
  JobState state;
  RunSearchJob({{&a, &b}, filter, &results, TestMessages()}, window, state);
  EXPECT_EQ(*window.closed, CloseCode::kDone);
  EXPECT_EQ(window.posted, std::vector<int>{kSearchFinishedMessage});
  EXPECT_TRUE(state.JobFinished());
  ASSERT_EQ(results.size(), fromA + fromB)
      << "the second source's matches do not replace the first's";
  EXPECT_EQ(uint32_t(results.front().SourceKey()), 1u);
  EXPECT_EQ(uint32_t(results.back().SourceKey()), 2u);
  EXPECT_EQ(window.texts["stage"], "Searching image fat16.img");
}

TEST(SearchJob, ACancelStopsTheLoopAndStillPosts) {
  test::TempDir logs("search_job_cancel");
  ScanSource a = Image("sample.img", 1);
  Scan(a, logs.Path());
  RecordList results;
  RecorderWindow window;
  JobState state;
  state.cancelRequested = 1;
  RunSearchJob({{&a}, SearchFilterText({}), &results, TestMessages()}, window, state);
  EXPECT_EQ(*window.closed, CloseCode::kDone);
  EXPECT_EQ(window.posted, std::vector<int>{kSearchFinishedMessage});
  EXPECT_EQ(ReportSearchProgress(window, state, TestMessages(), 40), kCancelled);
}

TEST(SearchJob, ProgressShowsThePercent) {
  RecorderWindow window;
  JobState state;
  ASSERT_EQ(ReportSearchProgress(window, state, TestMessages(), 40), kOk);
  EXPECT_EQ(window.texts["percent"], "Searched: 40%");
  EXPECT_EQ(window.bars["progress"], 40);
}

}  // namespace
}  // namespace brinvale
