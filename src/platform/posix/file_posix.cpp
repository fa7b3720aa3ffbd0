#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "common/error_codes.h"
#include "platform/disk.h"
#include "platform/file.h"
#include "platform/system_error.h"

namespace brinvale::platform {

void UniqueHandle::Reset() noexcept {
  if (m_h != kNoHandle) {
    ::close(m_h);
    m_h = kNoHandle;
  }
}

int OpenFile(const std::filesystem::path& path, OpenMode mode, UniqueHandle& out) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kReadExisting: flags |= O_RDONLY; break;
    case OpenMode::kReadWriteExisting: flags |= O_RDWR; break;
    case OpenMode::kWriteTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case OpenMode::kWriteKeep: flags |= O_RDWR | O_CREAT; break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return ErrnoToSystemError(errno);
  // A folder opens fine on Linux but is no medium and no file.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kErrAccessDenied;  // what CreateFileW answers for a folder
  }
  out = UniqueHandle(fd);
  return kOk;
}

int ReadAt(const UniqueHandle& h, uint64_t offset, void* buffer, size_t length,
           size_t& got) {
  got = 0;
  if (!h.IsOpen()) return kErrInvalidHandle;
  if (offset > uint64_t(LLONG_MAX)) return kErrInvalidParameter;
  ssize_t n;
  do {
    n = ::pread(h.Get(), buffer, length, off_t(offset));
  } while (n < 0 && errno == EINTR);
  if (n < 0) return ErrnoToSystemError(errno, IoDirection::kRead);
  got = size_t(n);
  return kOk;
}

int WriteAt(const UniqueHandle& h, uint64_t offset, const void* buffer,
            size_t length, size_t& put) {
  put = 0;
  if (!h.IsOpen()) return kErrInvalidHandle;
  if (offset > uint64_t(LLONG_MAX)) return kErrInvalidParameter;
  ssize_t n;
  do {
    n = ::pwrite(h.Get(), buffer, length, off_t(offset));
  } while (n < 0 && errno == EINTR);
  if (n < 0) return ErrnoToSystemError(errno, IoDirection::kWrite);
  put = size_t(n);
  return kOk;
}

int FileSizeOf(const UniqueHandle& h, uint64_t& size) {
  struct stat st {};
  if (::fstat(h.Get(), &st) != 0) return ErrnoToSystemError(errno);
  if (S_ISBLK(st.st_mode)) return QueryDiskLength(h, size);
  size = uint64_t(st.st_size);
  return kOk;
}

int FileSize(const std::filesystem::path& path, uint64_t& size) {
  UniqueHandle h;
  if (int rc = OpenFile(path, OpenMode::kReadExisting, h); rc != kOk) return rc;
  return FileSizeOf(h, size);
}

int Flush(const UniqueHandle& h) {
  if (::fsync(h.Get()) != 0) return ErrnoToSystemError(errno, IoDirection::kWrite);
  return kOk;
}

}  // namespace brinvale::platform
