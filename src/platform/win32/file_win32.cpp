// <windows.h> must come before the other Windows headers.
// clang-format off
#include <windows.h>
#include <winioctl.h>
// clang-format on

#include <climits>

#include "common/error_codes.h"
#include "platform/file.h"

namespace brinvale::platform {
namespace {

// One ReadFile or WriteFile moves at most a DWORD of bytes. 1 GiB keeps a
// clamped request a whole number of sectors for any sector size, which raw
// disk handles insist on.
constexpr size_t kMaxTransfer = size_t(1) << 30;

OVERLAPPED AtOffset(uint64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = DWORD(offset & 0xFFFFFFFFu);
  ov.OffsetHigh = DWORD(offset >> 32);
  return ov;
}

int RegularFileSize(HANDLE h, uint64_t& size) {
  LARGE_INTEGER li{};
  if (!GetFileSizeEx(h, &li)) return int(GetLastError());
  size = uint64_t(li.QuadPart);
  return kOk;
}

int DeviceLength(HANDLE h, uint64_t& bytes) {
  GET_LENGTH_INFORMATION info{};
  DWORD returned = 0;
  if (!DeviceIoControl(h, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info, &returned,
                       nullptr))
    return int(GetLastError());
  bytes = uint64_t(info.Length.QuadPart);
  return kOk;
}

}  // namespace

void UniqueHandle::Reset() noexcept {
  if (m_h != kNoHandle) {
    CloseHandle(m_h);
    m_h = kNoHandle;
  }
}

int UniqueHandle::Close() noexcept {
  if (m_h == kNoHandle) return kOk;
  const HANDLE h = std::exchange(m_h, kNoHandle);
  return CloseHandle(h) ? kOk : int(GetLastError());
}

int OpenFile(const std::filesystem::path& path, OpenMode mode, UniqueHandle& out) {
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::kReadExisting: break;
    case OpenMode::kReadWriteExisting: access |= GENERIC_WRITE; break;
    case OpenMode::kWriteTruncate:
      access |= GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::kWriteKeep:
      access |= GENERIC_WRITE;
      disposition = OPEN_ALWAYS;
      break;
    case OpenMode::kWriteNew:
      access |= GENERIC_WRITE;
      disposition = CREATE_NEW;
      break;
  }
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder fails with access denied.
  HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return int(GetLastError());
  out = UniqueHandle(h);
  return kOk;
}

int ReadAt(const UniqueHandle& h, uint64_t offset, void* buffer, size_t length, size_t& got) {
  got = 0;
  if (!h.IsOpen()) return kErrInvalidHandle;
  if (offset > uint64_t(LLONG_MAX)) return kErrInvalidParameter;
  if (length == 0) return kOk;
  OVERLAPPED ov = AtOffset(offset);
  DWORD n = 0;
  if (!ReadFile(h.Get(), buffer, DWORD(length < kMaxTransfer ? length : kMaxTransfer), &n, &ov)) {
    DWORD err = GetLastError();
    // A positioned read at or past the end fails with ERROR_HANDLE_EOF
    // rather than answering 0 bytes; callers expect the latter.
    if (err == ERROR_HANDLE_EOF) return kOk;
    return int(err);
  }
  got = size_t(n);
  return kOk;
}

int WriteAt(const UniqueHandle& h, uint64_t offset, const void* buffer, size_t length,
            size_t& put) {
  put = 0;
  if (!h.IsOpen()) return kErrInvalidHandle;
  if (offset > uint64_t(LLONG_MAX)) return kErrInvalidParameter;
  if (length == 0) return kOk;
  OVERLAPPED ov = AtOffset(offset);
  DWORD n = 0;
  if (!WriteFile(h.Get(), buffer, DWORD(length < kMaxTransfer ? length : kMaxTransfer), &n, &ov))
    return int(GetLastError());
  put = size_t(n);
  return kOk;
}

int FileSizeOf(const UniqueHandle& h, uint64_t& size) {
  if (!h.IsOpen()) return kErrInvalidHandle;
  int rc = RegularFileSize(h.Get(), size);
  // Disks and volumes have no file size; they answer their length.
  if (rc != kOk && DeviceLength(h.Get(), size) == kOk) return kOk;
  return rc;
}

int FileSize(const std::filesystem::path& path, uint64_t& size) {
  UniqueHandle h;
  if (int rc = OpenFile(path, OpenMode::kReadExisting, h); rc != kOk) return rc;
  return FileSizeOf(h, size);
}

int Flush(const UniqueHandle& h) {
  if (!h.IsOpen()) return kErrInvalidHandle;
  if (!FlushFileBuffers(h.Get())) return int(GetLastError());
  return kOk;
}

int SetFileTimes(const UniqueHandle& h, uint64_t created, uint64_t accessed, uint64_t written) {
  if (!h.IsOpen()) return kErrInvalidHandle;
  auto toFileTime = [](uint64_t value) {
    FILETIME t;
    t.dwLowDateTime = DWORD(value);
    t.dwHighDateTime = DWORD(value >> 32);
    return t;
  };
  const FILETIME c = toFileTime(created), a = toFileTime(accessed), w = toFileTime(written);
  // Times set on a handle are kept when it closes: the system no longer
  // moves them for this handle.
  const BOOL ok = SetFileTime(h.Get(), created != 0 ? &c : nullptr, accessed != 0 ? &a : nullptr,
                              written != 0 ? &w : nullptr);
  return ok ? kOk : int(GetLastError());
}

int SetFileTimes(const std::filesystem::path& path, uint64_t created, uint64_t accessed,
                 uint64_t written) {
  // Backup semantics open folders too.
  UniqueHandle h(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.IsOpen()) return int(GetLastError());
  return SetFileTimes(h, created, accessed, written);
}

}  // namespace brinvale::platform
