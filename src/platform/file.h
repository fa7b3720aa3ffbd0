#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <utility>

// An open file, disk or volume, and positioned I/O on it. This is the only
// handle type the rest of the system holds; every function returns 0 or a
// Windows system error code.
namespace brinvale::platform {

#if defined(_WIN32)
using NativeHandle = void*;  // HANDLE
inline const NativeHandle kNoHandle = reinterpret_cast<void*>(intptr_t(-1));
#else
using NativeHandle = int;  // file descriptor
inline constexpr NativeHandle kNoHandle = -1;
#endif

// Closes the handle it owns; movable, not copyable.
class UniqueHandle {
 public:
  explicit UniqueHandle(NativeHandle h = kNoHandle) noexcept : m_h(h) {}
  UniqueHandle(UniqueHandle&& o) noexcept : m_h(std::exchange(o.m_h, kNoHandle)) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) {
      Reset();
      m_h = std::exchange(o.m_h, kNoHandle);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  void Reset() noexcept;  // closes if valid
  // Closes the handle and says how that went: 0, or the system error of a
  // write the system still had to complete (a network or FUSE target may
  // only report it here). The handle is released either way.
  int Close() noexcept;
  NativeHandle Get() const noexcept { return m_h; }
  bool IsOpen() const noexcept { return m_h != kNoHandle; }

 private:
  NativeHandle m_h;
};

enum class OpenMode {
  kReadExisting,     // read only; the file must exist
  kReadWriteExisting,// read and write; the file must exist
  kWriteTruncate,    // create or truncate, then write
  kWriteKeep,        // create if missing, keep existing bytes
  kWriteNew,         // create; fails (80 or 183) when anything is there
};

// Opens a path with read and write sharing. Media are always opened with
// kReadExisting: nothing in the system writes to a medium under scan.
int OpenFile(const std::filesystem::path& path, OpenMode mode, UniqueHandle& out);

// Reads up to `length` bytes at byte `offset`; `got` receives the number of
// bytes that arrived (0 at the end of the file). One call, no retry loop.
int ReadAt(const UniqueHandle& h, uint64_t offset, void* buffer, size_t length,
           size_t& got);

// Writes up to `length` bytes at byte `offset`; `put` receives the count.
int WriteAt(const UniqueHandle& h, uint64_t offset, const void* buffer,
            size_t length, size_t& put);

// Writes all `length` bytes at `offset`, repeating WriteAt for the rest.
// A write that puts nothing gives 29 (write fault).
int WriteAll(const UniqueHandle& h, uint64_t offset, const void* buffer, size_t length);

// The byte length of an open regular file.
int FileSizeOf(const UniqueHandle& h, uint64_t& size);

// The byte length of the file at `path` (opened for reading only).
int FileSize(const std::filesystem::path& path, uint64_t& size);

// Makes written data durable (fsync / FlushFileBuffers).
int Flush(const UniqueHandle& h);

// Sets the times of the file or folder at `path`, as FILETIME values in UTC;
// a 0 leaves that time as it is. Where the file system keeps no creation
// time (POSIX), `created` is not used.
int SetFileTimes(const std::filesystem::path& path, uint64_t created, uint64_t accessed,
                 uint64_t written);

// The same on an open file (futimens / SetFileTime): no second lookup of
// the path. Set after the last write, as a later write moves the write time.
int SetFileTimes(const UniqueHandle& h, uint64_t created, uint64_t accessed, uint64_t written);

}  // namespace brinvale::platform
