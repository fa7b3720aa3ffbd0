#include <unistd.h>

#include "platform/terminal.h"

namespace brinvale::platform {

bool StderrIsTerminal() { return ::isatty(2) == 1; }
bool StdinIsTerminal() { return ::isatty(0) == 1; }

}  // namespace brinvale::platform
