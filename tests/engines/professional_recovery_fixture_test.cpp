// Full scans of reformatted volumes made by real tools
// (tests/fixtures/make_reformat_fixtures.sh): the old folder trees and files
// each manifest lists must come back through the coordinator's listing,
// search and recovery, and a stopped scan must resume where it stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/scan_history.h"
#include "common/error_codes.h"
#include "deepscan/file_type_recovery.h"
#include "engines/professional_recovery.h"
#include "results/scan_log_check.h"
#include "support/fixture_path.h"
#include "support/full_scan_manifest.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using test::FullScanItem;
using test::FullScanManifest;
using test::LowerAscii;

// Every extension the fixtures hold, and everything else through ".other".
constexpr const char* kEverything = "*.jpg|*.png|*.pdf|*.zip|*.docx|*.txt|*.dat|.other";

// A fresh folder under the temp folder, removed with its content.
class Scratch : public test::TempDir {
 public:
  Scratch() : TempDir("fullscan-" + std::to_string(Next())) {}

 private:
  static int Next() {
    static std::atomic<int> counter{0};
    return counter++;
  }
};

// What the scan callback was told; it can stop the pass once.
struct Progress {
  struct Call {
    int percent;
    int scale;
    uint64_t current;
    uint64_t total;
  };
  std::vector<Call> calls;
  int stopAtPercent = 0;  // 0: never; else the first pass report at or above it
  bool stopped = false;

  static int Callback(void* user, int percent, int scale, int, uint64_t current, uint64_t total,
                      uint64_t, int) {
    auto* self = static_cast<Progress*>(user);
    self->calls.push_back({percent, scale, current, total});
    if (scale == 90 && self->stopAtPercent != 0 && !self->stopped &&
        percent >= self->stopAtPercent) {
      self->stopped = true;
      return kCancelled;
    }
    return 0;
  }
  std::vector<Call> PassCalls() const {
    std::vector<Call> pass;
    for (const Call& c : calls)
      if (c.scale == 90) pass.push_back(c);
    return pass;
  }
};

// A history in its own base folder and a coordinator over one image.
struct Session {
  explicit Session(const fs::path& base) : history(base), engine(history) {}
  ScanHistory history;
  CProfessionalRecovery engine;
  Progress progress;
};

// mbr_full.img with its partition entries wiped: a medium with no file
// system at its start and no table, which the pass reads whole, so the
// formatted engines meet the live structures of both old partitions. (With
// its table the image's partitions get quick steps of their own and their
// allocated space is not read again.) One copy per run, removed at exit.
class TablelessDisk {
 public:
  TablelessDisk()
      : m_path(fs::temp_directory_path() /
               ("brinvale-" + std::to_string(BRINVALE_TEST_PID) + "-mbr_full_no_table.img")) {
    std::vector<uint8_t> bytes = test::ReadFileBytes(test::FixturePath("mbr_full.img"));
    if (bytes.size() > 512) std::fill(bytes.begin() + 446, bytes.begin() + 510, uint8_t(0));
    test::WriteFileBytes(m_path, bytes);
  }
  ~TablelessDisk() {
    std::error_code ec;
    fs::remove(m_path, ec);
  }
  const fs::path& Path() const { return m_path; }

 private:
  fs::path m_path;
};

fs::path ImagePath(const std::string& image) {
  if (image == "mbr_full.img") {
    static const TablelessDisk disk;
    return disk.Path();
  }
  return test::FixturePath(image);
}

// A folder path as text without its trailing separator ("<base>/1/" names
// the same folder as "<base>/1").
std::string WithoutTrailingSeparator(const fs::path& folder) {
  std::string text = folder.lexically_normal().string();
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return text;
}

// Opens the image (asserting success) and gives it the progress recorder.
void Open(Session& s, const std::string& image) {
  ASSERT_EQ(s.engine.OpenImage(ImagePath(image), u'I'), kOk);
  s.engine.SetProgressCallback(&Progress::Callback, nullptr, &s.progress, 100);
}

