#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "common/error_codes.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace brinvale::platform {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The executable's file name: the target of /proc/PID/exe when readable,
// else the kernel's command name (cut at 15 characters).
std::string ExecutableName(const std::filesystem::path& procDir) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink(procDir / "exe", ec);
  if (!ec) {
    // A program whose file was removed or replaced while it runs reads as
    // "/path/name (deleted)"; it still runs under its own name.
    std::string name = exe.filename().string();
    constexpr std::string_view kDeleted = " (deleted)";
    if (name.size() > kDeleted.size() && name.ends_with(kDeleted)) {
      name.resize(name.size() - kDeleted.size());
    }
    return name;
  }
  std::ifstream comm(procDir / "comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace

int TerminateProcessesByName(std::string_view exeName) {
  std::error_code ec;
  std::filesystem::directory_iterator it("/proc", ec);
  if (ec) return kErrNotSupported;
  const pid_t self = ::getpid();
  for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
    const std::string pidText = it->path().filename().string();
    pid_t pid = 0;
    const auto [last, bad] = std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid);
    if (pidText.empty() || bad != std::errc() || last != pidText.data() + pidText.size() ||
        pid <= 0)
      continue;
    if (pid == self) continue;
    if (EqualsIgnoringCase(ExecutableName(it->path()), exeName)) ::kill(pid, SIGKILL);
  }
  return kOk;
}

}  // namespace brinvale::platform
