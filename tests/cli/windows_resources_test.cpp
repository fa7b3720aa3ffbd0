// brinvale-cli.exe carries the resources of its script: a manifest that asks
// for no elevation (it runs in the console it starts in) and its version.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace {

#if defined(_WIN32)
std::string ReadProgram() {
  std::ifstream in(BRINVALE_CLI_PATH, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A resource section, and in it the manifest's text as windres stores it.
TEST(WindowsResources, TheCliManifestAsksForNoElevation) {
  const std::string exe = ReadProgram();
  ASSERT_GT(exe.size(), 1000u);
  EXPECT_NE(exe.find(std::string(".rsrc\0", 6)), std::string::npos) << "no resource section";
  EXPECT_NE(exe.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
  EXPECT_EQ(exe.find("requireAdministrator"), std::string::npos);
  // The version block's strings are UTF-16.
  const std::string name = "brinvale-cli.exe";
  std::string wide;
  for (char c : name) wide += {c, '\0'};
  EXPECT_NE(exe.find(wide), std::string::npos) << "no version resource";
}
#endif

}  // namespace
