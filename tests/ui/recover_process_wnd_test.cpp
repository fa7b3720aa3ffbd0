#include "ui/recover_process_wnd.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>

#include "app/search_job.h"
#include "common/error_codes.h"
#include "engines/engine_factory.h"
#include "ui/ui_test_support.h"

namespace brinvale::ui {
namespace {

using test::FixtureImage;
using test::LabelText;

struct RecoveryWindowTest : ::testing::Test {
  brinvale::test::TempDir logs{"ui_recovery_logs"};
  brinvale::test::TempDir target{"ui_recovery_target"};
  test::Presenter presenter;
  UiContext context = presenter.Context();
  test::OwnerWindow owner;
  ScanSource image = FixtureImage("sample.img", 1);
  RecordList found;
  std::vector<QUrl> opened;

  void SetUp() override {
    EngineSetup setup;
    setup.logFolder = logs.Path();
    image.engine = CreateEngineForImage(image.imagePath, 1, ScanMode::kQuick, setup);
    ASSERT_NE(image.engine, nullptr);
    ASSERT_EQ(image.engine->Scan(nullptr), kOk);
    ASSERT_EQ(image.engine->Search(SearchFilterText({}), found), kOk);
    ASSERT_GE(found.size(), 2u);
  }

  RecoveryJobSetup JobSetup() { return {found, {&image}, target.Path(), {}}; }
  CRecoverProcessWnd::FolderOpener Opener() {
    return [this](const QUrl& url) {
      opened.push_back(url);
      return true;
    };
  }
};

TEST_F(RecoveryWindowTest, RecoversEveryFileListsItAndShowsFinish) {
  CRecoverProcessWnd window(context, JobSetup(), Opener());
  EXPECT_EQ(window.GetWindowClassName(), "UIRecoverProcessWnd");
  window.CreatePopUp(&owner, CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight);
  window.show();
  auto* finish = window.findChild<QPushButton*>("FinishBtn");
  ASSERT_TRUE(QTest::qWaitFor([&] { return finish->isVisible(); }, 60000));
  EXPECT_TRUE(window.findChild<QPushButton*>("CancelBtn")->isHidden());
  EXPECT_EQ(finish->text(), "Finish");
  auto* list = window.findChild<QTreeWidget*>("DetailList");
  EXPECT_EQ(size_t(list->topLevelItemCount()), found.size());
  EXPECT_EQ(list->topLevelItem(0)->text(1), "Success");
  const std::string total = std::to_string(found.size());
  EXPECT_EQ(LabelText(window, "recovered"),
            "Processed " + total + " of " + total + ", recovered " + total + ", failed 0");
  size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(target.Path()))
    files += entry.is_regular_file() && entry.path().parent_path() != target.Path();
  EXPECT_EQ(files, found.size());
  // Beside the category folders: the manifest of what was written.
  EXPECT_TRUE(std::filesystem::exists(target.Path() / "recovery.csv"));
  EXPECT_TRUE(std::filesystem::exists(target.Path() / "recovery.json"));

  // Once finished, the close button closes with 1 and asks nothing.
  QTest::mouseClick(window.findChild<QPushButton*>("closebtn"), Qt::LeftButton);
  EXPECT_EQ(window.ClosedWith(), 1);
  EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(RecoveryWindowTest, FinishClosesWithOne) {
  CRecoverProcessWnd window(context, JobSetup(), Opener());
  window.CreatePopUp(&owner, CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight);
  window.show();
  auto* finish = window.findChild<QPushButton*>("FinishBtn");
  ASSERT_TRUE(QTest::qWaitFor([&] { return finish->isVisible(); }, 60000));
  QTest::mouseClick(finish, Qt::LeftButton);
  EXPECT_EQ(window.ClosedWith(), 1);
}

TEST_F(RecoveryWindowTest, DetailButtonGrowsTheWindowAndShowsTheListThenRestoresIt) {
  CRecoverProcessWnd window(context, JobSetup(), Opener());
  window.CreatePopUp(&owner, CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight);
  window.show();
  auto* list = window.findChild<QTreeWidget*>("DetailList");
  EXPECT_FALSE(list->isVisible());
  auto* detail = window.findChild<QPushButton*>("DetailBtn");
  QTest::mouseClick(detail, Qt::LeftButton);
  EXPECT_EQ(window.size(), QSize(650, 550));
  EXPECT_TRUE(list->isVisible());
  EXPECT_TRUE(window.DetailShown());
  QTest::mouseClick(detail, Qt::LeftButton);
  EXPECT_EQ(window.size(), QSize(500, 250));
  EXPECT_FALSE(list->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.State().JobFinished(); }, 60000));
}

