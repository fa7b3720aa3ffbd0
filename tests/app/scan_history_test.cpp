#include "app/scan_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "platform/text.h"
#include "results/scan_log_check.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

class ScanHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root =
        fs::temp_directory_path() /
        ("brinvale_history_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    base = root / "ScanLog";
    fs::create_directories(base);
  }
  void TearDown() override { fs::remove_all(root); }

  void WriteConfig(const std::vector<uint8_t>& bytes, const char* name = "config") {
    std::ofstream(base / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  std::vector<uint8_t> ReadConfig() {
    std::ifstream in(base / "config", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  fs::path root, base;
};

// Builds one 1120-byte entry by hand, one line per field.
std::vector<uint8_t> Entry(uint32_t disk, uint64_t start, uint64_t count, uint64_t freeSpace,
                           std::u16string_view folder) {
  std::vector<uint8_t> e(1120, 0);
  StoreLe32(e, 0, disk);        // disk number
  StoreLe64(e, 8, start);       // start sector
  StoreLe64(e, 16, count);      // sector count
  StoreLe32(e, 24, 0xA1);       // resume point: range start, low half
  StoreLe32(e, 60, 0xA10);      // resume point: files found, high half
  StoreLe64(e, 64, freeSpace);  // free-space stamp
  StoreLe64(e, 72, 0);          // image write time (none for a partition)
  for (size_t i = 0; i < folder.size(); ++i) StoreLe16(e, 600 + 2 * i, folder[i]);  // folder
  return e;
}

std::vector<uint8_t> File(uint64_t counter, std::initializer_list<std::vector<uint8_t>> entries) {
  std::vector<uint8_t> f(8);
  StoreLe64(f, 0, counter);
  for (const auto& e : entries) f.insert(f.end(), e.begin(), e.end());
  return f;
}

TEST_F(ScanHistoryTest, LoadsWholeEntriesAndIgnoresATrailingPart) {
  WriteConfig(File(9, {Entry(1, 2048, 100, 7, u"/x/1/"), Entry(2, 63, 50, 8, u"/x/2/")}));
  {
    ScanHistory h(base);
    EXPECT_EQ(h.LoadResult(), kOk);
    EXPECT_EQ(h.FolderCounter(), 9u);
    ASSERT_EQ(h.Entries().size(), 2u);
    EXPECT_EQ(h.Entries()[0].startSector, 2048u);
    EXPECT_EQ(h.Entries()[0].resume.rangeStart, 0xA1u);
    EXPECT_EQ(h.Entries()[0].resume.filesFound, uint64_t(0xA10) << 32);
    EXPECT_EQ(h.Entries()[1].diskNumber, 2u);
    EXPECT_EQ(h.Entries()[1].folder, u"/x/2/");
  }
  auto bytes = File(4, {Entry(1, 2048, 100, 7, u"/x/1/")});
  bytes.resize(bytes.size() + 100, 0xEE);  // a partial second entry
  WriteConfig(bytes);
  ScanHistory h(base);
  EXPECT_EQ(h.FolderCounter(), 4u);
  EXPECT_EQ(h.Entries().size(), 1u);
}

TEST_F(ScanHistoryTest, MissingEmptyOrShortFilesGiveAnEmptyHistory) {
  {
    ScanHistory h(base);
    EXPECT_EQ(h.LoadResult(), kErrInvalidParameter);
    EXPECT_EQ(h.FolderCounter(), 0u);
  }
  WriteConfig({});
  EXPECT_EQ(ScanHistory(base).LoadResult(), kErrInvalidParameter);
  WriteConfig({1, 2, 3});  // not even a whole counter
  ScanHistory h(base);
  EXPECT_EQ(h.FolderCounter(), 0u);
  EXPECT_TRUE(h.Entries().empty());
}

TEST_F(ScanHistoryTest, OversizedFileLoadsOnlyAsManyEntriesAsAHistoryCanHold) {
  std::vector<uint8_t> bytes(8 + (hist::kMaxEntries + 5) * 1120, 0x41);
  StoreLe64(bytes, 0, 77);  // counter
  WriteConfig(bytes);
  ScanHistory h(base);
  EXPECT_EQ(h.LoadResult(), kOk);
  EXPECT_EQ(h.FolderCounter(), 77u);
  EXPECT_EQ(h.Entries().size(), hist::kMaxEntries);
  EXPECT_EQ(h.Entries()[0].folder, std::u16string(260, u'\x4141'));
}

TEST_F(ScanHistoryTest, PathWithoutNulEndsAtItsField) {
  std::vector<uint8_t> e(1120, 0);
  for (size_t i = 0; i < 260; ++i) StoreLe16(e, 600 + 2 * i, u'a');  // folder, no NUL
  StoreLe16(e, 80, u'b');                                            // image path "b"
  WriteConfig(File(1, {e}));
  ScanHistory h(base);
  ASSERT_EQ(h.Entries().size(), 1u);
  EXPECT_EQ(h.Entries()[0].folder.size(), 260u);
  EXPECT_EQ(h.Entries()[0].imagePath, u"b");
}

TEST_F(ScanHistoryTest, CompleteTempFileReplacesAMissingHistory) {
  WriteConfig(File(3, {Entry(1, 2, 3, 4, u"/f/")}), "config.tmp");
  ScanHistory h(base);
  EXPECT_EQ(h.FolderCounter(), 3u);
  EXPECT_EQ(h.Entries().size(), 1u);
  EXPECT_TRUE(fs::exists(base / "config"));
  EXPECT_FALSE(fs::exists(base / "config.tmp"));
}

TEST_F(ScanHistoryTest, LeftoverTempFileNextToAHistoryIsIgnored) {
  WriteConfig(File(3, {}));
  WriteConfig({9, 9, 9}, "config.tmp");  // a save that stopped half-way
  ScanHistory h(base);
  EXPECT_EQ(h.FolderCounter(), 3u);
  EXPECT_EQ(h.SaveHistory(), kOk);
  EXPECT_FALSE(fs::exists(base / "config.tmp"));
  EXPECT_EQ(ReadConfig().size(), 8u);
}

TEST_F(ScanHistoryTest, RecordScanWritesTheEntryLayout) {
  ScanHistory h(base);
  // Five values, each as two 32-bit halves: 100, 101, ... 109 in turn.
  ResumePoint v;
  uint64_t ResumePoint::*fields[] = {&ResumePoint::rangeStart, &ResumePoint::rangeLength,
                                     &ResumePoint::doneInRange, &ResumePoint::doneTotal,
                                     &ResumePoint::filesFound};
  for (uint32_t i = 0; i < 5; ++i) v.*fields[i] = uint64_t(101 + 2 * i) << 32 | (100 + 2 * i);
  h.BeginNewFolder();
  fs::path folder = h.CurrentFolder();
  ASSERT_EQ(h.RecordScan(3, 2048, 99999, 0x1122334455ULL, v, folder, {}), kOk);
  auto bytes = ReadConfig();
  ASSERT_EQ(bytes.size(), 8u + 1120u);
  EXPECT_EQ(LoadLe64(bytes, 0), 1u);                  // counter after one new folder
  EXPECT_EQ(LoadLe32(bytes, 8 + 0), 3u);              // disk number
  EXPECT_EQ(LoadLe32(bytes, 8 + 4), 0u);              // zero
  EXPECT_EQ(LoadLe64(bytes, 8 + 8), 2048u);           // start sector
  EXPECT_EQ(LoadLe64(bytes, 8 + 16), 99999u);         // sector count
  EXPECT_EQ(LoadLe32(bytes, 8 + 24 + 4 * 9), 109u);   // tenth value
  EXPECT_EQ(LoadLe64(bytes, 8 + 64), 0x1122334455u);  // partition stamp
  EXPECT_EQ(LoadLe64(bytes, 8 + 72), 0u);             // no image time
  EXPECT_EQ(LoadLe16(bytes, 8 + 80), 0u);             // no image path
  std::string f = folder.string();
  for (size_t i = 0; i < f.size(); ++i) EXPECT_EQ(LoadLe16(bytes, 8 + 600 + 2 * i), f[i]);
  EXPECT_EQ(LoadLe16(bytes, 8 + 600 + 2 * f.size()), 0u);  // NUL

  // Recording the same partition again overwrites the values only.
  v.rangeStart = 7;
  ASSERT_EQ(h.RecordScan(3, 2048, 99999, 0x1122334455ULL, v, folder, {}), kOk);
  bytes = ReadConfig();
  ASSERT_EQ(bytes.size(), 8u + 1120u);
  EXPECT_EQ(LoadLe32(bytes, 8 + 24), 7u);
}

TEST_F(ScanHistoryTest, UnchangedPartitionReusesItsFolderAndAChangedOneLosesIt) {
  fs::path old;
  {
    ScanHistory h(base);
    h.BeginNewFolder();
    old = h.CurrentFolder();
    fs::create_directories(old);
    std::ofstream(old / "Pro_Fat_2048_202637 5") << "x";
    ASSERT_EQ(h.RecordScan(1, 2048, 4096, 5000, {}, old, {}), kOk);
  }
  ScanHistory h(base);
  ScanHistoryEntry e;
  ASSERT_TRUE(h.FindPartitionEntry(1, 2048, 4096, 5000, e));
  EXPECT_TRUE(h.HasEarlierScan());
  EXPECT_EQ(h.CurrentFolder(), old);
  EXPECT_FALSE(h.FindPartitionEntry(1, 2048, 4097, 5000, e)) << "another partition";
  EXPECT_FALSE(h.HasEarlierScan());

  // A file was written to the volume: its stamp moved.
  EXPECT_FALSE(h.FindPartitionEntry(1, 2048, 4096, 4096, e));
  EXPECT_FALSE(fs::exists(old));
  EXPECT_TRUE(h.Entries().empty());
  EXPECT_EQ(h.CurrentFolder(), base / "1" / "");
}

TEST_F(ScanHistoryTest, ImageIsFoundByItsCanonicalPathAndWriteTime) {
  fs::create_directories(root / "img" / "sub");
  const fs::path image = root / "img" / "Disk.IMG";
  std::ofstream(image) << "x";
  ScanHistory h(base);
  h.BeginNewFolder();
  fs::path folder = h.CurrentFolder();
  ASSERT_EQ(h.RecordScan(0, 0, 0, 777, {}, folder, root / "img" / "sub" / ".." / "Disk.IMG"), kOk);
  EXPECT_EQ(h.Entries()[0].imageWriteTime, 777u);
  EXPECT_EQ(h.Entries()[0].partitionStamp, 0u);
  EXPECT_EQ(h.Entries()[0].imagePath, platform::Utf8ToUtf16(platform::PathToUtf8(image)))
      << "kept absolute and canonical";
  ScanHistoryEntry e;
  EXPECT_TRUE(h.FindImageEntry(image, 777, e));
  EXPECT_TRUE(h.FindImageEntry(root / "img" / "." / "Disk.IMG", 777, e));
  // The same file named relative to the working folder.
  std::error_code ec;
  const fs::path relative = fs::relative(image, fs::current_path(), ec);
  if (!ec && !relative.empty() && relative.is_relative()) {
    EXPECT_TRUE(h.FindImageEntry(relative, 777, e)) << relative;
  }
  // A link to the image names the same file. (Wine cannot make links.)
  fs::create_symlink(image, root / "img" / "link.img", ec);
  if (!ec) {
    EXPECT_TRUE(h.FindImageEntry(root / "img" / "link.img", 777, e));
  }
  EXPECT_FALSE(h.FindImageEntry(root / "img" / "Other.IMG", 777, e));
  EXPECT_EQ(h.Entries().size(), 1u);
  // Written since: the entry and its folder are forgotten.
  EXPECT_FALSE(h.FindImageEntry(image, 778, e));
  EXPECT_TRUE(h.Entries().empty());
}

// One partition of an image of a whole disk is its own medium: the image
// path with the partition's start and length.
TEST_F(ScanHistoryTest, PartitionsOfAnImageAreEntriesOfTheirOwnBesideTheWholeImage) {
  fs::create_directories(root / "img");
  const fs::path image = root / "img" / "disk.img";
  std::ofstream(image) << "x";
  ScanHistory h(base);
  std::vector<fs::path> folders;
  for (int i = 0; i < 3; ++i) {
    h.BeginNewFolder();
    folders.push_back(h.CurrentFolder());
  }
  ASSERT_EQ(h.RecordScan(128, 0, 98304, 777, {}, folders[0], image), kOk);
  ASSERT_EQ(h.RecordScan(128, 2048, 32768, 777, {}, folders[1], image), kOk);
  ASSERT_EQ(h.RecordScan(128, 36864, 20480, 777, {}, folders[2], image), kOk);
  ASSERT_EQ(h.Entries().size(), 3u);

  ScanHistoryEntry e;
  ASSERT_TRUE(h.FindImageEntry(image, 777, e));
  EXPECT_EQ(e.folder, platform::Utf8ToUtf16(platform::PathToUtf8(folders[0])));
  ASSERT_TRUE(h.FindImagePartitionEntry(image, 36864, 20480, 777, e));
  EXPECT_EQ(e.folder, platform::Utf8ToUtf16(platform::PathToUtf8(folders[2])));
  ASSERT_TRUE(h.FindImagePartitionEntry(root / "img" / "." / "disk.img", 2048, 32768, 777, e));
  EXPECT_EQ(e.folder, platform::Utf8ToUtf16(platform::PathToUtf8(folders[1])));
  // The same start with another length is another partition.
  EXPECT_FALSE(h.FindImagePartitionEntry(image, 2048, 30000, 777, e));
  EXPECT_EQ(h.Entries().size(), 3u);

  // A rescan of one partition into a new folder replaces only its entry.
  h.BeginNewFolder();
  const fs::path again = h.CurrentFolder();
  ASSERT_EQ(h.RecordScan(128, 2048, 32768, 777, {}, again, image), kOk);
  ASSERT_EQ(h.Entries().size(), 3u);
  EXPECT_FALSE(fs::exists(folders[1]));
  EXPECT_TRUE(fs::exists(folders[0]));
  EXPECT_TRUE(fs::exists(folders[2]));

  // A partition written since loses its entry; the others keep theirs.
  EXPECT_FALSE(h.FindImagePartitionEntry(image, 36864, 20480, 778, e));
  EXPECT_EQ(h.Entries().size(), 2u);
  EXPECT_TRUE(h.FindImageEntry(image, 777, e));
}

// Names compare by the platform's rule: two files on POSIX, one on Windows.
TEST_F(ScanHistoryTest, ImagePathsDifferingInCaseFollowThePlatformsRule) {
  ScanHistory h(base);
  h.BeginNewFolder();
  ASSERT_EQ(h.RecordScan(0, 0, 0, 777, {}, h.CurrentFolder(), root / "x" / "A.img"), kOk);
  ScanHistoryEntry e;
#if defined(_WIN32)
  EXPECT_TRUE(h.FindImageEntry(root / "x" / "a.img", 777, e));
#else
  EXPECT_FALSE(h.FindImageEntry(root / "x" / "a.img", 777, e));
  EXPECT_EQ(h.Entries().size(), 1u) << "another image is no reason to forget this one";
  EXPECT_TRUE(h.FindImageEntry(root / "x" / "A.img", 777, e));
#endif
}

TEST_F(ScanHistoryTest, RecordScanRefusesAPathThatDoesNotFit) {
  ScanHistory h(base);
  EXPECT_EQ(h.RecordScan(0, 1, 2, 3, {}, base / std::string(300, 'a'), {}), 206);
  EXPECT_TRUE(h.Entries().empty());
  EXPECT_FALSE(fs::exists(base / "config"));
}

TEST_F(ScanHistoryTest, BeginNewFolderTwiceAdvancesTwoAndEmptiesBoth) {
  WriteConfig(File(5, {}));
  fs::create_directories(base / "6" / "sub");
  fs::create_directories(base / "7");
  fs::create_directories(base / "5");
  ScanHistory h(base);
  h.BeginNewFolder();
  h.BeginNewFolder();
  EXPECT_EQ(h.FolderCounter(), 7u);
  EXPECT_FALSE(fs::exists(base / "6"));
  EXPECT_FALSE(fs::exists(base / "7"));
  EXPECT_TRUE(fs::exists(base / "5"));
  EXPECT_EQ(h.CurrentFolder(), base / "7" / "");
}

TEST_F(ScanHistoryTest, ForgetFolderWithoutAnEntryStillDeletesIt) {
  fs::create_directories(base / "12" / "deep");
  ScanHistory h(base);
  EXPECT_EQ(h.ForgetFolder(base / "12" / ""), kOk);
  EXPECT_FALSE(fs::exists(base / "12"));
  EXPECT_EQ(h.ForgetFolder(base / "12"), kOk) << "a missing folder is nothing to do";
}

TEST_F(ScanHistoryTest, ForgetFolderNeverDeletesOutsideTheBaseFolder) {
  fs::create_directories(root / "precious" / "a");
  fs::create_directories(base / "3");
  // Wine cannot make symbolic links; the link case is then left out.
  std::error_code linkError;
  fs::create_symlink(root / "precious", base / "link", linkError);
  const bool haveLink = !linkError;
  WriteConfig(File(1, {Entry(1, 1, 1, 1, u"/definitely/not/here/"),
                       Entry(2, 2, 2, 2, std::u16string(u"../precious"))}));
  ScanHistory h(base);
  EXPECT_EQ(h.ForgetFolder(root / "precious"), kErrAccessDenied);
  EXPECT_EQ(h.ForgetFolder(base / ".." / "precious"), kErrAccessDenied);
  if (haveLink) {
    EXPECT_EQ(h.ForgetFolder(base / "link"), kErrAccessDenied);
  }
  EXPECT_EQ(h.ForgetFolder(base / "3" / ".." / ".." / "precious"), kErrAccessDenied);
  EXPECT_EQ(h.ForgetFolder(base), kErrAccessDenied);
  EXPECT_EQ(h.ForgetFolder(base / ""), kErrAccessDenied);
  EXPECT_TRUE(fs::exists(root / "precious" / "a"));
  EXPECT_TRUE(fs::exists(base / "3"));
  if (haveLink) {
    EXPECT_TRUE(fs::is_symlink(base / "link"));
  }

  // A planted entry whose stamp no longer matches is forgotten, not deleted.
  std::string precious = (root / "precious").string();
  WriteConfig(File(1, {Entry(4, 4, 4, 1, std::u16string(precious.begin(), precious.end()))}));
  ScanHistory planted(base);
  ScanHistoryEntry e;
  EXPECT_FALSE(planted.FindPartitionEntry(4, 4, 4, 99, e));
  EXPECT_TRUE(planted.Entries().empty());
  EXPECT_TRUE(fs::exists(root / "precious" / "a"));
}

// The medium's stamp may move while it is scanned (the scan's own logs may
// lie on it): recording by identity keeps the folder the scan just wrote.
TEST_F(ScanHistoryTest, RecordScanWithAMovedStampKeepsTheFolder) {
  ScanHistory h(base);
  h.BeginNewFolder();
  const fs::path folder = h.CurrentFolder();
  fs::create_directories(folder);
  std::ofstream(folder / "Pro_Fat_2048_202637 5") << "x";
  ASSERT_EQ(h.RecordScan(1, 2048, 4096, 5000, {}, folder, {}), kOk);
  ScanHistoryEntry e;
  ASSERT_TRUE(h.FindPartitionEntry(1, 2048, 4096, 5000, e));
  ResumePoint later;
  later.doneTotal = 77;
  ASSERT_EQ(h.RecordScan(1, 2048, 4096, 4000, later, folder, {}), kOk);
  EXPECT_TRUE(fs::exists(folder / "Pro_Fat_2048_202637 5"));
  ASSERT_EQ(h.Entries().size(), 1u);
  EXPECT_EQ(h.Entries()[0].resume.doneTotal, 77u);
  EXPECT_EQ(h.Entries()[0].partitionStamp, 4000u) << "the stamp the caller opened the scan with";
}

TEST_F(ScanHistoryTest, RecordScanInAnotherFolderReplacesTheMediumsEarlierScan) {
  ScanHistory h(base);
  h.BeginNewFolder();
  const fs::path first = h.CurrentFolder();
  ASSERT_EQ(h.RecordScan(1, 2048, 4096, 5000, {}, first, {}), kOk);
  h.BeginNewFolder();
  const fs::path second = h.CurrentFolder();
  ASSERT_EQ(h.RecordScan(1, 2048, 4096, 5000, {}, second, {}), kOk);
  ASSERT_EQ(h.Entries().size(), 1u);
  EXPECT_EQ(h.Entries()[0].folder, platform::Utf8ToUtf16(platform::PathToUtf8(second)));
  EXPECT_FALSE(fs::exists(first)) << "no entry names it any more";
  EXPECT_TRUE(fs::exists(second));
}

TEST_F(ScanHistoryTest, RecordScanWritesTheCheckOfTheFoldersLogs) {
  ScanHistory h(base);
  h.BeginNewFolder();
  const fs::path folder = h.CurrentFolder();
  fs::create_directories(folder);
  std::ofstream(folder / "File_Type_0_202637 5", std::ios::binary) << std::string(346 * 3, 'r');
  ResumePoint r;
  r.filesFound = 3;
  ASSERT_EQ(h.RecordScan(1, 2, 3, 4, r, folder, {}), kOk);
  EXPECT_TRUE(fs::exists(folder / ".logcheck"));
  EXPECT_EQ(VerifyScanLogs(folder, 3).state, ScanLogState::kIntact);
  std::ofstream(folder / "File_Type_0_202637 5", std::ios::binary | std::ios::app) << "x";
  EXPECT_EQ(VerifyScanLogs(folder, 3).state, ScanLogState::kLengthDiffers);
}

}  // namespace
}  // namespace brinvale

namespace brinvale {
namespace {

TEST(ScanHistoryFindLogFile, FirstNameInOrderThatContainsThePrefix) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "brinvale_findlog";
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const char* n : {".Pro_Fat_hidden", "Pro_Fat_9_x", "Pro_Fat_1_x_Relation", "Fast_1"})
    std::ofstream(dir / n) << "x";
  ScanHistory h(dir / "base");
  std::string name;
  ASSERT_EQ(h.FindLogFile("Pro_Fat_", name, dir), kOk);
  EXPECT_EQ(name, "Pro_Fat_1_x_Relation");
  EXPECT_EQ(h.FindLogFile("Pro_Ntfs_", name, dir), kErrFileNotFound);
  EXPECT_NE(h.FindLogFile("Fast_", name, dir / "missing"), kOk);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace brinvale
