#include "app/recovery_window_job.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "app/recorder_window.h"
#include "common/error_codes.h"
#include "engines/engine_factory.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/recovered_file_writer.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

using test::RecorderWindow;
using test::TestMessages;

ScanRecord FileRecord(const std::string& name, char16_t key) {
  ScanRecord r;
  r.SetName(name);
  r.SetSourceKey(key);
  r.SetFileSize(4);
  return r;
}

// An engine that writes four bytes per file and reports it like a real
// one; names listed in `failWith` fail with that error at 100 percent.
class FakeCopyEngine final : public CNullRecoveryEngine {
 public:
  int SetProgressCallback(ScanProgressCallback, CopyProgressCallback copy, void* user,
                          int scale) override {
    m_copy = copy;
    m_user = user;
    m_scale = scale;
    return kOk;
  }
  int RecoverRecord(const ScanRecord& record, const std::filesystem::path& target,
                    int) override {
    targets.push_back(target);
    const std::string name(record.Name());
    if (name == throwOn) throw std::runtime_error("engine fault");
    if (m_copy(m_user, 50, m_scale, kOk, target) == kCancelled) return kCancelled;
    if (name == failOn) {
      m_copy(m_user, 100, m_scale, kErrDiskFull, target);
      return kErrDiskFull;
    }
    if (name == failSilentlyOn) return kErrReadFault;
    if (viaWriter) return WriteAsEnginesDo(record, target);
    std::ofstream(target, std::ios::binary) << "data";
    return m_copy(m_user, 100, m_scale, kOk, target);
  }

  // Writes the number of this call as the file's bytes, through the
  // writer the engines use, reporting the end before the file is finished
  // as they do. The folder of `vanishOn` is gone before the file is made.
  int WriteAsEnginesDo(const ScanRecord& record, const std::filesystem::path& target) {
    if (std::string(record.Name()) == vanishOn) std::filesystem::remove_all(target.parent_path());
    RecoveredFileWriter file;
    if (int rc = file.Open(target); rc != kOk) {
      m_copy(m_user, 100, m_scale, rc, target);
      return rc;
    }
    const std::string bytes = std::to_string(targets.size());
    if (int rc = file.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        rc != kOk)
      return rc;
    const int answer = m_copy(m_user, 100, m_scale, kOk, target);
    file.Finish(record);
    return answer;
  }

  int GetRecordPath(const ScanRecord& record, std::string& path, size_t) override {
    const auto it = folderOf.find(std::string(record.Name()));
    path = it == folderOf.end() ? "" : it->second;
    return kOk;
  }

  std::string failOn, failSilentlyOn, throwOn, vanishOn;
  bool viaWriter = false;
  std::vector<std::filesystem::path> targets;
  std::map<std::string, std::string> folderOf;  // found folder paths by name

 private:
  CopyProgressCallback m_copy = nullptr;
  void* m_user = nullptr;
  int m_scale = 100;
};

struct FakeSource {
  FakeSource(uint16_t tag) {
    auto fake = std::make_unique<FakeCopyEngine>();
    engine = fake.get();
    source.imagePath = "/x/card.img";
    source.sourceTag = tag;
    source.engine = std::move(fake);
  }
  ScanSource source;
  FakeCopyEngine* engine;
};

std::string Leaf(const std::filesystem::path& p) { return platform::PathToUtf8(p.filename()); }
std::string Folder(const std::filesystem::path& p) {
  return platform::PathToUtf8(p.parent_path().filename());
}

