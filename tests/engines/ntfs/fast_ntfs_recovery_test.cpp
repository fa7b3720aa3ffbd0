// The quick NTFS engine over the images made by mkntfs and an ntfs-3g
// mount (tests/fixtures/make_ntfs_fixtures.sh), checked against their
// manifests.
#include "engines/ntfs/fast_ntfs_recovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "common/error_codes.h"
#include "engines/ntfs/attribute_runs.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/ntfs_manifest.h"
#include "engines/ntfs/record_to_sector.h"
#include "platform/text.h"
#include "results/target_paths.h"
#include "support/fixture_path.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

using ManifestEntry = test::NtfsManifestEntry;

// A folder made for one test and removed after it.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name)
      : m_path(fs::temp_directory_path() /
               ("brinvale-" + std::to_string(BRINVALE_TEST_PID) + "-" + name)) {
    fs::remove_all(m_path);
    fs::create_directories(m_path);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  const fs::path& Path() const { return m_path; }

 private:
  fs::path m_path;
};

// Every item of the result tree by its path ("olddir/inner/c.txt").
struct TreeItem {
  ScanRecord record;
  uint32_t level = 0;  // the level its children are listed with
};

void CollectTree(IRidiRedazuvoParse& engine, const ScanRecord* parent, uint32_t level,
                 const std::string& prefix, std::map<std::string, TreeItem>& out) {
  RecordList children;
  ASSERT_EQ(engine.ListChildren(parent, level, children), kOk);
  for (const ScanRecord& child : children) {
    const std::string path = prefix + std::string(child.Name());
    ASSERT_EQ(out.count(path), 0u) << "listed twice: " << path;
    out[path] = {child, level + 1};
    if (child.IsFolder()) CollectTree(engine, &out[path].record, level + 1, path + "/", out);
  }
}

std::string FileSha(const fs::path& path) { return test::Sha256Hex(test::ReadFileBytes(path)); }

// The manifest path of a deleted item as the tree shows it: lostdir's record
// went to reuse.txt, so its file sits in LostFolder64.
std::string TreePath(const ManifestEntry& e) {
  if (e.path.rfind("lostdir/", 0) == 0) return "LostFolder64/" + e.path.substr(8);
  return e.path;
}

// The fillers lost their clusters to frag.bin and frag_deleted.bin.
bool ContentSurvives(const ManifestEntry& e) { return e.path.rfind("fill/", 0) != 0; }

class FastNtfsFixture : public ::testing::TestWithParam<const char*> {
 protected:
  FastNtfsFixture() : m_logs(std::string("ntfs-logs-") + GetParam()) {}

  void SetUp() override {
    const test::NtfsManifest manifest = test::ReadNtfsManifest(GetParam());
    m_manifest = manifest.entries;
    ASSERT_FALSE(m_manifest.empty());
    m_clusterBytes = manifest.ClusterBytes();
    ASSERT_EQ(m_engine.OpenImage(ImagePath(), u'N'), kOk);
    m_engine.SetScanLogFolder(m_logs.Path());
    m_engine.SetPreviewFolder(m_logs.Path() / "preview");
  }

  fs::path ImagePath() const { return test::FixturePath(std::string(GetParam()) + ".img"); }

  void ScanAndCollect() {
    ASSERT_EQ(m_engine.Scan(nullptr), kOk);
    CollectTree(m_engine, nullptr, 0, "", m_tree);
  }

  const ManifestEntry& Entry(const std::string& path) const {
    for (const auto& e : m_manifest)
      if (e.path == path) return e;
    throw std::runtime_error("no manifest entry " + path);
  }

  // A log record for a live file, as the engine would write it, so that its
  // data paths can be checked on files that are still whole.
  ScanRecord LiveRecord(const ManifestEntry& e) {
    const NtfsVolume& v = m_engine.Volume();
    ScanRecord r;
    uint64_t sector = 0;
    EXPECT_EQ(RecordToSector(v, e.record, sector), kOk);
    r.SetEntryKey(e.record);
    r.SetClusterBytes(v.ClusterBytes());
    r.SetFileSize(e.size);
    r.SetMetadataSector(sector);
    r.SetPartitionStart(v.startSector);
    r.SetName(fs::path(e.path).filename().string());
    return r;
  }

  TempFolder m_logs;
  std::vector<ManifestEntry> m_manifest;
  uint32_t m_clusterBytes = 0;
  CFastNtfsRecovery m_engine;
  std::map<std::string, TreeItem> m_tree;
};

