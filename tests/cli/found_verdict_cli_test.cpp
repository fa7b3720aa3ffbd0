// brinvale-cli over the images of tests/fixtures/make_fsverdict_fixture.sh:
// a quick scan's listing with --check tells the condition of each deleted
// file, the recovery manifest's condition column carries it, and the complete files
// come back byte for byte at their recorded size.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/cli_test_folder.h"
#include "support/fixture_path.h"
#include "support/sha256.h"

#if !defined(_WIN32)

namespace brinvale {
namespace {

namespace fs = std::filesystem;

struct Row {
  std::string image, condition, sha256, name;
  uint64_t size = 0;
};

std::vector<Row> Rows(const std::string& image) {
  std::vector<Row> rows;
  std::ifstream in(test::FixturePath("fsverdict.manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Row r;
    std::string state, size;
    std::getline(fields, r.image, '\t');
    std::getline(fields, state, '\t');
    std::getline(fields, r.condition, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, r.sha256, '\t');
    std::getline(fields, r.name, '\t');
    r.size = std::stoull(size);
    if (r.image == image) rows.push_back(r);
  }
  return rows;
}

std::string LineOf(const std::string& text, const std::string& needle) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line))
    if (line.find(needle) != std::string::npos) return line;
  return {};
}

class FoundVerdictCli : public test::CliTestFolder {
 protected:
  FoundVerdictCli() : CliTestFolder("brinvale_fsverdict_cli_") {}
};

TEST_F(FoundVerdictCli, QuickScanListsVerdictsAndTheManifestKeepsThem) {
  for (const std::string image : {"fsv_fat.img", "fsv_ntfs.img"}) {
    SCOPED_TRACE(image);
    const std::string path = test::FixturePath(image).string();
    test::ChildResult r = test::RunChild({BRINVALE_CLI_PATH, "scan", path, "--list", "--check"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const Row& row : Rows(image)) {
      const std::string line = LineOf(r.out, row.name + "  ");
      ASSERT_FALSE(line.empty()) << row.name << "\n" << r.out;
      if (row.condition == "complete") {
        EXPECT_NE(line.find("[complete, " + std::to_string(row.size) + " bytes]"),
                  std::string::npos)
            << line;
      } else {
        EXPECT_NE(line.find("[damaged: "), std::string::npos) << line;
      }
    }

    // Without --check a listing reads no file's data: no condition.
    r = test::RunChild({BRINVALE_CLI_PATH, "scan", path, "--list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string victim = LineOf(r.out, "Victim.jpg  ");
    ASSERT_FALSE(victim.empty()) << r.out;
    EXPECT_EQ(victim.find("[damaged"), std::string::npos) << victim;

    const fs::path out = m_dir / (image + ".out");
    r = test::RunChild({BRINVALE_CLI_PATH, "scan", path, "--list", "--check", "--json",
                        "--recover-to", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::ifstream csvFile(out / "recovery.csv", std::ios::binary);
    std::stringstream csv;
    csv << csvFile.rdbuf();
    for (const Row& row : Rows(image)) {
      SCOPED_TRACE(row.name);
      const size_t at = r.out.find("\"name\":\"" + row.name + "\"");
      ASSERT_NE(at, std::string::npos) << r.out;
      const std::string entry = r.out.substr(at, r.out.find('}', at) - at);
      EXPECT_NE(entry.find("\"condition\":\"" + row.condition + "\""), std::string::npos)
          << entry;
      const std::string manifestLine = LineOf(csv.str(), row.name + ",");
      ASSERT_FALSE(manifestLine.empty()) << csv.str();
      EXPECT_NE(manifestLine.find("," + row.condition), std::string::npos) << manifestLine;
      fs::path recovered;
      for (const auto& e : fs::recursive_directory_iterator(out))
        if (e.path().filename() == row.name) recovered = e.path();
      ASSERT_FALSE(recovered.empty());
      const std::vector<uint8_t> bytes = test::ReadFileBytes(recovered);
      EXPECT_EQ(bytes.size(), row.size);
      if (row.condition == "complete") {
        EXPECT_EQ(test::Sha256Hex(bytes), row.sha256);
      }
    }
  }
}

}  // namespace
}  // namespace brinvale

#endif
