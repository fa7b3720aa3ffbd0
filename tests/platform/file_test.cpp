#include "platform/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "platform/temp_folder.h"

namespace brinvale::platform {
namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(OpenFile, MissingFileFolderAndBadPath) {
  testing::TempFolder dir;
  UniqueHandle h;
  EXPECT_EQ(OpenFile(dir.path() / "missing", OpenMode::kReadExisting, h), kErrFileNotFound);
  EXPECT_EQ(OpenFile(dir.path() / "missing", OpenMode::kReadWriteExisting, h), kErrFileNotFound);
  // A missing folder on the way: Windows names the path, POSIX the file.
#if defined(_WIN32)
  EXPECT_EQ(OpenFile(dir.path() / "no" / "file", OpenMode::kWriteTruncate, h), kErrPathNotFound);
#else
  EXPECT_EQ(OpenFile(dir.path() / "no" / "file", OpenMode::kWriteTruncate, h), kErrFileNotFound);
#endif
  EXPECT_FALSE(h.IsOpen());
  // A folder is no file, whatever the mode.
  EXPECT_EQ(OpenFile(dir.path(), OpenMode::kReadExisting, h), kErrAccessDenied);
  EXPECT_EQ(OpenFile(dir.path(), OpenMode::kWriteTruncate, h), kErrAccessDenied);
  EXPECT_FALSE(h.IsOpen());
  // A file used as a folder.
  WriteText(dir.path() / "plain", "x");
  EXPECT_EQ(OpenFile(dir.path() / "plain" / "x", OpenMode::kReadExisting, h), kErrPathNotFound);
}

TEST(OpenFile, WriteReadAndSize) {
  testing::TempFolder dir;
  const auto path = dir.path() / "data.bin";
  UniqueHandle h;
  ASSERT_EQ(OpenFile(path, OpenMode::kWriteTruncate, h), kOk);
  const std::string payload = "0123456789abcdef";
  size_t put = 0;
  ASSERT_EQ(WriteAt(h, 0, payload.data(), payload.size(), put), kOk);
  EXPECT_EQ(put, payload.size());
  ASSERT_EQ(WriteAt(h, 100, "Z", 1, put), kOk);  // leaves a hole
  EXPECT_EQ(Flush(h), kOk);
  uint64_t size = 0;
  EXPECT_EQ(FileSizeOf(h, size), kOk);
  EXPECT_EQ(size, 101u);
  EXPECT_EQ(FileSize(path, size), kOk);
  EXPECT_EQ(size, 101u);

  char buffer[32] = {};
  size_t got = 99;
  ASSERT_EQ(ReadAt(h, 10, buffer, 6, got), kOk);
  EXPECT_EQ(got, 6u);
  EXPECT_EQ(std::string(buffer, 6), "abcdef");
  ASSERT_EQ(ReadAt(h, 95, buffer, 32, got), kOk);
  EXPECT_EQ(got, 6u) << "a short read at the end";
  EXPECT_EQ(buffer[0], 0) << "the hole reads as zeros";
  EXPECT_EQ(buffer[5], 'Z');
  ASSERT_EQ(ReadAt(h, 5000, buffer, 32, got), kOk);
  EXPECT_EQ(got, 0u) << "past the end";
  EXPECT_EQ(ReadAt(h, uint64_t(LLONG_MAX) + 1, buffer, 1, got), kErrInvalidParameter);
  EXPECT_EQ(WriteAt(h, ~uint64_t(0), "x", 1, put), kErrInvalidParameter);
}

TEST(OpenFile, TruncateAndKeepModes) {
  testing::TempFolder dir;
  const auto path = dir.path() / "keep.bin";
  WriteText(path, "hello world");
  uint64_t size = 0;
  {
    UniqueHandle h;
    ASSERT_EQ(OpenFile(path, OpenMode::kWriteKeep, h), kOk);
    size_t put = 0;
    ASSERT_EQ(WriteAt(h, 0, "J", 1, put), kOk);
  }
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "Jello world");
  {
    UniqueHandle h;
    ASSERT_EQ(OpenFile(path, OpenMode::kWriteTruncate, h), kOk);
  }
  EXPECT_EQ(FileSize(path, size), kOk);
  EXPECT_EQ(size, 0u);
  {
    UniqueHandle h;
    ASSERT_EQ(OpenFile(dir.path() / "new.bin", OpenMode::kWriteKeep, h), kOk);
  }
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "new.bin"));
}

TEST(OpenFile, ReadOnlyHandleRefusesWrites) {
  testing::TempFolder dir;
  const auto path = dir.path() / "ro.bin";
  WriteText(path, "abc");
  UniqueHandle h;
  ASSERT_EQ(OpenFile(path, OpenMode::kReadExisting, h), kOk);
  size_t put = 7;
  EXPECT_NE(WriteAt(h, 0, "x", 1, put), kOk);
  EXPECT_EQ(put, 0u);
}

TEST(FileSize, MissingFileAndFolder) {
  testing::TempFolder dir;
  uint64_t size = 42;
  EXPECT_EQ(FileSize(dir.path() / "missing", size), kErrFileNotFound);
  EXPECT_EQ(FileSize(dir.path(), size), kErrAccessDenied);
}

#if !defined(_WIN32)  // checks the descriptors themselves
TEST(UniqueHandle, ClosesOnResetMoveAndDestruction) {
  testing::TempFolder dir;
  const auto path = dir.path() / "h.bin";
  WriteText(path, "abc");
  UniqueHandle a;
  ASSERT_EQ(OpenFile(path, OpenMode::kReadExisting, a), kOk);
  const int fdA = a.Get();
  UniqueHandle b;
  ASSERT_EQ(OpenFile(path, OpenMode::kReadExisting, b), kOk);
  const int fdB = b.Get();
  b = std::move(a);  // closes b's old descriptor
  EXPECT_EQ(::fcntl(fdB, F_GETFD), -1);
  EXPECT_EQ(b.Get(), fdA);
  EXPECT_FALSE(a.IsOpen());
  UniqueHandle c(std::move(b));
  EXPECT_EQ(c.Get(), fdA);
  c.Reset();
  EXPECT_EQ(::fcntl(fdA, F_GETFD), -1);
  EXPECT_FALSE(c.IsOpen());
  char byte;
  size_t got = 5;
  EXPECT_EQ(ReadAt(c, 0, &byte, 1, got), kErrInvalidHandle);
  EXPECT_EQ(got, 0u);
  uint64_t size = 0;
  EXPECT_EQ(FileSizeOf(c, size), kErrInvalidHandle);
}

TEST(UniqueHandle, CloseSaysHowTheCloseWentAndReleasesTheHandle) {
  testing::TempFolder dir;
  const auto path = dir.path() / "c.bin";
  UniqueHandle h;
  ASSERT_EQ(OpenFile(path, OpenMode::kWriteNew, h), kOk);
  const int fd = h.Get();
  ASSERT_EQ(WriteAll(h, 0, "abc", 3), kOk);
  EXPECT_EQ(h.Close(), kOk);
  EXPECT_FALSE(h.IsOpen());
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
  EXPECT_EQ(h.Close(), kOk);  // nothing left to close
  // A close the system refuses is an error, and the handle is still let go
  // of, never closed a second time.
  UniqueHandle stale(fd);
  EXPECT_EQ(stale.Close(), kErrInvalidHandle);
  EXPECT_FALSE(stale.IsOpen());
}
#endif  // !_WIN32

}  // namespace
}  // namespace brinvale::platform
