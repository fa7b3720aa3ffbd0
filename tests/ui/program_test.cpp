#include "ui/program.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/fixture_path.h"
#include "ui/single_instance.h"
#include "ui/ui_test_support.h"

namespace brinvale::ui {
namespace {

TEST(ProgramExit, DeletesThePreviewVideoAndOnlyIt) {
  brinvale::test::TempDir folder("ui_program_exit");
  std::ofstream(folder.Path() / "tmp.avi") << "video";
  std::ofstream(folder.Path() / "tmp.jpg") << "picture";
  DeletePreviewVideo(folder.Path());
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "tmp.avi"));
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "tmp.jpg"));
  DeletePreviewVideo(folder.Path());  // a missing video is fine
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "tmp.jpg"));
}

// With no instance there to answer, a refused start says that one runs,
// in an information box of its own, and ends.
TEST(ProgramStart, ARefusedStartWithNoAnswerSaysTheProgramRuns) {
  brinvale::test::TempDir folder("ui_program_start");
  CSingleInstance instance(QString::fromStdString((folder.Path() / "brinvale.lock").string()),
                           QString::fromStdString((folder.Path() / "nobody.socket").string()));
  test::Presenter presenter;
  EXPECT_EQ(HandOverToFirstInstance(instance, presenter.Context()), 0);
  ASSERT_EQ(presenter.shown.size(), 1u);
  EXPECT_EQ(presenter.shown[0].kind, 2);
  EXPECT_EQ(presenter.shown[0].message, "Orlenta Brinvale is running.");
  EXPECT_EQ(presenter.shown[0].owner, nullptr);
}

}  // namespace
}  // namespace brinvale::ui
