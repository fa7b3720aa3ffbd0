#include "ui/program.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/fixture_path.h"

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

}  // namespace
}  // namespace brinvale::ui
