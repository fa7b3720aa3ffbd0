// The quick FAT engine over volumes made by mkfs.fat and mtools.
#include "engines/fat/fast_fat_recovery.h"

#include <gtest/gtest.h>

#include <set>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/fat/fast_fat_fixture.h"
#include "platform/text.h"
#include "results/target_paths.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using testing::FileSha256;
using testing::FoundTree;
using testing::ManifestEntry;
using testing::ReadManifest;
using testing::ScratchFolder;
using testing::ShownPath;

constexpr const char* kImages[] = {"fat12.img", "fat16.img", "fat32.img", "sample.img"};

std::unique_ptr<CFastFatRecovery> OpenEngine(const fs::path& image, const fs::path& logs) {
  auto engine = std::make_unique<CFastFatRecovery>();
  engine->SetScanLogFolder(logs);
  engine->SetPreviewFolder(logs / "preview");
  EXPECT_EQ(engine->OpenImage(image, u'X'), 0) << image;
  return engine;
}

// What a quick scan must find: every file that is deleted or lies in a
// deleted folder, and the folders on the way to them, as ShownPath gives.
std::map<std::string, const ManifestEntry*> ExpectedTree(
    const std::vector<ManifestEntry>& manifest) {
  std::map<std::string, const ManifestEntry*> byPath;
  for (const ManifestEntry& e : manifest) byPath[e.path] = &e;
  std::map<std::string, const ManifestEntry*> expected;
  for (const ManifestEntry& e : manifest) {
    if (e.state == "live" || e.IsFolder()) continue;
    expected[ShownPath(manifest, e.path)] = &e;
    for (size_t slash = e.path.find('/', 1); slash != std::string::npos;
         slash = e.path.find('/', slash + 1)) {
      const std::string folder = e.path.substr(0, slash + 1);
      expected[ShownPath(manifest, folder)] = byPath[folder];
    }
  }
  return expected;
}

// The folder part of a shown path, as GetRecordPath gives it ("a\b\").
std::string ParentText(const std::string& shownPath) {
  std::string trimmed = shownPath;
  if (trimmed.back() == '/') trimmed.pop_back();
  const size_t last = trimmed.rfind('/');
  std::string parent = last == 0 ? std::string() : trimmed.substr(1, last - 1);
  for (char& c : parent)
    if (c == '/') c = '\\';
  if (!parent.empty()) parent += '\\';
  return parent;
}

class FastFatImageTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    m_image = test::FixturePath(GetParam());
    ASSERT_TRUE(fs::exists(m_image)) << m_image;
    m_manifest = ReadManifest(GetParam());
    ASSERT_FALSE(m_manifest.empty());
    m_engine = OpenEngine(m_image, m_logs.Path());
    ASSERT_EQ(m_engine->Scan(nullptr), 0);
  }

  fs::path m_image;
  std::vector<ManifestEntry> m_manifest;
  ScratchFolder m_logs;
  std::unique_ptr<CFastFatRecovery> m_engine;
};

TEST_P(FastFatImageTest, FindsDeletedFilesAndTheirFoldersOnly) {
  const auto expected = ExpectedTree(m_manifest);
  const auto found = FoundTree(*m_engine);
  std::set<std::string> expectedPaths, foundPaths;
  for (const auto& [path, entry] : expected) expectedPaths.insert(path);
  for (const auto& [path, record] : found) foundPaths.insert(path);
  // Live files in live folders are never logged; everything deleted is.
  EXPECT_EQ(foundPaths, expectedPaths);
  size_t files = 0;
  for (const auto& [path, record] : found) {
    SCOPED_TRACE(path);
    auto it = expected.find(path);
    if (it == expected.end()) continue;
    const ManifestEntry& e = *it->second;
    EXPECT_EQ(record.IsFolder(), e.IsFolder());
    EXPECT_EQ(record.Engine(), EngineCode::kQuickFat);
    EXPECT_EQ(record.SourceKey(), u'X');
    EXPECT_EQ(record.Deleted(), e.state == "live" ? 0u : 1u);
    if (e.IsFolder()) continue;
    ++files;
    EXPECT_EQ(record.FileSize(), e.size);
    if (e.size != 0) {
      EXPECT_EQ(record.EntryKey(), e.cluster);
    }
    // Every fixture file holds what its extension says.
    EXPECT_EQ(record.ContentCheck(), 1u);
    std::string folder;
    ASSERT_EQ(m_engine->GetRecordPath(record, folder, 260), 0);
    EXPECT_EQ(folder, ParentText(path));
  }
  uint32_t count = 0;
  ASSERT_EQ(m_engine->CountFiles(nullptr, 0, count), 0);
  EXPECT_EQ(count, files);
  EXPECT_EQ(m_engine->GetRecordCount(), found.size());
  RecordList none;
  EXPECT_EQ(m_engine->ListChildren(nullptr, 1, none), kErrInvalidParameter);
  EXPECT_EQ(m_engine->CountFiles(nullptr, 1, count), kErrInvalidParameter);
}

