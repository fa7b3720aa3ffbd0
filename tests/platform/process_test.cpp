// The POSIX implementation: processes are found through /proc.
#if !defined(_WIN32)
#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "common/error_codes.h"
#include "platform/temp_folder.h"

namespace brinvale::platform {
namespace {

using namespace std::chrono_literals;

// A child running a private copy of sleep under a name nothing else uses,
// so that terminating by that name cannot reach any other process. The
// child is killed and reaped by its own pid if the test leaves it running.
class SleepingChild {
 public:
  SleepingChild(const std::filesystem::path& folder, const std::string& name)
      : m_exe(folder / name) {
    std::filesystem::copy_file("/bin/sleep", m_exe);
    std::filesystem::permissions(m_exe, std::filesystem::perms::owner_all);
    m_pid = ::fork();
    if (m_pid == 0) {
      ::execl(m_exe.c_str(), m_exe.c_str(), "30", static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  SleepingChild(const SleepingChild&) = delete;
  SleepingChild& operator=(const SleepingChild&) = delete;
  ~SleepingChild() {
    if (m_pid > 0 && !m_reaped) {
      ::kill(m_pid, SIGKILL);
      int status = 0;
      ::waitpid(m_pid, &status, 0);
    }
  }

  pid_t pid() const { return m_pid; }
  const std::filesystem::path& exe() const { return m_exe; }

  // Waits until the child runs the copy (the exec has happened).
  bool WaitUntilRunning() const {
    for (int i = 0; i < 500; ++i) {
      std::error_code ec;
      auto target = std::filesystem::read_symlink("/proc/" + std::to_string(m_pid) + "/exe", ec);
      if (!ec && target.filename() == m_exe.filename()) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  // The signal that ended the child, once it has ended within `wait`.
  std::optional<int> WaitForEnd(std::chrono::milliseconds wait) {
    for (auto end = std::chrono::steady_clock::now() + wait; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
      int status = 0;
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
      }
    }
    return std::nullopt;
  }

 private:
  std::filesystem::path m_exe;
  pid_t m_pid = -1;
  bool m_reaped = false;
};

std::string UniqueName(const char* stem) { return std::string(stem) + std::to_string(::getpid()); }

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TEST(TerminateProcessesByName, EndsTheNamedProcessIgnoringCase) {
  testing::TempFolder dir;
  const std::string name = UniqueName("bvsleep-");
  SleepingChild target(dir.path(), name);
  SleepingChild bystander(dir.path(), name + "x");  // a longer name must not match
  ASSERT_GT(target.pid(), 0);
  ASSERT_GT(bystander.pid(), 0);
  ASSERT_TRUE(target.WaitUntilRunning());
  ASSERT_TRUE(bystander.WaitUntilRunning());

  EXPECT_EQ(TerminateProcessesByName(Upper(name)), kOk);
  EXPECT_EQ(target.WaitForEnd(5s), SIGKILL);
  EXPECT_EQ(bystander.WaitForEnd(300ms), std::nullopt) << "only the exact name is ended";
}

TEST(TerminateProcessesByName, EndsAProcessWhoseFileWasReplaced) {
  testing::TempFolder dir;
  const std::string name = UniqueName("bvgone-");
  SleepingChild target(dir.path(), name);
  ASSERT_GT(target.pid(), 0);
  ASSERT_TRUE(target.WaitUntilRunning());
  std::filesystem::remove(target.exe());  // e.g. updated while running

  EXPECT_EQ(TerminateProcessesByName(name), kOk);
  EXPECT_EQ(target.WaitForEnd(5s), SIGKILL);
}

TEST(TerminateProcessesByName, UnknownNameIsNoError) {
  EXPECT_EQ(TerminateProcessesByName(UniqueName("bv-no-such-program-")), kOk);
}

}  // namespace
}  // namespace brinvale::platform
#endif  // !_WIN32