TEST_F(RecoveryWindowTest, OpenButtonOpensTheTargetFolder) {
  CRecoverProcessWnd window(context, JobSetup(), Opener());
  window.CreatePopUp(&owner, CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight);
  window.show();
  QTest::mouseClick(window.findChild<QPushButton*>("OpenBtn"), Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].isLocalFile());
  EXPECT_EQ(std::filesystem::path(opened[0].toLocalFile().toStdString()), target.Path());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.State().JobFinished(); }, 60000));
}

// The window is sized from its borders; the message box is not.
TEST_F(RecoveryWindowTest, TheBottomRightCornerSizesTheWindow) {
  CRecoverProcessWnd window(context, JobSetup(), Opener());
  window.CreatePopUp(&owner, CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight);
  window.show();
  const QPoint corner(window.width() - 2, window.height() - 2);
  QTest::mousePress(&window, Qt::LeftButton, {}, corner);
  QTest::mouseMove(&window, corner + QPoint(40, 30));
  QTest::mouseRelease(&window, Qt::LeftButton, {}, corner + QPoint(40, 30));
  EXPECT_EQ(window.size(), QSize(540, 280));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.State().JobFinished(); }, 60000));

  CMessageBox box(context, 2, "Done.");
  box.CreatePopUp(&owner, CMessageBox::kWidth, CMessageBox::kHeight);
  box.show();
  const QPoint boxCorner(box.width() - 2, box.height() - 2);
  QTest::mousePress(&box, Qt::LeftButton, {}, boxCorner);
  QTest::mouseMove(&box, boxCorner + QPoint(40, 30));
  QTest::mouseRelease(&box, Qt::LeftButton, {}, boxCorner + QPoint(40, 30));
  EXPECT_EQ(box.size(), QSize(400, 160));
}

// While the job runs, the cancel button asks; a yes stops it and closes
// with 2. The files recovered before stay.
TEST_F(RecoveryWindowTest, CancelAnsweredYesClosesWithTwo) {
  // Enough files that the job is still running when Cancel is clicked, on
  // a loaded machine too.
  RecoveryJobSetup setup = JobSetup();
  for (int i = 0; i < 50; ++i)
    setup.selection.insert(setup.selection.end(), found.begin(), found.end());
  CRecoverProcessWnd window(context, std::move(setup), Opener());
  window.CreatePopUp(&owner, CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight);
  QObject::connect(&window, &CPopUpWnd::windowInitialised, &window, [&] {
    QTest::mouseClick(window.findChild<QPushButton*>("CancelBtn"), Qt::LeftButton);
  });
  window.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.ClosedWith().has_value(); }, 60000));
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].message.toStdString(),
            test::ShippedTexts().Text("Messages", "MSG1103"));
  EXPECT_EQ(*window.ClosedWith(), 2);
  EXPECT_TRUE(window.State().CancelRequested());
  QTest::qWait(50);
  EXPECT_TRUE(window.findChild<QPushButton*>("FinishBtn")->isHidden())
      << "a cancelled job leaves the buttons as they are";
}

}  // namespace
}  // namespace brinvale::ui
