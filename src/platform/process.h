#pragma once

#include <string_view>

namespace brinvale::platform {

// Ends every process whose executable name equals `exeName`, ignoring case.
// Returns 0, or the system error when the process list cannot be taken.
int TerminateProcessesByName(std::string_view exeName);

}  // namespace brinvale::platform
