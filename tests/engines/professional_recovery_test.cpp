#include "engines/professional_recovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/scan_history.h"
#include "common/error_codes.h"
#include "deepscan/file_type_recovery.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/fat/professional_fat_recovery.h"
#include "engines/ntfs/professional_ntfs_recovery.h"
#include "platform/clock.h"
#include "results/type_view.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// Every scan callback, and an optional stop once the bar passes a percent.
struct Progress {
  struct Call {
    int percent, scale;
    uint64_t current, total, found;
  };
  std::vector<Call> calls;
  int stopAtShown = 1000;  // stop when percent x scale / 100 reaches this
  static int OnScan(void* user, int percent, int scale, int, uint64_t current, uint64_t total,
                    uint64_t found, int) {
    auto* self = static_cast<Progress*>(user);
    self->calls.push_back({percent, scale, current, total, found});
    return ScaledPercent(percent, scale) >= self->stopAtShown ? kCancelled : kOk;
  }
};

class ProfessionalRecoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    root = fs::temp_directory_path() / ("brinvale-full-" + std::to_string(platform::TickCountMs()) +
                                        "-" + std::to_string(counter++));
    fs::remove_all(root);
    fs::create_directories(root);
    history = std::make_unique<ScanHistory>(root / "ScanLog");
  }
  void TearDown() override {
    history.reset();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  std::unique_ptr<CProfessionalRecovery> Open(const std::string& fixture) {
    auto scan = std::make_unique<CProfessionalRecovery>(*history);
    EXPECT_EQ(scan->OpenImage(test::FixturePath(fixture), u'X'), kOk);
    scan->SetPreviewFolder(root / "preview");
    return scan;
  }
  // (engine, name, size) of everything a search for all types returns.
  static std::multiset<std::tuple<uint32_t, std::string, uint64_t>> Everything(
      CProfessionalRecovery& scan) {
    RecordList all;
    EXPECT_EQ(scan.Search(BuildTypeFilter({}) + "|.other", all), kOk);
    std::multiset<std::tuple<uint32_t, std::string, uint64_t>> out;
    for (const ScanRecord& r : all)
      out.emplace(r.EngineValue(), std::string(r.Name()), r.FileSize());
    return out;
  }

  fs::path root;
  std::unique_ptr<ScanHistory> history;
};

TEST_F(ProfessionalRecoveryTest, FatVolumeRunsTheQuickStepThenThePassOverFreeSpaceOnly) {
  auto scan = Open("sample.img");
  ASSERT_NE(scan->QuickEngine(), nullptr);
  Progress progress;
  scan->SetProgressCallback(Progress::OnScan, nullptr, &progress, 100);
  ASSERT_EQ(scan->Scan(nullptr), kOk);

  // The quick step reports with scale 9, the pass with 90, the check step
  // of the carved files with 100 and no sector counts, then one 100 %.
  ASSERT_FALSE(progress.calls.empty());
  const auto firstPass = std::find_if(progress.calls.begin(), progress.calls.end(),
                                      [](const Progress::Call& c) { return c.scale == 90; });
  ASSERT_NE(firstPass, progress.calls.end());
  EXPECT_TRUE(std::all_of(progress.calls.begin(), firstPass,
                          [](const Progress::Call& c) { return c.scale == 9; }));
  EXPECT_EQ(progress.calls.back().percent, 100);
  EXPECT_EQ(progress.calls.back().scale, 100);
  // The pass covers the free clusters only: fewer sectors than the volume.
  const uint64_t total = firstPass->total;
  EXPECT_GT(total, 0u);
  EXPECT_LT(total, 40960u * 2);
  const auto firstCheck = std::find_if(firstPass, progress.calls.end(),
                                       [](const Progress::Call& c) { return c.scale == 100; });
  int lastShown = 0;
  for (auto it = firstPass; it != firstCheck; ++it) {
    EXPECT_EQ(it->total, total);
    EXPECT_GE(ScaledPercent(it->percent, it->scale), lastShown);
    EXPECT_LE(ScaledPercent(it->percent, it->scale), 99);
    lastShown = ScaledPercent(it->percent, it->scale);
  }
  EXPECT_EQ(std::prev(firstCheck)->current, total);
  lastShown = 0;
  for (auto it = firstCheck; it != progress.calls.end(); ++it) {
    EXPECT_EQ(it->scale, 100);
    EXPECT_EQ(it->total, 0u);
    EXPECT_GE(it->percent, lastShown);
    lastShown = it->percent;
  }

  // The quick engine's deleted files head the merged top level.
  RecordList top;
  ASSERT_EQ(scan->ListChildren(nullptr, 0, top), kOk);
  EXPECT_TRUE(std::any_of(top.begin(), top.end(), [](const ScanRecord& r) {
    return r.Engine() == EngineCode::kQuickFat && r.IsFolder() && r.Name() == "Photos";
  }));
  EXPECT_EQ(scan->ListChildren(nullptr, 1, top), kErrInvalidParameter);
  uint64_t sum = scan->QuickEngine()->GetRecordCount() + scan->FatEngine().GetRecordCount() +
                 scan->NtfsEngine().GetRecordCount() + scan->ContentEngine().GetRecordCount();
  EXPECT_EQ(scan->GetRecordCount(), sum);
}

