#include "output/recovery_job.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>
#include <fstream>
#include <sstream>

#include "results/recovered_file_writer.h"

namespace brinvale {
namespace {

// An engine whose records are files named in the test. RecoverRecord writes
// the name into the target and reports it; "bad" names fail with 30, and
// "silent" names fail without reporting.
class FakeEngine final : public CNullRecoveryEngine {
 public:
  int SetProgressCallback(ScanProgressCallback, CopyProgressCallback copy, void* user,
                          int) override {
    m_copy = copy;
    m_user = user;
    return kOk;
  }
  int ListChildren(const ScanRecord* parent, uint32_t, RecordList& out) override {
    if (parent == nullptr) out = top;
    return kOk;
  }
  int RecoverRecord(const ScanRecord& r, const std::filesystem::path& target,
                    int separators) override {
    lastSeparators = separators;
    std::string name(r.Name());
    if (name.rfind("silent", 0) == 0) return 87;
    if (name.rfind("throw", 0) == 0)
      throw std::filesystem::filesystem_error(
          "status", target, std::make_error_code(std::errc::filename_too_long));
    if (name.rfind("cancel", 0) == 0) {
      // The user stops halfway through this file.
      if (cancelOnCancelNames) cancelOnCancelNames->store(true);
      std::ofstream(target, std::ios::binary) << "half";
      if (m_copy(m_user, 50, 100, 0, target) == kCancelled) {
        (void)m_copy(m_user, 100, 100, kCancelled, target.string() + ".partial");
        return kCancelled;
      }
    }
    if (name.rfind("behind", 0) == 0) return WriteAsEnginesDo(r, target);
    int error = name.rfind("bad", 0) == 0 ? 30 : 0;
    if (error == 0) std::ofstream(target, std::ios::binary) << name;
    if (int stop = m_copy(m_user, 100, 100, error, target); stop != 0) return stop;
    return error;
  }

  // Writes the name through the engines' writer and reports the end before
  // finishing the file, as they do; "behindgone" names go into a folder
  // that does not exist, so only the file's creation fails.
  int WriteAsEnginesDo(const ScanRecord& r, std::filesystem::path target) {
    const std::string name(r.Name());
    if (name.rfind("behindgone", 0) == 0) target = target.parent_path() / "gone" / name;
    RecoveredFileWriter file;
    if (int rc = file.Open(target); rc != kOk) return rc;
    if (int rc = file.Write(reinterpret_cast<const uint8_t*>(name.data()), name.size()); rc != 0)
      return rc;
    const int answer = m_copy(m_user, 100, 100, 0, target);
    file.Finish(r);
    return answer;
  }

  RecordList top;
  int lastSeparators = -1;
  std::atomic<bool>* cancelOnCancelNames = nullptr;

