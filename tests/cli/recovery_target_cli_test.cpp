// brinvale-cli scan --recover-to with names, paths and targets the target
// file system cannot take as they are, and the command lines around them:
// nothing may end the program, every file either comes back or is listed as
// failed with its reason, and a bad target fails once, up front.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/child_process.h"
#include "support/fixture_path.h"
#include "support/sha256.h"

#if !defined(_WIN32)
#include <sys/mount.h>
#include <unistd.h>

namespace brinvale {
namespace {

namespace fs = std::filesystem;

struct HostileFile {
  std::string state;
  std::string path;  // with \n and \NNN escapes, as the manifest writes them
  std::string sha256;
};

// The files of one image of hostile_names.manifest.
std::vector<HostileFile> HostileFiles(const std::string& image) {
  std::vector<HostileFile> out;
  std::ifstream in(test::FixturePath("hostile_names.manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, state, path, size, sha;
    std::getline(fields, name, '\t');
    std::getline(fields, state, '\t');
    std::getline(fields, path, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, sha, '\t');
    if (name == image) out.push_back({state, path, sha});
  }
  return out;
}

// Every regular file below `root`: sha256 -> path.
std::multimap<std::string, fs::path> FilesByHash(const fs::path& root) {
  std::multimap<std::string, fs::path> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec))
      out.emplace(test::Sha256Hex(test::ReadFileBytes(it->path())), it->path());
  return out;
}

size_t Lines(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

class RecoveryTargetCli : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("brinvale_target_cli_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::error_code ec;
    fs::remove_all(m_dir, ec);
    fs::create_directories(m_dir);
    setenv("XDG_DATA_HOME", (m_dir / "appdata").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  test::ChildResult Scan(std::vector<std::string> args) {
    args.insert(args.begin(), {BRINVALE_CLI_PATH, "scan"});
    return test::RunChild(args);
  }
  fs::path m_dir;
};

// A deleted folder named by 86 CJK characters (258 UTF-8 bytes), a deleted
// file of 84 and ".txt", and a deleted chain of 50 folders of 188
// characters: everything comes back, its names cut to 255 bytes and the
// chain's path cut from the top, with the right bytes.
TEST_F(RecoveryTargetCli, LongNamesAndDeepFoldersComeBackWithoutACrash) {
  for (const std::string image : {"hostile_fat.img", "hostile_ntfs.img"}) {
    SCOPED_TRACE(image);
    for (const bool keepPaths : {true, false}) {
      SCOPED_TRACE(keepPaths ? "--keep-paths" : "by category");
      const fs::path out = m_dir / (image + (keepPaths ? "-tree" : "-flat"));
      std::vector<std::string> args = {test::FixturePath(image).string(), "--recover-to",
                                       out.string()};
      if (keepPaths) args.push_back("--keep-paths");
      const test::ChildResult r = Scan(args);
      ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
      EXPECT_EQ(r.out.find("failed"), std::string::npos) << r.out;
      const auto recovered = FilesByHash(out);
      for (const HostileFile& file : HostileFiles(image)) {
        if (file.state != "deleted") continue;
        const auto it = recovered.find(file.sha256);
        ASSERT_NE(it, recovered.end()) << file.path << " did not come back\n" << r.out;
        const fs::path& got = it->second;
        EXPECT_LE(got.filename().native().size(), 255u) << got;
        EXPECT_LE(got.native().size(), 4095u) << got;
      }
      std::error_code ec;
      for (fs::recursive_directory_iterator it(out, ec), end; !ec && it != end; it.increment(ec))
        EXPECT_LE(it->path().filename().native().size(), 255u);
      if (keepPaths && image == "hostile_fat.img") {
        // The chain was cut below the recovery folder, its deepest folders
        // kept. (FAT gives the deleted short name DEEP.TXT as !eep.txt.)
        const HostileFile deep = HostileFiles(image).back();  // a copy: the list is a temporary
        ASSERT_NE(deep.path.find("deep.txt"), std::string::npos);
        const fs::path path = recovered.find(deep.sha256)->second;
        EXPECT_EQ(path.native().rfind((out / "(cut)").native() + "/", 0), 0u)
            << "the deep path is not marked as cut: " << path;
        EXPECT_EQ(path.parent_path().filename().string().substr(0, 8), "level50_") << path;
      }
    }
  }
}

TEST_F(RecoveryTargetCli, ListingEscapesControlCharactersInFoundNames) {
  const test::ChildResult r = Scan({test::FixturePath("hostile_ntfs.img").string(), "--list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << "a raw escape reached the terminal";
  EXPECT_EQ(r.out.find('\x07'), std::string::npos);
  EXPECT_NE(r.out.find("evil \\u001b[31mred \\u001b]0;title\\u0007.txt"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("two\\nlines.txt"), std::string::npos) << r.out;
  // The same names as JSON, for comparison.
  const test::ChildResult json =
      Scan({test::FixturePath("hostile_ntfs.img").string(), "--list", "--json"});
  EXPECT_NE(json.out.find("evil \\u001b[31mred"), std::string::npos) << json.out;
}

TEST_F(RecoveryTargetCli, ATargetThatCannotBeAFolderFailsOnceUpFront) {
  const std::string image = test::FixturePath("sample.img").string();
  const fs::path file = m_dir / "a-file";
  std::ofstream(file) << "x";
  fs::create_directory_symlink(m_dir / "loop-b", m_dir / "loop-a");
  fs::create_directory_symlink(m_dir / "loop-a", m_dir / "loop-b");
  struct Case {
    fs::path target;
    std::string says;
  };
  const std::vector<Case> cases = {
      {file, "is a file, not a folder"},
      {file / "below" / "deeper", "a-file is a file, not a folder"},
      {m_dir / "loop-a" / "out", "lead round in a loop"},
      {m_dir / std::string(300, 'c') / "out", "longer than the 255 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target.string().substr(0, 120));
    const test::ChildResult r = Scan({image, "--recover-to", c.target.string()});
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
    EXPECT_EQ(Lines(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("failed:"), std::string::npos) << "refused per file: " << r.out;
  }
  EXPECT_EQ(test::ReadFileBytes(file), std::vector<uint8_t>{'x'}) << "the file was touched";
}

TEST_F(RecoveryTargetCli, ContradictoryAndBadCommandLinesExitWith2) {
  const std::string image = test::FixturePath("sample.img").string();
  test::ChildResult r = Scan({image, "--mode", "full", "--resume", "--fresh"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find("--resume and --fresh"), std::string::npos) << r.err;
  // A folder as the source says so, not "Access is denied".
  for (const std::string command : {"scan", "probe", "image"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args = {BRINVALE_CLI_PATH, command, m_dir.string()};
    if (command == "image") args.push_back((m_dir / "copy.img").string());
    r = test::RunChild(args);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("is a folder"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Access is denied"), std::string::npos) << r.err;
  }
  // A source that is not there at all.
  for (const std::string command : {"probe", "image"}) {
    std::vector<std::string> args = {BRINVALE_CLI_PATH, command, (m_dir / "none.img").string()};
    if (command == "image") args.push_back((m_dir / "copy.img").string());
    EXPECT_EQ(test::RunChild(args).exitCode, 2) << command;
  }
  EXPECT_FALSE(fs::exists(m_dir / "copy.img"));
}

// The target fills up: the files that fit come back whole, one being
// written when the space ran out keeps its bytes under a .partial name, the
// ones that found no room leave nothing, and each failure is listed with its
// reason. Small files are written by two threads at once, so which files
// fit varies; when the space ends exactly at the end of a file none is
// partial.
TEST_F(RecoveryTargetCli, AFullTargetLeavesNoEmptyFilesAndMarksThePartialOne) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  const fs::path target = m_dir / "small";
  fs::create_directories(target);
  if (::mount("tmpfs", target.c_str(), "tmpfs", 0, "size=24k") != 0)
    GTEST_SKIP() << "tmpfs cannot be mounted here";
  const test::ChildResult r =
      Scan({test::FixturePath("sample.img").string(), "--recover-to", target.string()});
  std::vector<fs::path> files, partial, empty;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(target, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    files.push_back(it->path());
    if (fs::file_size(it->path()) == 0) empty.push_back(it->path());
    if (it->path().filename().string().find(".partial") != std::string::npos)
      partial.push_back(it->path());
  }
  ::umount(target.c_str());
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_TRUE(empty.empty()) << empty.size() << " empty files left, the first " << empty[0];
  EXPECT_NE(r.out.find("There is not enough space on the disk"), std::string::npos) << r.out;
  EXPECT_GE(files.size(), 1u) << r.out;
  for (const fs::path& p : partial)
    EXPECT_NE(r.out.find("failed: " + p.string() + ": There is not enough space"),
              std::string::npos)
        << p << " is not listed as failed\n"
        << r.out;
  // A file listed as failed left nothing, or its bytes under that name.
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    const std::string mark = "  failed: ";
    if (line.rfind(mark, 0) != 0) continue;
    const std::string path = line.substr(mark.size(), line.rfind(": ") - mark.size());
    const bool isPartial = path.find(".partial") != std::string::npos;
    const bool left = std::find(files.begin(), files.end(), fs::path(path)) != files.end();
    EXPECT_EQ(left, isPartial) << path << "\n" << r.out;
  }
}

}  // namespace
}  // namespace brinvale

#endif  // !_WIN32
