#include "platform/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "common/error_codes.h"

namespace brinvale::platform {
namespace {

#if !defined(_WIN32)  // the errno table is the POSIX backend's
TEST(ErrnoToSystemError, TableOfCommonCodes) {
  EXPECT_EQ(ErrnoToSystemError(0), 0);
  EXPECT_EQ(ErrnoToSystemError(ENOENT), 2);
  EXPECT_EQ(ErrnoToSystemError(ENOTDIR), 3);
  EXPECT_EQ(ErrnoToSystemError(EACCES), 5);
  EXPECT_EQ(ErrnoToSystemError(EPERM), 5);
  EXPECT_EQ(ErrnoToSystemError(ENOMEM), 8);
  EXPECT_EQ(ErrnoToSystemError(EIO), 30);
  EXPECT_EQ(ErrnoToSystemError(EIO, IoDirection::kRead), 30);
  EXPECT_EQ(ErrnoToSystemError(EIO, IoDirection::kWrite), 29);
  EXPECT_EQ(ErrnoToSystemError(EINVAL), 87);
  EXPECT_EQ(ErrnoToSystemError(ENOSPC), 112);
  EXPECT_EQ(ErrnoToSystemError(EEXIST), 183);
  EXPECT_EQ(ErrnoToSystemError(EROFS), kErrWriteProtect);
  EXPECT_EQ(ErrnoToSystemError(ENOMEDIUM), kErrNoMediaInDrive);
}

TEST(ErrnoToSystemError, UnknownErrnoIsAGeneralFailureNeverSuccess) {
  EXPECT_EQ(ErrnoToSystemError(EPROTO), kErrGenFailure);
  EXPECT_EQ(ErrnoToSystemError(99999), kErrGenFailure);
  for (int err = 1; err < 200; ++err) EXPECT_NE(ErrnoToSystemError(err), 0) << "errno " << err;
}

TEST(LastSystemError, MapsTheThreadsErrno) {
  errno = ENOENT;
  EXPECT_EQ(LastSystemError(), 2);
  errno = ENOSPC;
  EXPECT_EQ(LastSystemError(), 112);
}

#endif  // !_WIN32

TEST(SystemErrorMessage, EnglishTextWithoutTrailingStop) {
  EXPECT_EQ(SystemErrorMessage(5), "Access is denied");
  EXPECT_EQ(SystemErrorMessage(2), "The system cannot find the file specified");
  EXPECT_EQ(SystemErrorMessage(112), "There is not enough space on the disk");
  EXPECT_EQ(SystemErrorMessage(12345), "Unknown error 12345");
  EXPECT_EQ(SystemErrorMessage(-1), "Unknown error -1");
  for (int code = -10000; code < 5000; ++code) {
    const std::string text = SystemErrorMessage(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), '.') << code;
    EXPECT_EQ(text.find('\n'), std::string::npos) << code;
  }
}

#if !defined(_WIN32)
TEST(SystemErrorMessage, EveryMappedCodeHasItsOwnText) {
  for (int err = 1; err < 200; ++err) {
    const int code = ErrnoToSystemError(err);
    EXPECT_EQ(SystemErrorMessage(code).rfind("Unknown error", 0), std::string::npos)
        << "errno " << err << " maps to " << code;
  }
}

#endif  // !_WIN32

}  // namespace
}  // namespace brinvale::platform
