// The quick FAT engine over FAT32 volumes built byte by byte: lost high
// cluster words, long names, looping chains, folder cycles, hostile names.
#include <gtest/gtest.h>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/fat/fast_fat_fixture.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/fat/fat32_volume_builder.h"
#include "platform/text.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using testing::DeletedFile;
using testing::DeletedLongPart;
using testing::Fat32Volume;
using testing::Folder;
using testing::FoundTree;
using testing::ScratchFolder;

std::unique_ptr<CFastFatRecovery> Open(const Fat32Volume& volume, const ScratchFolder& logs) {
  auto engine = std::make_unique<CFastFatRecovery>();
  engine->SetScanLogFolder(logs.Path() / "logs");
  engine->SetPreviewFolder(logs.Path() / "preview");
  EXPECT_EQ(engine->OpenSource(volume.Source(), volume.TotalSectors(), u'Q'), 0);
  return engine;
}

TEST(FastFatHighWord, ADeletedFolderFindsItsClusterAboveSixtyFiveThousand) {
  // 0x10400 clusters of one sector: clusters 0x00010234 and 0x00010300 exist.
  Fat32Volume v(0x10400, 1);
  const uint32_t real = 0x00010234;
  // The root: a deleted folder whose entry lost its high word.
  v.Put(2, 0,
        Folder("\xE5"
               "ARTY      ",
               real & 0xFFFF, true));
  // Cluster 0x0234 holds no folder; cluster 0x10234 does, with a deleted
  // file and a deleted JPEG whose high word is lost too.
  v.StartFolder(real, 0);
  v.Put(real, 2,
        DeletedFile("\xE5"
                    "OTES   TXT",
                    40, 10));
  const uint32_t photo = 0x00010300;
  v.Put(real, 3,
        DeletedFile("\xE5"
                    "ICTURE JPG",
                    photo & 0xFFFF, 600));
  // JFIF start of a JPEG at the real cluster, nothing at the low one.
  const uint8_t jfif[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1};
  std::copy(std::begin(jfif), std::end(jfif), v.Cluster(photo).begin());

  ScratchFolder work;
  auto engine = Open(v, work);
  EXPECT_EQ(engine->GuessFolderHighWord(real & 0xFFFF), 1u);
  EXPECT_EQ(engine->GuessFolderHighWord(0x0050), 0u);  // nothing looks like a folder
  EXPECT_EQ(engine->GuessFileHighWord(photo & 0xFFFF, "jpg"), 1u);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  const auto tree = FoundTree(*engine);
  ASSERT_TRUE(tree.count("/!arty/"));
  EXPECT_EQ(tree.at("/!arty/").EntryKey(), real);
  ASSERT_TRUE(tree.count("/!arty/!otes.txt"));
  ASSERT_TRUE(tree.count("/!arty/!icture.jpg"));
  EXPECT_EQ(tree.at("/!arty/!icture.jpg").EntryKey(), photo);
  EXPECT_EQ(tree.at("/!arty/!icture.jpg").ContentCheck(), 1u);
  std::string folder;
  ASSERT_EQ(engine->GetRecordPath(tree.at("/!arty/!otes.txt"), folder, 260), 0);
  EXPECT_EQ(folder, "!arty\\");
}

TEST(FastFatLongNames, ATwentyFirstPartRestartsTheNameAndTheWalkGoesOn) {
  Fat32Volume v(64, 8);  // 4 KiB clusters: 128 entries
  size_t i = 0;
  // 21 parts, last part first on disk; each holds "p" and its number.
  for (int part = 21; part >= 1; --part)
    v.Put(2, i++, DeletedLongPart(("p" + std::to_string(part)).c_str()));
  v.Put(2, i++,
        DeletedFile("\xE5"
                    "IRST   TXT",
                    10, 100));
  v.Put(2, i++,
        DeletedFile("\xE5"
                    "ECOND  TXT",
                    11, 100));
  // 20 parts make one whole name of 257 characters: the last part (first
  // on disk) holds 10, the others 13.
  std::string whole;
  v.Put(2, i++, DeletedLongPart("abcdefghij"));
  for (int part = 19; part >= 1; --part) v.Put(2, i++, DeletedLongPart("abcdefghijklm"));
  for (int part = 0; part < 19; ++part) whole += "abcdefghijklm";
  whole += "abcdefghij";
  v.Put(2, i++,
        DeletedFile("\xE5"
                    "HIRD   TXT",
                    12, 100));

  ScratchFolder work;
  auto engine = Open(v, work);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  const auto tree = FoundTree(*engine);
  // The 21st part (the first on disk) was dropped with the restart; the
  // name is what followed it, and the entries after it are all found.
  EXPECT_TRUE(tree.count("/p1")) << "first file";
  EXPECT_TRUE(tree.count("/!econd.txt"));
  EXPECT_TRUE(tree.count("/" + whole));
  EXPECT_EQ(tree.size(), 3u);
}