// Every record below `parent` by its path, lower-cased ("/a/b.txt", folders
// with a trailing "/"). The content engine's flat list has no folders and is
// left out of the tree.
void CollectTree(IRidiRedazuvoParse& engine, const ScanRecord* parent, uint32_t depth,
                 const std::string& prefix, std::multimap<std::string, ScanRecord>& out) {
  RecordList children;
  ASSERT_EQ(engine.ListChildren(parent, depth, children), kOk) << prefix;
  for (const ScanRecord& child : children) {
    if (child.Engine() == EngineCode::kContent) continue;
    const std::string path = prefix + "/" + LowerAscii(std::string(child.Name()));
    if (child.IsFolder()) {
      out.emplace(path + "/", child);
      ASSERT_LT(depth, 16u) << "the tree is deeper than any fixture: " << path;
      CollectTree(engine, &child, depth + 1, path, out);
    } else {
      out.emplace(path, child);
    }
  }
}

std::multimap<std::string, ScanRecord> Tree(IRidiRedazuvoParse& engine) {
  std::multimap<std::string, ScanRecord> tree;
  CollectTree(engine, nullptr, 0, "", tree);
  return tree;
}

RecordList SearchAll(IRidiRedazuvoParse& engine) {
  RecordList found;
  EXPECT_EQ(engine.Search(kEverything, found), kOk);
  return found;
}

std::string ExtensionOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? "" : LowerAscii(std::string(name.substr(dot + 1)));
}

// The first data sector of a FAT engine's file record, from its own fields.
uint64_t FatDataSector(const ScanRecord& r) {
  return r.PartitionStart() + r.FirstDataSector() +
         (uint64_t(r.EntryKey()) - 2) * (r.ClusterBytes() / 512);
}

EngineCode EngineOf(const FullScanItem& item) {
  return item.foundBy == "ntfs" ? EngineCode::kFormattedNtfs : EngineCode::kFormattedFat;
}

bool FoundByStructure(const FullScanItem& item) {
  return item.foundBy == "fat" || item.foundBy == "ntfs";
}

// The search results that are this item's own record: engine, first cluster
// or MFT record number, and name (without case).
std::vector<ScanRecord> RecordsOf(const RecordList& found, const FullScanItem& item) {
  std::vector<ScanRecord> own;
  for (const ScanRecord& r : found)
    if (r.Engine() == EngineOf(item) && item.key && r.EntryKey() == *item.key &&
        LowerAscii(std::string(r.Name())) == LowerAscii(item.name))
      own.push_back(r);
  return own;
}

std::string FileSha256(const fs::path& path, uint64_t limit = UINT64_MAX) {
  return test::Sha256Hex(test::ReadFileBytes(path, size_t(std::min<uint64_t>(limit, SIZE_MAX))));
}

// One record's identity across two scans of the same medium.
std::string Identity(const ScanRecord& r) {
  return std::to_string(r.EngineValue()) + "|" + (r.IsFolder() ? "d|" : "f|") +
         LowerAscii(std::string(r.Name())) + "|" + std::to_string(r.FileSize()) + "|" +
         std::to_string(r.EntryKey()) + "|" + std::to_string(r.MetadataSector());
}

std::set<std::string> Identities(const RecordList& records) {
  std::set<std::string> out;
  for (const ScanRecord& r : records) out.insert(Identity(r));
  return out;
}

std::set<std::string> TreePaths(IRidiRedazuvoParse& engine) {
  std::set<std::string> paths;
  for (const auto& [path, record] : Tree(engine)) paths.insert(path);
  return paths;
}

// ---- one full scan per image, shared by the tests of that image ------------

struct ScannedImage {
  Scratch scratch;
  FullScanManifest manifest;
  std::unique_ptr<Session> session;
  int scanResult = -1;
};

class FullScanFixture : public ::testing::TestWithParam<const char*> {
 protected:
  static void TearDownTestSuite() { s_scans.clear(); }

  void SetUp() override {
    auto& slot = s_scans[GetParam()];
    if (!slot) {
      slot = std::make_unique<ScannedImage>();
      slot->manifest = test::ReadFullScanManifest(GetParam());
      fs::create_directories(slot->scratch.Path() / "ScanLog");
      slot->session = std::make_unique<Session>(slot->scratch.Path() / "ScanLog");
      Open(*slot->session, GetParam());
      slot->scanResult = slot->session->engine.Scan(nullptr);
    }
    scan = slot.get();
    ASSERT_FALSE(scan->manifest.items.empty()) << "no manifest for " << GetParam();
    ASSERT_EQ(scan->scanResult, kOk);
  }