TEST_P(FastFatImageTest, RecoversEveryDeletedFileByteForByte) {
  ScratchFolder out;
  const auto expected = ExpectedTree(m_manifest);
  int recovered = 0;
  for (const auto& [path, record] : FoundTree(*m_engine)) {
    if (record.IsFolder()) continue;
    SCOPED_TRACE(path);
    const fs::path target = out.Path() / ("file" + std::to_string(recovered++));
    ASSERT_EQ(m_engine->RecoverRecord(record, target, 0), 0);
    EXPECT_EQ(FileSha256(target), expected.at(path)->sha256);
  }
  EXPECT_GT(recovered, 3);
}

TEST_P(FastFatImageTest, RecoversADeletedFolderTree) {
  const auto found = FoundTree(*m_engine);
  const std::string folderName =
      GetParam() == std::string("sample.img") ? "Trip 2019" : "Old Project";
  const auto folder = found.find("/" + folderName + "/");
  ASSERT_NE(folder, found.end());
  ScratchFolder out;
  // As recovery calls it: <target folder>/others/<name>, with the target
  // folder's separator count. The folder's children are found all the same
  // (its depth is 1 while the path holds two more separators).
  const fs::path target = out.Path() / "others" / platform::PathFromUtf8(folderName);
  const int separators = CountSeparators(platform::PathToUtf8(out.Path()));
  ASSERT_EQ(m_engine->RecoverRecord(folder->second, target, separators), 0);
  int checked = 0;
  for (const ManifestEntry& e : m_manifest) {
    if (e.IsFolder() || e.path.rfind("/" + folderName + "/", 0) != 0) continue;
    // Inside the folder the shown names are the file names on disk.
    std::string shown = ShownPath(m_manifest, e.path).substr(folderName.size() + 2);
    SCOPED_TRACE(shown);
    const fs::path file = target / platform::PathFromUtf8(shown);
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(FileSha256(file), e.sha256);
    ++checked;
  }
  EXPECT_GE(checked, 3);
}

TEST_P(FastFatImageTest, ReloadsAnExistingLog) {
  const auto before = FoundTree(*m_engine);
  const std::string base = platform::PathToUtf8(m_engine->Store()->RecordPath().filename());
  EXPECT_EQ(base.rfind("Fast_0_", 0), 0u) << base;
  // A second engine, never opened, browses the old log at once.
  CFastFatRecovery reloaded;
  reloaded.SetScanLogFolder(m_logs.Path());
  const fs::path name = platform::PathFromUtf8(base);
  ASSERT_EQ(reloaded.Scan(&name), 0);
  const auto after = FoundTree(reloaded);
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [path, record] : before) {
    auto it = after.find(path);
    ASSERT_NE(it, after.end()) << path;
    EXPECT_TRUE(
        std::equal(record.Bytes().begin(), record.Bytes().end(), it->second.Bytes().begin()))
        << path;
  }
  EXPECT_EQ(reloaded.GetRecordCount(), m_engine->GetRecordCount());
}

