#include "ui/preview_process_wnd.h"

#include <gtest/gtest.h>

#include "app/search_job.h"
#include "common/error_codes.h"
#include "engines/engine_factory.h"
#include "ui/ui_test_support.h"

namespace brinvale::ui {
namespace {

using test::LabelText;

TEST(PreviewWindow, ExtractsTheFileShowsItsNameAndClosesWithOne) {
  brinvale::test::TempDir logs("ui_preview_logs");
  test::Presenter presenter;
  const UiContext context = presenter.Context();
  test::OwnerWindow owner;
  ScanSource image = test::FixtureImage("sample.img", 1);
  EngineSetup setup;
  setup.logFolder = logs.Path();
  setup.previewFolder = logs.Path();
  image.engine = CreateEngineForImage(image.imagePath, 1, ScanMode::kQuick, setup);
  ASSERT_NE(image.engine, nullptr);
  ASSERT_EQ(image.engine->Scan(nullptr), kOk);
  RecordList found;
  ASSERT_EQ(image.engine->Search(SearchFilterText({"jpg"}), found), kOk);
  ASSERT_FALSE(found.empty());

  PreviewState state;
  PreviewJobSetup job;
  job.record = found.front();
  job.sources = {&image};
  job.state = &state;
  job.mediaWait = std::chrono::milliseconds(0);
  CPreviewProcessWnd window(context, job);
  EXPECT_EQ(window.GetWindowClassName(), "UIPreviewProcessWnd");
  EXPECT_EQ(
      test::RunUntilClosed(window, &owner, CPreviewProcessWnd::kWidth, CPreviewProcessWnd::kHeight),
      1);
  EXPECT_EQ(LabelText(window, "FileName"), std::string(found.front().Name()));
  EXPECT_EQ(LabelText(window, "stage"), test::ShippedTexts().Text("Messages", "MSG0902") + " " +
                                           std::string(found.front().Name()));
  ASSERT_FALSE(state.extractedPath.empty());
  EXPECT_TRUE(std::filesystem::exists(state.extractedPath));
  EXPECT_EQ(std::filesystem::file_size(state.extractedPath), found.front().FileSize());
  std::filesystem::remove(state.extractedPath);
}

}  // namespace
}  // namespace brinvale::ui
