#include <io.h>

#include "platform/terminal.h"

namespace brinvale::platform {

bool StderrIsTerminal() { return _isatty(2) != 0; }
bool StdinIsTerminal() { return _isatty(0) != 0; }

}  // namespace brinvale::platform
