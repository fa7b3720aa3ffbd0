// Every recovery leaves recovery.csv and recovery.json in its folder, and
// `brinvale-cli verify` checks the files against them: scans of the images
// of tests/fixtures/make_time_fixtures.sh and of the sample image.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/cli_test_folder.h"
#include "support/fixture_path.h"

#if !defined(_WIN32)

namespace brinvale {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The manifest line that names `file`, or "".
std::string LineOf(const std::string& csv, const std::string& file) {
  std::istringstream lines(csv);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find(file) != std::string::npos) return line;
  }
  return {};
}

class RecoveryManifestCli : public test::CliTestFolder {
 protected:
  RecoveryManifestCli() : CliTestFolder("brinvale_manifest_cli_") {}

  test::ChildResult Recover(const std::string& image, const fs::path& out,
                            std::vector<std::string> more = {}) {
    std::vector<std::string> args = {BRINVALE_CLI_PATH, "scan", test::FixturePath(image).string(),
                                     "--recover-to", out.string()};
    args.insert(args.end(), more.begin(), more.end());
    return test::RunChild(args);
  }
  test::ChildResult Verify(std::vector<std::string> args) {
    args.insert(args.begin(), {BRINVALE_CLI_PATH, "verify"});
    return test::RunChild(args);
  }
};

// The rows carry what was written and where it was found: the SHA-256 of
// the file, the engine, the times of its record.
TEST_F(RecoveryManifestCli, RowsNameTheFileItsChecksumEngineAndTimes) {
  const fs::path out = m_dir / "out";
  test::ChildResult r = Recover("ntfs_times.img", out);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Manifest: " + (out / "recovery.csv").string()), std::string::npos)
      << r.out;
  const std::string csv = ReadText(out / "recovery.csv");
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "path,size,sha256,engine,medium_path,sector,created,accessed,modified,condition,result");
  const std::string photo = LineOf(csv, "old_photo.bin");
  ASSERT_FALSE(photo.empty()) << csv;
  // From tests/fixtures/times.manifest: 9000 bytes, modified 2010-01-01 12:00 UTC.
  EXPECT_NE(photo.find(",9000,9b498f3d697a7c2c2b00dfada8e0bdbf6fc8b2775bc031dfb9f12d1e9ae1c0fb,"
                       "quick NTFS,"),
            std::string::npos)
      << photo;
  EXPECT_NE(photo.find(",2010-01-01T12:00:00Z,"), std::string::npos) << photo;
  EXPECT_EQ(photo.substr(photo.size() - 8), ",Success") << photo;
  const std::string json = ReadText(out / "recovery.json");
  EXPECT_NE(json.find("\"sha256\":\"9b498f3d697a7c2c2b00dfada8e0bdbf6fc8b2775bc031dfb9f12d1e9ae1c0fb\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"engine\":\"quick NTFS\""), std::string::npos);
  EXPECT_NE(json.find("\"result\":\"Success\""), std::string::npos);
}

// A second recovery into the same folder keeps the first manifest; verify
// takes the newest, finds all files whole, then a changed byte and a
// missing file.
TEST_F(RecoveryManifestCli, VerifyFindsAChangedByteAndAMissingFile) {
  const fs::path out = m_dir / "out";
  ASSERT_EQ(Recover("fat_times.img", out).exitCode, 0);
  ASSERT_EQ(Recover("fat_times.img", out).exitCode, 0);
  EXPECT_TRUE(fs::exists(out / "recovery.csv"));
  EXPECT_TRUE(fs::exists(out / "recovery.json"));
  EXPECT_TRUE(fs::exists(out / "recovery(1).csv"));
  EXPECT_TRUE(fs::exists(out / "recovery(1).json"));
  const std::string second = ReadText(out / "recovery(1).csv");
  // The second recovery's files got numbered names: its manifest says so.
  EXPECT_NE(LineOf(second, "Winter trip(1).bin"), "") << second;

  test::ChildResult r = Verify({out.string()});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("2 files match"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("recovery(1).csv"), std::string::npos) << r.out;

  // One byte changed in a file of the first recovery, named explicitly.
  fs::path winter;
  for (const auto& e : fs::recursive_directory_iterator(out))
    if (e.path().filename() == "Winter trip.bin") winter = e.path();
  ASSERT_FALSE(winter.empty());
  {
    std::fstream f(winter, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(1234);
    f.put('\x7f');
  }
  r = Verify({out.string(), "recovery.csv"});
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.out.find("content differs: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Winter trip.bin"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 files match"), std::string::npos) << r.out;

  fs::path notes;
  for (const auto& e : fs::recursive_directory_iterator(out))
    if (e.path().filename() == "Summer notes(1).txt") notes = e.path();
  ASSERT_FALSE(notes.empty());
  fs::remove(notes);
  r = Verify({out.string()});
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.out.find("missing: "), std::string::npos) << r.out;
}

// A file that cannot be written is listed with the system's text of its
// error, and counts as no file in verify.
TEST_F(RecoveryManifestCli, AFileThatFailsToWriteIsListedWithItsError) {
  const fs::path out = m_dir / "out";
  fs::create_directories(out);
  // The category folder of the text file is taken by a file.
  std::ofstream(out / "document").put('x');
  test::ChildResult r = Recover("fat_times.img", out);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  const std::string csv = ReadText(out / "recovery.csv");
  const std::string notes = LineOf(csv, "Summer notes.txt");
  ASSERT_FALSE(notes.empty()) << csv;
  EXPECT_EQ(notes.find("Success"), std::string::npos) << notes;
  EXPECT_NE(notes.find(",quick FAT,"), std::string::npos) << notes;
  EXPECT_NE(LineOf(csv, "Winter trip.bin").find("Success"), std::string::npos) << csv;
  r = Verify({out.string()});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("1 were not recovered"), std::string::npos) << r.out;
}

