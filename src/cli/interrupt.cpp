#include "cli/interrupt.h"

#include <csignal>
#include <cstdlib>

namespace brinvale::cli {
namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
  if (g_interrupted.exchange(true)) std::_Exit(130);
  std::signal(SIGINT, OnInterrupt);
}

}  // namespace

std::atomic<bool>& InterruptFlag() { return g_interrupted; }

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }

}  // namespace brinvale::cli
