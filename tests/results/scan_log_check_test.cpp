#include "results/scan_log_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "common/fnv_hash.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(Fnv1a64, KnownValues) {
  // The published FNV-1a 64 test vectors.
  Fnv1a64 empty;
  EXPECT_EQ(empty.Value(), 0xCBF29CE484222325ULL);
  Fnv1a64 a;
  a.Add(Bytes("a"));
  EXPECT_EQ(a.Value(), 0xAF63DC4C8601EC8CULL);
  Fnv1a64 foobar;
  foobar.Add(Bytes("foobar"));
  EXPECT_EQ(foobar.Value(), 0x85944171F73967E8ULL);
}

TEST(ScanLogCheckText, RoundTripsAndReadsAsWritten) {
  const std::vector<CheckedLogFile> files = {{"Fast_2048_2026379 5", 692, 0x0123456789ABCDEFULL},
                                             {"Fast_2048_2026379 5_DirInfo", 0, 1}};
  const std::string text = SerializeScanLogCheck(files);
  EXPECT_EQ(text,
            "brinvale scan-log check 1\n"
            "692 0123456789abcdef Fast_2048_2026379 5\n"
            "0 0000000000000001 Fast_2048_2026379 5_DirInfo\n");
  std::vector<CheckedLogFile> parsed;
  ASSERT_TRUE(ParseScanLogCheck(Bytes(text), parsed));
  EXPECT_EQ(parsed, files);
  ASSERT_TRUE(ParseScanLogCheck(Bytes("brinvale scan-log check 1\n"), parsed));
  EXPECT_TRUE(parsed.empty());
}

TEST(ScanLogCheckText, RefusesWhatItDidNotWrite) {
  const std::string head = "brinvale scan-log check 1\n";
  for (const std::string& bad : {
           std::string(), std::string("brinvale scan-log check 2\n"),
           head + "692 0123456789abcdef Fast_1",                   // no line feed
           head + "692 0123456789ABCDEF Fast_1\n",                 // capital hex
           head + "692 0123456789abcde Fast_1\n",                  // 15 digits
           head + "-1 0123456789abcdef Fast_1\n",                  // negative length
           head + "99999999999999999999 0123456789abcdef F\n",     // past 64 bits
           head + "692 0123456789abcdef \n",                       // no name
           head + "692 0123456789abcdef ../config\n",              // a path
           head + "692 0123456789abcdef .logcheck\n",              // a hidden name
           head + "692 0123456789abcdef a\tb\n",                   // a control character
           head + "1 0000000000000000 a\n1 0000000000000000 a\n",  // twice
           head + "692  0123456789abcdef Fast_1\n",                // two spaces
       }) {
    std::vector<CheckedLogFile> parsed = {{"x", 1, 1}};
    EXPECT_FALSE(ParseScanLogCheck(Bytes(bad), parsed)) << bad;
    EXPECT_TRUE(parsed.empty());
  }
  std::string many = head;
  for (size_t i = 0; i <= kMaxCheckedLogFiles; ++i)
    many += "0 0000000000000000 f" + std::to_string(i) + "\n";
  std::vector<CheckedLogFile> parsed;
  EXPECT_FALSE(ParseScanLogCheck(Bytes(many), parsed));
}

class ScanLogCheckFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    // Two records, their relations and folder names, as one engine leaves them.
    Write(m_dir.Path() / "Pro_Fat_0_202637 5", std::string(2 * 346, 'r'));
    Write(m_dir.Path() / "Pro_Fat_0_202637 5_Relation", " | 0 - [1,2]");
    Write(m_dir.Path() / "Pro_Fat_0_202637 5_DirInfo", std::string(268, 'd'));
    Write(m_dir.Path() / "File_Type_0_202637 5", std::string(3 * 346, 'c'));
    ASSERT_EQ(WriteScanLogCheck(m_dir.Path()), kOk);
  }
  fs::path Log(const char* name) const { return m_dir.Path() / name; }
  test::TempDir m_dir{"logcheck"};
};