  CProfessionalRecovery& Engine() { return scan->session->engine; }
  const FullScanManifest& Manifest() { return scan->manifest; }
  std::vector<FullScanItem> Items(const char* foundBy, const char* kind) {
    std::vector<FullScanItem> out;
    for (const FullScanItem& i : scan->manifest.items)
      if ((foundBy == nullptr ? FoundByStructure(i) : i.foundBy == foundBy) && i.kind == kind)
        out.push_back(i);
    return out;
  }

  ScannedImage* scan = nullptr;
  static std::map<std::string, std::unique_ptr<ScannedImage>> s_scans;
};

std::map<std::string, std::unique_ptr<ScannedImage>> FullScanFixture::s_scans;

TEST_P(FullScanFixture, PassRunsToTheEndAndTheBarEndsAtOneHundred) {
  const std::vector<Progress::Call> pass = scan->session->progress.PassCalls();
  ASSERT_FALSE(pass.empty());
  bool reachedTheEnd = false;
  for (const Progress::Call& c : pass) {
    EXPECT_GE(c.percent, 10) << "the pass bar starts where the quick step ended";
    reachedTheEnd |= c.current == c.total && c.percent == 110;
  }
  EXPECT_TRUE(reachedTheEnd) << "the pass never reported its last chunk";
  const Progress::Call& last = scan->session->progress.calls.back();
  EXPECT_EQ(last.percent, 100);
  EXPECT_EQ(last.scale, 100);
  EXPECT_GE(Engine().GetRecordCount(),
            Items(nullptr, "file").size() + Items(nullptr, "dir").size());
}

TEST_P(FullScanFixture, OldFolderTreesComeBackUnderTheirNames) {
  const auto tree = Tree(Engine());
  for (const FullScanItem& item : scan->manifest.items) {
    if (!FoundByStructure(item)) continue;
    const std::string path = LowerAscii(item.TreePath());
    const auto [from, to] = tree.equal_range(path);
    ASSERT_NE(from, to) << GetParam() << ": " << item.TreePath() << " is not in the tree";
    bool kindMatches = false;
    for (auto it = from; it != to; ++it)
      kindMatches |= it->second.IsFolder() == item.IsDir() &&
                     (item.IsDir() || it->second.FileSize() == item.size);
    EXPECT_TRUE(kindMatches) << item.TreePath() << " is there but not as a " << item.kind << " of "
                             << item.size << " bytes";
  }
  // A folder whose own record is gone is a LostFolder at the top.
  if (scan->manifest.facts.count("lost_folder_record") != 0) {
    const std::string lost =
        "/lostfolder" + std::to_string(scan->manifest.Fact("lost_folder_record")) + "/";
    ASSERT_EQ(tree.count(lost), 1u) << lost;
    EXPECT_EQ(tree.find(lost)->second.Engine(), EngineCode::kFormattedNtfs);
  }
}

TEST_P(FullScanFixture, SearchedFilesRecoverWithTheirOldBytes) {
  const RecordList found = SearchAll(Engine());
  Scratch out;
  size_t compared = 0;
  for (const FullScanItem& item : Items(nullptr, "file")) {
    const std::vector<ScanRecord> own = RecordsOf(found, item);
    ASSERT_EQ(own.size(), 1u) << GetParam() << ": " << item.TreePath() << " found " << own.size()
                              << " times by the search";
    const fs::path target = out.Path() / (std::to_string(compared++) + "_" + item.name);
    ASSERT_EQ(Engine().RecoverRecord(own[0], target, 0), kOk) << item.TreePath();
    ASSERT_TRUE(fs::exists(target)) << item.TreePath();
    EXPECT_EQ(fs::file_size(target), item.size) << item.TreePath();
    if (item.Comparable()) {
      EXPECT_EQ(FileSha256(target), item.sha256) << item.TreePath();
    }
  }
  EXPECT_GT(compared, 0u);
}

