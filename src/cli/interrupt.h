#pragma once

#include <atomic>

namespace brinvale::cli {

// Set once the user pressed Ctrl-C; long work polls it through its progress
// callbacks and stops with the cancel code.
std::atomic<bool>& InterruptFlag();

// Routes SIGINT to InterruptFlag(). A second Ctrl-C ends the program at once.
void InstallInterruptHandler();

}  // namespace brinvale::cli
