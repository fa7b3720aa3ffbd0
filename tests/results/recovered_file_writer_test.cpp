#include "results/recovered_file_writer.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "common/error_codes.h"
#include "common/sha256.h"
#include "results/written_files.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

class RecoveredFileWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("brinvale_file_writer_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    ForgetWrittenFiles();
  }
  void TearDown() override {
    ForgetWrittenFiles();
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  static std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
  }
  fs::path m_dir;
};

// 2021-07-04 23:59:58 UTC as a FILETIME.
constexpr uint64_t kWritten = 132699167980000000ull;

TEST_F(RecoveredFileWriterTest, AWholeFileIsNotedWithTheDigestOfItsBytesAndGetsItsTimes) {
  const fs::path target = m_dir / "a.bin";
  {
    std::ofstream(target) << "an older and longer file";  // truncated by Open
  }
  ScanRecord record;
  record.SetEngine(EngineCode::kQuickNtfs);  // NTFS times are UTC already
  record.SetWritten(kWritten);
  record.SetAccessed(kWritten);
  RecoveredFileWriter writer;
  ASSERT_EQ(writer.Open(target), kOk);
  const std::string first = "hello, ", second = "world";
  ASSERT_EQ(writer.Write(Bytes(first).data(), first.size()), kOk);
  ASSERT_EQ(writer.Write(Bytes(second).data(), second.size()), kOk);
  EXPECT_FALSE(TakeWrittenFile(target).has_value());  // not before it is whole
  writer.Finish(record);
  EXPECT_FALSE(writer.IsOpen());

  const auto digest = TakeWrittenFile(target);
  ASSERT_TRUE(digest.has_value());
  EXPECT_EQ(digest->size, 12u);
  EXPECT_EQ(digest->sha256, Sha256Hex(Bytes("hello, world")));
  EXPECT_FALSE(TakeWrittenFile(target).has_value());  // taken once
  EXPECT_EQ(fs::file_size(target), 12u);
#if !defined(_WIN32)
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(int64_t(st.st_mtim.tv_sec), 1625443198);  // set on the open file, kept at close
#endif
}

TEST_F(RecoveredFileWriterTest, AClosedOrFailedFileIsNeverNoted) {
  const fs::path stopped = m_dir / "stopped.bin";
  RecoveredFileWriter writer;
  ASSERT_EQ(writer.Open(stopped), kOk);
  ASSERT_EQ(writer.Write(Bytes("half").data(), 4), kOk);
  writer.Close();
  EXPECT_FALSE(TakeWrittenFile(stopped).has_value());

  // /dev/full takes no byte: the write fails, and what the file holds is
  // then unknown.
  if (fs::exists("/dev/full")) {
    ASSERT_EQ(writer.Open("/dev/full"), kOk);
    EXPECT_NE(writer.Write(Bytes("data").data(), 4), kOk);
    writer.Finish(ScanRecord());
    EXPECT_FALSE(TakeWrittenFile("/dev/full").has_value());
  }
}

TEST_F(RecoveredFileWriterTest, ForgettingDropsEveryNoteOfThisThread) {
  NoteWrittenFile(m_dir / "x", {1, "00"});
  NoteWrittenFile(m_dir / "x", {2, "11"});  // replaces
  NoteWrittenFile(m_dir / "y", {3, "22"});
  EXPECT_EQ(TakeWrittenFile(m_dir / "x")->size, 2u);
  ForgetWrittenFiles();
  EXPECT_FALSE(TakeWrittenFile(m_dir / "y").has_value());
}

}  // namespace
}  // namespace brinvale