TEST_P(FullScanFixture, OldGeometryIsWrittenIntoTheRecords) {
  const RecordList found = SearchAll(Engine());
  const FullScanManifest& m = Manifest();
  const bool reformattedFat = m.facts.count("old_cluster_bytes") != 0;
  for (const FullScanItem& item : Items(nullptr, "file")) {
    const std::vector<ScanRecord> own = RecordsOf(found, item);
    if (own.size() != 1) continue;  // reported by the recovery test
    const ScanRecord& r = own[0];
    if (item.foundBy == "fat") {
      EXPECT_EQ(r.ClusterBytes(),
                m.Fact(reformattedFat ? "old_cluster_bytes" : "fat_cluster_bytes"))
          << item.TreePath();
      EXPECT_EQ(r.PartitionStart() + r.FirstDataSector(),
                m.Fact(reformattedFat ? "old_data_start_sector" : "fat_data_start_sector"))
          << item.TreePath();
      ASSERT_TRUE(item.firstSector.has_value());
      EXPECT_EQ(FatDataSector(r), *item.firstSector) << item.TreePath();
    } else if (item.layout != "resident") {
      // A record with data runs estimates the cluster size from its own
      // runs and belongs to the file system that starts at the fact's sector.
      const bool inPartition = m.facts.count("ntfs_partition_start") != 0;
      EXPECT_EQ(r.ClusterBytes(), m.Fact(inPartition ? "ntfs_cluster_bytes" : "cluster_bytes"))
          << item.TreePath();
      EXPECT_EQ(r.PartitionStart(),
                m.Fact(inPartition ? "ntfs_partition_start" : "partition_start"))
          << item.TreePath();
    }
  }
}

TEST_P(FullScanFixture, ContentFindsOfFoundFilesAreListedOnce) {
  RecordList content;
  ASSERT_EQ(Engine().ContentEngine().Search(kEverything, content), kOk);
  const RecordList found = SearchAll(Engine());
  size_t checked = 0;
  for (const FullScanItem& item : Items(nullptr, "file")) {
    const std::string ext = item.Extension();
    if ((ext != "jpg" && ext != "png" && ext != "pdf") || !item.firstSector ||
        item.layout != "contiguous")
      continue;
    const auto atItem = [&](const ScanRecord& r) {
      return r.Engine() == EngineCode::kContent && r.MetadataSector() == *item.firstSector &&
             ExtensionOf(r.Name()) == ext;
    };
    // The content engine found it too, so leaving it out means something.
    EXPECT_EQ(std::count_if(content.begin(), content.end(), atItem), 1)
        << item.TreePath() << " at sector " << *item.firstSector;
    EXPECT_EQ(std::count_if(found.begin(), found.end(), atItem), 0)
        << item.TreePath() << " is listed twice";
    EXPECT_EQ(RecordsOf(found, item).size(), 1u) << item.TreePath();
    ++checked;
  }
  EXPECT_GT(checked, 0u);
}