TEST_F(ProfessionalRecoveryTest, SearchListsAFileFoundByTheQuickEngineAndByContentOnce) {
  auto scan = Open("sample.img");
  ASSERT_EQ(scan->Scan(nullptr), kOk);
  // The deleted photo lies in free space, so the pass carves it as well.
  RecordList carved;
  ASSERT_EQ(scan->ContentEngine().Search("*.jpg", carved), kOk);
  ASSERT_FALSE(carved.empty());
  RecordList found;
  ASSERT_EQ(scan->Search("*.jpg", found), kOk);
  // Where the quick engine's deleted photos start.
  std::set<uint64_t> starts;
  for (const ScanRecord& r : found)
    if (r.Engine() == EngineCode::kQuickFat) starts.insert(r.ClusterToSector(r.EntryKey(), 512));
  ASSERT_GE(starts.size(), 3u);  // beach at dusk, img_0001, img_0002
  size_t twice = 0;
  for (const ScanRecord& r : carved) {
    const bool listed = std::any_of(found.begin(), found.end(), [&](const ScanRecord& f) {
      return f.Engine() == EngineCode::kContent && f.MetadataSector() == r.MetadataSector();
    });
    // A carved copy of a file the file system knows is left out; other
    // carved photos stay.
    const bool known = starts.count(r.MetadataSector()) != 0;
    EXPECT_NE(listed, known) << r.Name();
    twice += known;
  }
  EXPECT_EQ(twice, starts.size()) << "every deleted photo was carved too";
}

TEST_F(ProfessionalRecoveryTest, OldNtfsSystemFilesAreNotListedAsFiles) {
  // mkntfs leaves $ObjId, $Quota and $Reparse in $Extend, each with a FILE
  // record of its own; they hold no user data and cannot be recovered. The
  // disk image's partition entries are wiped, so with no file system at
  // its start and no table the pass reads the live MFT of its old NTFS
  // partition too.
  std::vector<uint8_t> bytes = test::ReadFileBytes(test::FixturePath("mbr_full.img"));
  ASSERT_GT(bytes.size(), 512u);
  std::fill(bytes.begin() + 446, bytes.begin() + 510, uint8_t(0));
  test::WriteFileBytes(root / "no_table.img", bytes);
  auto scan = std::make_unique<CProfessionalRecovery>(*history);
  ASSERT_EQ(scan->OpenImage(root / "no_table.img", u'X'), kOk);
  EXPECT_EQ(scan->QuickStepCount(), 0u);
  ASSERT_EQ(scan->Scan(nullptr), kOk);
  RecordList found;
  ASSERT_EQ(scan->NtfsEngine().Search(BuildTypeFilter({}) + "|.other", found), kOk);
  ASSERT_FALSE(found.empty());
  for (const ScanRecord& r : found) EXPECT_FALSE(r.Name().starts_with("$")) << r.Name();
  RecordList top;
  ASSERT_EQ(scan->NtfsEngine().ListChildren(nullptr, 0, top), kOk);
  for (const ScanRecord& r : top) EXPECT_NE(r.Name(), "$Extend");
}

