#pragma once

#include <string>
#include <system_error>

// Windows system error codes and their English message texts.
namespace brinvale::platform {

// The code of the last failed system call on this thread (GetLastError, or
// errno mapped through ErrnoToSystemError).
int LastSystemError();

// The system error code of a failure the standard library reported (for
// example from std::filesystem).
int SystemErrorFromErrorCode(const std::error_code& ec);

// Inside a catch block: the system error code for the exception being
// handled. 8 for std::bad_alloc, the mapped code of a
// std::filesystem::filesystem_error or std::system_error, 31 (a device
// failure) for anything else. Where no exception may cross a boundary, the
// boundary catches everything and returns this.
int SystemErrorFromCurrentException() noexcept;

// The English text of a system error code, without a trailing full stop
// or line break, e.g. 5 -> "Access is denied". Unknown codes give
// "Unknown error N".
std::string SystemErrorMessage(int code);

#if !defined(_WIN32)
// errno to a Windows system error code. `writing` picks the code for EIO:
// 29 (write fault) for writes, 30 (read fault) otherwise.
enum class IoDirection { kRead, kWrite };
int ErrnoToSystemError(int err, IoDirection direction = IoDirection::kRead);
#endif

}  // namespace brinvale::platform
