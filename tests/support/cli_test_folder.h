#pragma once

#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

// A test with a folder of its own under the temp folder, named by `prefix`
// and the test's name, made afresh before it runs and removed after; the
// program's per-user data (scan logs, the scan history) goes below it, in
// "appdata", so tests run side by side. POSIX only (setenv).
namespace brinvale::test {

class CliTestFolder : public ::testing::Test {
 protected:
  explicit CliTestFolder(std::string prefix) : m_prefix(std::move(prefix)) {}

  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            (m_prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
    std::filesystem::create_directories(m_dir);
    setenv("XDG_DATA_HOME", (m_dir / "appdata").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }

  std::filesystem::path m_dir;

 private:
  std::string m_prefix;
};

}  // namespace brinvale::test
#endif  // !_WIN32
