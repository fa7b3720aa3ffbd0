#include "platform/command_line.h"

namespace brinvale::platform {

// The arguments arrive as the bytes the caller passed, UTF-8 on any
// ordinary Linux system.
std::vector<std::string> CommandLineUtf8(int argc, char** argv) {
  if (argc <= 0 || argv == nullptr) return {};
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace brinvale::platform
