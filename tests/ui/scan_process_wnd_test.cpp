#include "ui/scan_process_wnd.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>

#include "app/scan_history.h"
#include "common/error_codes.h"
#include "ui/ui_test_support.h"

namespace brinvale::ui {
namespace {

using test::FixtureImage;
using test::LabelText;

struct ScanWindowTest : ::testing::Test {
  brinvale::test::TempDir logs{"ui_scan_window"};
  ScanHistory history{logs.Path()};
  test::Presenter presenter;
  UiContext context = presenter.Context();
  test::OwnerWindow owner;

  ScanJobSetup JobSetup(std::vector<ScanSource*> sources, ScanMode mode) {
    ScanJobSetup setup;
    setup.sources = std::move(sources);
    setup.mode = mode;
    setup.history = &history;
    setup.previewFolder = logs.Path();
    return setup;
  }
};

TEST_F(ScanWindowTest, QuickScanShowsItsStageClosesWithOneAndPostsScanFinished) {
  ScanSource image = FixtureImage("sample.img", 1);
  CScanProcessWnd window(context, JobSetup({&image}, ScanMode::kQuick));
  EXPECT_EQ(window.GetWindowClassName(), "UIScanProcessWnd");
  EXPECT_EQ(test::RunUntilClosed(window, &owner, CScanProcessWnd::kWidth, CScanProcessWnd::kHeight),
            1);
  EXPECT_EQ(window.size(), QSize(450, 250));
  QTest::qWait(50);  // the last queued texts and the posted message
  EXPECT_EQ(LabelText(window, "stage"), "Scanning image: sample.img");
  EXPECT_EQ(LabelText(window, "percent"), "Progress: 100%");
  EXPECT_EQ(window.findChild<QProgressBar*>("progress")->value(), 100);
  EXPECT_EQ(window.findChild<QPushButton*>("cancelbtn")->text(), "Cancel")
      << "the ScanWnd section's caption";
  // The quick engine counts no sectors, so the counters stay hidden.
  EXPECT_TRUE(window.findChild<QLabel*>("sectors")->isHidden());
  EXPECT_EQ(owner.posted, std::vector<int>{1025});
  ASSERT_NE(image.engine, nullptr);
  EXPECT_EQ(image.scanResult, kOk);
  EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(ScanWindowTest, FullScanShowsTheSectorAndFileCounters) {
  ScanSource image = FixtureImage("sample.img", 1);
  CScanProcessWnd window(context, JobSetup({&image}, ScanMode::kFull));
  window.CreatePopUp(&owner, CScanProcessWnd::kWidth, CScanProcessWnd::kHeight);
  window.show();
  auto* sectors = window.findChild<QLabel*>("sectors");
  auto* files = window.findChild<QLabel*>("totalfile");
  // The sector pass counts sectors; the counters show while it runs.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !sectors->isHidden() && sectors->text().startsWith("Sectors"); }, 60000));
  EXPECT_FALSE(files->isHidden());
  const QRegularExpression counter("^Sectors: (\\d+) / (\\d+)$");
  const QRegularExpressionMatch match = counter.match(sectors->text());
  ASSERT_TRUE(match.hasMatch()) << sectors->text().toStdString();
  EXPECT_LE(match.captured(1).toULongLong(), match.captured(2).toULongLong());
  EXPECT_GT(match.captured(2).toULongLong(), 0u);
  EXPECT_TRUE(QRegularExpression("^Files found: \\d+$").match(files->text()).hasMatch())
      << files->text().toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.ClosedWith().has_value(); }, 60000));
  EXPECT_EQ(*window.ClosedWith(), 1);
  QTest::qWait(50);
  EXPECT_EQ(owner.posted, std::vector<int>{1025});
  EXPECT_EQ(image.scanResult, kOk);
}

TEST_F(ScanWindowTest, NoEngineClosesWithThreeAndPostsNothing) {
  ScanSource missing = FixtureImage("no-such-image.img", 1);
  CScanProcessWnd window(context, JobSetup({&missing}, ScanMode::kQuick));
  EXPECT_EQ(test::RunUntilClosed(window, &owner, CScanProcessWnd::kWidth, CScanProcessWnd::kHeight),
            3);
  QTest::qWait(50);
  EXPECT_TRUE(owner.posted.empty());
  EXPECT_EQ(missing.engine, nullptr);
}

