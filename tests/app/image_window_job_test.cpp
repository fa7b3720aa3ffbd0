#include "app/image_window_job.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/recorder_window.h"
#include "common/error_codes.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using test::RecorderWindow;
using test::TestMessages;

ImageJobSetup CopyOfSample(const fs::path& target) {
  ImageJobSetup setup;
  setup.source.kind = ImageSource::Kind::kImageFile;
  setup.source.imageFile = test::FixturePath("sample.img");
  setup.imagePath = target;
  setup.messages = TestMessages();
  return setup;
}

TEST(ImageWindowJob, CopiesTheImageAndClosesWithOne) {
  test::TempDir dir("image_window_job");
  const fs::path target = dir.Path() / "copy.img";
  RecorderWindow window;
  JobState state;
  EXPECT_EQ(RunImageWindowJob(CopyOfSample(target), window, state), kOk);
  EXPECT_EQ(*window.closed, CloseCode::kDone);
  EXPECT_TRUE(state.JobFinished());
  EXPECT_EQ(test::ReadFileBytes(target), test::ReadFileBytes(test::FixturePath("sample.img")));
  EXPECT_EQ(window.texts["stage"], "Creating image " + target.string());
  const uint64_t sectors = fs::file_size(test::FixturePath("sample.img")) / 512;
  EXPECT_EQ(window.texts["sectors"],
            "Sectors: " + std::to_string(sectors) + " / " + std::to_string(sectors));
  EXPECT_EQ(window.texts["percent"], "Copied: 100%");
  EXPECT_EQ(window.bars["progress"], 100);
}

TEST(ImageWindowJob, ACancelStopsAtTheNextReportAndKeepsThePartialFile) {
  test::TempDir dir("image_window_cancel");
  const fs::path target = dir.Path() / "copy.img";
  RecorderWindow window;
  JobState state;
  window.onText = [&](const std::string& control, const std::string&) {
    if (control == "percent") state.cancelRequested = 1;
  };
  EXPECT_EQ(RunImageWindowJob(CopyOfSample(target), window, state), kCancelled);
  EXPECT_EQ(*window.closed, CloseCode::kCancelled);
  EXPECT_TRUE(state.JobFinished());
  ASSERT_TRUE(fs::exists(target));
  EXPECT_LT(fs::file_size(target), fs::file_size(test::FixturePath("sample.img")));
}

TEST(ImageWindowJob, AFailedCopyClosesWithThree) {
  test::TempDir dir("image_window_fail");
  RecorderWindow window;
  JobState state;
  const int rc =
      RunImageWindowJob(CopyOfSample(dir.Path() / "missing" / "copy.img"), window, state);
  EXPECT_NE(rc, kOk);
  EXPECT_NE(rc, kCancelled);
  EXPECT_EQ(*window.closed, CloseCode::kFailed);
}

TEST(ImageProgressReport, TimeLeftAndItsEstimate) {
  RecorderWindow window;
  JobState state;
  ImageProgress p;
  p.percent = 40;
  p.sectorsDone = 4;
  p.totalSectors = 10;
  ASSERT_EQ(ReportImageProgress(window, state, TestMessages(), p), kOk);
  EXPECT_EQ(window.texts["time"], "Estimating time");
  p.secondsLeft = 125;
  ReportImageProgress(window, state, TestMessages(), p);
  EXPECT_EQ(window.texts["time"], "Time left: 2 Min 5 Sec");
  EXPECT_EQ(window.texts["sectors"], "Sectors: 4 / 10");
}

}  // namespace
}  // namespace brinvale
