#include "output/recovery_manifest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/error_codes.h"
#include "common/sha256.h"
#include "platform/text.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

class RecoveryManifestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("brinvale_manifest_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  static std::string Hash(const std::string& text) {
    return Sha256Hex({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  }
  std::string Csv() {
    ManifestFiles files;
    EXPECT_EQ(WriteRecoveryManifest(m_dir, m_report, files), kOk);
    std::ifstream in(files.csv, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path m_dir;
  RecoveryReport m_report;
};

// A digest noted as the file was written is what the row shows, without
// reading the file: the row below shows the noted digest, not the bytes.
TEST_F(RecoveryManifestTest, ADigestNotedAtWritingStandsWhileTheFileKeepsItsSize) {
  std::ofstream(m_dir / "a.txt") << "abc";
  m_report.files.push_back({m_dir / "a.txt", kOk, std::nullopt, WrittenDigest{3, Hash("xyz")}});
  const std::string csv = Csv();
  EXPECT_NE(csv.find("a.txt,3," + Hash("xyz") + ","), std::string::npos) << csv;
}

// A file whose size moved since, or one with no digest, is read back: the
// manifest tells what is in the file.
TEST_F(RecoveryManifestTest, AFileOfAnotherSizeOrWithoutADigestIsReadBack) {
  std::ofstream(m_dir / "grown.txt") << "abcdef";
  std::ofstream(m_dir / "plain.txt") << "plain";
  m_report.files.push_back(
      {m_dir / "grown.txt", kOk, std::nullopt, WrittenDigest{3, Hash("abc")}});
  m_report.files.push_back({m_dir / "plain.txt", kOk});
  m_report.files.push_back({m_dir / "missing.txt", kOk, std::nullopt, WrittenDigest{1, "00"}});
  const std::string csv = Csv();
  EXPECT_NE(csv.find("grown.txt,6," + Hash("abcdef") + ","), std::string::npos) << csv;
  EXPECT_NE(csv.find("plain.txt,5," + Hash("plain") + ","), std::string::npos) << csv;
  EXPECT_NE(csv.find("missing.txt,,,"), std::string::npos) << csv;
}

// A digest taken by the write that created the file is listed as it is,
// where a noted one would be checked against the file: here a noted digest
// of the same files would be read back (size moved) and dropped (missing).
TEST_F(RecoveryManifestTest, ADigestOfTheWriteThatMadeTheFileIsListedAsItIs) {
  std::ofstream(m_dir / "grown.txt") << "abcdef";
  m_report.files.push_back(
      {m_dir / "grown.txt", kOk, std::nullopt, WrittenDigest{3, Hash("abc"), true}});
  m_report.files.push_back(
      {m_dir / "gone.txt", kOk, std::nullopt, WrittenDigest{2, Hash("ab"), true}});
  const std::string csv = Csv();
  EXPECT_NE(csv.find("grown.txt,3," + Hash("abc") + ","), std::string::npos) << csv;
  EXPECT_NE(csv.find("gone.txt,2," + Hash("ab") + ","), std::string::npos) << csv;
}

// The two forms are written side by side, and one that cannot be written
// does not keep the other from being written: its error is returned.
TEST_F(RecoveryManifestTest, EachFormIsWrittenWhenTheOtherCannotBe) {
  for (int i = 0; i < 200; ++i) {
    const std::string name = "f" + std::to_string(i) + ".txt";
    std::ofstream(m_dir / name) << name;
    m_report.files.push_back({m_dir / name, kOk});
  }
  auto read = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  for (const char* blocked : {"recovery.csv.tmp", "recovery.json.tmp"}) {
    SCOPED_TRACE(blocked);
    fs::remove(m_dir / "recovery.csv");
    fs::remove(m_dir / "recovery.json");
    // A folder where the form's temporary file goes: it cannot be created.
    fs::create_directory(m_dir / blocked);
    ManifestFiles files;
    EXPECT_NE(WriteRecoveryManifest(m_dir, m_report, files), kOk);
    fs::remove(m_dir / blocked);
    const bool csvBlocked = std::string(blocked) == "recovery.csv.tmp";
    EXPECT_EQ(fs::exists(files.csv), !csvBlocked);
    EXPECT_EQ(fs::exists(files.json), csvBlocked);
    const std::string written = read(csvBlocked ? files.json : files.csv);
    for (int i = 0; i < 200; ++i) {
      const std::string name = "f" + std::to_string(i) + ".txt";
      EXPECT_NE(written.find(Hash(name)), std::string::npos) << name;
    }
  }
}

// The first field of every row after the header.
std::vector<std::string> PathColumn(const std::string& csv) {
  std::vector<std::string> paths;
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) paths.push_back(line.substr(0, line.find(',')));
  return paths;
}

// Paths are relative to the target folder, component by component, however
// the folder and the targets are spelt; a target outside it stays whole.
TEST_F(RecoveryManifestTest, PathsAreRelativeToTheFolderHoweverTheyAreSpelt) {
  const fs::path sep(std::string(1, char(fs::path::preferred_separator)));
  const std::vector<fs::path> targets = {
      m_dir / "a.txt",
      m_dir / "sub" / "b.txt",
      m_dir / "sub" / ".." / "c.txt",
      m_dir / "x" / "." / "d.txt",
      fs::path(m_dir.native() + sep.native() + sep.native() + fs::path("e.txt").native()),
      m_dir / ".." / "up.txt",
      m_dir.parent_path() / "outside.txt",
      fs::path(m_dir.native() + fs::path("-beside").native()) / "f.txt",
  };
  for (const fs::path& target : targets) m_report.files.push_back({target, kErrFileNotFound});
  for (const fs::path& folder : {m_dir, m_dir / ""}) {
    SCOPED_TRACE(folder.string());
    fs::remove(m_dir / "recovery.csv");
    fs::remove(m_dir / "recovery.json");
    ManifestFiles files;
    ASSERT_EQ(WriteRecoveryManifest(folder, m_report, files), kOk);
    std::ifstream in(files.csv, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> paths = PathColumn(text.str());
    for (std::string& path : paths)
      if (!path.empty() && path.back() == '\r') path.pop_back();
    const std::string s(1, char(fs::path::preferred_separator));
    const std::vector<std::string> expected = {
        "a.txt",
        "sub" + s + "b.txt",
        "sub" + s + ".." + s + "c.txt",
        "x" + s + "." + s + "d.txt",
        "e.txt",
        platform::PathToUtf8(targets[5]),
        platform::PathToUtf8(targets[6]),
        platform::PathToUtf8(targets[7]),
    };
    EXPECT_EQ(paths, expected);
  }
}

// A field with a comma, a quote or a line break is quoted, its quotes
// doubled; any other goes as it is.
TEST_F(RecoveryManifestTest, CsvFieldsThatNeedItAreQuoted) {
  for (const char* name : {"a, \"b\".txt", "line\nbreak.txt", "cr\rhere.txt", "plain.txt"})
    m_report.files.push_back({m_dir / name, kErrFileNotFound});
  const std::string csv = Csv();
  EXPECT_NE(csv.find("\r\n\"a, \"\"b\"\".txt\",,,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\n\"line\nbreak.txt\",,,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\n\"cr\rhere.txt\",,,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\nplain.txt,,,"), std::string::npos) << csv;
}

// Conditions come from the engines, which take one thread at a time: they
// are all asked on the thread that writes the manifest, each for its row.
TEST_F(RecoveryManifestTest, ConditionsAreAskedOnTheWritersThreadForTheirOwnRows) {
  for (int i = 0; i < 500; ++i) {
    ScanRecord record;
    record.SetName("f" + std::to_string(i) + ".jpg");
    m_report.files.push_back({m_dir / ("f" + std::to_string(i) + ".jpg"), kErrFileNotFound,
                              FoundOrigin{record, "DCIM"}});
  }
  const std::thread::id writer = std::this_thread::get_id();
  size_t askedElsewhere = 0;
  const ConditionOf conditionOf = [&](const ScanRecord& record) {
    if (std::this_thread::get_id() != writer) ++askedElsewhere;
    return "damaged: " + std::string(record.Name());
  };
  ManifestFiles files;
  ASSERT_EQ(WriteRecoveryManifest(m_dir, m_report, files, conditionOf), kOk);
  EXPECT_EQ(askedElsewhere, 0u);
  std::ifstream in(files.csv, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string csv = text.str();
  for (int i = 0; i < 500; ++i) {
    const std::string name = "f" + std::to_string(i) + ".jpg";
    EXPECT_NE(csv.find(name + ",,," + EngineName(ScanRecord{}) + ",DCIM,0,,,,damaged: " + name +
                       ","),
              std::string::npos)
        << csv.substr(0, 400);
  }
}

}  // namespace
}  // namespace brinvale
