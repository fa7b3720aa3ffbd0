#include "app/scan_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/job_cancel.h"
#include "app/recorder_window.h"
#include "app/scan_history.h"
#include "common/error_codes.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using test::RecorderWindow;
using test::TestMessages;

ScanSource Image(const std::string& fixture, uint16_t tag) {
  ScanSource s;
  s.imagePath = test::FixturePath(fixture);
  s.sourceTag = tag;
  return s;
}

ScanSource Partition(char16_t letter) {
  ScanSource s;
  VolumeInfo v;
  v.driveLetter = letter;
  s.partition = v;
  return s;
}

struct JobFixture : ::testing::Test {
  test::TempDir base{"scan_job_history"};
  ScanHistory history{base.Path()};
  RecorderWindow window;
  JobState state;

  ScanJobSetup JobSetup(std::vector<ScanSource*> sources, ScanMode mode) {
    ScanJobSetup setup;
    setup.sources = std::move(sources);
    setup.mode = mode;
    setup.history = &history;
    setup.messages = TestMessages();
    return setup;
  }
};

TEST(ScanStageText, LetterNumberAndImage) {
  EXPECT_EQ(ScanStageText(Partition(u'E'), TestMessages()), "Scanning drive E:");
  EXPECT_EQ(ScanStageText(Partition(3), TestMessages()), "Scanning partition 3");
  ScanSource image;
  image.imagePath = "/media/cards/disk one.img";
  EXPECT_EQ(ScanStageText(image, TestMessages()), "Scanning image disk one.img");
}

TEST_F(JobFixture, ProgressShowsTheScaledPercentAndTheTimeLeft) {
  ASSERT_EQ(ReportScanProgress(window, state, TestMessages(), 37, 100, -1, 1, 2, 0), kOk);
  EXPECT_EQ(window.bars["progress"], 37);
  EXPECT_EQ(window.texts["percent"], "Progress: 37%");
  EXPECT_EQ(window.texts["time"], "Estimating time");
  ASSERT_EQ(ReportScanProgress(window, state, TestMessages(), 50, 50, 3725, 1, 2, 0), kOk);
  EXPECT_EQ(window.bars["progress"], 25);
  EXPECT_EQ(window.texts["time"], "Time left: 1 Hour 2 Min");
  ReportScanProgress(window, state, TestMessages(), 1, 100, 125, 1, 2, 0);
  EXPECT_EQ(window.texts["time"], "Time left: 2 Min 5 Sec");
  ReportScanProgress(window, state, TestMessages(), 1, 100, 59, 1, 2, 0);
  EXPECT_EQ(window.texts["time"], "Time left: 59 Sec");
}

TEST_F(JobFixture, CountersHideWhileTheTotalIsZeroAndComeBack) {
  ReportScanProgress(window, state, TestMessages(), 10, 100, -1, 5, 0, 0);
  EXPECT_FALSE(window.visible["sectors"]);
  EXPECT_FALSE(window.visible["totalfile"]);
  ReportScanProgress(window, state, TestMessages(), 10, 100, -1, 5, 10, 3);
  EXPECT_TRUE(window.visible["sectors"]);
  EXPECT_TRUE(window.visible["totalfile"]);
  EXPECT_EQ(window.texts["sectors"], "Sectors: 5 / 10");
  EXPECT_EQ(window.texts["totalfile"], "Files found: 3");
  state.cancelRequested = 1;
  EXPECT_EQ(ReportScanProgress(window, state, TestMessages(), 11, 100, -1, 6, 10, 3), kCancelled);
  EXPECT_EQ(window.texts["sectors"], "Sectors: 5 / 10") << "a cancelled report sets nothing";
}