TEST(RecoveryWindowJob, FailedFileListedFirstInRedAndCountsAddUp) {
  test::TempDir target("recovery_job_counts");
  FakeSource fake(1);
  fake.engine->failOn = "b.png";
  RecorderWindow window;
  JobState state;
  const RecoveryReport report = RunRecoveryWindowJob(
      {{FileRecord("a.jpg", 1), FileRecord("b.png", 1)}, {&fake.source}, target.Path(),
       TestMessages()},
      window, state);

  const auto& rows = window.rows["DetailList"];
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Leaf(platform::PathFromUtf8(rows[0].cells[0])), "b.png");
  EXPECT_EQ(rows[0].cells[1], platform::SystemErrorMessage(kErrDiskFull));
  EXPECT_EQ(rows[0].color, kFailedRowColor);
  EXPECT_EQ(Leaf(platform::PathFromUtf8(rows[1].cells[0])), "a.jpg");
  EXPECT_EQ(rows[1].cells[1], "Success");
  EXPECT_EQ(rows[1].color, 0u);
  EXPECT_EQ(window.TextOf("recovered"), "Processed 2 of 2, recovered 1, failed 1");
  EXPECT_EQ(window.TextOf("percent"), "Progress: 100%");
  EXPECT_TRUE(window.visible["FinishBtn"]);
  EXPECT_FALSE(window.visible["CancelBtn"]);
  EXPECT_TRUE(state.JobFinished());
  EXPECT_FALSE(window.closed.has_value());  // the user closes it with FinishBtn
  EXPECT_EQ(report.Succeeded(), 1u);
  EXPECT_EQ(report.Failed(), 1u);
  EXPECT_EQ(report.result, kOk);
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Small files are written by other threads after the engine reported them
// done: a file says "Success" only once it is on the target, and one whose
// write fails is listed as failed with the system's error.
TEST(RecoveryWindowJob, AFileWrittenAfterItsReportIsListedOnlyOnceItsWriteEnded) {
  test::TempDir target("recovery_job_written_behind");
  FakeSource fake(1);
  fake.engine->viaWriter = true;
  fake.engine->vanishOn = "b.pdf";
  RecorderWindow window;
  JobState state;
  const RecoveryReport report = RunRecoveryWindowJob(
      {{FileRecord("a.jpg", 1), FileRecord("b.pdf", 1), FileRecord("c.mp3", 1)},
       {&fake.source},
       target.Path(),
       TestMessages()},
      window, state);

  const auto& rows = window.rows["DetailList"];
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(Leaf(platform::PathFromUtf8(rows[0].cells[0])), "b.pdf");
  EXPECT_NE(rows[0].cells[1], "Success");
  EXPECT_EQ(rows[0].color, kFailedRowColor);
  EXPECT_EQ(rows[1].cells[1], "Success");
  EXPECT_EQ(rows[2].cells[1], "Success");
  EXPECT_EQ(window.TextOf("recovered"), "Processed 3 of 3, recovered 2, failed 1");

  ASSERT_EQ(report.files.size(), 3u);
  EXPECT_EQ(report.files[0].error, kOk);
  EXPECT_NE(report.files[1].error, kOk);
  EXPECT_EQ(report.files[2].error, kOk);
  ASSERT_TRUE(report.files[0].origin.has_value());
  EXPECT_EQ(report.files[0].origin->record.Name(), "a.jpg");
  ASSERT_TRUE(report.files[0].written.has_value());  // the manifest needs no read back
  EXPECT_EQ(report.files[0].written->size, 1u);
  EXPECT_EQ(ReadText(report.files[0].target), "1");
  EXPECT_EQ(ReadText(report.files[2].target), "3");
  EXPECT_EQ(report.manifests.size(), 1u);
}

TEST(RecoveryWindowJob, TwoFilesOfOneNameWrittenBehindKeepTheirOwnBytes) {
  test::TempDir target("recovery_job_same_name_behind");
  FakeSource fake(1);
  fake.engine->viaWriter = true;
  RecorderWindow window;
  JobState state;
  const RecoveryReport report = RunRecoveryWindowJob(
      {{FileRecord("x.jpg", 1), FileRecord("x.jpg", 1)}, {&fake.source}, target.Path(),
       TestMessages()},
      window, state);
  ASSERT_EQ(report.Succeeded(), 2u);
  EXPECT_EQ(ReadText(target.Path() / "photo" / "x.jpg"), "1");
  EXPECT_EQ(ReadText(target.Path() / "photo" / "x(1).jpg"), "2");
}

