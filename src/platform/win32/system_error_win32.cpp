#include <windows.h>

#include "platform/system_error.h"

namespace brinvale::platform {

int LastSystemError() { return int(GetLastError()); }

// The standard library on Windows reports the system's own codes.
int SystemErrorFromErrorCode(const std::error_code& ec) { return ec.value(); }

}  // namespace brinvale::platform