TEST_F(ProfessionalRecoveryTest, UnrecognisedMediumIsPassedWholeAndCarved) {
  auto scan = Open("content.img");
  EXPECT_EQ(scan->QuickEngine(), nullptr);
  Progress progress;
  scan->SetProgressCallback(Progress::OnScan, nullptr, &progress, 100);
  ASSERT_EQ(scan->Scan(nullptr), kOk);
  const uint64_t sectors = fs::file_size(test::FixturePath("content.img")) / 512;
  ASSERT_GE(progress.calls.size(), 2u);
  EXPECT_EQ(progress.calls.front().total, sectors);
  // The pass's last report is the last sector; the check step follows.
  const auto lastPass = std::find_if(progress.calls.rbegin(), progress.calls.rend(),
                                     [](const Progress::Call& c) { return c.scale == 90; });
  ASSERT_NE(lastPass, progress.calls.rend());
  EXPECT_EQ(lastPass->current, sectors);
  EXPECT_GT(std::count_if(lastPass.base(), progress.calls.end(),
                          [](const Progress::Call& c) { return c.scale == 100 && c.total == 0; }),
            1);

  RecordList top;
  ASSERT_EQ(scan->ListChildren(nullptr, 0, top), kOk);
  ASSERT_FALSE(top.empty());
  EXPECT_TRUE(std::all_of(top.begin(), top.end(),
                          [](const ScanRecord& r) { return r.Engine() == EngineCode::kContent; }));
  uint32_t count = 0;
  ASSERT_EQ(scan->CountFiles(nullptr, 0, count), kOk);
  EXPECT_EQ(count, top.size());

  // A content record has no children and no folder path; an unknown engine
  // code is answered with nothing.
  RecordList children{top.front()};
  EXPECT_EQ(scan->ListChildren(&top.front(), 0, children), kOk);
  EXPECT_TRUE(children.empty());
  std::string path = "stale";
  EXPECT_EQ(scan->GetRecordPath(top.front(), path, 260), kOk);
  EXPECT_TRUE(path.empty());
  ScanRecord odd = top.front();
  odd.SetEngine(EngineCode(9));
  EXPECT_EQ(scan->RecoverRecord(odd, root / "odd", 0), kOk);
  EXPECT_FALSE(fs::exists(root / "odd"));

  // Recovery of a carved file goes to the content engine.
  const ScanRecord gif = *std::find_if(
      top.begin(), top.end(), [](const ScanRecord& r) { return r.Name().ends_with(".gif"); });
  ASSERT_EQ(scan->RecoverRecord(gif, root / "out" / "anim.gif", 0), kOk);
  EXPECT_EQ(fs::file_size(root / "out" / "anim.gif"), 205u);
}

TEST_F(ProfessionalRecoveryTest, CancelInTheQuickStepEndsTheScanAndGivesBackTheFolder) {
  auto scan = Open("sample.img");
  const uint64_t counter = history->FolderCounter();
  Progress progress;
  progress.stopAtShown = 0;  // the first report stops
  scan->SetProgressCallback(Progress::OnScan, nullptr, &progress, 100);
  EXPECT_EQ(scan->Scan(nullptr), kCancelled);
  ASSERT_FALSE(progress.calls.empty());
  EXPECT_TRUE(std::all_of(progress.calls.begin(), progress.calls.end(),
                          [](const Progress::Call& c) { return c.scale == 9; }));
  EXPECT_EQ(history->FolderCounter(), counter);
  EXPECT_TRUE(history->Entries().empty());
}

TEST_F(ProfessionalRecoveryTest, CancelledPassResumesToWhatOneScanFinds) {
  std::multiset<std::tuple<uint32_t, std::string, uint64_t>> whole;
  {
    auto scan = Open("content.img");
    ASSERT_EQ(scan->Scan(nullptr), kOk);
    whole = Everything(*scan);
    ASSERT_FALSE(whole.empty());
    // A finished scan is on record: the next open of the image finds it.
    auto again = Open("content.img");
    EXPECT_TRUE(again->HasEarlierScan());
    again->DeclineEarlierScan();
    EXPECT_FALSE(again->HasEarlierScan());
    EXPECT_TRUE(history->Entries().empty());
  }
  auto first = Open("content.img");
  Progress progress;
  progress.stopAtShown = 50;
  first->SetProgressCallback(Progress::OnScan, nullptr, &progress, 100);
  ASSERT_EQ(first->Scan(nullptr), kCancelled);
  const auto partial = Everything(*first);
  EXPECT_LT(partial.size(), whole.size());
  first.reset();
  // Where the pass stood: sectors done in the whole pass.
  ASSERT_EQ(history->Entries().size(), 1u);
  const uint64_t stoppedAt = history->Entries().front().resume.doneTotal;
  EXPECT_GT(stoppedAt, 0u);

  auto second = Open("content.img");
  ASSERT_TRUE(second->HasEarlierScan());
  Progress resumed;
  second->SetProgressCallback(Progress::OnScan, nullptr, &resumed, 100);
  ASSERT_EQ(second->Scan(nullptr), kOk);
  // The resumed pass starts where the first one stopped.
  ASSERT_GE(resumed.calls.size(), 2u);
  EXPECT_GE(resumed.calls.front().current, stoppedAt);
  EXPECT_EQ(Everything(*second), whole);
  EXPECT_EQ(history->Entries().size(), 1u);
}

}  // namespace
}  // namespace brinvale