TEST_P(FastNtfsFixture, OpensWithTheVolumeGeometry) {
  const NtfsVolume& v = m_engine.Volume();
  EXPECT_EQ(v.ClusterBytes(), m_clusterBytes);
  if (std::string(GetParam()) == "ntfs_4kn") {
    EXPECT_EQ(v.bytesPerSector, 4096u);
    EXPECT_EQ(v.recordSize, 4096u);  // eight fix-up blocks per record
  } else {
    EXPECT_EQ(v.bytesPerSector, 512u);
    EXPECT_EQ(v.recordSize, 1024u);
  }
  EXPECT_FALSE(v.mftRuns.empty());
}

TEST_P(FastNtfsFixture, FindsEveryDeletedFileAndFolderOfTheManifest) {
  ScanAndCollect();
  size_t deletedFiles = 0;
  for (const ManifestEntry& e : m_manifest) {
    if (!e.deleted || e.path == "lostdir") continue;
    SCOPED_TRACE(e.path);
    auto found = m_tree.find(TreePath(e));
    ASSERT_NE(found, m_tree.end());
    const ScanRecord& r = found->second.record;
    EXPECT_EQ(r.IsFolder(), e.folder);
    EXPECT_EQ(r.EntryKey(), e.record);
    EXPECT_EQ(r.EngineValue(), 0u);
    EXPECT_EQ(r.SourceKey(), u'N');
    EXPECT_EQ(r.PartitionStart(), 0u);
    if (!e.folder) {
      ++deletedFiles;
      EXPECT_EQ(r.FileSize(), e.size);
      EXPECT_EQ(r.ClusterBytes(), m_clusterBytes);
      EXPECT_NE(r.Written(), 0u);
    }
  }
  // Nothing live is listed as a file; every file in the tree is deleted.
  size_t files = 0;
  for (const auto& [path, item] : m_tree) {
    if (item.record.IsFolder()) continue;
    ++files;
    EXPECT_GT(item.record.EntryKey(), CFastNtfsRecovery::kLastSystemRecord) << path;
  }
  EXPECT_EQ(files, deletedFiles);
  uint32_t count = 0;
  ASSERT_EQ(m_engine.CountFiles(nullptr, 0, count), kOk);
  EXPECT_EQ(count, deletedFiles);
  EXPECT_EQ(m_engine.CountFiles(nullptr, 1, count), kErrInvalidParameter);
}

TEST_P(FastNtfsFixture, PlacesFilesUnderTheirFoldersAndTheRoot) {
  ScanAndCollect();
  // A deleted file in the root is filed under (5, 0) and makes no folder.
  RecordList root;
  ASSERT_EQ(m_engine.ListChildren(nullptr, 0, root), kOk);
  std::set<std::string> rootNames;
  for (const ScanRecord& r : root) {
    rootNames.insert(std::string(r.Name()));
    EXPECT_NE(r.EntryKey(), CFastNtfsRecovery::kRootRecord);
  }
  EXPECT_TRUE(rootNames.count("deleted_note.txt"));
  EXPECT_TRUE(rootNames.count("DeletedLongName.txt"));  // the Win32 name, not a DOS one
  EXPECT_TRUE(rootNames.count("olddir"));
  EXPECT_TRUE(rootNames.count("fill"));    // a live folder that holds deleted files
  EXPECT_EQ(rootNames.count("docs"), 0u);  // nothing deleted below it

  // The lost folder: lostdir's record now holds reuse.txt.
  const auto& lost = m_tree.at("LostFolder64").record;
  EXPECT_TRUE(lost.IsFolder());
  EXPECT_EQ(lost.ClusterBytes(), 0xFFFFFFFFu);
  EXPECT_EQ(lost.EntryKey(), 64u);
  EXPECT_EQ(lost.MetadataSector(), 0u);
  EXPECT_EQ(m_tree.at("LostFolder64").level, 1u);

  // Folder levels follow the depth below the root.
  EXPECT_EQ(m_tree.at("olddir").level, 1u);
  EXPECT_EQ(m_tree.at("olddir/inner").level, 2u);
  std::string path;
  ASSERT_EQ(m_engine.GetRecordPath(m_tree.at("olddir/inner/c.txt").record, path, 260), kOk);
  EXPECT_EQ(path, "olddir\\inner\\");
  ASSERT_EQ(m_engine.GetRecordPath(m_tree.at("deleted_note.txt").record, path, 260), kOk);
  EXPECT_EQ(path, "");
  uint32_t count = 0;
  ASSERT_EQ(m_engine.CountFiles(&m_tree.at("olddir").record, 1, count), kOk);
  EXPECT_EQ(count, 3u);
}

