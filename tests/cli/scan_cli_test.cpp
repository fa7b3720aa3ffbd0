// brinvale-cli scan over the demo image: the deleted files come back byte
// for byte into category folders, and the JSON summary says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "support/cli_test_folder.h"
#include "support/child_process.h"
#include "support/fixture_path.h"
#include "support/full_scan_manifest.h"
#include "support/sha256.h"

#if !defined(_WIN32)

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// Deleted files of a FAT manifest: file name -> sha256.
std::map<std::string, std::string> DeletedFiles(const fs::path& manifest) {
  std::map<std::string, std::string> out;
  std::ifstream in(manifest);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string state, path, size, sha;
    std::getline(fields, state, '\t');
    std::getline(fields, path, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, sha, '\t');
    if (state == "live" || path.back() == '/') continue;
    out[fs::path(path).filename().string()] = sha;
  }
  return out;
}

class ScanCli : public test::CliTestFolder {
 protected:
  ScanCli() : CliTestFolder("brinvale_scan_cli_") {}
};

TEST_F(ScanCli, RecoversTheDeletedFilesOfTheSampleImage) {
  const fs::path out = m_dir / "out";
  test::ChildResult r =
      test::RunChild({BRINVALE_CLI_PATH, "scan", test::FixturePath("sample.img").string(),
                      "--recover-to", out.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("7 files found"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Recovered 7 files"), std::string::npos) << r.out;
  std::map<std::string, std::string> recovered;
  for (const auto& entry : fs::recursive_directory_iterator(out)) {
    if (!entry.is_regular_file()) continue;
    if (entry.path().parent_path() == out) {  // the manifest, and nothing else
      EXPECT_TRUE(entry.path().filename() == "recovery.csv" ||
                  entry.path().filename() == "recovery.json")
          << entry.path();
      continue;
    }
    recovered[entry.path().filename().string()] =
        test::Sha256Hex(test::ReadFileBytes(entry.path()));
    EXPECT_TRUE(entry.path().parent_path().filename() == "photo" ||
                entry.path().parent_path().filename() == "document" ||
                entry.path().parent_path().filename() == "archive")
        << entry.path();
  }
  // Deleted short names lose their first letter to "!"; match by hash.
  for (const auto& [name, sha] : DeletedFiles(test::FixturePath("sample.img.manifest"))) {
    bool found = false;
    for (const auto& [got, gotSha] : recovered) found = found || gotSha == sha;
    EXPECT_TRUE(found) << name << " was not recovered intact";
  }
}

// 64 KiB clusters scan like any others; a volume the NTFS engine cannot
// read by is a failure (exit 2), never "0 files found".
TEST_F(ScanCli, QuickNtfsScanOf64KiBClustersAndOfAnUnreadableBootSector) {
  test::ChildResult r = test::RunChild(
      {BRINVALE_CLI_PATH, "scan", test::FixturePath("ntfs_c64k.img").string(), "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"file_system\":\"NTFS\""), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\"files_found\":0,"), std::string::npos) << r.out;

  auto bytes = test::ReadFileBytes(test::FixturePath("ntfs_c4k.img"));
  ASSERT_GT(bytes.size(), 512u);
  // $MFT's record 0 wiped: the boot sector still says NTFS, but no record
  // can be found.
  uint64_t mftCluster = 0;
  for (int i = 7; i >= 0; --i) mftCluster = mftCluster << 8 | bytes[0x30 + i];
  const size_t mftByte = size_t(mftCluster * bytes[0x0D] * 512);
  ASSERT_LT(mftByte + 1024, bytes.size());
  std::fill(bytes.begin() + ptrdiff_t(mftByte), bytes.begin() + ptrdiff_t(mftByte + 1024), 0);
  const fs::path damaged = m_dir / "damaged.img";
  test::WriteFileBytes(damaged, bytes);
  r = test::RunChild({BRINVALE_CLI_PATH, "scan", damaged.string()});
  EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
  EXPECT_EQ(r.out.find("files found"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("recognized file system"), std::string::npos) << r.err;
}

TEST_F(ScanCli, TypesNarrowTheRecoveryAndJsonReportsIt) {
  const fs::path out = m_dir / "out";
  test::ChildResult r =
      test::RunChild({BRINVALE_CLI_PATH, "scan", test::FixturePath("sample.img").string(),
                      "--types", "photo", "--recover-to", out.string(), "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"file_system\":\"FAT\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"files_matching\":3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"recovered\":3"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(out / "photo"));
  EXPECT_FALSE(fs::exists(out / "document"));
}

TEST_F(ScanCli, KeepPathsRecreatesTheFoundTree) {
  const fs::path out = m_dir / "out";
  test::ChildResult r =
      test::RunChild({BRINVALE_CLI_PATH, "scan", test::FixturePath("sample.img").string(),
                      "--recover-to", out.string(), "--keep-paths"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(out / "Trip 2019" / "itinerary.txt"));
  EXPECT_TRUE(fs::exists(out / "Documents" / "old letter.txt"));
}

TEST_F(ScanCli, JsonListingGivesFolderPathsWithTheHostSeparator) {
  test::ChildResult r = test::RunChild({BRINVALE_CLI_PATH, "scan",
                                        test::FixturePath("sample.img").string(), "--list",
                                        "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // itinerary.txt lies in "Trip 2019"; the stored form joins names with "\\".
  const size_t at = r.out.find("\"name\":\"itinerary.txt\"");
  ASSERT_NE(at, std::string::npos) << r.out;
  const size_t folder = r.out.find("\"folder\":\"", at);
  ASSERT_NE(folder, std::string::npos);
  const std::string value = r.out.substr(folder + 10, r.out.find('"', folder + 10) - folder - 10);
  EXPECT_NE(value.find("Trip 2019"), std::string::npos) << value;
  EXPECT_EQ(value.find("\\\\"), std::string::npos) << value;
}

// Carved files of the content fixture: sha256 of every file whose format
// gives its whole length.
std::map<std::string, std::string> CarvedHashes() {
  std::map<std::string, std::string> out;  // sha256 -> manifest name
  std::ifstream in(test::FixturePath("content.manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string offset, type, size, sha, name;
    fields >> offset >> type >> size >> sha >> name;
    out[sha] = name;
  }
  return out;
}

TEST_F(ScanCli, FullScanCarvesAnUnrecognisedImageAndOffersToResumeIt) {
  const fs::path out = m_dir / "out";
  const std::string image = test::FixturePath("content.img").string();
  test::ChildResult r = test::RunChild(
      {BRINVALE_CLI_PATH, "scan", image, "--mode", "full", "--recover-to", out.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Full scan of"), std::string::npos) << r.out;
  const auto expected = CarvedHashes();
  size_t intact = 0;
  for (const auto& entry : fs::recursive_directory_iterator(out))
    if (entry.is_regular_file())
      intact += expected.count(test::Sha256Hex(test::ReadFileBytes(entry.path())));
  // Formats that carry their length come back byte for byte (18 of the 33
  // planted files); the others end at the next file's start and keep a tail.
  EXPECT_GE(intact, 18u) << r.out;

  // The unchanged image is on record now. Without a terminal and without a
  // flag the tool says so and starts afresh; --resume continues it.
  r = test::RunChild({BRINVALE_CLI_PATH, "scan", image, "--mode", "full"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("starting afresh"), std::string::npos) << r.err;
  r = test::RunChild({BRINVALE_CLI_PATH, "scan", image, "--mode", "full", "--resume", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Continuing the earlier scan"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("\"mode\":\"full\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"files_found\":33"), std::string::npos) << r.out;
  r = test::RunChild({BRINVALE_CLI_PATH, "scan", image, "--mode", "full", "--fresh"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("earlier"), std::string::npos) << r.err;
}

// A full scan of a reformatted volume brings the old tree back on disk:
// every file the old directory entries or FILE records still describe
// lands at its old path (names compared without case, as FAT stores short
// names in capitals) with its old bytes.
TEST_F(ScanCli, FullScanRecoversTheOldTreesOfReformattedVolumes) {
  for (const std::string image : {"fat32_other.img", "ntfs_reformat.img"}) {
    SCOPED_TRACE(image);
    const fs::path out = m_dir / ("out-" + image);
    test::ChildResult r =
        test::RunChild({BRINVALE_CLI_PATH, "scan", test::FixturePath(image).string(), "--mode",
                        "full", "--fresh", "--recover-to", out.string(), "--keep-paths"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::map<std::string, std::string> recovered;  // lower-case path -> sha256
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
      if (!entry.is_regular_file()) continue;
      const std::string relative = "/" + fs::relative(entry.path(), out).generic_string();
      recovered[test::LowerAscii(relative)] = test::Sha256Hex(test::ReadFileBytes(entry.path()));
    }
    const test::FullScanManifest manifest = test::ReadFullScanManifest(image);
    size_t checked = 0;
    for (const test::FullScanItem& item : manifest.items) {
      if (item.IsDir() || (item.foundBy != "fat" && item.foundBy != "ntfs")) continue;
      const auto it = recovered.find(test::LowerAscii(item.TreePath()));
      ASSERT_NE(it, recovered.end()) << item.TreePath() << " was not recovered\n" << r.out;
      if (item.Comparable()) {
        EXPECT_EQ(it->second, item.sha256) << item.TreePath();
        ++checked;
      }
    }
    EXPECT_GE(checked, 10u);
  }
}

// The scan-log files of the one full scan on record, without the hidden
// ones the history keeps beside them.
std::vector<fs::path> LogFiles(const fs::path& appData) {
  std::vector<fs::path> files;
  const fs::path base = appData / "OrlentaBrinvaleRecovery" / "ScanLog";
  for (const auto& entry : fs::recursive_directory_iterator(base)) {
    if (!entry.is_regular_file() || entry.path().parent_path() == base) continue;
    if (entry.path().filename().string()[0] == '.') continue;
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Emptied, cut or overwritten scan logs are no earlier scan to continue:
// --resume refuses them with exit 2; otherwise the tool says so and starts
// afresh, finding everything again.
TEST_F(ScanCli, DamagedScanLogsAreNeverContinued) {
  const std::string image = test::FixturePath("content.img").string();
  const fs::path appData = m_dir / "appdata";
  const fs::path saved = m_dir / "saved";
  test::ChildResult r =
      test::RunChild({BRINVALE_CLI_PATH, "scan", image, "--mode", "full", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_NE(r.out.find("\"files_found\":33"), std::string::npos) << r.out;
  fs::copy(appData, saved, fs::copy_options::recursive);

  const std::vector<fs::path> logs = LogFiles(appData);
  fs::path contentLog;
  for (const fs::path& log : logs) {
    const std::string name = log.filename().string();
    // The content engine's record file, not its _Relation or _DirInfo file.
    if (name.rfind("File_Type_", 0) == 0 && !name.ends_with("_Relation") &&
        !name.ends_with("_DirInfo"))
      contentLog = log;
  }
  ASSERT_FALSE(contentLog.empty());
  const uint64_t size = fs::file_size(contentLog);
  ASSERT_GT(size, 346u * 10);

  const std::map<std::string, std::function<void()>> damages = {
      {"emptied",
       [&] {
         for (const fs::path& log : logs) fs::resize_file(log, 0);
       }},
      {"truncated", [&] { fs::resize_file(contentLog, size / 2); }},
      {"random",
       [&] {
         std::vector<uint8_t> noise(size);
         uint32_t x = 2463534242u;
         for (uint8_t& b : noise) {
           x ^= x << 13;
           x ^= x >> 17;
           x ^= x << 5;
           b = uint8_t(x);
         }
         test::WriteFileBytes(contentLog, noise);
       }},
  };
  for (const auto& [name, damage] : damages) {
    SCOPED_TRACE(name);
    fs::remove_all(appData);
    fs::copy(saved, appData, fs::copy_options::recursive);
    damage();
    r = test::RunChild({BRINVALE_CLI_PATH, "scan", image, "--mode", "full", "--resume", "--json"});
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Continuing"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << "no scan result after a refused resume";

    r = test::RunChild({BRINVALE_CLI_PATH, "scan", image, "--mode", "full", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("starting afresh"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("\"files_found\":33"), std::string::npos) << r.out;

    // The fresh scan is on record and whole: it resumes.
    r = test::RunChild({BRINVALE_CLI_PATH, "scan", image, "--mode", "full", "--resume", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Continuing the earlier scan"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("\"files_found\":33"), std::string::npos) << r.out;
  }
}

TEST_F(ScanCli, UnrecognisedMediumAndUsageErrorsExitWith2) {
  const fs::path zeros = m_dir / "zeros.img";
  test::WriteFileBytes(zeros, std::vector<uint8_t>(64 * 1024, 0));
  test::ChildResult r = test::RunChild({BRINVALE_CLI_PATH, "scan", zeros.string()});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("no FAT, NTFS or Ext"), std::string::npos) << r.err;
  r = test::RunChild({BRINVALE_CLI_PATH, "scan", "x.img", "--types", "a|b"});
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace brinvale

#endif  // !_WIN32
