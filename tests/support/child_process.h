#pragma once

#include <string>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#endif

// Running a program from a test and capturing what it prints.
namespace brinvale::test {

struct ChildResult {
  int exitCode = -1;  // -1 when the program could not be run or did not exit
  std::string out;
  std::string err;
};

#if !defined(_WIN32)

namespace detail {
inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace detail

// Runs `argv[0]` with `argv` (no shell), its output and errors going to
// temporary files, and waits for it.
inline ChildResult RunChild(const std::vector<std::string>& argv) {
  ChildResult result;
  char outName[] = "/tmp/brinvale-child-out-XXXXXX";
  char errName[] = "/tmp/brinvale-child-err-XXXXXX";
  const int outFd = ::mkstemp(outName);
  const int errFd = ::mkstemp(errName);
  if (outFd < 0 || errFd < 0) return result;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    // No terminal on standard input: the program never stops to ask.
    const int nullFd = ::open("/dev/null", O_RDONLY);
    if (nullFd >= 0) ::dup2(nullFd, 0);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(outFd);
  ::close(errFd);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  result.out = detail::Slurp(outName);
  result.err = detail::Slurp(errName);
  ::unlink(outName);
  ::unlink(errName);
  return result;
}

#endif

}  // namespace brinvale::test
