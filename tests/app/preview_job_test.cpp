#include "app/preview_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "app/recorder_window.h"
#include "common/error_codes.h"
#include "engines/engine_factory.h"
#include "platform/text.h"
#include "results/file_categories.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using test::RecorderWindow;
using test::TestMessages;

TEST(PreviewKindOf, MediaDocumentsAndViewsInTableOrder) {
  const PreviewKind mp3 = PreviewKindOf("song.MP3");
  EXPECT_TRUE(mp3.isMedia);
  EXPECT_TRUE(mp3.useAudioPlayer);
  EXPECT_FALSE(mp3.isDocument);
  const PreviewKind avi = PreviewKindOf("clip.avi");
  EXPECT_TRUE(avi.isMedia);
  EXPECT_FALSE(avi.useAudioPlayer);
  EXPECT_TRUE(PreviewKindOf("clip.rm").useAudioPlayer) << "rm is in the audio list first";
  EXPECT_EQ(PreviewKindOf("a.docx").view, DocumentViewKind::kWord);
  EXPECT_EQ(PreviewKindOf("a.rtf").view, DocumentViewKind::kWord);
  EXPECT_EQ(PreviewKindOf("a.pptx").view, DocumentViewKind::kPowerPoint);
  EXPECT_EQ(PreviewKindOf("a.csv").view, DocumentViewKind::kExcel);
  EXPECT_EQ(PreviewKindOf("a.7z").view, DocumentViewKind::kArchive);
  const PreviewKind pdf = PreviewKindOf("report.pdf");
  EXPECT_TRUE(pdf.isDocument);
  EXPECT_TRUE(pdf.isPdf);
  EXPECT_EQ(pdf.view, DocumentViewKind::kPdf);
  const PreviewKind jpg = PreviewKindOf("photo.jpg");
  EXPECT_FALSE(jpg.isMedia || jpg.isDocument);
  EXPECT_EQ(jpg.view, DocumentViewKind::kNone);
}

struct PreviewFixture : ::testing::Test {
  test::TempDir logs{"preview_job"};
  ScanSource source;
  RecordList files;

  void SetUp() override {
    source.imagePath = test::FixturePath("sample.img");
    source.sourceTag = 1;
    EngineSetup setup;
    setup.logFolder = logs.Path() / "1";
    setup.previewFolder = logs.Path();
    source.engine = CreateEngineForImage(source.imagePath, 1, ScanMode::kQuick, setup);
    ASSERT_NE(source.engine, nullptr);
    ASSERT_EQ(source.engine->Scan(nullptr), kOk);
    RecordList all;
    ASSERT_EQ(source.engine->Search("*.jpg|*.txt|*.pdf", all), kOk);
    // A picture, a document and a text file, deleted from the image.
    for (const char* ext : {"jpg", "pdf", "txt"}) {
      auto it = std::find_if(all.begin(), all.end(), [&](const ScanRecord& r) {
        return !r.IsFolder() && ExtensionOf(r.Name()) == ext;
      });
      ASSERT_NE(it, all.end()) << ext;
      files.push_back(*it);
    }
  }

  PreviewJobSetup PreviewSetup(const ScanRecord& record, PreviewState& state) {
    PreviewJobSetup setup;
    setup.record = record;
    setup.sources = {&source};
    setup.state = &state;
    setup.mediaWait = std::chrono::milliseconds(0);
    setup.messages = TestMessages();
    return setup;
  }
};