TEST_P(FastFatImageTest, SearchFindsFilesByExtension) {
  RecordList txt;
  ASSERT_EQ(m_engine->Search("*.txt", txt), 0);
  std::set<std::string> names;
  for (const ScanRecord& r : txt) names.insert(std::string(r.Name()));
  std::set<std::string> expected;
  for (const auto& [path, entry] : ExpectedTree(m_manifest))
    if (!entry->IsFolder() && path.size() > 4 && path.substr(path.size() - 4) == ".txt")
      expected.insert(path.substr(path.rfind('/') + 1));
  EXPECT_EQ(names, expected);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FastFatImageTest, ::testing::ValuesIn(kImages),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

// ---- progress and cancel --------------------------------------------------

struct Reports {
  std::vector<std::pair<int, int>> calls;  // percent, seconds left
  size_t cancelAt = SIZE_MAX;              // the 0-based call that answers kCancelled
};

int Record(void* user, int percent, int scale, int secondsLeft, uint64_t current, uint64_t total,
           uint64_t files, int reserved) {
  auto* reports = static_cast<Reports*>(user);
  EXPECT_EQ(current + total + files + uint64_t(reserved), 0u);
  (void)scale;
  reports->calls.emplace_back(percent, secondsLeft);
  return reports->calls.size() - 1 == reports->cancelAt ? kCancelled : 0;
}

TEST(FastFatProgress, ScaleNineCountsFromTwentyOne) {
  ScratchFolder logs;
  auto engine = OpenEngine(test::FixturePath("fat32.img"), logs.Path());
  Reports reports;
  engine->SetProgressCallback(Record, nullptr, &reports, 9);
  engine->SetReportInterval(0);  // a report after every folder
  ASSERT_EQ(engine->Scan(nullptr), 0);
  ASSERT_GE(reports.calls.size(), 5u);
  EXPECT_EQ(reports.calls.front(), std::make_pair(1, -1));
  // The fixture has more folders than one: periodic reports 21, 22, ...
  const size_t periodic = reports.calls.size() - 3;
  for (size_t i = 0; i < periodic; ++i)
    EXPECT_EQ(reports.calls[1 + i], std::make_pair(int(21 + i), -1)) << i;
  EXPECT_EQ(ScaledPercent(21, 9), 1);
  EXPECT_EQ(reports.calls[reports.calls.size() - 2], std::make_pair(80, 10));
  EXPECT_EQ(reports.calls.back(), std::make_pair(100, 0));
}

TEST(FastFatProgress, ScaleHundredCountsUpAndDown) {
  ScratchFolder logs;
  auto engine = OpenEngine(test::FixturePath("fat16.img"), logs.Path());
  Reports reports;
  engine->SetProgressCallback(Record, nullptr, &reports, 100);
  engine->SetReportInterval(0);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  ASSERT_GE(reports.calls.size(), 5u);
  EXPECT_EQ(reports.calls[1], std::make_pair(2, 99));
  EXPECT_EQ(reports.calls[2], std::make_pair(3, 98));
  // With the default interval a scan this short makes no periodic report.
  ScratchFolder logs2;
  auto quiet = OpenEngine(test::FixturePath("fat16.img"), logs2.Path());
  Reports few;
  quiet->SetProgressCallback(Record, nullptr, &few, 100);
  ASSERT_EQ(quiet->Scan(nullptr), 0);
  EXPECT_EQ(few.calls, (std::vector<std::pair<int, int>>{{1, -1}, {80, 10}, {100, 0}}));
}

TEST(FastFatProgress, CancelMidWalkLeavesAConsistentLog) {
  ScratchFolder logs;
  auto full = OpenEngine(test::FixturePath("fat32.img"), logs.Path() / "full");
  ASSERT_EQ(full->Scan(nullptr), 0);
  const auto whole = FoundTree(*full);

  auto engine = OpenEngine(test::FixturePath("fat32.img"), logs.Path() / "cut");
  Reports reports;
  reports.cancelAt = 4;  // the start, then three folders walked
  engine->SetProgressCallback(Record, nullptr, &reports, 100);
  engine->SetReportInterval(0);
  ASSERT_EQ(engine->Scan(nullptr), kCancelled);
  EXPECT_EQ(reports.calls.size(), 5u);
  // The partial log holds fewer records, and every one of them is reached
  // from the root: files keep the folders that lead to them.
  const std::string base = platform::PathToUtf8(engine->Store()->RecordPath().filename());
  CFastFatRecovery reloaded;
  reloaded.SetScanLogFolder(logs.Path() / "cut");
  const fs::path name = platform::PathFromUtf8(base);
  ASSERT_EQ(reloaded.Scan(&name), 0);
  const auto partial = FoundTree(reloaded);
  EXPECT_EQ(partial.size(), reloaded.GetRecordCount());
  EXPECT_GT(partial.size(), 0u);
  EXPECT_LT(partial.size(), whole.size());
  for (const auto& [path, record] : partial) EXPECT_TRUE(whole.count(path)) << path;
}

TEST(FastFatProgress, CancelAtTheFirstReportReadsNothing) {
  ScratchFolder logs;
  auto engine = OpenEngine(test::FixturePath("fat32.img"), logs.Path());
  Reports reports;
  reports.cancelAt = 0;
  engine->SetProgressCallback(Record, nullptr, &reports, 100);
  EXPECT_EQ(engine->Scan(nullptr), kCancelled);
  EXPECT_EQ(reports.calls.size(), 1u);
  EXPECT_EQ(engine->GetRecordCount(), 0u);
}

// ---- the content check, on a damaged copy ---------------------------------

TEST(FastFatContentCheck, APictureThatIsNotOneIsHiddenButCounted) {
  ScratchFolder work;
  const fs::path image = work.Path() / "sample.img";
  std::vector<uint8_t> bytes = test::ReadFileBytes(test::FixturePath("sample.img"));
  ASSERT_FALSE(bytes.empty());
  // Overwrite the first sector of the deleted "beach at dusk.jpg".
  const uint64_t bps = LoadLe16(bytes, 11), spc = bytes[13];
  const uint64_t dataStart = (LoadLe16(bytes, 14) + bytes[16] * LoadLe32(bytes, 36)) * bps;
  uint32_t cluster = 0;
  for (const ManifestEntry& e : ReadManifest("sample.img"))
    if (e.path == "/Photos/beach at dusk.jpg") cluster = e.cluster;
  ASSERT_NE(cluster, 0u);
  std::fill_n(bytes.begin() + int64_t(dataStart + (cluster - 2) * spc * bps), bps, uint8_t('x'));
  test::WriteFileBytes(image, bytes);

  auto engine = OpenEngine(image, work.Path() / "logs");
  ASSERT_EQ(engine->Scan(nullptr), 0);
  const auto tree = FoundTree(*engine);
  EXPECT_EQ(tree.count("/Photos/beach at dusk.jpg"), 0u);  // hidden from the listing
  const auto photos = tree.find("/Photos/");
  ASSERT_NE(photos, tree.end());
  uint32_t count = 0;
  ASSERT_EQ(engine->CountFiles(&photos->second, 1, count), 0);
  EXPECT_EQ(count, 1u);  // but counted
  RecordList jpgs;
  ASSERT_EQ(engine->Search("*.jpg", jpgs), 0);
  for (const ScanRecord& r : jpgs) EXPECT_NE(r.Name(), "beach at dusk.jpg");
  EXPECT_EQ(jpgs.size(), 2u);  // the two in the deleted trip folder
}

// ---- FAT12 chains, long names ---------------------------------------------

TEST(FastFatFat12, FollowsTwelveBitChainsOfALiveFile) {
  // The live budget.bin spans six 512-byte clusters whose links are 12-bit
  // FAT entries; a record built by hand is copied out through them.
  ScratchFolder work;
  auto engine = OpenEngine(test::FixturePath("fat12.img"), work.Path());
  ASSERT_TRUE(engine->Geometry().has_value());
  EXPECT_EQ(engine->Geometry()->kind, FatKind::kFat12);
  const FatGeometry g = *engine->Geometry();
  // The root holds 224 entries: 14 sectors, not 32.
  EXPECT_EQ(g.rootDirSectors, 14u);
  for (const ManifestEntry& e : ReadManifest("fat12.img")) {
    if (e.state != "live" || e.IsFolder() || e.size <= 2 * g.BytesPerCluster()) continue;
    SCOPED_TRACE(e.path);
    ScanRecord record;
    record.SetEntryKey(e.cluster);
    record.SetClusterBytes(g.BytesPerCluster());
    record.SetFileSize(e.size);
    record.SetFirstDataSector(g.firstDataSector);
    record.SetName("copy.bin");
    const fs::path target = work.Path() / "copy.bin";
    ASSERT_EQ(engine->RecoverRecord(record, target, 0), 0);
    EXPECT_EQ(FileSha256(target), e.sha256);
  }
}

TEST(FastFatLongNames, ADeletedNameOfTwentyPartsIsReadWhole) {
  // Mark the 250-character file in the FAT12 root deleted: its 20 long-name
  // parts and its short entry get 0xE5.
  ScratchFolder work;
  std::vector<uint8_t> bytes = test::ReadFileBytes(test::FixturePath("fat12.img"));
  ASSERT_FALSE(bytes.empty());
  const size_t bps = LoadLe16(bytes, 11);
  const size_t root = (LoadLe16(bytes, 14) + bytes[16] * LoadLe16(bytes, 22)) * bps;
  size_t parts = 0, at = root;
  while (bytes[at + 11] != 0x0F) at += 32;  // past the volume label
  for (; bytes[at + 11] == 0x0F; at += 32, ++parts) bytes[at] = 0xE5;
  bytes[at] = 0xE5;  // the short entry
  ASSERT_EQ(parts, 20u);
  const fs::path image = work.Path() / "fat12.img";
  test::WriteFileBytes(image, bytes);

  const ManifestEntry* longFile = nullptr;
  const auto manifest = ReadManifest("fat12.img");
  for (const ManifestEntry& e : manifest)
    if (e.path.size() > 200) longFile = &e;
  ASSERT_NE(longFile, nullptr);
  auto engine = OpenEngine(image, work.Path() / "logs");
  ASSERT_EQ(engine->Scan(nullptr), 0);
  const auto tree = FoundTree(*engine);
  const auto it = tree.find(longFile->path);
  ASSERT_NE(it, tree.end());
  EXPECT_EQ(it->second.Name().size(), 250u);
  const fs::path target = work.Path() / "long.txt";
  ASSERT_EQ(engine->RecoverRecord(it->second, target, 0), 0);
  EXPECT_EQ(FileSha256(target), longFile->sha256);
  // The rest of the root is still walked.
  EXPECT_TRUE(tree.count("/!eleted.txt"));
}

// ---- free space -----------------------------------------------------------

TEST(FastFatFreeSpace, FreeRangesHoldDeletedDataAndNoLiveData) {
  ScratchFolder work;
  auto engine = OpenEngine(test::FixturePath("fat12.img"), work.Path());
  ASSERT_EQ(engine->BuildAllocationMap(), 0);
  const FatGeometry g = *engine->Geometry();
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  uint64_t start = 0, length = 0;
  for (int guard = 0; guard < 10000; ++guard) {
    ASSERT_EQ(engine->NextFreeRange(start, length), 1);
    if (length == 0) break;
    EXPECT_GE(start, g.firstDataSector);
    if (!ranges.empty()) {
      EXPECT_GT(start, ranges.back().first);
    }
    ranges.emplace_back(start, length);
    start += length;
  }
  EXPECT_EQ(start, g.totalSectors);
  ASSERT_FALSE(ranges.empty());
  auto isFree = [&](uint32_t cluster) {
    const uint64_t sector = g.ClusterSector(cluster);
    for (auto [s, n] : ranges)
      if (sector >= s && sector < s + n) return true;
    return false;
  };
  for (const ManifestEntry& e : ReadManifest("fat12.img")) {
    if (e.cluster == 0) continue;
    SCOPED_TRACE(e.path);
    EXPECT_EQ(isFree(e.cluster), e.state != "live");
  }
  // Past the end the start is put at the end.
  start = g.totalSectors + 5;
  ASSERT_EQ(engine->NextFreeRange(start, length), 1);
  EXPECT_EQ(start, g.totalSectors);
  EXPECT_EQ(length, 0u);
}

// ---- extraction -----------------------------------------------------------

TEST(FastFatExtract, CopiesIntoABufferAndToPreviewFiles) {
  ScratchFolder work;
  auto engine = OpenEngine(test::FixturePath("sample.img"), work.Path());
  ASSERT_EQ(engine->Scan(nullptr), 0);
  const auto tree = FoundTree(*engine);
  const auto manifest = ReadManifest("sample.img");
  auto entryOf = [&](const std::string& path) {
    for (const ManifestEntry& e : manifest)
      if (e.path == path) return e;
    return ManifestEntry{};
  };
  const std::string manualPath = ShownPath(manifest, "/Documents/manual.pdf");
  ASSERT_EQ(manualPath, "/Documents/!anual.pdf");

  // A text file goes into the buffer, cut at its size.
  const ScanRecord letter = tree.at("/Documents/old letter.txt");
  std::vector<uint8_t> buffer(1 << 16);
  uint64_t size = buffer.size();
  fs::path path;
  ASSERT_EQ(engine->ExtractRecord(letter, path, buffer.data(), size, nullptr, nullptr), 0);
  ASSERT_EQ(size, letter.FileSize());
  buffer.resize(size);
  EXPECT_EQ(test::Sha256Hex(buffer), entryOf("/Documents/old letter.txt").sha256);
  // A smaller buffer takes the first bytes only.
  std::vector<uint8_t> small(100);
  size = small.size();
  ASSERT_EQ(engine->ExtractRecord(letter, path, small.data(), size, nullptr, nullptr), 0);
  EXPECT_EQ(size, 100u);
  EXPECT_TRUE(std::equal(small.begin(), small.end(), buffer.begin()));

  // A document goes to a file of its own name, a picture to tmp.jpg.
  struct Percents {
    std::vector<int> seen;
  } percents;
  auto note = [](void* user, int percent, int error) {
    static_cast<Percents*>(user)->seen.push_back(percent);
    return error;
  };
  size = 0;
  ASSERT_EQ(engine->ExtractRecord(tree.at(manualPath), path, nullptr, size, note, &percents), 0);
  EXPECT_EQ(path, work.Path() / "preview" / "!anual.pdf");
  EXPECT_EQ(FileSha256(path), entryOf("/Documents/manual.pdf").sha256);
  EXPECT_EQ(size, 0u);
  ASSERT_FALSE(percents.seen.empty());
  EXPECT_EQ(percents.seen.back(), 100);
  ASSERT_EQ(engine->ExtractRecord(tree.at("/Photos/beach at dusk.jpg"), path, nullptr, size,
                                  nullptr, nullptr),
            0);
  EXPECT_EQ(path.filename(), "tmp.jpg");
  EXPECT_EQ(FileSha256(path), entryOf("/Photos/beach at dusk.jpg").sha256);

  // A found name never leads out of the preview folder.
  ScanRecord hostile = tree.at(manualPath);
  hostile.SetName("../../escaped.pdf");
  ASSERT_EQ(engine->ExtractRecord(hostile, path, nullptr, size, nullptr, nullptr), 0);
  EXPECT_EQ(path.parent_path(), work.Path() / "preview");
  EXPECT_FALSE(fs::exists(work.Path().parent_path() / "escaped.pdf"));

  // A stop from the callback deletes the partial file.
  auto stop = [](void*, int, int) { return kCancelled; };
  ASSERT_EQ(engine->ExtractRecord(tree.at(manualPath), path, nullptr, size, stop, nullptr),
            kCancelled);
  EXPECT_FALSE(fs::exists(path));
}

TEST(FastFatRecover, CopyProgressEndsEachFileAtHundred) {
  ScratchFolder work;
  auto engine = OpenEngine(test::FixturePath("fat16.img"), work.Path());
  ASSERT_EQ(engine->Scan(nullptr), 0);
  const auto tree = FoundTree(*engine);
  struct Copies {
    std::vector<std::tuple<int, int, int, fs::path>> calls;
    bool cancel = false;
  } copies;
  auto note = [](void* user, int percent, int scale, int error, const fs::path& target) {
    auto* c = static_cast<Copies*>(user);
    c->calls.emplace_back(percent, scale, error, target);
    return c->cancel ? kCancelled : 0;
  };
  engine->SetProgressCallback(nullptr, note, &copies, 100);
  // A file that exists already is replaced whole, not overwritten in part.
  const fs::path target = work.Path() / "plan.txt";
  test::WriteFileBytes(target, std::vector<uint8_t>(100000, 'z'));
  const ScanRecord& plan = tree.at("/Old Project/!lan.txt");
  ASSERT_EQ(engine->RecoverRecord(plan, target, 0), 0);
  EXPECT_EQ(fs::file_size(target), plan.FileSize());
  ASSERT_FALSE(copies.calls.empty());
  EXPECT_EQ(std::get<0>(copies.calls.back()), 100);
  EXPECT_EQ(std::get<1>(copies.calls.back()), 100);
  EXPECT_EQ(std::get<3>(copies.calls.back()), target);
  // An empty file is reported once, at 100.
  copies.calls.clear();
  ASSERT_EQ(engine->RecoverRecord(tree.at("/Old Project/!mpty.txt"), work.Path() / "e", 0), 0);
  ASSERT_EQ(copies.calls.size(), 1u);
  EXPECT_EQ(std::get<0>(copies.calls[0]), 100);
  // A cancel stops a folder recovery.
  copies.cancel = true;
  EXPECT_EQ(engine->RecoverRecord(tree.at("/Old Project/"), work.Path() / "folder", 0), kCancelled);
}

}  // namespace
}  // namespace brinvale