// While the cancel question is open the worker waits at its next report; a
// no lets it go on, a yes stops it and waits for it to finish.
TEST_F(JobFixture, TheCancelQuestionPausesTheWorker) {
  std::atomic<int> reports{0};
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (!stop) {
      if (ReportScanProgress(window, state, TestMessages(), 1, 100, -1, 0, 0, 0) == kCancelled)
        break;
      ++reports;
    }
    state.jobFinished = 1;
  });
  while (reports < 3) std::this_thread::yield();

  RecorderWindow asker;
  int duringQuestion = 0;
  asker.answer = [&](int kind, const std::string&) {
    EXPECT_EQ(kind, kQuestionBoxKind);
    const int before = reports;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    duringQuestion = reports - before;
    return 2;
  };
  EXPECT_FALSE(ConfirmCancel(state, asker, "Stop the scan?"));
  EXPECT_LE(duringQuestion, 1)
      << "at most the report that had left the lock when the question opened";
  const int after = reports;
  while (reports < after + 3) std::this_thread::yield();  // it goes on

  asker.answer = [](int, const std::string&) { return 1; };
  EXPECT_TRUE(ConfirmCancel(state, asker, "Stop the scan?", std::chrono::milliseconds(1)));
  EXPECT_TRUE(state.JobFinished()) << "a confirmed cancel returns once the job is done";
  stop = true;
  worker.join();
}

TEST_F(JobFixture, QuickScanOfTwoImagesPostsAndClosesWithOne) {
  ScanSource a = Image("sample.img", 1), b = Image("fat16.img", 2);
  RunScanJob(JobSetup({&a, &b}, ScanMode::kQuick), window, state);
  ASSERT_TRUE(window.closed.has_value());
  EXPECT_EQ(*window.closed, CloseCode::kDone);
  EXPECT_EQ(window.posted, std::vector<int>{kScanFinishedMessage});
  EXPECT_TRUE(state.JobFinished());
  ASSERT_NE(a.engine, nullptr);
  ASSERT_NE(b.engine, nullptr);
  uint32_t files = 0;
  ASSERT_EQ(a.engine->CountFiles(nullptr, 0, files), kOk);
  EXPECT_GT(files, 0u);
  // Each quick scan wrote into a fresh numbered folder of its own.
  EXPECT_EQ(history.FolderCounter(), 2u);
  EXPECT_FALSE(fs::is_empty(base.Path() / "1"));
  EXPECT_FALSE(fs::is_empty(base.Path() / "2"));
  EXPECT_EQ(window.texts["stage"], "Scanning image fat16.img");
}

// Two partitions of one disk image are two sources: each gets its own
// engine, and each found file carries its own source's key, so it finds
// the engine of the partition it came from.
TEST_F(JobFixture, PartitionsOfADiskImageAreSourcesWithEnginesAndKeysOfTheirOwn) {
  ScanSource first = Image("mbr_parts.img", 1);
  first.imagePartition = ImagePartition{1, 2048, 32768};
  ScanSource logical = Image("mbr_parts.img", 2);
  logical.imagePartition = ImagePartition{5, 61440, 16384};
  RunScanJob(JobSetup({&first, &logical}, ScanMode::kQuick), window, state);
  ASSERT_TRUE(window.closed.has_value());
  EXPECT_EQ(*window.closed, CloseCode::kDone);
  ASSERT_NE(first.engine, nullptr);
  ASSERT_NE(logical.engine, nullptr);
  EXPECT_EQ(window.texts["stage"], "Scanning image mbr_parts.img #5");
  const std::vector<ScanSource*> sources = {&first, &logical};
  for (ScanSource* source : sources) {
    RecordList top;
    ASSERT_EQ(source->engine->ListChildren(nullptr, 0, top), kOk);
    ASSERT_FALSE(top.empty());
    for (const ScanRecord& r : top) {
      EXPECT_EQ(r.SourceKey(), source->Key()) << r.Name();
      EXPECT_EQ(r.PartitionStart(), source->imagePartition->start) << r.Name();
      EXPECT_EQ(FindSourceByKey(sources, r.SourceKey()), source) << r.Name();
    }
  }
}

