#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "common/error_codes.h"
#include "platform/folders.h"
#include "platform/temp_folder.h"
#include "platform/volume.h"

namespace brinvale::platform {
namespace {

#if !defined(_WIN32)  // $XDG_DATA_HOME and $HOME are the POSIX rules
// Sets or clears an environment variable for one scope.
class EnvOverride {
 public:
  EnvOverride(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvOverride() {
    if (m_old) {
      ::setenv(m_name.c_str(), m_old->c_str(), 1);
    } else {
      ::unsetenv(m_name.c_str());
    }
  }

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

TEST(AppDataFolder, AbsoluteXdgDataHomeWins) {
  EnvOverride home("HOME", "/home/tester");
  EnvOverride xdg("XDG_DATA_HOME", "/data/xdg");
  EXPECT_EQ(AppDataFolder(), std::filesystem::path("/data/xdg"));
}

TEST(AppDataFolder, RelativeOrEmptyXdgFallsBackToHome) {
  EnvOverride home("HOME", "/home/tester");
  {
    EnvOverride xdg("XDG_DATA_HOME", "relative/share");
    EXPECT_EQ(AppDataFolder(), std::filesystem::path("/home/tester/.local/share"));
  }
  {
    EnvOverride xdg("XDG_DATA_HOME", "");
    EXPECT_EQ(AppDataFolder(), std::filesystem::path("/home/tester/.local/share"));
  }
  {
    EnvOverride xdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(AppDataFolder(), std::filesystem::path("/home/tester/.local/share"));
  }
}

TEST(AppDataFolder, NoHomeUsesThePasswordEntry) {
  EnvOverride xdg("XDG_DATA_HOME", nullptr);
  EnvOverride home("HOME", nullptr);
  const std::filesystem::path folder = AppDataFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(folder.is_absolute());
  EXPECT_EQ(folder.filename(), "share");
}
#endif  // !_WIN32

TEST(VolumeFreeSpace, AgreesWithTheFileSystem) {
  testing::TempFolder dir;
  uint64_t freeBytes = 0;
  ASSERT_EQ(VolumeFreeSpace(dir.path(), freeBytes), kOk);
  const uint64_t expected = std::filesystem::space(dir.path()).available;
  EXPECT_GT(freeBytes, 0u);
  // Other work on the machine may change the figure between the two calls.
  const uint64_t slack = uint64_t(256) << 20;
  EXPECT_LE(freeBytes, expected + slack);
  EXPECT_GE(freeBytes + slack, expected);
}

// Windows answers for the volume a missing path would be on; POSIX looks
// the path itself up.
#if !defined(_WIN32)
TEST(VolumeFreeSpace, MissingPathGivesTheSystemError) {
  testing::TempFolder dir;
  uint64_t freeBytes = 77;
  EXPECT_EQ(VolumeFreeSpace(dir.path() / "missing", freeBytes), kErrFileNotFound);
}

TEST(VolumeFileSystemName, NamesKnownMounts) {
  std::string name;
  ASSERT_EQ(VolumeFileSystemName("/proc", name), kOk);
  EXPECT_EQ(name, "proc");
  ASSERT_EQ(VolumeFileSystemName("/proc/self", name), kOk);
  EXPECT_EQ(name, "proc");
  testing::TempFolder dir;
  ASSERT_EQ(VolumeFileSystemName(dir.path(), name), kOk);
  EXPECT_FALSE(name.empty());
  EXPECT_LE(name.size(), 31u);
  EXPECT_NE(name, "proc");
}

TEST(VolumeFileSystemName, MissingPathGivesTheSystemError) {
  testing::TempFolder dir;
  std::string name = "unchanged";
  EXPECT_EQ(VolumeFileSystemName(dir.path() / "missing", name), kErrFileNotFound);
  EXPECT_EQ(name, "unchanged");
}

#endif  // !_WIN32

}  // namespace
}  // namespace brinvale::platform
