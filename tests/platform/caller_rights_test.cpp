// A program started through pkexec keeps the folders of the user who
// started it and gives back what it made there. Runs as root, as pkexec
// would start it; skipped otherwise.
#include "platform/caller_rights.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/folders.h"
#include "platform/program_folders.h"
#include "support/fixture_path.h"

namespace brinvale::platform {
namespace {

class CallerRights : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "pkexec starts programs as root";
    m_nobody = ::getpwnam("nobody");
    if (m_nobody == nullptr) GTEST_SKIP() << "no user \"nobody\"";
  }
  void TearDown() override { ::unsetenv("PKEXEC_UID"); }

  uid_t Owner(const std::filesystem::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_uid;
  }

  const passwd* m_nobody = nullptr;
};

TEST_F(CallerRights, TheCallersFoldersStayThePrograms) {
  EXPECT_FALSE(CallerHome().has_value());
  ::setenv("PKEXEC_UID", std::to_string(m_nobody->pw_uid).c_str(), 1);
  ::setenv("XDG_DATA_HOME", "/root/.local/share", 1);  // what root's own setting would say
  const std::filesystem::path home = m_nobody->pw_dir;
  ASSERT_EQ(CallerHome(), home);
  EXPECT_EQ(AppDataFolder(), home / ".local" / "share");
  EXPECT_EQ(UserConfigFolder(), home / ".config");
  ::unsetenv("XDG_DATA_HOME");
  // A value that names no user, or root, is no caller.
  for (const char* bad : {"", "0", "12x", "4000000000"}) {
    ::setenv("PKEXEC_UID", bad, 1);
    EXPECT_FALSE(CallerHome().has_value()) << bad;
  }
}

TEST_F(CallerRights, WhatTheProgramMadeGoesBackWithoutFollowingLinks) {
  test::TempDir dir("caller_rights");
  const std::filesystem::path logs = dir.Path() / "ScanLog";
  std::filesystem::create_directories(logs / "1");
  std::ofstream(logs / "1" / "scan.log") << "x";
  const std::filesystem::path outside = dir.Path() / "root-owned";
  std::ofstream(outside) << "y";
  std::filesystem::create_symlink(outside, logs / "link");

  EXPECT_EQ(GiveToCaller(logs), 0);  // no caller: nothing changes
  EXPECT_EQ(Owner(logs / "1" / "scan.log"), 0u);

  ::setenv("PKEXEC_UID", std::to_string(m_nobody->pw_uid).c_str(), 1);
  EXPECT_EQ(GiveToCaller(logs), 0);
  for (const auto& p : {logs, logs / "1", logs / "1" / "scan.log", logs / "link"})
    EXPECT_EQ(Owner(p), m_nobody->pw_uid) << p;
  EXPECT_EQ(Owner(outside), 0u);  // the link's target is not the program's
  EXPECT_EQ(GiveToCaller(dir.Path() / "missing"), 0);
}

}  // namespace
}  // namespace brinvale::platform

#endif
