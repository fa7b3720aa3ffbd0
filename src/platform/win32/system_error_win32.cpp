#include <windows.h>

#include "platform/system_error.h"

namespace brinvale::platform {

int LastSystemError() { return int(GetLastError()); }

}  // namespace brinvale::platform