TEST_P(FullScanFixture, FilesWhoseEntriesWereLostAreFoundByContent) {
  const RecordList found = SearchAll(Engine());
  const std::vector<FullScanItem> lost = Items("content", "file");
  if (lost.empty()) GTEST_SKIP() << "no file of this image lost its entry";
  Scratch out;
  size_t n = 0;
  for (const FullScanItem& item : lost) {
    ASSERT_TRUE(item.firstSector.has_value());
    const auto it = std::find_if(found.begin(), found.end(), [&](const ScanRecord& r) {
      return r.Engine() == EngineCode::kContent && r.MetadataSector() == *item.firstSector;
    });
    ASSERT_NE(it, found.end()) << item.name << " at sector " << *item.firstSector;
    EXPECT_EQ(ExtensionOf(it->Name()), item.Extension()) << item.name;
    // The content engine sizes by the format; the bytes up to the old size
    // must be the old file's.
    const fs::path target = out.Path() / (std::to_string(n++) + "." + item.Extension());
    ASSERT_EQ(Engine().RecoverRecord(*it, target, 0), kOk) << item.name;
    ASSERT_GE(fs::file_size(target), item.size) << item.name;
    EXPECT_EQ(FileSha256(target, item.size), item.sha256) << item.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Reformatted, FullScanFixture,
                         ::testing::Values("fat32_same.img", "fat32_other.img", "ntfs_reformat.img",
                                           "ntfs_to_fat32.img", "mbr_full.img"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           name = name.substr(0, name.find('.'));
                           return name;
                         });

// ---- stopping and resuming ---------------------------------------------------

// The MBR disk holds its FAT files in the first few percent of the image and
// its NTFS partition in the last quarter, so a stop at half way falls between
// the two.
TEST(FullScanResume, AStoppedScanResumesWhereItStoppedAndEndsWithWhatOneScanFinds) {
  const std::string image = "mbr_full.img";
  const FullScanManifest manifest = test::ReadFullScanManifest(image);
  ASSERT_FALSE(manifest.items.empty());

  // One scan from start to end, for reference.
  Scratch whole;
  std::set<std::string> wholeFound, wholeTree;
  {
    Session s(whole.Path());
    ASSERT_NO_FATAL_FAILURE(Open(s, image));
    ASSERT_FALSE(s.engine.HasEarlierScan());
    ASSERT_EQ(s.engine.Scan(nullptr), kOk);
    wholeFound = Identities(SearchAll(s.engine));
    wholeTree = TreePaths(s.engine);
  }
  ASSERT_FALSE(wholeFound.empty());
  {
    // A finished scan is found again as an earlier scan.
    Session again(whole.Path());
    ASSERT_NO_FATAL_FAILURE(Open(again, image));
    EXPECT_TRUE(again.engine.HasEarlierScan());
  }

  Scratch stopped;
  fs::path firstFolder;
  uint64_t stoppedAt = 0;
  {
    Session s(stopped.Path());
    ASSERT_NO_FATAL_FAILURE(Open(s, image));
    ASSERT_FALSE(s.engine.HasEarlierScan());
    s.progress.stopAtPercent = 60;  // half the pass done: 50 * 100 / 100 + 10
    ASSERT_EQ(s.engine.Scan(nullptr), kCancelled);
    ASSERT_TRUE(s.progress.stopped);
    // Where the pass stood, as recorded for the resume (sectors done in the
    // whole pass). The bar may run ahead of it: while the content engine
    // sizes a long file it reports the sectors it reads on.
    ASSERT_EQ(s.history.Entries().size(), 1u);
    stoppedAt = s.history.Entries().front().resume.doneTotal;
    const uint64_t total = s.progress.PassCalls().back().total;
    EXPECT_GT(stoppedAt, 0u);
    EXPECT_LT(stoppedAt, total);
    EXPECT_EQ(s.progress.calls.back().scale, 90) << "a stopped scan shows no final 100 %";
    firstFolder = s.engine.LogFolder();
    // What the pass met before the stop is browsable: the FAT tree lies
    // before the stop, the NTFS partition after it.
    const auto tree = TreePaths(s.engine);
    const RecordList found = SearchAll(s.engine);
    for (const FullScanItem& item : manifest.items) {
      if (!item.firstSector) continue;
      if (item.foundBy == "fat" && *item.firstSector < stoppedAt) {
        EXPECT_EQ(tree.count(LowerAscii(item.TreePath())), 1u) << item.TreePath();
      }
      if (item.foundBy == "ntfs" && item.kind == "file" && *item.firstSector > stoppedAt) {
        EXPECT_TRUE(RecordsOf(found, item).empty()) << item.TreePath() << " found before its turn";
      }
    }
  }

  {
    // A new run of the program over the same history and image continues.
    Session s(stopped.Path());
    ASSERT_NO_FATAL_FAILURE(Open(s, image));
    ASSERT_TRUE(s.engine.HasEarlierScan());
    ASSERT_EQ(s.engine.Scan(nullptr), kOk);
    EXPECT_EQ(WithoutTrailingSeparator(s.engine.LogFolder()),
              WithoutTrailingSeparator(firstFolder));
    const std::vector<Progress::Call> pass = s.progress.PassCalls();
    ASSERT_FALSE(pass.empty());
    for (const Progress::Call& c : pass)
      EXPECT_GE(c.current, stoppedAt) << "the resumed pass went back before the stop";
    EXPECT_EQ(s.progress.calls.back().percent, 100);
    EXPECT_EQ(Identities(SearchAll(s.engine)), wholeFound);
    EXPECT_EQ(TreePaths(s.engine), wholeTree);
  }
}

TEST(FullScanResume, DecliningTheEarlierScanStartsAfreshInANewFolder) {
  const std::string image = "fat32_same.img";
  Scratch base;
  fs::path earlier;
  std::set<std::string> first;
  {
    Session s(base.Path());
    ASSERT_NO_FATAL_FAILURE(Open(s, image));
    ASSERT_EQ(s.engine.Scan(nullptr), kOk);
    earlier = s.engine.LogFolder();
    first = Identities(SearchAll(s.engine));
  }
  ASSERT_FALSE(first.empty());
  Session s(base.Path());
  ASSERT_NO_FATAL_FAILURE(Open(s, image));
  ASSERT_TRUE(s.engine.HasEarlierScan());
  s.engine.DeclineEarlierScan();
  EXPECT_FALSE(s.engine.HasEarlierScan());
  EXPECT_FALSE(fs::exists(earlier)) << "the declined scan's folder is forgotten";
  ASSERT_EQ(s.engine.Scan(nullptr), kOk);
  EXPECT_NE(s.engine.LogFolder(), earlier);
  // The pass covered the medium again from its start.
  const std::vector<Progress::Call> pass = s.progress.PassCalls();
  ASSERT_FALSE(pass.empty());
  EXPECT_LT(pass.front().current * 2, pass.front().total);
  EXPECT_EQ(Identities(SearchAll(s.engine)), first);
}

// Logs that are no longer what was recorded (here one cut to half) are
// not continued: the open says so, and the scan starts afresh in a new
// folder, forgets the damaged one and finds everything again.
TEST(FullScanResume, DamagedLogsAreNotContinuedAndTheScanStartsAfresh) {
  const std::string image = "fat32_same.img";
  Scratch base;
  fs::path earlier;
  std::set<std::string> first;
  {
    Session s(base.Path());
    ASSERT_NO_FATAL_FAILURE(Open(s, image));
    ASSERT_EQ(s.engine.Scan(nullptr), kOk);
    earlier = s.engine.LogFolder();
    first = Identities(SearchAll(s.engine));
  }
  ASSERT_FALSE(first.empty());
  // The largest record file loses its second half.
  fs::path largest;
  for (const auto& entry : fs::directory_iterator(earlier)) {
    const std::string name = entry.path().filename().string();
    if (name[0] == '.' || name.ends_with("_Relation") || name.ends_with("_DirInfo")) continue;
    if (largest.empty() || fs::file_size(entry.path()) > fs::file_size(largest))
      largest = entry.path();
  }
  ASSERT_FALSE(largest.empty());
  const uint64_t records = fs::file_size(largest) / 346;
  ASSERT_GE(records, 2u);
  fs::resize_file(largest, records / 2 * 346);

  {
    Session s(base.Path());
    ASSERT_NO_FATAL_FAILURE(Open(s, image));
    EXPECT_FALSE(s.engine.HasEarlierScan());
    ASSERT_TRUE(s.engine.EarlierScanDamaged());
    EXPECT_EQ(s.engine.EarlierLogs().state, ScanLogState::kLengthDiffers);
    EXPECT_EQ(s.engine.EarlierLogs().file, largest.filename().string());
    ASSERT_EQ(s.engine.Scan(nullptr), kOk);
    EXPECT_NE(WithoutTrailingSeparator(s.engine.LogFolder()), WithoutTrailingSeparator(earlier));
    EXPECT_FALSE(fs::exists(earlier)) << "the damaged scan is replaced, not kept";
    const std::vector<Progress::Call> pass = s.progress.PassCalls();
    ASSERT_FALSE(pass.empty());
    EXPECT_LT(pass.front().current * 2, pass.front().total) << "the pass began at the start";
    EXPECT_EQ(Identities(SearchAll(s.engine)), first);
    ASSERT_EQ(s.history.Entries().size(), 1u);
  }
  // The fresh scan's logs are whole: it is offered again.
  Session s(base.Path());
  ASSERT_NO_FATAL_FAILURE(Open(s, image));
  EXPECT_TRUE(s.engine.HasEarlierScan());
  EXPECT_FALSE(s.engine.EarlierScanDamaged());
}

// ---- old and deleted folders (tests/fixtures/make_fat_folder_fixtures.sh) ---

struct FolderItem {
  bool deleted = false;
  bool folder = false;
  std::string path;  // from the old root, "/"-separated
  uint64_t size = 0;
  std::string sha256;
  uint32_t cluster = 0;
};

std::vector<FolderItem> ReadFolderManifest(const std::string& image) {
  std::vector<FolderItem> items;
  std::ifstream in(test::FixturePath(image + ".manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string state, kind, size, cluster;
    FolderItem item;
    std::getline(fields, state, '\t');
    std::getline(fields, kind, '\t');
    std::getline(fields, item.path, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, item.sha256, '\t');
    std::getline(fields, cluster);
    item.deleted = state == "deleted";
    item.folder = kind == "dir";
    item.size = std::stoull(size);
    item.cluster = uint32_t(std::stoul(cluster));
    items.push_back(item);
  }
  return items;
}

std::string TopFolder(const std::string& path) { return path.substr(1, path.find('/', 1) - 1); }

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The volume made again by the same mkfs.fat: the old root is gone, so the
// top folders are LostFolder<cluster>, and everything in them keeps its
// name: the files of a folder's first sector, a sub-folder with nothing
// below it, a short-name-only picture.
TEST(FullScanOfOldFolders, ReformattedFoldersKeepEveryFileAndSubFolder) {
  const std::vector<FolderItem> items = ReadFolderManifest("fat_reformat_folders.img");
  ASSERT_EQ(items.size(), 16u) << "manifest of fat_reformat_folders.img";
  Scratch scratch;
  fs::create_directories(scratch.Path() / "ScanLog");
  Session s(scratch.Path() / "ScanLog");
  Open(s, "fat_reformat_folders.img");
  ASSERT_EQ(s.engine.Scan(nullptr), kOk);
  const auto tree = Tree(s.engine);
  std::map<std::string, uint32_t> topClusters;
  for (const FolderItem& item : items)
    if (item.folder && item.path.find('/', 1) == std::string::npos)
      topClusters[TopFolder(item.path)] = item.cluster;
  const RecordList found = SearchAll(s.engine);
  Scratch out;
  size_t n = 0;
  for (const FolderItem& item : items) {
    const std::string top = TopFolder(item.path);
    std::string shown = "/lostfolder" + std::to_string(topClusters.at(top)) +
                        LowerAscii(item.path.substr(top.size() + 1));
    if (item.folder) shown += "/";
    if (item.folder && item.path.find('/', 1) == std::string::npos) continue;
    ASSERT_EQ(tree.count(shown), 1u) << item.path << " as " << shown;
    const ScanRecord& r = tree.find(shown)->second;
    EXPECT_EQ(r.IsFolder(), item.folder) << item.path;
    if (item.folder) continue;
    EXPECT_EQ(r.FileSize(), item.size) << item.path;
    const fs::path target = out.Path() / (std::to_string(n++) + "_" + NameOf(item.path));
    ASSERT_EQ(s.engine.RecoverRecord(r, target, 0), kOk) << item.path;
    EXPECT_EQ(FileSha256(target), item.sha256) << item.path;
    // Found by its entry once; the content engine may see a picture too.
    EXPECT_EQ(std::count_if(found.begin(), found.end(),
                            [&](const ScanRecord& f) {
                              return f.Engine() != EngineCode::kContent &&
                                     std::string(f.Name()) == NameOf(item.path);
                            }),
              1)
        << item.path;
  }
}

// A folder deleted on a volume that was never reformatted is read by the
// quick step from its first cluster and by the formatted engine from every
// directory cluster the pass meets: it is one folder, listed once at its
// own path, whichever engine found each of its files, and recovered whole
// with it.
TEST(FullScanOfOldFolders, DeletedFolderIsListedOnceAtItsPath) {
  const std::vector<FolderItem> items = ReadFolderManifest("fat_deleted_folder.img");
  std::vector<FolderItem> mail;
  for (const FolderItem& item : items)
    if (item.deleted && !item.folder) mail.push_back(item);
  ASSERT_EQ(mail.size(), 250u) << "manifest of fat_deleted_folder.img";
  Scratch scratch;
  fs::create_directories(scratch.Path() / "ScanLog");
  Session s(scratch.Path() / "ScanLog");
  Open(s, "fat_deleted_folder.img");
  ASSERT_EQ(s.engine.Scan(nullptr), kOk);

  const auto tree = Tree(s.engine);
  std::map<std::string, size_t> byName;  // every listing of a name, wherever it is
  for (const auto& [path, r] : tree)
    if (!r.IsFolder()) ++byName[NameOf(path)];
  size_t atItsPath = 0;
  for (const FolderItem& item : mail) {
    const std::string name = LowerAscii(NameOf(item.path));
    EXPECT_LE(byName[name], 1u) << item.path << " is listed more than once";
    atItsPath += tree.count("/old mail/" + name);
  }
  // The quick step reads the folder's first cluster (four files and the
  // long name of the fifth); the formatted engine follows that long name
  // into the cluster far off where the folder went on.
  EXPECT_EQ(atItsPath, mail.size());
  for (const auto& [path, r] : tree)
    EXPECT_EQ(path.find("/lostfolder"), std::string::npos) << path;
  ASSERT_EQ(tree.count("/old mail/"), 1u);
  const ScanRecord folder = tree.find("/old mail/")->second;
  EXPECT_EQ(folder.Engine(), EngineCode::kQuickFat);
  uint32_t count = 0;
  ASSERT_EQ(s.engine.CountFiles(&folder, 1, count), kOk);
  EXPECT_EQ(count, atItsPath);

  // Search finds each file once, with the folder path it is listed at.
  const RecordList found = SearchAll(s.engine);
  std::map<std::string, size_t> searched;
  for (const ScanRecord& r : found) {
    if (r.Engine() == EngineCode::kContent) continue;
    ++searched[LowerAscii(std::string(r.Name()))];
    std::string path;
    ASSERT_EQ(s.engine.GetRecordPath(r, path, 4096), kOk);
    const std::string name = LowerAscii(std::string(r.Name()));
    if (tree.count("/old mail/" + name) != 0) {
      EXPECT_EQ(path, "Old mail\\") << name;
    }
  }
  for (const FolderItem& item : mail)
    EXPECT_EQ(searched[LowerAscii(NameOf(item.path))], 1u) << item.path;

  // The folder recovered whole: every file listed in it, byte for byte.
  Scratch out;
  ASSERT_EQ(s.engine.RecoverRecord(folder, out.Path() / "Old mail", 0), kOk);
  size_t recovered = 0;
  for (const FolderItem& item : mail) {
    const fs::path file = out.Path() / "Old mail" / NameOf(item.path);
    if (tree.count("/old mail/" + LowerAscii(NameOf(item.path))) == 0) continue;
    ASSERT_TRUE(fs::exists(file)) << file;
    EXPECT_EQ(FileSha256(file), item.sha256) << item.path;
    ++recovered;
  }
  EXPECT_EQ(recovered, atItsPath);
}

// The same on a whole-disk image: the formatted engine learns the layout
// of the partition from its boot sector, so it reads the folder's far
// clusters, and leaves out what the partition's quick step listed. Every
// file is found once and comes back whole.
TEST(FullScanOfOldFolders, DeletedFolderOnADiskPartitionIsFoundOnceAndWhole) {
  std::map<std::string, std::pair<uint64_t, std::string>> mail;  // name -> size, sha256
  {
    std::ifstream in(test::FixturePath("mbr_deleted_folder.img.manifest"));
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#' || line.rfind("deleted\t", 0) != 0) continue;
      std::istringstream fields(line);
      std::string state, kind, path, size, sha;
      std::getline(fields, state, '\t');
      std::getline(fields, kind, '\t');
      std::getline(fields, path, '\t');
      std::getline(fields, size, '\t');
      std::getline(fields, sha);
      mail[LowerAscii(NameOf(path))] = {std::stoull(size), sha};
    }
  }
  ASSERT_EQ(mail.size(), 60u) << "manifest of mbr_deleted_folder.img";
  Scratch scratch;
  fs::create_directories(scratch.Path() / "ScanLog");
  Session s(scratch.Path() / "ScanLog");
  Open(s, "mbr_deleted_folder.img");
  ASSERT_EQ(s.engine.Scan(nullptr), kOk);
  const auto tree = Tree(s.engine);
  std::map<std::string, size_t> listed;
  Scratch out;
  for (const auto& [path, r] : tree) {
    if (r.IsFolder()) continue;
    const std::string name = NameOf(path);
    if (mail.count(name) == 0) continue;
    ++listed[name];
    const fs::path target = out.Path() / (std::to_string(listed.size()) + ".txt");
    ASSERT_EQ(s.engine.RecoverRecord(r, target, 0), kOk) << path;
    EXPECT_EQ(FileSha256(target), mail.at(name).second) << path;
  }
  for (const auto& [name, facts] : mail) EXPECT_EQ(listed[name], 1u) << name;
}

}  // namespace
}  // namespace brinvale
