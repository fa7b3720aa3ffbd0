// The desktop tests' main: every test process gets its own data, settings
// and runtime folders, so that tests run side by side never share a scan
// history, a lock file or a socket, and the windows are drawn offscreen.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QByteArray>
#include <filesystem>
#include <system_error>

namespace {

class TestHome {
 public:
  TestHome() {
    // Short, so that the runtime folder's socket path fits its limit.
    char pattern[] = "/tmp/brv-ui-XXXXXX";
    if (const char* made = mkdtemp(pattern)) m_root = made;
    for (const char* sub : {"data", "config", "runtime"})
      std::filesystem::create_directories(m_root / sub);
    std::filesystem::permissions(m_root / "runtime", std::filesystem::perms::owner_all);
    setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (m_root / "runtime").c_str(), 1);
  }
  ~TestHome() {
    std::error_code ec;
    if (!m_root.empty()) std::filesystem::remove_all(m_root, ec);
  }

 private:
  std::filesystem::path m_root;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  TestHome home;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