TEST_F(ScanLogCheckFolder, WholeLogsWithTheirRecordCountAreIntact) {
  EXPECT_TRUE(fs::exists(Log(".logcheck")));
  EXPECT_FALSE(fs::exists(Log(".logcheck.tmp")));
  std::vector<CheckedLogFile> files;
  ASSERT_EQ(MeasureScanLogs(m_dir.Path(), files), kOk);
  ASSERT_EQ(files.size(), 4u) << "the check itself is not a log";
  EXPECT_EQ(files[0].name, "File_Type_0_202637 5");
  EXPECT_EQ(RecordsInLogs(files), 5u);
  EXPECT_EQ(VerifyScanLogs(m_dir.Path(), 5).state, ScanLogState::kIntact);
  // Hidden files beside the logs are none of their business.
  Write(Log(".other"), "x");
  EXPECT_EQ(VerifyScanLogs(m_dir.Path(), 5).state, ScanLogState::kIntact);
}

TEST_F(ScanLogCheckFolder, ARecordCountOtherThanTheLogsHoldIsReported) {
  const ScanLogVerdict v = VerifyScanLogs(m_dir.Path(), 7);
  EXPECT_EQ(v.state, ScanLogState::kRecordCount);
  EXPECT_EQ(v.records, 5u);
}

TEST_F(ScanLogCheckFolder, EmptiedCutOrOverwrittenLogsAreDamaged) {
  fs::resize_file(Log("File_Type_0_202637 5"), 0);
  ScanLogVerdict v = VerifyScanLogs(m_dir.Path(), 5);
  EXPECT_EQ(v.state, ScanLogState::kLengthDiffers);
  EXPECT_EQ(v.file, "File_Type_0_202637 5");

  Write(Log("File_Type_0_202637 5"), std::string(3 * 346, 'c'));
  EXPECT_EQ(VerifyScanLogs(m_dir.Path(), 5).state, ScanLogState::kIntact) << "restored";
  std::string changed(3 * 346, 'c');
  changed[500] = 'X';  // same length, one byte differs
  Write(Log("File_Type_0_202637 5"), changed);
  EXPECT_EQ(VerifyScanLogs(m_dir.Path(), 5).state, ScanLogState::kContentDiffers);

  Write(Log("File_Type_0_202637 5"), std::string(3 * 346, 'c'));
  fs::remove(Log("Pro_Fat_0_202637 5_DirInfo"));
  v = VerifyScanLogs(m_dir.Path(), 5);
  EXPECT_EQ(v.state, ScanLogState::kFileMissing);
  EXPECT_EQ(v.file, "Pro_Fat_0_202637 5_DirInfo");
}

TEST_F(ScanLogCheckFolder, AnAddedLogOrAMissingOrBrokenCheckIsDamage) {
  Write(Log("Fast_0_202637 5"), std::string(346, 'q'));
  ScanLogVerdict v = VerifyScanLogs(m_dir.Path(), 5);
  EXPECT_EQ(v.state, ScanLogState::kFileAdded);
  EXPECT_EQ(v.file, "Fast_0_202637 5");
  fs::remove(Log("Fast_0_202637 5"));

  Write(Log(".logcheck"), "brinvale scan-log check 1\nnonsense\n");
  EXPECT_EQ(VerifyScanLogs(m_dir.Path(), 5).state, ScanLogState::kNoCheck);
  fs::remove(Log(".logcheck"));
  EXPECT_EQ(VerifyScanLogs(m_dir.Path(), 5).state, ScanLogState::kNoCheck);
  EXPECT_EQ(VerifyScanLogs(m_dir.Path() / "missing", 0).state, ScanLogState::kNoCheck);
}

TEST(WriteScanLogCheck, CreatesAMissingFolderWithAnEmptyCheck) {
  test::TempDir dir("logcheck-new");
  const fs::path folder = dir.Path() / "7";
  ASSERT_EQ(WriteScanLogCheck(folder), kOk);
  EXPECT_EQ(VerifyScanLogs(folder, 0).state, ScanLogState::kIntact);
  EXPECT_EQ(VerifyScanLogs(folder, 1).state, ScanLogState::kRecordCount);
}

}  // namespace
}  // namespace brinvale