TEST_P(FastNtfsFixture, ContentCheckAndSearch) {
  ScanAndCollect();
  // Text and binary data have no signature test: they pass.
  EXPECT_EQ(m_tree.at("deleted_note.txt").record.ContentCheck(), 1u);
  EXPECT_EQ(m_tree.at("deleted_data.bin").record.ContentCheck(), 1u);
  RecordList texts;
  ASSERT_EQ(m_engine.Search("*.txt", texts), kOk);
  std::set<std::string> names;
  for (const ScanRecord& r : texts) names.insert(std::string(r.Name()));
  size_t expected = 0;
  for (const auto& e : m_manifest)
    if (e.deleted && !e.folder && e.path.size() > 4 && e.path.ends_with(".txt")) ++expected;
  EXPECT_EQ(texts.size(), expected);
  EXPECT_TRUE(names.count("orphan.txt"));
  EXPECT_TRUE(names.count("c.txt"));
}

TEST_P(FastNtfsFixture, RecoversDeletedFilesByteForByte) {
  ScanAndCollect();
  TempFolder out(std::string("ntfs-out-") + GetParam());
  int checked = 0;
  for (const ManifestEntry& e : m_manifest) {
    if (!e.deleted || e.folder || !ContentSurvives(e)) continue;
    SCOPED_TRACE(e.path);
    const fs::path target = out.Path() / "files" / fs::path(e.path).filename();
    ASSERT_EQ(m_engine.RecoverRecord(m_tree.at(TreePath(e)).record, target, 1), kOk);
    EXPECT_EQ(fs::file_size(target), e.size);
    EXPECT_EQ(FileSha(target), e.sha256);
    ++checked;
  }
  EXPECT_EQ(checked, 8);  // frag_deleted.bin among them
}

TEST_P(FastNtfsFixture, RecoversADeletedFolderTree) {
  ScanAndCollect();
  TempFolder out(std::string("ntfs-tree-") + GetParam());
  const fs::path target = out.Path() / "olddir";
  const int separators = CountSeparators(platform::PathToUtf8(out.Path()) + "/");
  ASSERT_EQ(m_engine.RecoverRecord(m_tree.at("olddir").record, target, separators), kOk);
  for (const char* p : {"olddir/a.txt", "olddir/b.bin", "olddir/inner/c.txt"})
    EXPECT_EQ(FileSha(out.Path() / p), Entry(p).sha256) << p;
  // A folder below the top recovers its own children too.
  const fs::path inner = out.Path() / "inner_alone";
  ASSERT_EQ(m_engine.RecoverRecord(m_tree.at("olddir/inner").record, inner, separators), kOk);
  EXPECT_EQ(FileSha(inner / "c.txt"), Entry("olddir/inner/c.txt").sha256);
}

TEST_P(FastNtfsFixture, RecoversSparseAndFragmentedFilesWhole) {
  TempFolder out(std::string("ntfs-sparse-") + GetParam());
  for (const char* p : {"sparse.bin", "frag.bin", "docs/reports/2025/tables.bin"}) {
    SCOPED_TRACE(p);
    const ManifestEntry& e = Entry(p);
    const fs::path target = out.Path() / fs::path(p).filename();
    ASSERT_EQ(m_engine.RecoverRecord(LiveRecord(e), target, 0), kOk);
    EXPECT_EQ(fs::file_size(target), e.size);
    EXPECT_EQ(FileSha(target), e.sha256);
  }
}

struct ProgressLog {
  std::vector<int> percents;
  std::vector<int> secondsLeft;
  int scale = 0;
  int cancelAt = -1;  // cancel at this call
};

int OnProgress(void* user, int percent, int scale, int secondsLeft, uint64_t current,
               uint64_t total, uint64_t found, int reserved) {
  auto* log = static_cast<ProgressLog*>(user);
  log->percents.push_back(percent);
  log->secondsLeft.push_back(secondsLeft);
  log->scale = scale;
  EXPECT_EQ(current + total + found + uint64_t(reserved), 0u);
  if (log->cancelAt >= 0 && int(log->percents.size()) > log->cancelAt) return kCancelled;
  return 0;
}