TEST_F(PreviewFixture, ExtractsTheFileAndDeletesThePreviousOneFirst) {
  PreviewState state;
  int stops = 0;
  RecorderWindow first;
  JobState job1;
  PreviewJobSetup setup = PreviewSetup(files[0], state);
  setup.stopPlayers = [&] { ++stops; };
  RunPreviewJob(setup, first, job1);
  EXPECT_EQ(*first.closed, CloseCode::kDone);
  EXPECT_TRUE(job1.JobFinished());
  ASSERT_FALSE(state.extractedPath.empty());
  const fs::path previous = state.extractedPath;
  std::error_code ec;
  EXPECT_EQ(fs::file_size(previous, ec), files[0].FileSize());
  EXPECT_EQ(stops, 1) << "players of an earlier preview are stopped first";

  // A document is extracted under its own name.
  RecorderWindow second;
  JobState job2;
  RunPreviewJob(PreviewSetup(files[1], state), second, job2);
  EXPECT_EQ(*second.closed, CloseCode::kDone);
  EXPECT_FALSE(fs::exists(previous)) << "the previous extracted file is gone";
  EXPECT_EQ(ExtensionOf(platform::PathToUtf8(state.extractedPath.filename())), "pdf");
  EXPECT_TRUE(fs::exists(state.extractedPath));
  EXPECT_TRUE(state.kind.isPdf);

  // Plain text comes back as text, and the document goes.
  const fs::path pdf = state.extractedPath;
  RecorderWindow third;
  JobState job3;
  RunPreviewJob(PreviewSetup(files[2], state), third, job3);
  EXPECT_EQ(*third.closed, CloseCode::kDone);
  EXPECT_FALSE(fs::exists(pdf));
  EXPECT_TRUE(state.extractedPath.empty());
  EXPECT_EQ(state.text.size(), files[2].FileSize());
}

TEST_F(PreviewFixture, ACancelClosesWithTwoAndLeavesNothing) {
  PreviewState state;
  RecorderWindow window;
  JobState job;
  job.cancelRequested = 1;
  RunPreviewJob(PreviewSetup(files[0], state), window, job);
  EXPECT_EQ(*window.closed, CloseCode::kCancelled);
  EXPECT_TRUE(state.extractedPath.empty());
}

TEST_F(PreviewFixture, ARecordOfNoListedSourceExtractsNothing) {
  PreviewState state;
  ScanRecord orphan = files[0];
  orphan.SetSourceKey(9);
  RecorderWindow window;
  JobState job;
  RunPreviewJob(PreviewSetup(orphan, state), window, job);
  EXPECT_EQ(*window.closed, CloseCode::kDone);
  EXPECT_TRUE(state.extractedPath.empty());
  EXPECT_TRUE(state.text.empty());
}

TEST(PreviewProgress, ShowsThePercentUnderTheLock) {
  RecorderWindow window;
  JobState state;
  ASSERT_EQ(ReportPreviewProgress(window, state, TestMessages(), 30), kOk);
  EXPECT_EQ(window.texts["percent"], "Extracting: 30%");
  EXPECT_EQ(window.bars["progress"], 30);
  state.cancelRequested = 1;
  EXPECT_EQ(ReportPreviewProgress(window, state, TestMessages(), 40), kCancelled);
  EXPECT_EQ(window.bars["progress"], 30);
}

// An engine that keeps the record it was asked to extract.
class SeenRecordEngine : public CNullRecoveryEngine {
 public:
  explicit SeenRecordEngine(std::optional<ScanRecord>& seen) : m_seen(seen) {}
  int ExtractRecord(const ScanRecord& record, std::filesystem::path&, uint8_t*, uint64_t& size,
                    ExtractProgressCallback, void*) override {
    m_seen = record;
    size = 0;
    return kOk;
  }

 private:
  std::optional<ScanRecord>& m_seen;
};

TEST(PreviewJob, CopiesAtMostTheExtractionCapOfAHugeFile) {
  std::optional<ScanRecord> seen;
  ScanSource source;
  source.sourceTag = 1;
  source.engine = std::make_unique<SeenRecordEngine>(seen);
  ScanRecord video;
  video.SetSourceKey(source.Key());
  video.SetName("film.avi");
  video.SetFileSize(5ull << 30);
  PreviewState state;
  PreviewJobSetup setup;
  setup.record = video;
  setup.sources = {&source};
  setup.state = &state;
  setup.mediaWait = std::chrono::milliseconds(0);
  setup.messages = TestMessages();
  RecorderWindow window;
  JobState job;
  RunPreviewJob(setup, window, job);
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->FileSize(), kPreviewExtractBytes);
  EXPECT_EQ(seen->Name(), "film.avi");
  EXPECT_EQ(state.record.FileSize(), 5ull << 30) << "the preview keeps the file's own record";

  video.SetFileSize(1000);
  setup.record = video;
  RunPreviewJob(setup, window, job);
  EXPECT_EQ(seen->FileSize(), 1000u) << "a small file is copied whole";
}

}  // namespace
}  // namespace brinvale
