#include "output/recovery_manifest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>

#include "common/error_codes.h"
#include "common/sha256.h"

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

}  // namespace
}  // namespace brinvale