// The cancel question, answered yes: the engine stops at its next report,
// and the window still closes with 1 through its job.
TEST_F(ScanWindowTest, CancelAnsweredYesStopsTheEngineAndClosesWithOne) {
  ScanSource image = FixtureImage("fat32.img", 1);
  CScanProcessWnd window(context, JobSetup({&image}, ScanMode::kFull));
  window.CreatePopUp(&owner, CScanProcessWnd::kWidth, CScanProcessWnd::kHeight);
  window.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !LabelText(window, "percent").empty(); }, 60000));
  std::string whileOpen;
  std::string afterWait;
  presenter.whileOpen = [&] {
    // The job waits for the lock the question holds: once the texts it
    // sent before have arrived, nothing moves.
    QTest::qWait(100);
    whileOpen = LabelText(window, "percent") + LabelText(window, "sectors");
    QTest::qWait(300);
    afterWait = LabelText(window, "percent") + LabelText(window, "sectors");
  };
  QTest::mouseClick(window.findChild<QPushButton*>("cancelbtn"), Qt::LeftButton);
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].kind, 4);
  EXPECT_EQ(presenter.shown[0].message.toStdString(),
            test::ShippedTexts().Text("Messages", "MSG0709"));
  EXPECT_EQ(presenter.shown[0].owner, &window);
  EXPECT_EQ(whileOpen, afterWait);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.ClosedWith().has_value(); }, 60000));
  EXPECT_EQ(*window.ClosedWith(), 1);
  EXPECT_EQ(image.scanResult, kCancelled) << "the engine stopped";
  EXPECT_TRUE(window.State().JobFinished());
  QTest::qWait(50);
  EXPECT_EQ(owner.posted, std::vector<int>{1025});
}

// Answered no (here by the question's close button): the job goes on from
// where it waited and ends as usual.
TEST_F(ScanWindowTest, CancelAnsweredNoLetsTheScanGoOn) {
  ScanSource image = FixtureImage("fat32.img", 1);
  CScanProcessWnd window(context, JobSetup({&image}, ScanMode::kFull));
  window.CreatePopUp(&owner, CScanProcessWnd::kWidth, CScanProcessWnd::kHeight);
  window.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !LabelText(window, "percent").empty(); }, 60000));
  presenter.answer = [](const test::ShownBox&) { return QStringLiteral("closebtn"); };
  QTest::mouseClick(window.findChild<QPushButton*>("closebtn"), Qt::LeftButton);
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_FALSE(window.ClosedWith().has_value());
  EXPECT_FALSE(window.State().CancelRequested());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.ClosedWith().has_value(); }, 120000));
  EXPECT_EQ(*window.ClosedWith(), 1);
  EXPECT_EQ(image.scanResult, kOk) << "the scan ran to its end";
  QTest::qWait(50);
  EXPECT_EQ(LabelText(window, "percent"), "Progress: 100%");
}

// A full scan of a medium scanned before asks, from its worker, whether
// to use the earlier scan: the window hides while the question, owned by
// the main window, is open, and the job goes on after the answer.
TEST_F(ScanWindowTest, TheEarlierScanQuestionIsAskedOverTheOwnerWithTheWindowHidden) {
  {
    ScanSource image = FixtureImage("sample.img", 1);
    CScanProcessWnd first(context, JobSetup({&image}, ScanMode::kFull));
    ASSERT_EQ(
        test::RunUntilClosed(first, &owner, CScanProcessWnd::kWidth, CScanProcessWnd::kHeight), 1);
    ASSERT_EQ(image.scanResult, kOk);
  }
  ScanSource again = FixtureImage("sample.img", 1);
  CScanProcessWnd window(context, JobSetup({&again}, ScanMode::kFull));
  bool hiddenWhileAsked = false;
  presenter.whileOpen = [&] { hiddenWhileAsked = !window.isVisible(); };
  presenter.answer = [](const test::ShownBox&) { return QStringLiteral("cancelbtn"); };
  EXPECT_EQ(test::RunUntilClosed(window, &owner, CScanProcessWnd::kWidth, CScanProcessWnd::kHeight),
            1);
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].kind, 4);
  EXPECT_EQ(presenter.shown[0].message.toStdString(),
            test::ShippedTexts().Text("Messages", "MSG1206"));
  EXPECT_EQ(presenter.shown[0].owner, &owner);
  EXPECT_TRUE(hiddenWhileAsked);
  EXPECT_EQ(again.scanResult, kOk) << "a no scans afresh";
}

}  // namespace
}  // namespace brinvale::ui