TEST(RecoveryWindowJob, SameNameTwiceIsNumberedAndCategoriesFollowTheExtension) {
  test::TempDir target("recovery_job_names");
  FakeSource fake(1);
  RecorderWindow window;
  JobState state;
  RecoveryJobSetup setup{{FileRecord("a.jpg", 1), FileRecord("a.jpg", 1), FileRecord("a.jpg", 1),
                          FileRecord("clip.RM", 1), FileRecord("notes.txt", 1),
                          FileRecord("disk.iso", 1), FileRecord("data.xyz", 1)},
                         {&fake.source},
                         target.Path(),
                         TestMessages()};
  RunRecoveryWindowJob(setup, window, state);
  const auto& t = fake.engine->targets;
  ASSERT_EQ(t.size(), 7u);
  EXPECT_EQ(Leaf(t[0]), "a.jpg");
  EXPECT_EQ(Leaf(t[1]), "a(1).jpg");
  EXPECT_EQ(Leaf(t[2]), "a(2).jpg");
  EXPECT_EQ(Folder(t[0]), "photo");
  EXPECT_EQ(Folder(t[3]), "audio");
  EXPECT_EQ(Folder(t[4]), "document");
  EXPECT_EQ(Folder(t[5]), "archive");
  EXPECT_EQ(Folder(t[6]), "others");
  EXPECT_EQ(t[0].parent_path().parent_path(), target.Path());
  EXPECT_EQ(window.TextOf("recovered"), "Processed 7 of 7, recovered 7, failed 0");
}

TEST(RecoveryWindowJob, EveryFileEndsInTheCountsEvenWhenTheEngineCannotTell) {
  test::TempDir target("recovery_job_unreported");
  FakeSource fake(1);
  fake.engine->failSilentlyOn = "quiet.doc";
  fake.engine->throwOn = "boom.doc";
  RecorderWindow window;
  JobState state;
  const RecoveryReport report = RunRecoveryWindowJob(
      {{FileRecord("quiet.doc", 1), FileRecord("boom.doc", 1), FileRecord("lost.jpg", 9),
        FileRecord("fine.jpg", 1)},
       {&fake.source},
       target.Path(),
       TestMessages()},
      window, state);
  // The silent failure and the file whose source is gone get rows; the
  // throw is counted without one.
  const auto& rows = window.rows["DetailList"];
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(Leaf(platform::PathFromUtf8(rows[0].cells[0])), "lost.jpg");
  EXPECT_EQ(rows[0].cells[1], platform::SystemErrorMessage(kErrInvalidHandle));
  EXPECT_EQ(Leaf(platform::PathFromUtf8(rows[1].cells[0])), "quiet.doc");
  EXPECT_EQ(rows[1].cells[1], platform::SystemErrorMessage(kErrReadFault));
  EXPECT_EQ(rows[2].cells[1], "Success");
  EXPECT_EQ(window.TextOf("recovered"), "Processed 4 of 4, recovered 1, failed 3");
  EXPECT_EQ(report.files.size(), 4u);
  EXPECT_EQ(report.Failed(), 3u);
}

TEST(RecoveryWindowJob, CancelStopsAtOnceAndLeavesTheButtons) {
  test::TempDir target("recovery_job_cancel");
  FakeSource fake(1);
  RecorderWindow window;
  JobState state;
  int reports = 0;
  // The user confirms a cancel while the first file is being copied.
  window.onText = [&](const std::string& control, const std::string&) {
    if (control == "current" && ++reports == 2) state.cancelRequested.store(1);
  };
  const RecoveryReport report = RunRecoveryWindowJob(
      {{FileRecord("a.jpg", 1), FileRecord("b.jpg", 1), FileRecord("c.jpg", 1)},
       {&fake.source},
       target.Path(),
       TestMessages()},
      window, state);
  EXPECT_EQ(report.result, kCancelled);
  EXPECT_TRUE(state.JobFinished());
  EXPECT_EQ(fake.engine->targets.size(), 2u);  // the second file's copy saw the cancel
  EXPECT_EQ(window.visible.count("FinishBtn"), 0u);
  EXPECT_FALSE(window.closed.has_value());
  EXPECT_TRUE(std::filesystem::exists(fake.engine->targets[0]));  // written files stay
}

TEST(RecoveryWindowJob, RecoversRealFilesFromTwoImagesByTheirSourceKeys) {
  test::TempDir logs("recovery_job_real_logs"), target("recovery_job_real");
  ScanSource a, b;
  a.imagePath = test::FixturePath("sample.img");
  a.sourceTag = 1;
  b.imagePath = test::FixturePath("fat16.img");
  b.sourceTag = 2;
  RecordList selection;
  for (ScanSource* s : {&a, &b}) {
    EngineSetup setup;
    setup.logFolder = logs.Path() / std::to_string(s->sourceTag);
    s->engine = CreateEngineForImage(s->imagePath, char16_t(s->sourceTag), ScanMode::kQuick, setup);
    ASSERT_NE(s->engine, nullptr);
    ASSERT_EQ(s->engine->Scan(nullptr), kOk);
    RecordList found;
    ASSERT_EQ(s->engine->Search("*.jpg|*.txt|*.png", found), kOk);
    ASSERT_FALSE(found.empty());
    selection.push_back(found.front());
  }
  RecorderWindow window;
  JobState state;
  const RecoveryReport report =
      RunRecoveryWindowJob({selection, {&a, &b}, target.Path(), TestMessages()}, window, state);
  ASSERT_EQ(report.files.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(report.files[i].error, kOk) << platform::PathToUtf8(report.files[i].target);
    EXPECT_EQ(std::filesystem::file_size(report.files[i].target), selection[i].FileSize());
  }
  EXPECT_EQ(window.TextOf("recovered"), "Processed 2 of 2, recovered 2, failed 0");
}