TEST_P(FastNtfsFixture, ReportsProgressAndStopsOnCancel) {
  ProgressLog log;
  m_engine.SetProgressCallback(OnProgress, nullptr, &log, 9);
  ASSERT_EQ(m_engine.Scan(nullptr), kOk);
  ASSERT_GE(log.percents.size(), 2u);
  EXPECT_EQ(log.percents.back(), 100);
  EXPECT_EQ(log.scale, 9);
  for (size_t i = 1; i < log.percents.size(); ++i) EXPECT_LE(log.percents[i - 1], log.percents[i]);
  for (int s : log.secondsLeft) EXPECT_EQ(s, -1);  // no estimate under scale 9

  // A second scan in the same minute replaces the log rather than adding to it.
  const uint64_t records = m_engine.GetRecordCount();
  ASSERT_GT(records, 0u);
  ASSERT_EQ(m_engine.Scan(nullptr), kOk);
  EXPECT_EQ(m_engine.GetRecordCount(), records);

  ProgressLog cancel;
  cancel.cancelAt = 0;
  m_engine.SetProgressCallback(OnProgress, nullptr, &cancel, 100);
  EXPECT_EQ(m_engine.Scan(nullptr), kCancelled);
  EXPECT_EQ(cancel.percents.size(), 1u);  // the pass stops: no final report
}

TEST_P(FastNtfsFixture, ScanOfAnExistingLogReloadsIt) {
  ScanAndCollect();
  const fs::path log = m_engine.Store()->RecordPath();
  const uint64_t count = m_engine.GetRecordCount();
  ASSERT_GT(count, 0u);
  CFastNtfsRecovery again;
  ASSERT_EQ(again.OpenImage(ImagePath(), u'N'), kOk);
  again.SetScanLogFolder(m_logs.Path() / "elsewhere");
  ASSERT_EQ(again.Scan(&log), kOk);
  EXPECT_EQ(again.GetRecordCount(), count);
  std::map<std::string, TreeItem> tree;
  CollectTree(again, nullptr, 0, "", tree);
  EXPECT_EQ(tree.size(), m_tree.size());
  EXPECT_TRUE(tree.count("olddir/inner/c.txt"));
}

TEST_P(FastNtfsFixture, ExtractsIntoABufferAndToAPreviewFile) {
  ScanAndCollect();
  const ManifestEntry& note = Entry("deleted_note.txt");
  std::vector<uint8_t> buffer(4096, 0xAA);
  uint64_t size = 100;  // less than the file
  fs::path path;
  ASSERT_EQ(m_engine.ExtractRecord(m_tree.at("deleted_note.txt").record, path, buffer.data(), size,
                                   nullptr, nullptr),
            kOk);
  EXPECT_EQ(size, 100u);
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(buffer[100], 0xAA);  // nothing past the limit
  size = buffer.size();
  ASSERT_EQ(m_engine.ExtractRecord(m_tree.at("deleted_note.txt").record, path, buffer.data(), size,
                                   nullptr, nullptr),
            kOk);
  ASSERT_EQ(size, note.size);
  buffer.resize(size);
  EXPECT_EQ(test::Sha256Hex(buffer), note.sha256);

  // A picture goes to "tmp.jpg" in the preview folder.
  const ManifestEntry& photo = Entry("photos/holiday.jpg");
  std::vector<int> percents;
  auto onExtract = [](void* user, int percent, int error) {
    EXPECT_EQ(error, 0);
    static_cast<std::vector<int>*>(user)->push_back(percent);
    return 0;
  };
  size = 0;
  ASSERT_EQ(m_engine.ExtractRecord(LiveRecord(photo), path, nullptr, size, onExtract, &percents),
            kOk);
  EXPECT_EQ(path, m_logs.Path() / "preview" / "tmp.jpg");
  EXPECT_EQ(FileSha(path), photo.sha256);
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);
}

