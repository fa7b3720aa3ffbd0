#include "ui/search_process_wnd.h"

#include <gtest/gtest.h>

#include <QPushButton>

#include "app/scan_history.h"
#include "common/error_codes.h"
#include "engines/engine_factory.h"
#include "ui/ui_test_support.h"

namespace brinvale::ui {
namespace {

using test::FixtureImage;
using test::LabelText;

// Quick-scans `source` into `folder` without a window.
void QuickScan(ScanSource& source, const std::filesystem::path& folder) {
  EngineSetup setup;
  setup.logFolder = folder;
  source.engine =
      CreateEngineForImage(source.imagePath, char16_t(source.sourceTag), ScanMode::kQuick, setup);
  ASSERT_NE(source.engine, nullptr);
  ASSERT_EQ(source.engine->Scan(nullptr), kOk);
}

struct SearchWindowTest : ::testing::Test {
  brinvale::test::TempDir logs{"ui_search_window"};
  test::Presenter presenter;
  UiContext context = presenter.Context();
  test::OwnerWindow owner;
  RecordList results;
};

TEST_F(SearchWindowTest, SearchFillsTheResultsClosesWithOneAndPostsSearchFinished) {
  ScanSource image = FixtureImage("sample.img", 1);
  QuickScan(image, logs.Path());
  RecordList expected;
  ASSERT_EQ(image.engine->Search(SearchFilterText({}), expected), kOk);
  ASSERT_FALSE(expected.empty());

  CSearchProcessWnd window(context, {{&image}, SearchFilterText({}), &results, {}});
  EXPECT_EQ(window.GetWindowClassName(), "UISearchProcessWnd");
  EXPECT_EQ(
      test::RunUntilClosed(window, &owner, CSearchProcessWnd::kWidth, CSearchProcessWnd::kHeight),
      1);
  EXPECT_EQ(window.size(), QSize(450, 220));
  QTest::qWait(50);
  EXPECT_EQ(owner.posted, std::vector<int>{1026});
  EXPECT_EQ(results.size(), expected.size());
  EXPECT_EQ(LabelText(window, "stage"), "Searching image: sample.img");
  EXPECT_EQ(LabelText(window, "percent"), "Progress: 100%");
}

TEST_F(SearchWindowTest, ASourceWithoutAnEngineClosesWithOneAndPostsNothing) {
  ScanSource unscanned = FixtureImage("sample.img", 1);
  CSearchProcessWnd window(context, {{&unscanned}, SearchFilterText({}), &results, {}});
  EXPECT_EQ(
      test::RunUntilClosed(window, &owner, CSearchProcessWnd::kWidth, CSearchProcessWnd::kHeight),
      1);
  QTest::qWait(50);
  EXPECT_TRUE(owner.posted.empty());
  EXPECT_TRUE(results.empty());
}

// A confirmed cancel closes the search window with 2 (its job's own close
// with 1 does not count), and the job still tells the owner it ended.
TEST_F(SearchWindowTest, CancelAnsweredYesClosesWithTwo) {
  std::vector<ScanSource> sources;
  for (uint16_t tag = 1; tag <= 6; ++tag) sources.push_back(FixtureImage("sample.img", tag));
  std::vector<ScanSource*> list;
  for (ScanSource& source : sources) {
    QuickScan(source, logs.Path() / std::to_string(source.sourceTag));
    list.push_back(&source);
  }
  // The click comes as soon as the window is up; on a busy machine the
  // search of six small logs may still end first, and then there is nothing
  // to cancel. Such a try proves nothing and is made again.
  for (int attempt = 0; attempt < 5; ++attempt) {
    presenter.shown.clear();
    owner.posted.clear();
    results.clear();
    CSearchProcessWnd window(context, {list, SearchFilterText({}), &results, {}});
    window.CreatePopUp(&owner, CSearchProcessWnd::kWidth, CSearchProcessWnd::kHeight);
    bool asked = false;
    QObject::connect(&window, &CPopUpWnd::windowInitialised, &window, [&] {
      asked = true;
      QTest::mouseClick(window.findChild<QPushButton*>("cancelbtn"), Qt::LeftButton);
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.ClosedWith().has_value(); }, 60000));
    ASSERT_TRUE(asked);
    if (presenter.shown.empty() && *window.ClosedWith() == 1) {
      QTest::qWait(50);
      continue;  // the job ended before the click
    }
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].message.toStdString(),
              test::ShippedTexts().Text("Messages", "MSG1205"));
    EXPECT_EQ(*window.ClosedWith(), 2);
    EXPECT_TRUE(window.State().JobFinished());
    QTest::qWait(100);
    EXPECT_EQ(owner.posted, std::vector<int>{1026});
    EXPECT_EQ(*window.ClosedWith(), 2) << "the job's later close does not change it";
    return;
  }
  FAIL() << "the search ended before the cancel in every try";
}

}  // namespace
}  // namespace brinvale::ui
