#include "ui/create_image_process_wnd.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <chrono>
#include <thread>

#include "common/error_codes.h"
#include "ui/ui_test_support.h"

namespace brinvale::ui {
namespace {

using test::LabelText;

struct ImageWindowTest : ::testing::Test {
  brinvale::test::TempDir folder{"ui_image_window"};
  test::Presenter presenter;
  UiContext context = presenter.Context();
  test::OwnerWindow owner;

  ImageJobSetup JobSetup() {
    ImageJobSetup setup;
    setup.source.kind = ImageSource::Kind::kImageFile;
    setup.source.imageFile = brinvale::test::FixturePath("fat16.img");
    setup.imagePath = folder.Path() / "copy.img";
    return setup;
  }
};

TEST_F(ImageWindowTest, CopiesTheSourceShowsItsCountersAndClosesWithOne) {
  const ImageJobSetup setup = JobSetup();
  CCreateImageProcessWnd window(context, setup);
  EXPECT_EQ(window.GetWindowClassName(), "UIScanProcessWnd") << "the scan window's class name";
  EXPECT_EQ(test::RunUntilClosed(window, &owner, CCreateImageProcessWnd::kWidth,
                                 CCreateImageProcessWnd::kHeight),
            1);
  QTest::qWait(50);
  EXPECT_EQ(brinvale::test::ReadFileBytes(setup.imagePath),
            brinvale::test::ReadFileBytes(setup.source.imageFile));
  EXPECT_EQ(LabelText(window, "stage"), "Creating image: " + setup.imagePath.string());
  EXPECT_EQ(LabelText(window, "sectors"), "Sectors: 65536 / 65536") << "32 MiB";
  EXPECT_EQ(LabelText(window, "percent"), "Progress: 100%");
}

TEST_F(ImageWindowTest, AFailedCopyClosesWithThree) {
  ImageJobSetup setup = JobSetup();
  setup.imagePath = folder.Path() / "no-such-folder" / "copy.img";
  CCreateImageProcessWnd window(context, setup);
  EXPECT_EQ(test::RunUntilClosed(window, &owner, CCreateImageProcessWnd::kWidth,
                                 CCreateImageProcessWnd::kHeight),
            3);
}

// A copy that reports every few milliseconds until it is told to stop.
int SlowCopy(ImageCopyJob& job, const ImageSource&, const std::filesystem::path&, void* user) {
  for (int i = 0; i < 4000; ++i) {
    if (int rc = job.progress(user, i / 40, uint64_t(i), 4000, -1); rc != 0) return rc;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return kOk;
}

TEST_F(ImageWindowTest, CancelAnsweredYesClosesWithTwoThroughTheJob) {
  ImageJobSetup setup = JobSetup();
  setup.copier = SlowCopy;
  CCreateImageProcessWnd window(context, setup);
  window.CreatePopUp(&owner, CCreateImageProcessWnd::kWidth, CCreateImageProcessWnd::kHeight);
  window.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !LabelText(window, "sectors").empty(); }, 10000));
  QTest::mouseClick(window.findChild<QPushButton*>("cancelbtn"), Qt::LeftButton);
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].message.toStdString(),
            test::ShippedTexts().Text("Messages", "MSG0306"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.ClosedWith().has_value(); }, 10000));
  EXPECT_EQ(*window.ClosedWith(), 2);
}

}  // namespace
}  // namespace brinvale::ui