TEST(FastFatLoops, LoopingChainsAndFolderCyclesEnd) {
  Fat32Volume v(100, 1);
  // Root -> A (cluster 3) -> B (cluster 4); B names A again as "LOOP", and
  // A's ".." names B: a folder cycle both ways.
  v.Put(2, 0, Folder("A          ", 3, false));
  v.SetFat(3, 5);  // A's chain loops: 3 -> 5 -> 3
  v.SetFat(5, 3);
  v.StartFolder(3, 4);
  v.Put(3, 2, Folder("B          ", 4, false));
  // Fill A's two clusters with entries, so only the loop test ends them.
  for (size_t k = 3; k < 16; ++k)
    v.Put(3, k,
          DeletedFile("\xE5"
                      "ILLA   BIN",
                      0, 0));
  for (size_t k = 0; k < 16; ++k)
    v.Put(5, k,
          DeletedFile("\xE5"
                      "ILLB   BIN",
                      0, 0));
  v.SetFat(4, 0x0FFFFFFF);
  v.StartFolder(4, 3);
  v.Put(4, 2, Folder("LOOP       ", 3, false));
  // A deleted file whose clusters link into a loop: 20 -> 21 -> 20.
  v.Put(4, 3,
        DeletedFile("\xE5"
                    "OST    TXT",
                    20, 1 << 20));
  v.SetFat(20, 21);
  v.SetFat(21, 20);

  ScratchFolder work;
  auto engine = Open(v, work);
  ASSERT_EQ(engine->Scan(nullptr), 0);  // it ends
  EXPECT_GE(engine->GetRecordCount(), 30u);
  EXPECT_GT(engine->FolderDepth(4), 0u);  // the ".." cycle ends too

  RecordList found;
  ASSERT_EQ(engine->Search("*.txt", found), 0);
  ASSERT_EQ(found.size(), 1u);
  std::string path;
  EXPECT_EQ(engine->GetRecordPath(found[0], path, 260), 0);
  // Extraction stops after at most one pass over the volume's clusters.
  std::vector<uint8_t> buffer(1 << 20);
  uint64_t size = buffer.size();
  fs::path none;
  ASSERT_EQ(engine->ExtractRecord(found[0], none, buffer.data(), size, nullptr, nullptr), 0);
  EXPECT_LE(size, 101u * 512);
  // Recovering the folders of the cycle ends as well.
  RecordList all;
  ASSERT_EQ(engine->Search("*.bin", all), 0);
  EXPECT_EQ(all.size(), 29u);
  for (uint32_t cluster : {3u, 4u}) {
    ScanRecord folder;
    ASSERT_EQ(engine->Store()->FindFolderRecord(cluster, folder), 0);
    EXPECT_EQ(engine->RecoverRecord(folder, work.Path() / ("out" + std::to_string(cluster)), 0), 0);
  }
}

TEST(FastFatNames, FoundNamesNeverLeaveTheTargetFolder) {
  Fat32Volume v(64, 8);
  // A deleted folder named "../../up" holding a deleted file named
  // "../../../pwned.txt", both by long names.
  v.Put(2, 0, DeletedLongPart("../../up"));
  v.Put(2, 1,
        Folder("\xE5"
               "P         ",
               3, true));
  v.StartFolder(3, 0);
  v.Put(3, 2, DeletedLongPart("d.txt"));  // parts come last part first
  v.Put(3, 3, DeletedLongPart("../../../pwne"));
  v.Put(3, 4,
        DeletedFile("\xE5"
                    "WNED   TXT",
                    10, 5));
  std::memcpy(v.Cluster(10).data(), "hello", 5);

  ScratchFolder work;
  auto engine = Open(v, work);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  RecordList top;
  ASSERT_EQ(engine->ListChildren(nullptr, 0, top), 0);
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].Name(), "../../up");
  const fs::path target = work.Path() / "out" / "a" / "b" / "c";
  ASSERT_EQ(engine->RecoverRecord(top[0], target, 0), 0);
  size_t files = 0;
  for (const auto& item : fs::recursive_directory_iterator(work.Path() / "out")) {
    if (!item.is_regular_file()) continue;
    ++files;
    EXPECT_EQ(item.path().parent_path(), target) << item.path();
    EXPECT_EQ(test::ReadFileBytes(item.path()), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
  }
  EXPECT_EQ(files, 1u);
}

