#pragma once

namespace brinvale::platform {

// Whether standard error is an interactive terminal (progress lines are
// drawn only there).
bool StderrIsTerminal();

// Whether standard input is an interactive terminal (questions are asked
// only there).
bool StdinIsTerminal();

}  // namespace brinvale::platform