 private:
  CopyProgressCallback m_copy = nullptr;
  void* m_user = nullptr;
};

ScanRecord File(std::string_view name) {
  ScanRecord r;
  r.SetName(name);
  return r;
}

std::string Read(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class RecoveryJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("brinvale_recovery_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }
  std::filesystem::path m_dir;
};

TEST_F(RecoveryJobTest, FilesGoToCategoryFoldersWithUniqueSafeNames) {
  FakeEngine engine;
  RecordList records = {File("a.jpg"), File("a.jpg"), File("clip.RM"), File("notes.txt"),
                        File("disk.iso"), File("data.xyz"), File("../escape.txt")};
  RecoveryReport report;
  RecoverIntoCategories(engine, records, m_dir, report);
  EXPECT_EQ(report.result, 0);
  EXPECT_EQ(report.Succeeded(), records.size());
  EXPECT_EQ(Read(m_dir / "photo" / "a.jpg"), "a.jpg");
  EXPECT_TRUE(std::filesystem::exists(m_dir / "photo" / "a(1).jpg"));
  EXPECT_TRUE(std::filesystem::exists(m_dir / "audio" / "clip.RM"));
  EXPECT_TRUE(std::filesystem::exists(m_dir / "document" / "notes.txt"));
  EXPECT_TRUE(std::filesystem::exists(m_dir / "archive" / "disk.iso"));
  EXPECT_TRUE(std::filesystem::exists(m_dir / "others" / "data.xyz"));
  EXPECT_TRUE(std::filesystem::exists(m_dir / "document" / ".._escape.txt"))
      << "a name is never a path";
  EXPECT_FALSE(std::filesystem::exists(m_dir / "escape.txt"));
}

TEST_F(RecoveryJobTest, FailuresAreListedWithTheirCodes) {
  FakeEngine engine;
  RecordList records = {File("good.txt"), File("bad.txt"), File("silent.txt")};
  RecoveryReport report;
  RecoverIntoCategories(engine, records, m_dir, report);
  ASSERT_EQ(report.files.size(), 3u);
  EXPECT_EQ(report.Succeeded(), 1u);
  EXPECT_EQ(report.Failed(), 2u);
  EXPECT_EQ(report.files[1].error, 30);
  EXPECT_EQ(report.files[2].error, 87) << "a failure the engine did not report still counts";
}

TEST_F(RecoveryJobTest, CancelStopsAfterTheCurrentFile) {
  FakeEngine engine;
  std::atomic<bool> cancel{true};
  RecoveryReport report;
  RecoverIntoCategories(engine, {File("a.txt"), File("b.txt")}, m_dir, report, &cancel);
  EXPECT_EQ(report.result, kCancelled);
  EXPECT_TRUE(report.files.empty());
}

TEST_F(RecoveryJobTest, FilesWrittenBehindAreReportedAsTheirWritesEnded) {
  FakeEngine engine;
  engine.top = {File("behind1.txt"), File("behindgone.txt"), File("behind2.txt")};
  RecoveryReport report;
  RecoverKeepingPaths(engine, m_dir, report);
  ASSERT_EQ(report.files.size(), 3u);
  EXPECT_EQ(report.Succeeded(), 2u);
  EXPECT_EQ(report.files[1].target, m_dir / "gone" / "behindgone.txt");
  EXPECT_NE(report.files[1].error, 0);
  EXPECT_FALSE(report.files[1].written.has_value());
  for (size_t i : {0, 2}) {
    ASSERT_TRUE(report.files[i].written.has_value()) << i;
    EXPECT_EQ(report.files[i].written->size, 11u);
  }
  EXPECT_EQ(Read(m_dir / "behind1.txt"), "behind1.txt");
  EXPECT_EQ(Read(m_dir / "behind2.txt"), "behind2.txt");
}

TEST_F(RecoveryJobTest, KeepingPathsRecoversTheTopLevel) {
  FakeEngine engine;
  engine.top = {File("one.txt"), File("CON")};
  RecoveryReport report;
  RecoverKeepingPaths(engine, m_dir, report);
  EXPECT_EQ(report.Succeeded(), 2u);
  EXPECT_TRUE(std::filesystem::exists(m_dir / "one.txt"));
  const std::string dir = m_dir.string();
  EXPECT_EQ(engine.lastSeparators, int(std::count_if(dir.begin(), dir.end() - 1, [](char c) {
              return c == '/' || c == '\\';
            })));
}

TEST_F(RecoveryJobTest, AnEngineThatThrowsFailsThatFileAndTheJobGoesOn) {
#if defined(_WIN32)
  // FIXME: these expectations hold for POSIX limits (255 bytes a name, no
  // limit on the whole path); on Windows the 260-unit path limit cuts the
  // name further and the thrown error maps to another code.
  GTEST_SKIP() << "POSIX name limits";
#endif
  FakeEngine engine;
  RecoveryReport report;
  RecoverIntoCategories(engine, {File("throw.txt"), File("after.txt")}, m_dir, report);
  ASSERT_EQ(report.files.size(), 2u);
  EXPECT_EQ(report.files[0].error, kErrFilenameTooLong);
  EXPECT_EQ(report.files[1].error, 0);
  EXPECT_TRUE(std::filesystem::exists(m_dir / "document" / "after.txt"));
}

TEST_F(RecoveryJobTest, ANameLongerThanTheTargetAllowsIsCutKeepingItsExtension) {
#if defined(_WIN32)
  // FIXME: these expectations hold for POSIX limits (255 bytes a name, no
  // limit on the whole path); on Windows the 260-unit path limit cuts the
  // name further and the thrown error maps to another code.
  GTEST_SKIP() << "POSIX name limits";
#endif
  FakeEngine engine;
  // 84 CJK characters and ".txt": 88 UTF-16 units (legal on FAT and NTFS),
  // 256 bytes of UTF-8, one more than a Linux name may have.
  const auto cjk = [](size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += "\xE5\xB8\x80";  // U+5E00
    return out;
  };
  const std::string name = cjk(84) + ".txt";
  RecoveryReport report;
  RecoverIntoCategories(engine, {File(name), File(name)}, m_dir, report);
  ASSERT_EQ(report.Succeeded(), 2u);
#if defined(_WIN32)
  EXPECT_EQ(Read(report.files[0].target), name);
#else
  EXPECT_EQ(Read(m_dir / "document" / (cjk(83) + ".txt")), name);
  EXPECT_TRUE(std::filesystem::exists(m_dir / "document" / (cjk(82) + "(1).txt")));
#endif
}

TEST_F(RecoveryJobTest, TheFileACancelStoppedIsListedWithTheCancel) {
  FakeEngine engine;
  std::atomic<bool> cancel{false};
  engine.cancelOnCancelNames = &cancel;
  RecoveryReport report;
  RecoverIntoCategories(engine, {File("done.txt"), File("cancel.txt"), File("never.txt")}, m_dir,
                        report, &cancel);
  EXPECT_EQ(report.result, kCancelled);
  ASSERT_EQ(report.files.size(), 2u);
  EXPECT_EQ(report.files[0].error, 0);
  EXPECT_EQ(report.files[1].error, kCancelled);
  EXPECT_EQ(report.files[1].target.filename(), "cancel.txt.partial");
  EXPECT_FALSE(std::filesystem::exists(m_dir / "document" / "never.txt"));
}

}  // namespace
}  // namespace brinvale