TEST_F(JobFixture, CancellingDuringTheSecondOfThreeSourcesSkipsTheThird) {
  ScanSource a = Image("sample.img", 1), b = Image("fat16.img", 2), c = Image("fat32.img", 3);
  window.onText = [&](const std::string& control, const std::string& text) {
    if (control == "stage" && text == "Scanning image fat16.img") state.cancelRequested = 1;
  };
  RunScanJob(JobSetup({&a, &b, &c}, ScanMode::kQuick), window, state);
  EXPECT_EQ(*window.closed, CloseCode::kDone);
  EXPECT_EQ(window.posted, std::vector<int>{kScanFinishedMessage});
  EXPECT_NE(a.engine, nullptr);
  EXPECT_NE(b.engine, nullptr) << "the stopped source keeps its engine";
  EXPECT_EQ(c.engine, nullptr) << "the third source is not scanned";
}

TEST_F(JobFixture, NoEngineClosesWithThreeAndPostsNothing) {
  ScanSource a = Image("sample.img", 1);
  ScanSource missing = Image("no-such-image.img", 2);
  ScanSource after = Image("fat16.img", 3);
  RunScanJob(JobSetup({&a, &missing, &after}, ScanMode::kQuick), window, state);
  EXPECT_EQ(*window.closed, CloseCode::kFailed);
  EXPECT_TRUE(window.posted.empty());
  EXPECT_NE(a.engine, nullptr) << "engines made for earlier sources stay";
  EXPECT_EQ(after.engine, nullptr);
  EXPECT_EQ(history.FolderCounter(), 1u) << "the failed source took no folder";
}

TEST_F(JobFixture, TheEngineFactoryIsAskedForEachPartition) {
  ScanSource e = Partition(u'E'), f = Partition(u'F');
  std::vector<char16_t> asked;
  ScanJobSetup setup = JobSetup({&e, &f}, ScanMode::kQuick);
  setup.makeEngine = [&](const ScanSource& s, ScanMode, const EngineSetup& engineSetup) {
    asked.push_back(s.partition->driveLetter);
    EXPECT_FALSE(engineSetup.logFolder.empty());
    return std::unique_ptr<IRidiRedazuvoParse>(std::make_unique<CNullRecoveryEngine>());
  };
  RunScanJob(setup, window, state);
  EXPECT_EQ(asked, (std::vector<char16_t>{u'E', u'F'}));
  EXPECT_EQ(window.texts["stage"], "Scanning drive F:");
}

TEST_F(JobFixture, FullScanAsksWhetherToContinueAnEarlierScan) {
  ScanSource first = Image("sample.img", 1);
  RunScanJob(JobSetup({&first}, ScanMode::kFull), window, state);
  ASSERT_EQ(*window.closed, CloseCode::kDone);
  EXPECT_TRUE(window.questions.empty()) << "nothing on record the first time";
  first.engine.reset();

  RecorderWindow again;
  JobState state2;
  again.answer = [](int, const std::string&) { return 2; };
  ScanSource second = Image("sample.img", 1);
  RunScanJob(JobSetup({&second}, ScanMode::kFull), again, state2);
  ASSERT_EQ(again.questions.size(), 1u);
  EXPECT_EQ(again.questions[0].kind, kQuestionBoxKind);
  EXPECT_EQ(again.questions[0].text, "Continue the earlier scan?");
  // The window is out of the way while the question is open.
  const auto ask =
      std::find(again.history.begin(), again.history.end(), "ask:Continue the earlier scan?");
  ASSERT_NE(ask, again.history.end());
  ASSERT_NE(ask, again.history.begin());
  EXPECT_EQ(*(ask - 1), "hide");
  ASSERT_NE(ask + 1, again.history.end());
  EXPECT_EQ(*(ask + 1), "show");
  EXPECT_EQ(*again.closed, CloseCode::kDone);
}

}  // namespace
}  // namespace brinvale