TEST_P(FastNtfsFixture, AllocationMapMatchesTheFilesInUse) {
  EXPECT_EQ(m_engine.BuildAllocationMap(), kOk);
  const auto map = m_engine.AllocationMap();
  const NtfsVolume& v = m_engine.Volume();
  const uint64_t clusters = v.sectorCount / v.sectorsPerCluster;
  ASSERT_GE(map.size() * 8, clusters);
  auto inUse = [&](uint64_t c) { return (map[c / 8] >> (c % 8) & 1) != 0; };
  EXPECT_TRUE(inUse(0));  // the boot sector's cluster
  // Every cluster of the live frag.bin is in use.
  SectorReader reader;
  ASSERT_EQ(OpenImageReader(reader, ImagePath()), kOk);
  RunList runs;
  ASSERT_EQ(FindAttributeRuns(v, reader, LiveRecord(Entry("frag.bin")).MetadataSector(),
                              ntfs::kTypeData, runs),
            kOk);
  std::vector<PlacedRun> placed;
  ASSERT_TRUE(PlaceRuns(runs, placed));
  ASSERT_EQ(placed.size(), 13u);
  for (const PlacedRun& run : placed)
    for (uint64_t c = run.startCluster; c < run.startCluster + run.clusterCount; ++c)
      EXPECT_TRUE(inUse(c)) << c;

  // Free ranges: all clear, starting after a used cluster, ending at one.
  uint64_t start = 0, length = 0, freeClusters = 0;
  int ranges = 0;
  while (start < v.sectorCount && ranges < 100000) {
    ASSERT_EQ(m_engine.NextFreeRange(start, length), 1);
    if (length == 0) break;
    ASSERT_EQ(start % v.sectorsPerCluster, 0u);
    const uint64_t first = start / v.sectorsPerCluster;
    const uint64_t n = length / v.sectorsPerCluster;
    EXPECT_TRUE(first == 0 || inUse(first - 1));
    for (uint64_t c = first; c < first + n; ++c) ASSERT_FALSE(inUse(c)) << c;
    if (first + n < clusters) {
      EXPECT_TRUE(inUse(first + n));
    }
    freeClusters += n;
    start += length;
    ++ranges;
  }
  uint64_t clear = 0;
  for (uint64_t c = 0; c < clusters; ++c) clear += inUse(c) ? 0 : 1;
  EXPECT_EQ(freeClusters, clear);
  EXPECT_GT(clear, 0u);
  // A start past the volume is brought back to its end.
  start = v.sectorCount + 100;
  EXPECT_EQ(m_engine.NextFreeRange(start, length), 1);
  EXPECT_EQ(start, v.sectorCount);
  EXPECT_EQ(length, 0u);
}

TEST_P(FastNtfsFixture, TruncatedImageStillGivesTheRecordsBeforeTheCut) {
  // The image cut in the middle of the MFT, after record 90.
  const NtfsVolume& v = m_engine.Volume();
  uint64_t sector = 0;
  ASSERT_EQ(RecordToSector(v, 91, sector), kOk);
  auto bytes = test::ReadFileBytes(ImagePath(), sector * v.bytesPerSector);
  ASSERT_FALSE(bytes.empty());
  test::TempFile cut(std::string("cut-") + GetParam() + ".img");
  test::WriteFileBytes(cut.Path(), bytes);
  CFastNtfsRecovery engine;
  ASSERT_EQ(engine.OpenImage(cut.Path(), u'C'), kOk);
  engine.SetScanLogFolder(m_logs.Path() / "cut");
  ASSERT_EQ(engine.Scan(nullptr), kOk);
  std::map<std::string, TreeItem> tree;
  CollectTree(engine, nullptr, 0, "", tree);
  EXPECT_TRUE(tree.count("deleted_note.txt"));
  EXPECT_TRUE(tree.count("olddir/inner/c.txt"));
  // Every deleted record before the cut is there.
  for (const ManifestEntry& e : m_manifest) {
    if (e.deleted && e.record < 91 && e.path.rfind("lostdir", 0) != 0) {
      EXPECT_TRUE(tree.count(TreePath(e))) << e.path;
    }
  }
  EXPECT_FALSE(tree.count("frag_deleted.bin"));  // record 146 lies past the cut
}

INSTANTIATE_TEST_SUITE_P(Images, FastNtfsFixture, ::testing::Values("ntfs_c4k", "ntfs_4kn", "ntfs_c64k"));

