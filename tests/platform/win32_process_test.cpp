// Windows-only: the command line in UTF-8 and ending processes by name. Both
// start a copy of this test program as a child; the child's work is done by
// a static initialiser below before any test runs.
#if defined(_WIN32)

#include <gtest/gtest.h>
#include <process.h>
#include <stdlib.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/error_codes.h"
#include "platform/command_line.h"
#include "platform/process.h"
#include "platform/text.h"

namespace brinvale::platform {
namespace {

namespace fs = std::filesystem;

// Characters no single-byte ANSI code page holds all of: ü, ß, 日本 and an
// emoji (a surrogate pair in UTF-16).
const std::string kNonAscii =
    "Gr\xC3\xBC\xC3\x9F"
    "e-\xE6\x97\xA5\xE6\x9C\xAC-\xF0\x9F\x93\x81";

constexpr int kChildArgumentMatched = 40;
constexpr int kChildArgumentWrong = 41;
constexpr int kChildSleptOut = 42;

// Child modes, recognised before gtest starts:
//   --brinvale-child-arg ARG  exits 40 when ARG arrived unchanged as UTF-8
//   --brinvale-child-sleep    sleeps 20 s and exits 42 (unless ended early)
const bool kChildRan = [] {
  std::vector<std::string> args = CommandLineUtf8(__argc, __argv);
  if (args.size() == 3 && args[1] == "--brinvale-child-arg")
    std::_Exit(args[2] == kNonAscii ? kChildArgumentMatched : kChildArgumentWrong);
  if (args.size() == 2 && args[1] == "--brinvale-child-sleep") {
    std::this_thread::sleep_for(std::chrono::seconds(20));
    std::_Exit(kChildSleptOut);
  }
  return false;
}();

fs::path ThisProgram() {
  if (_wpgmptr && _wpgmptr[0]) return fs::path(_wpgmptr);
  return PathFromUtf8(CommandLineUtf8(__argc, __argv).at(0));
}

std::wstring Wide(const std::string& utf8) { return PathFromUtf8(utf8).wstring(); }

TEST(Win32CommandLine, NonAsciiArgumentArrivesAsUtf8) {
  const std::wstring self = ThisProgram().wstring();
  const std::wstring flag = L"--brinvale-child-arg";
  const std::wstring arg = Wide(kNonAscii);  // no spaces: _wspawnv does not quote
  const wchar_t* argv[] = {self.c_str(), flag.c_str(), arg.c_str(), nullptr};
  intptr_t status = _wspawnv(_P_WAIT, self.c_str(), argv);
  EXPECT_EQ(status, kChildArgumentMatched)
      << "41: the child saw another argument; -1: it did not start";
}

TEST(Win32Process, TerminatesByNameIgnoringCase) {
  // A copy under a name no other process has, so nothing else is ended.
  const std::string name = "brinvale_victim_" + std::to_string(_getpid()) + ".exe";
  const fs::path victim = fs::temp_directory_path() / name;
  fs::copy_file(ThisProgram(), victim, fs::copy_options::overwrite_existing);
  const std::wstring exe = victim.wstring();
  const std::wstring flag = L"--brinvale-child-sleep";
  const wchar_t* argv[] = {exe.c_str(), flag.c_str(), nullptr};
  intptr_t child = _wspawnv(_P_NOWAIT, exe.c_str(), argv);
  ASSERT_NE(child, -1);
  // CreateProcess has entered the child in the process list by now.
  std::string upper = name;
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(TerminateProcessesByName(upper), kOk);
  int status = 0;
  _cwait(&status, child, 0);
  EXPECT_NE(status, kChildSleptOut) << "the child was not ended";
  EXPECT_EQ(status, 1) << "TerminateProcess gives exit code 1";
  std::error_code ec;
  fs::remove(victim, ec);
}

TEST(Win32Process, UnknownNameEndsNothingAndSucceeds) {
  EXPECT_EQ(TerminateProcessesByName("brinvale-no-such-program.exe"), kOk);
}

}  // namespace
}  // namespace brinvale::platform

#endif  // _WIN32
