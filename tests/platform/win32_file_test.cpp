// The file contract that both backends keep: Windows error codes, positioned
// I/O with 64-bit offsets, and 0 bytes at the end of a file. Written against
// the Win32 backend (CreateFileW, ReadFile with OVERLAPPED offsets) and run
// natively as well; the cases only Windows answers are marked.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/text.h"

namespace brinvale::platform {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed with everything in it afterwards.
class FileContract : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() / ("brinvale_file_" + std::string(info->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  fs::path Write(const std::string& name, const std::string& bytes) {
    fs::path path = m_dir / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }
  fs::path m_dir;
};

TEST_F(FileContract, OpenFailuresGiveWindowsCodes) {
  UniqueHandle h;
  EXPECT_EQ(OpenFile(m_dir / "missing.img", OpenMode::kReadExisting, h), kErrFileNotFound);
  EXPECT_EQ(OpenFile(m_dir / "missing.img", OpenMode::kReadWriteExisting, h), kErrFileNotFound);
  EXPECT_FALSE(h.IsOpen());
  EXPECT_FALSE(fs::exists(m_dir / "missing.img")) << "an *Existing mode must not create";
  // A folder is no medium: CreateFileW without backup semantics denies it.
  EXPECT_EQ(OpenFile(m_dir, OpenMode::kReadExisting, h), kErrAccessDenied);
  EXPECT_FALSE(h.IsOpen());
#if defined(_WIN32)
  // Windows tells a missing folder on the way from a missing file.
  EXPECT_EQ(OpenFile(m_dir / "no-folder" / "x.img", OpenMode::kReadExisting, h), kErrPathNotFound);
#endif
}

TEST_F(FileContract, ReadsStopAtTheEndWithZeroBytes) {
  fs::path path = Write("ten.bin", "0123456789");
  UniqueHandle h;
  ASSERT_EQ(OpenFile(path, OpenMode::kReadExisting, h), kOk);
  char buf[16] = {};
  size_t got = 99;
  ASSERT_EQ(ReadAt(h, 6, buf, sizeof buf, got), kOk);
  EXPECT_EQ(got, 4u) << "a read across the end answers the bytes that exist";
  EXPECT_EQ(std::string(buf, got), "6789");
  got = 99;
  EXPECT_EQ(ReadAt(h, 10, buf, sizeof buf, got), kOk) << "at the end: success, 0 bytes";
  EXPECT_EQ(got, 0u);
  got = 99;
  EXPECT_EQ(ReadAt(h, 1000, buf, sizeof buf, got), kOk) << "past the end: success, 0 bytes";
  EXPECT_EQ(got, 0u);
  got = 99;
  EXPECT_EQ(ReadAt(h, 0, buf, 0, got), kOk);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(ReadAt(h, ~uint64_t(0), buf, 1, got), kErrInvalidParameter);
}

TEST_F(FileContract, ClosedHandleIsRefused) {
  UniqueHandle h;
  char buf[4];
  size_t n = 99;
  EXPECT_EQ(ReadAt(h, 0, buf, sizeof buf, n), kErrInvalidHandle);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(WriteAt(h, 0, buf, sizeof buf, n), kErrInvalidHandle);
}

TEST_F(FileContract, WriteModesTruncateOrKeep) {
  fs::path path = Write("modes.bin", "abcdef");
  {
    UniqueHandle h;
    ASSERT_EQ(OpenFile(path, OpenMode::kWriteKeep, h), kOk);
    size_t put = 0;
    ASSERT_EQ(WriteAt(h, 1, "XY", 2, put), kOk);
    EXPECT_EQ(put, 2u);
    ASSERT_EQ(Flush(h), kOk);
  }
  uint64_t size = 0;
  ASSERT_EQ(FileSize(path, size), kOk);
  EXPECT_EQ(size, 6u) << "kWriteKeep keeps the bytes it does not overwrite";
  UniqueHandle h;
  ASSERT_EQ(OpenFile(path, OpenMode::kReadExisting, h), kOk);
  char buf[6];
  size_t got = 0;
  ASSERT_EQ(ReadAt(h, 0, buf, sizeof buf, got), kOk);
  EXPECT_EQ(std::string(buf, got), "aXYdef");
  h.Reset();

  UniqueHandle t;
  ASSERT_EQ(OpenFile(path, OpenMode::kWriteTruncate, t), kOk);
  ASSERT_EQ(FileSizeOf(t, size), kOk);
  EXPECT_EQ(size, 0u) << "kWriteTruncate empties an existing file";
  t.Reset();
  UniqueHandle created;
  ASSERT_EQ(OpenFile(m_dir / "new.bin", OpenMode::kWriteKeep, created), kOk);
  EXPECT_TRUE(fs::exists(m_dir / "new.bin")) << "kWriteKeep creates a missing file";
}

TEST_F(FileContract, OffsetsAboveFourGiBKeepTheirHighBits) {
  // 4 GiB + 3: the high half of the offset goes to OffsetHigh. The file is
  // sparse on the file systems the tests run on.
  const uint64_t offset = (uint64_t(1) << 32) + 3;
  fs::path path = m_dir / "big.bin";
  UniqueHandle h;
  ASSERT_EQ(OpenFile(path, OpenMode::kWriteTruncate, h), kOk);
  size_t put = 0;
  ASSERT_EQ(WriteAt(h, offset, "HIGH", 4, put), kOk);
  ASSERT_EQ(put, 4u);
  ASSERT_EQ(WriteAt(h, 3, "low!", 4, put), kOk);
  uint64_t size = 0;
  ASSERT_EQ(FileSizeOf(h, size), kOk);
  EXPECT_EQ(size, offset + 4);
  char buf[4] = {};
  size_t got = 0;
  ASSERT_EQ(ReadAt(h, offset, buf, 4, got), kOk);
  EXPECT_EQ(std::string(buf, got), "HIGH");
  ASSERT_EQ(ReadAt(h, 3, buf, 4, got), kOk);
  EXPECT_EQ(std::string(buf, got), "low!") << "a truncated offset would land here";
  uint64_t bytes = 0;
  ASSERT_EQ(QueryDiskLength(h, bytes), kOk) << "a regular file answers its size";
  EXPECT_EQ(bytes, offset + 4);
}

TEST_F(FileContract, OpenFilesShareReadingAndWriting) {
  fs::path path = Write("shared.bin", "before");
  UniqueHandle reader, writer;
  ASSERT_EQ(OpenFile(path, OpenMode::kReadExisting, reader), kOk);
  // A medium under scan stays usable by others, and a second reader or a
  // writer of an image being scanned is no sharing violation.
  ASSERT_EQ(OpenFile(path, OpenMode::kReadWriteExisting, writer), kOk);
  size_t put = 0;
  ASSERT_EQ(WriteAt(writer, 0, "AFTER!", 6, put), kOk);
  char buf[6];
  size_t got = 0;
  ASSERT_EQ(ReadAt(reader, 0, buf, sizeof buf, got), kOk);
  EXPECT_EQ(std::string(buf, got), "AFTER!");
}

TEST_F(FileContract, NonAsciiNamesRoundTripThroughUtf8) {
  // Umlauts, CJK and a character outside the BMP (a surrogate pair in UTF-16).
  const std::string name =
      "Gr\xC3\xBC\xC3\x9F"
      "e-\xE6\x97\xA5\xE6\x9C\xAC-\xF0\x9F\x93\x81.bin";
  fs::path path = m_dir / PathFromUtf8(name);
  UniqueHandle h;
  ASSERT_EQ(OpenFile(path, OpenMode::kWriteTruncate, h), kOk);
  size_t put = 0;
  ASSERT_EQ(WriteAt(h, 0, "12345", 5, put), kOk);
  h.Reset();
  uint64_t size = 0;
  ASSERT_EQ(FileSize(path, size), kOk);
  EXPECT_EQ(size, 5u);
  std::vector<std::string> listed;
  for (const auto& entry : fs::directory_iterator(m_dir))
    listed.push_back(PathToUtf8(entry.path().filename()));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0], name) << "the folder holds the name as given, not a code-page guess";
}

TEST_F(FileContract, FileSizeOfMissingPathIsFileNotFound) {
  uint64_t size = 7;
  EXPECT_EQ(FileSize(m_dir / "missing.bin", size), kErrFileNotFound);
  EXPECT_EQ(FileSize(Write("three.bin", "abc"), size), kOk);
  EXPECT_EQ(size, 3u);
}

TEST(Win32TestSetup, FixtureFolderIsAbsolute) {
  // Under Wine a bare Unix path would resolve against whatever drive is
  // current; the build hands the tests the folder with Wine's Z: drive.
  EXPECT_TRUE(fs::path(BRINVALE_FIXTURE_DIR).is_absolute()) << BRINVALE_FIXTURE_DIR;
}

}  // namespace
}  // namespace brinvale::platform