// 64 KiB clusters on 512-byte sectors store 0x80 as sectors per cluster:
// the volume opens, and its deleted files come back byte for byte.
TEST(FastNtfsClusters64K, ScansAndRecoversTheDeletedFiles) {
  const auto manifest = test::ReadNtfsManifest("ntfs_c64k");
  ASSERT_FALSE(manifest.entries.empty());
  ASSERT_EQ(manifest.facts.at("cluster_bytes"), "65536");
  TempFolder logs("ntfs-logs-c64k");
  CFastNtfsRecovery engine;
  ASSERT_EQ(engine.OpenImage(test::FixturePath("ntfs_c64k.img"), u'K'), kOk);
  EXPECT_EQ(engine.Volume().sectorsPerCluster, 128u);
  EXPECT_EQ(engine.Volume().ClusterBytes(), 65536u);
  engine.SetScanLogFolder(logs.Path());
  ASSERT_EQ(engine.Scan(nullptr), kOk);
  std::map<std::string, TreeItem> tree;
  CollectTree(engine, nullptr, 0, "", tree);
  size_t recovered = 0;
  for (const ManifestEntry& e : manifest.entries) {
    if (!e.deleted || e.path == "lostdir") continue;
    const auto found = tree.find(TreePath(e));
    ASSERT_NE(found, tree.end()) << e.path;
    EXPECT_EQ(found->second.record.IsFolder(), e.folder) << e.path;
    if (e.folder || !ContentSurvives(e)) continue;
    EXPECT_EQ(found->second.record.ClusterBytes(), 65536u) << e.path;
    const fs::path target = logs.Path() / "out" / std::to_string(recovered++);
    ASSERT_EQ(engine.RecoverRecord(found->second.record, target, 0), kOk) << e.path;
    EXPECT_EQ(FileSha(target), e.sha256) << e.path;
  }
  EXPECT_GE(recovered, 5u);
}

// A volume the engine cannot read by is a failed scan, never an empty one.
class FastNtfsUnreadable : public ::testing::Test {
 protected:
  FastNtfsUnreadable() : m_logs("ntfs-logs-unreadable") {}

  // ntfs_c4k with one boot-sector byte changed, or its $MFT record 0 wiped.
  fs::path Damaged(const std::string& name, size_t offset, uint8_t value, bool wipeMft) {
    auto bytes = test::ReadFileBytes(test::FixturePath("ntfs_c4k.img"));
    EXPECT_GT(bytes.size(), 4096u);
    bytes[offset] = value;
    if (wipeMft) {
      CFastNtfsRecovery probe;
      EXPECT_EQ(probe.OpenImage(test::FixturePath("ntfs_c4k.img"), u'P'), kOk);
      const uint64_t at = probe.Volume().mftStartSector * 512;
      std::fill(bytes.begin() + ptrdiff_t(at), bytes.begin() + ptrdiff_t(at + 1024), 0);
    }
    const fs::path path = m_logs.Path() / name;
    test::WriteFileBytes(path, bytes);
    return path;
  }

  TempFolder m_logs;
};

TEST_F(FastNtfsUnreadable, ScanOfABootSectorItCannotReadFails) {
  struct Case {
    uint8_t sectorsPerCluster;
    const char* what;
  } cases[] = {{0x00, "no cluster size"}, {0x81, "0x81 is neither a count nor a shift"},
               {0xE0, "a shift of 32"}};
  for (const Case& c : cases) {
    CFastNtfsRecovery engine;
    engine.SetScanLogFolder(m_logs.Path() / "logs");
    EXPECT_EQ(engine.OpenImage(Damaged("boot.img", 0x0D, c.sectorsPerCluster, false), u'B'),
              CFastNtfsRecovery::kErrUnrecognizedVolume)
        << c.what;
    EXPECT_EQ(engine.Scan(nullptr), CFastNtfsRecovery::kErrUnrecognizedVolume) << c.what;
    EXPECT_EQ(engine.GetRecordCount(), 0u) << c.what;
  }
}

TEST_F(FastNtfsUnreadable, ScanWithoutTheMftRunsFails) {
  CFastNtfsRecovery engine;
  engine.SetScanLogFolder(m_logs.Path() / "logs");
  // The boot sector is whole: the open itself succeeds.
  ASSERT_EQ(engine.OpenImage(Damaged("mft.img", 0x0D, 8, true), u'M'), kOk);
  EXPECT_EQ(engine.Scan(nullptr), CFastNtfsRecovery::kErrUnrecognizedVolume);
}

TEST_F(FastNtfsUnreadable, ScanOfAnUnopenedEngineFails) {
  CFastNtfsRecovery engine;
  engine.SetScanLogFolder(m_logs.Path() / "logs");
  EXPECT_NE(engine.Scan(nullptr), kOk);
  EXPECT_EQ(engine.OpenImage(m_logs.Path() / "missing.img", u'X'), kErrFileNotFound);
  EXPECT_EQ(engine.Scan(nullptr), kErrFileNotFound);
}

}  // namespace
}  // namespace brinvale