// --keep-paths: the files inside recovered folders are listed one by one,
// with the folder they were found in.
TEST_F(RecoveryManifestCli, KeptPathsListEveryFileWithItsFoundFolder) {
  const fs::path out = m_dir / "out";
  test::ChildResult r = Recover("sample.img", out, {"--keep-paths"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string csv = ReadText(out / "recovery.csv");
  const std::string line = LineOf(csv, "itinerary.txt");
  ASSERT_FALSE(line.empty()) << csv;
  EXPECT_EQ(line.rfind((fs::path("Trip 2019") / "itinerary.txt").string(), 0), 0u) << line;
  EXPECT_NE(line.find(",quick FAT,"), std::string::npos) << line;
  EXPECT_NE(line.find("Trip 2019,"), line.rfind("Trip 2019")) << line;
  EXPECT_EQ(Verify({out.string()}).exitCode, 0);
}

// Files found by their content carry the verdict of their check: a
// complete one its exact length, a cut one "damaged" and why.
TEST_F(RecoveryManifestCli, CarvedFilesCarryTheirCondition) {
  const fs::path out = m_dir / "out";
  test::ChildResult r = Recover("carve.img", out, {"--mode", "full", "--fresh"});
  ASSERT_LE(r.exitCode, 1) << r.err;
  const std::string csv = ReadText(out / "recovery.csv");
  size_t complete = 0, damaged = 0;
  std::istringstream lines(csv);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find(",content,") == std::string::npos) continue;
    complete += line.find(",complete,") != std::string::npos;
    damaged += line.find(",damaged: ") != std::string::npos;
  }
  EXPECT_GT(complete, 0u) << csv;
  EXPECT_GT(damaged, 0u) << csv;
  // From tests/fixtures/carve.manifest: the picture planted whole in random
  // data comes back at its own 26924 bytes with its own checksum.
  EXPECT_NE(csv.find(",26924,8e0133e6fa21a1441a7ff14c36573b8278b0d3652223f5da024ee2c631b7075c,"
                     "content,"),
            std::string::npos)
      << csv;
  EXPECT_EQ(Verify({out.string()}).exitCode, 0);
}

TEST_F(RecoveryManifestCli, VerifyRefusesWhatIsNoManifest) {
  const fs::path out = m_dir / "out";
  fs::create_directories(out);
  test::ChildResult r = Verify({out.string()});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("no recovery manifest"), std::string::npos) << r.err;
  std::ofstream(out / "recovery.csv") << "name,size\r\nx,1\r\n";
  r = Verify({out.string()});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("lacks one of the columns"), std::string::npos) << r.err;
  // A listed path that leads out of the folder is never followed.
  std::ofstream(out / "recovery.csv", std::ios::trunc)
      << "path,size,sha256,result\r\n../../etc/passwd,1,"
      << std::string(64, '0') << ",Success\r\n";
  r = Verify({out.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("outside the folder"), std::string::npos) << r.out;
  EXPECT_EQ(Verify({}).exitCode, 2);
}

}  // namespace
}  // namespace brinvale

#endif