TEST(FastFatPaths, FoldersBelowAMovedRootClusterAreLogged) {
  // The root lives at cluster 10; its folder A at cluster 3 holds folder B
  // at cluster 4, which holds a deleted file. A's cluster number is below
  // the root's, and A must still be logged on the way to the file.
  Fat32Volume v(64, 1);
  v.SetRootCluster(10);
  v.Put(10, 0, Folder("A          ", 3, false));
  v.SetFat(3, 0x0FFFFFFF);
  v.StartFolder(3, 0);
  v.Put(3, 2, Folder("B          ", 4, false));
  v.SetFat(4, 0x0FFFFFFF);
  v.StartFolder(4, 3);
  v.Put(4, 2,
        DeletedFile("\xE5"
                    "ILE    TXT",
                    20, 10));
  ScratchFolder work;
  auto engine = Open(v, work);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  const auto tree = FoundTree(*engine);
  EXPECT_TRUE(tree.count("/a/"));
  EXPECT_TRUE(tree.count("/a/b/"));
  ASSERT_TRUE(tree.count("/a/b/!ile.txt"));
  std::string path;
  ASSERT_EQ(engine->GetRecordPath(tree.at("/a/b/!ile.txt"), path, 260), 0);
  EXPECT_EQ(path, "a\\b\\");
}

TEST(FastFatPaths, AStaleDeletedEntryDoesNotMakeALiveFolderDeleted) {
  // A deleted folder entry still names cluster 5, which now holds the live
  // folder LIVE: the live entry decides, so LIVE's live file stays unlogged.
  Fat32Volume v(64, 1);
  v.Put(2, 0, Folder("LIVE       ", 5, false));
  v.Put(2, 1,
        Folder("\xE5"
               "LD        ",
               5, true));
  v.SetFat(5, 0x0FFFFFFF);
  v.StartFolder(5, 0);
  testing::Entry live = testing::FileEntry("KEEP    TXT");
  StoreLe16(live, 26, 30);  // first cluster, low word
  v.Put(5, 2, live);
  v.Put(5, 3,
        DeletedFile("\xE5"
                    "ONE    TXT",
                    31, 10));
  ScratchFolder work;
  auto engine = Open(v, work);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  const auto tree = FoundTree(*engine);
  ASSERT_TRUE(tree.count("/live/"));
  EXPECT_EQ(tree.at("/live/").Deleted(), 0u);
  EXPECT_TRUE(tree.count("/live/!one.txt"));
  EXPECT_FALSE(tree.count("/live/keep.txt"));
  EXPECT_EQ(tree.size(), 2u);
}

TEST(FastFatFreeSpace, MapsLinksAndFindsRuns) {
  Fat32Volume v(100, 2);
  // In use: the root (2), 3..4 as a chain, 10 -> 11 -> end.
  v.SetFat(3, 4);
  v.SetFat(4, 0x0FFFFFFF);
  v.SetFat(10, 11);
  v.SetFat(11, 0x0FFFFFFF);
  v.SetFat(50, 0x0FFFFFF7);  // a bad cluster counts as used
  ScratchFolder work;
  auto engine = Open(v, work);
  ASSERT_EQ(engine->BuildAllocationMap(), 0);
  const uint64_t fds = v.FirstDataSector();
  uint64_t start = 0, length = 0;
  ASSERT_EQ(engine->NextFreeRange(start, length), 1);
  EXPECT_EQ(start, fds + (5 - 2) * 2);  // cluster 5
  EXPECT_EQ(length, (10 - 5) * 2u);
  start += length;
  ASSERT_EQ(engine->NextFreeRange(start, length), 1);
  EXPECT_EQ(start, fds + (12 - 2) * 2);
  EXPECT_EQ(length, (50 - 12) * 2u);
  start += length;
  ASSERT_EQ(engine->NextFreeRange(start, length), 1);
  EXPECT_EQ(start, fds + (51 - 2) * 2);
  EXPECT_EQ(start + length, v.TotalSectors());  // the last run reaches the end
  start += length;
  ASSERT_EQ(engine->NextFreeRange(start, length), 1);
  EXPECT_EQ(start, v.TotalSectors());
  EXPECT_EQ(length, 0u);
}

TEST(FastFatOpen, RefusesWhatIsNotAFatVolume) {
  CFastFatRecovery engine;
  ScratchFolder work;
  engine.SetScanLogFolder(work.Path());
  EXPECT_NE(engine.OpenSource(std::make_unique<MemoryByteSource>(std::vector<uint8_t>(8192, 0)), 16,
                              u'Q'),
            0);
  EXPECT_NE(engine.Scan(nullptr), 0);
  EXPECT_EQ(engine.GetRecordCount(), 0u);
  uint64_t start = 0, length = 0;
  EXPECT_EQ(engine.NextFreeRange(start, length), 0);
  CFastFatRecovery tiny;
  EXPECT_EQ(
      tiny.OpenSource(std::make_unique<MemoryByteSource>(std::vector<uint8_t>(100, 0)), 0, u'Q'),
      kErrReadFault);
}

}  // namespace
}  // namespace brinvale
