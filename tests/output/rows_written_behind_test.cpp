#include "output/rows_written_behind.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/error_codes.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

TEST(RowsWrittenBehindTest, EachWaitingRowTakesHowItsFileEnded) {
  test::TempDir dir("rows_written_behind");
  const fs::path whole = dir.Path() / "whole.jpg";
  const fs::path cut = dir.Path() / "cut.jpg";
  std::ofstream(cut, std::ios::binary) << "part";  // what a failed write left
  RecoveryReport report;
  report.files = {{whole, kOk}, {cut, kOk}};
  RowsWrittenBehind rows;
  rows.Owe(0, whole);
  rows.Owe(1, cut);
  EXPECT_FALSE(rows.Empty());

  const std::vector<size_t> settled =
      rows.Settle(report, {{cut, kErrDiskFull, std::nullopt, cut, true},
                           {whole, kOk, WrittenDigest{4, "ab"}, whole}});
  EXPECT_EQ(settled, (std::vector<size_t>{1, 0}));
  EXPECT_TRUE(rows.Empty());
  ASSERT_EQ(report.files.size(), 2u);
  EXPECT_EQ(report.files[0].error, kOk);
  ASSERT_TRUE(report.files[0].written.has_value());
  EXPECT_EQ(report.files[0].written->sha256, "ab");
  // The failed file keeps its bytes under a name that says it is not whole.
  EXPECT_EQ(report.files[1].error, kErrDiskFull);
  EXPECT_EQ(report.files[1].target, dir.Path() / "cut.partial.jpg");
  EXPECT_TRUE(fs::exists(dir.Path() / "cut.partial.jpg"));
  EXPECT_FALSE(fs::exists(cut));
  EXPECT_EQ(report.Failed(), 1u);
}

TEST(RowsWrittenBehindTest, AFailureNoRowWaitedForGetsItsOwnRowAndAWholeFileNone) {
  test::TempDir dir("rows_written_behind_unowed");
  RecoveryReport report;
  RowsWrittenBehind rows;
  const fs::path missing = dir.Path() / "never" / "made.txt";  // nothing to rename
  const std::vector<size_t> settled = rows.Settle(
      report, {{dir.Path() / "quiet.txt", kOk, std::nullopt, dir.Path() / "quiet.txt"},
               {missing, kErrPathNotFound, {}, missing}});
  EXPECT_EQ(settled, (std::vector<size_t>{0}));
  ASSERT_EQ(report.files.size(), 1u);
  EXPECT_EQ(report.files[0].target, missing);
  EXPECT_EQ(report.files[0].error, kErrPathNotFound);
}

TEST(RowsWrittenBehindTest, AFileWrittenUnderANumberedNameMovesItsRowThere) {
  test::TempDir dir("rows_written_behind_numbered");
  const fs::path given = dir.Path() / "IMG.JPG";
  const fs::path numbered = dir.Path() / "IMG(1).JPG";
  RecoveryReport report;
  report.files = {{given, kOk}};
  RowsWrittenBehind rows;
  rows.Owe(0, given);
  EXPECT_EQ(rows.Settle(report, {{numbered, kOk, WrittenDigest{1, "cd"}, given}}),
            (std::vector<size_t>{0}));
  EXPECT_EQ(report.files[0].target, numbered);
  EXPECT_EQ(report.files[0].written->sha256, "cd");
}

// A write that failed before it created anything (its path was taken and
// no numbered name was free) leaves what is there alone.
TEST(RowsWrittenBehindTest, AFailedWriteThatCreatedNothingRenamesNothing) {
  test::TempDir dir("rows_written_behind_not_created");
  const fs::path other = dir.Path() / "other.jpg";
  std::ofstream(other, std::ios::binary) << "another file's bytes";
  RecoveryReport report;
  report.files = {{other, kOk}};
  RowsWrittenBehind rows;
  rows.Owe(0, other);
  rows.Settle(report, {{other, kErrFileExists, std::nullopt, other, false}});
  EXPECT_EQ(report.files[0].error, kErrFileExists);
  EXPECT_EQ(report.files[0].target, other);
  EXPECT_TRUE(fs::exists(other));
  EXPECT_FALSE(fs::exists(dir.Path() / "other.partial.jpg"));
}

}  // namespace
}  // namespace brinvale
