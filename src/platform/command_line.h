#pragma once

#include <string>
#include <vector>

namespace brinvale::platform {

// The program's arguments as UTF-8, the program name first. On Windows they
// come from the wide command line, as main's argv holds them in the ANSI code
// page and loses what it cannot represent; elsewhere they are main's argv.
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

}  // namespace brinvale::platform
