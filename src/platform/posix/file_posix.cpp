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

int UniqueHandle::Close() noexcept {
  if (m_h == kNoHandle) return kOk;
  // The descriptor is gone whatever close answers, EINTR included: it is
  // never closed twice.
  const int fd = std::exchange(m_h, kNoHandle);
  return ::close(fd) == 0 ? kOk : ErrnoToSystemError(errno, IoDirection::kWrite);
}

int OpenFile(const std::filesystem::path& path, OpenMode mode, UniqueHandle& out) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kReadExisting: flags |= O_RDONLY; break;
    case OpenMode::kReadWriteExisting: flags |= O_RDWR; break;
    case OpenMode::kWriteTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case OpenMode::kWriteKeep: flags |= O_RDWR | O_CREAT; break;
    case OpenMode::kWriteNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return ErrnoToSystemError(errno);
  // A folder opens fine for reading on Linux but is no medium and no file.
  // Opened for writing it is refused above (EISDIR), so only reads ask.
  struct stat st {};
  if (mode == OpenMode::kReadExisting && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
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

namespace {

// FILETIME (100 ns since 1601) as a timespec, or UTIME_OMIT for 0.
timespec FileTimeToTimespec(uint64_t fileTime) {
  constexpr uint64_t kTicksTo1970 = 116'444'736'000'000'000ULL;
  timespec t{};
  if (fileTime == 0) {
    t.tv_nsec = UTIME_OMIT;
    return t;
  }
  const int64_t ticks = int64_t(fileTime) - int64_t(kTicksTo1970);
  int64_t seconds = ticks / 10'000'000;
  int64_t rest = ticks % 10'000'000;
  if (rest < 0) {
    rest += 10'000'000;
    --seconds;
  }
  t.tv_sec = time_t(seconds);
  t.tv_nsec = long(rest * 100);
  return t;
}

}  // namespace

int SetFileTimes(const std::filesystem::path& path, uint64_t, uint64_t accessed,
                 uint64_t written) {
  const timespec times[2] = {FileTimeToTimespec(accessed), FileTimeToTimespec(written)};
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return ErrnoToSystemError(errno);
  return kOk;
}

int SetFileTimes(const UniqueHandle& h, uint64_t, uint64_t accessed, uint64_t written) {
  if (!h.IsOpen()) return kErrInvalidHandle;
  const timespec times[2] = {FileTimeToTimespec(accessed), FileTimeToTimespec(written)};
  if (futimens(h.Get(), times) != 0) return ErrnoToSystemError(errno);
  return kOk;
}

}  // namespace brinvale::platform