// The manifest is written when the job ends, also after a cancel, and
// lists what was written with the folder each file was found in.
TEST(RecoveryWindowJob, TheManifestListsWhatWasWrittenAlsoAfterACancel) {
  test::TempDir target("recovery_job_manifest");
  FakeSource fake(1);
  fake.engine->folderOf = {{"a.jpg", "DCIM\\100"}};
  RecorderWindow window;
  JobState state;
  int reports = 0;
  window.onText = [&](const std::string& control, const std::string&) {
    if (control == "current" && ++reports == 4) state.cancelRequested.store(1);
  };
  ScanRecord a = FileRecord("a.jpg", 1);
  a.SetEngine(EngineCode::kContent);
  a.SetMetadataSector(4096);
  const RecoveryReport report = RunRecoveryWindowJob(
      {{a, FileRecord("b.jpg", 1), FileRecord("c.jpg", 1)}, {&fake.source}, target.Path(),
       TestMessages()},
      window, state);
  ASSERT_EQ(report.result, kCancelled);
  ASSERT_EQ(report.manifests.size(), 1u);
  EXPECT_EQ(report.manifests[0], target.Path() / "recovery.csv");
  const std::string csv = ReadText(target.Path() / "recovery.csv");
  // "data" has this SHA-256; a file found by content that no check reached
  // is "unchecked".
  EXPECT_NE(csv.find("\r\n" + platform::PathToUtf8(std::filesystem::path("photo") / "a.jpg") +
                     ",4,3a6eb0790f39ac87c94f3856b2dd2c5d110e6811602261a9a923d3bb23adc8b7,"
                     "content,DCIM\\100,4096,,,,unchecked,Success\r\n"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find("b.jpg"), std::string::npos) << csv;
  EXPECT_EQ(csv.find("c.jpg"), std::string::npos) << csv;  // never reached
  EXPECT_TRUE(std::filesystem::exists(target.Path() / "recovery.json"));
}

// As found: each file goes below the folders it was found in, the same
// folder for files found side by side, made safe where a found name could
// lead out of the target.
TEST(RecoveryWindowJob, AsFoundKeepsTheFoundFolders) {
  test::TempDir target("recovery_job_as_found");
  FakeSource fake(1);
  fake.engine->folderOf = {{"a.jpg", "DCIM\\100"},
                           {"b.jpg", "DCIM\\100"},
                           {"c.txt", "..\\notes"},
                           {"d.txt", ""}};
  RecorderWindow window;
  JobState state;
  RecoveryJobSetup setup{{FileRecord("a.jpg", 1), FileRecord("b.jpg", 1), FileRecord("c.txt", 1),
                          FileRecord("d.txt", 1), FileRecord("a.jpg", 1)},
                         {&fake.source},
                         target.Path(),
                         TestMessages()};
  setup.asFound = true;
  RunRecoveryWindowJob(setup, window, state);
  const auto& t = fake.engine->targets;
  ASSERT_EQ(t.size(), 5u);
  const std::filesystem::path dcim = target.Path() / "DCIM" / "100";
  EXPECT_EQ(t[0], dcim / "a.jpg");
  EXPECT_EQ(t[1], dcim / "b.jpg");
  // ".." is only a name: a folder of its own inside the target.
  EXPECT_EQ(t[2].parent_path().parent_path().parent_path(), target.Path());
  EXPECT_NE(t[2].parent_path().parent_path().filename(), "..");
  EXPECT_EQ(t[2].parent_path().filename(), "notes");
  EXPECT_EQ(t[3], target.Path() / "d.txt");
  EXPECT_EQ(t[4], dcim / "a(1).jpg");
}

}  // namespace
}  // namespace brinvale
