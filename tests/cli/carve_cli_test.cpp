// brinvale-cli over the carve fixture: the full scan's listing tells each
// carved file's condition, and recovery writes complete files at their
// exact length.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/child_process.h"
#include "support/cli_test_folder.h"
#include "support/fixture_path.h"
#include "support/sha256.h"

#if !defined(_WIN32)

namespace brinvale {
namespace {

namespace fs = std::filesystem;

class CarveCli : public test::CliTestFolder {
 protected:
  CarveCli() : CliTestFolder("brinvale_carve_cli_") {}

  // A full scan of the fixture `image`, listed as JSON and recovered into
  // `out`.
  static test::ChildResult ScanAndRecover(const char* image, const fs::path& out) {
    return test::RunChild({BRINVALE_CLI_PATH, "scan", test::FixturePath(image).string(), "--mode",
                           "full", "--list", "--json", "--recover-to", out.string()});
  }
};

TEST_F(CarveCli, ListingShowsConditionsAndRecoveryIsExact) {
  const fs::path out = m_dir / "out";
  test::ChildResult r = ScanAndRecover("carve.img", out);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::set<std::string> complete;  // sha256 of every file the manifest says is complete
  size_t damaged = 0;
  std::ifstream in(test::FixturePath("carve.manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string offset, how, condition, size, sha;
    fields >> offset >> how >> condition >> size >> sha;
    const std::string name = std::to_string(std::stoull(offset) / 512) + ".";
    // Each planted file's entry in the listing carries its condition.
    const size_t at = r.out.find("\"name\":\"" + name);
    ASSERT_NE(at, std::string::npos) << name;
    const size_t end = r.out.find('}', at);
    const std::string entry = r.out.substr(at, end - at);
    EXPECT_NE(entry.find("\"condition\":\"" + condition + "\""), std::string::npos) << entry;
    if (condition == "complete") {
      EXPECT_NE(entry.find("\"exact_size\":" + size), std::string::npos) << entry;
      if (sha != "-") complete.insert(sha);  // "-": its place holds other bytes
    } else {
      EXPECT_NE(entry.find("\"damage\":"), std::string::npos) << entry;
      ++damaged;
    }
  }
  EXPECT_GE(complete.size(), 20u);
  EXPECT_GE(damaged, 35u);
  std::set<std::string> recovered;
  for (const auto& e : fs::recursive_directory_iterator(out))
    if (e.is_regular_file()) recovered.insert(test::Sha256Hex(test::ReadFileBytes(e.path())));
  for (const std::string& sha : complete) EXPECT_TRUE(recovered.count(sha)) << sha;

  // The text listing says the same.
  r = test::RunChild({BRINVALE_CLI_PATH, "scan", test::FixturePath("carve.img").string(), "--mode",
                      "full", "--fresh", "--list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("[complete, "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("[damaged: "), std::string::npos) << r.out;
}

// Streams that state no length give their end where recovery stops there,
// and recovery writes exactly that many bytes.
TEST_F(CarveCli, StreamEndsAreWhereRecoveryStops) {
  const fs::path out = m_dir / "out";
  const test::ChildResult r = ScanAndRecover("media.img", out);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  size_t ends = 0;
  for (size_t at = r.out.find("\"stream_end\":"); at != std::string::npos;
       at = r.out.find("\"stream_end\":", at + 1)) {
    const size_t begin = r.out.rfind('{', at), end = r.out.find('}', at);
    const std::string entry = r.out.substr(begin, end - begin);
    SCOPED_TRACE(entry);
    const uint64_t streamEnd = std::stoull(r.out.substr(at + 13));
    const size_t nameAt = entry.find("\"name\":\"") + 8;
    const std::string name = entry.substr(nameAt, entry.find('"', nameAt) - nameAt);
    bool written = false;
    for (const auto& e : fs::recursive_directory_iterator(out))
      if (e.is_regular_file() && e.path().filename() == name) {
        EXPECT_EQ(fs::file_size(e.path()), streamEnd);
        written = true;
      }
    EXPECT_TRUE(written) << name;
    ++ends;
  }
  EXPECT_GE(ends, 4u);  // the program streams and MP2s in random data and in zeros
}

}  // namespace
}  // namespace brinvale

#endif
