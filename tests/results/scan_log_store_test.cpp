#include "results/scan_log_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "store_test_support.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using namespace brinvale::testing;
using ::testing::ElementsAre;

class ScanLogStoreTest : public TempFolderTest {
 protected:
  std::string Slurp(const std::string& name) {
    std::ifstream in(folder / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void Put(const std::string& name, std::string_view bytes) {
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(bytes.data(), std::streamsize(bytes.size()));
  }

  // Root (cluster 2):  a.txt  DCIM/  (DCIM: 100/ (100: IMG.jpg, bad.jpg hidden)  x.doc)
  void BuildTree(ScanLogStore& s) {
    const uint64_t root = Key(0, 2);
    uint32_t dcim = s.AppendRecord(Folder("DCIM", 10));
    s.AddRelation(root, dcim, 10, "DCIM");
    s.AddRelation(root, s.AppendRecord(File("a.txt", 11)));
    uint32_t hundred = s.AppendRecord(Folder("100", 20));
    s.AddRelation(Key(1, 10), hundred, 20, "100");
    s.AddRelation(Key(1, 10), s.AppendRecord(File("x.doc", 12)));
    s.AddRelation(Key(2, 20), s.AppendRecord(File("IMG.jpg", 21)));
    s.AddRelation(Key(2, 20), s.AppendRecord(File("bad.jpg", 22, 0)));
  }
};

TEST_F(ScanLogStoreTest, TheTwoHundredAndFirstRecordCausesTheFirstWrite) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "Fast_0_2026379 5"), kOk);
  for (int i = 0; i < 200; ++i) s.AppendRecord(File("f" + std::to_string(i)));
  EXPECT_EQ(fs::file_size(folder / "Fast_0_2026379 5"), 0u);
  auto slot = s.AppendRecord();
  EXPECT_EQ(s.RecordCount(), 201u);
  EXPECT_EQ(fs::file_size(folder / "Fast_0_2026379 5"), 69200u);
  StoreLe32(slot, rec::kNumber, s.RecordCount());
  ASSERT_EQ(s.FlushLog(), kOk);
  auto bytes = Slurp("Fast_0_2026379 5");
  ASSERT_EQ(bytes.size(), 201u * 346u);
  // Record 200 sits at 199 x 346 with its own number at offset 18.
  std::span<const uint8_t> b(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  EXPECT_EQ(LoadLe32(b, 199 * 346 + 18), 200u);
  EXPECT_EQ(LoadLe32(b, 200 * 346 + 18), 201u);
  EXPECT_EQ(bytes.substr(199 * 346 + 86, 4), "f199");
}

TEST_F(ScanLogStoreTest, FlushWritesRelationTextAndFolderEntries) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  s.AddRelation(Key(1, 2), s.AppendRecord(File("a")));
  s.AddRelation(Key(0, 5), s.AppendRecord(Folder("dir", 7)), 7, "dir");
  s.AddRelation(Key(1, 2), s.AppendRecord(File("b")));
  ASSERT_EQ(s.FlushLog(), kOk);
  EXPECT_EQ(Slurp("L_Relation"), " | 5 - [2] | 4294967298 - [1,3]");
  auto d = Slurp("L_DirInfo");
  ASSERT_EQ(d.size(), 268u);
  std::span<const uint8_t> b(reinterpret_cast<const uint8_t*>(d.data()), d.size());
  EXPECT_EQ(LoadLe32(b, 0), 7u);  // first cluster
  EXPECT_EQ(LoadLe32(b, 4), 2u);  // record number
  EXPECT_EQ(d.substr(8, 4), std::string("dir\0", 4));
}

TEST_F(ScanLogStoreTest, FolderNameThatDoesNotFitIsCutAtACharacterBoundary) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  std::string name(258, 'a');
  name += "\xC3\xA9";  // U+00E9 in bytes 258 and 259: only the first fits
  s.AddRelation(Key(0, 2), s.AppendRecord(Folder(name, 3)), 3, name);
  ASSERT_EQ(s.FlushLog(), kOk);
  auto d = Slurp("L_DirInfo");
  ASSERT_EQ(d.size(), 268u);
  EXPECT_EQ(d.substr(8, 259), std::string(258, 'a') + '\0');
  EXPECT_EQ(s.FolderEntries()[0].name, std::string(258, 'a'));
}

TEST_F(ScanLogStoreTest, EmptyIndexFilesLoadNothing) {
  Put("L", "");
  Put("L_Relation", "");
  Put("L_DirInfo", "");
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  EXPECT_TRUE(s.Relations().empty());
  EXPECT_TRUE(s.FolderEntries().empty());
  std::vector<ScanRecord> list{File("stale")};
  EXPECT_EQ(s.ListFolder(0, list), kOk);
  EXPECT_TRUE(list.empty());
  uint32_t count = 9;
  EXPECT_EQ(s.CountFilesBelow(0, count), kOk);
  EXPECT_EQ(count, 0u);
}

TEST_F(ScanLogStoreTest, RelationKeyCarriesLevelAndCluster) {
  {
    ScanLogStore s;
    ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
    for (int i = 1; i <= 6; ++i) s.AppendRecord(File("n" + std::to_string(i) + ".txt"));
  }
  Put("L_Relation", " | 4294967298 - [5,6]");
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  EXPECT_EQ(s.RecordCount(), 6u);
  ASSERT_EQ(s.Relations().count(Key(1, 2)), 1u);
  EXPECT_THAT(s.Relations().at(Key(1, 2)), ElementsAre(5u, 6u));
  std::vector<ScanRecord> list;
  ASSERT_EQ(s.ListFolder(Key(1, 2), list), kOk);
  EXPECT_THAT(Names(list), ElementsAre("n5.txt", "n6.txt"));
}

TEST_F(ScanLogStoreTest, FilesComeFirstThenFoldersEachByNameWithoutCase) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  s.AddRelation(Key(0, 2), s.AppendRecord(Folder("c", 5)), 5, "c");
  s.AddRelation(Key(0, 2), s.AppendRecord(File("b.txt")));
  s.AddRelation(Key(0, 2), s.AppendRecord(Folder("a", 6)), 6, "a");
  s.AddRelation(Key(0, 2), s.AppendRecord(File("A.txt")));
  std::vector<ScanRecord> list;
  ASSERT_EQ(s.ListFolder(0, list), kOk);
  EXPECT_THAT(Names(list), ElementsAre("A.txt", "b.txt", "a", "c"));
}

TEST_F(ScanLogStoreTest, PhotosThatFailedTheirCheckAreCountedButNotShown) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  s.AddRelation(Key(0, 2), s.AppendRecord(File("holiday.JPG", 3, 0)));
  s.AddRelation(Key(0, 2), s.AppendRecord(File("good.JPG", 4, 1)));
  s.AddRelation(Key(0, 2), s.AppendRecord(File("y.p", 5, 0)));     // fragment of a listed one
  s.AddRelation(Key(0, 2), s.AppendRecord(File("notes", 6, 0)));   // no extension
  s.AddRelation(Key(0, 2), s.AppendRecord(File("trail.", 7, 0)));  // empty extension
  std::vector<ScanRecord> list;
  ASSERT_EQ(s.ListFolder(0, list), kOk);
  EXPECT_THAT(Names(list), ElementsAre("good.JPG", "notes", "trail."));
  uint32_t count = 0;
  ASSERT_EQ(s.CountFilesBelow(0, count), kOk);
  EXPECT_EQ(count, 5u);
  ASSERT_EQ(s.Search("*.jpg|*.p", list), kOk);
  EXPECT_THAT(Names(list), ElementsAre("good.JPG"));
}

TEST_F(ScanLogStoreTest, OtherFindsFilesOfNoKnownKind) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  for (const char* n : {"x.jpg", "x.qqq", "x.mp3", "noext", "x.jp"})
    s.AddRelation(Key(0, 2), s.AppendRecord(File(n)));
  s.AddRelation(Key(0, 2), s.AppendRecord(Folder("dir.qqq", 9)), 9, "dir.qqq");
  std::vector<ScanRecord> list;
  ASSERT_EQ(s.Search("*.jpg|.other", list), kOk);
  EXPECT_THAT(Names(list), ElementsAre("x.jpg", "x.qqq", "noext", "x.jp"));
  ASSERT_EQ(s.Search("*.jpg", list), kOk);
  EXPECT_THAT(Names(list), ElementsAre("x.jpg", "x.jp")) << ".jp is a fragment of .jpg";
}

TEST_F(ScanLogStoreTest, OtherIsIgnoredForARecordFileOf128MiB) {
  {
    ScanLogStore s;
    ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
    for (const char* n : {"x.jpg", "x.qqq", "noext"}) s.AppendRecord(File(n));
  }
  // Zero records up to 128 MiB: each is a file with an empty name.
  fs::resize_file(folder / "L", ScanLogStore::kOtherSearchLimit);
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  std::vector<ScanRecord> list;
  ASSERT_EQ(s.Search("*.jpg|.other", list), kOk);
  EXPECT_THAT(Names(list), ElementsAre("x.jpg"));
}

int StopAtOnce(void* user, int, int) {
  ++*static_cast<int*>(user);
  return kCancelled;
}

TEST_F(ScanLogStoreTest, SearchStoppedByItsCallbackKeepsTheFirstChunk) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  for (int i = 0; i < 450; ++i) s.AppendRecord(File("f" + std::to_string(i) + ".txt"));
  int calls = 0;
  s.SetSearchCallback(StopAtOnce, &calls);
  std::vector<ScanRecord> list;
  EXPECT_EQ(s.Search("*.txt", list), kCancelled);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(list.size(), 200u);
}

TEST_F(ScanLogStoreTest, PathsAndCountsOfANestedTree) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  BuildTree(s);
  std::vector<ScanRecord> root;
  ASSERT_EQ(s.ListFolder(0, root), kOk);
  ASSERT_THAT(Names(root), ElementsAre("a.txt", "DCIM"));
  std::string path = "x";
  ASSERT_EQ(s.GetRecordPath(root[0], path, 260), kOk);
  EXPECT_EQ(path, "");
  std::vector<ScanRecord> inner;
  ASSERT_EQ(s.ListFolder(Key(2, 20), inner), kOk);
  ASSERT_THAT(Names(inner), ElementsAre("IMG.jpg"));
  ASSERT_EQ(s.GetRecordPath(inner[0], path, 260), kOk);
  EXPECT_EQ(path, "DCIM\\100\\");
  EXPECT_EQ(s.GetRecordPath(inner[0], path, 6), 122);
  EXPECT_EQ(path, "DCIM\\1");
  uint32_t count = 0;
  ASSERT_EQ(s.CountFilesBelow(0, count), kOk);
  EXPECT_EQ(count, 4u);
  ASSERT_EQ(s.CountFilesBelow(Key(1, 10), count), kOk);
  EXPECT_EQ(count, 3u);
}

TEST_F(ScanLogStoreTest, AncestorMissingFromFolderEntriesIsFoundInTheRecords) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  s.AddRelation(Key(0, 2), s.AppendRecord(File("top.txt")));
  s.AddRelation(Key(0, 2), s.AppendRecord(File("lost", 30)));  // a file sharing the key
  uint32_t lost = s.AppendRecord(Folder("LostFolder30", 30));  // filed nowhere, no entry
  (void)lost;
  s.AddRelation(Key(1, 30), s.AppendRecord(File("in.txt")));
  s.AddRelation(Key(1, 40), s.AppendRecord(File("orphan.txt")));
  ASSERT_EQ(s.FlushLog(), kOk);
  ScanRecord r;
  ASSERT_EQ(s.FindFolderRecord(30, r), kOk);
  EXPECT_EQ(r.Name(), "LostFolder30");
  EXPECT_EQ(s.FindFolderRecord(40, r), kErrInvalidParameter);
  std::vector<ScanRecord> files;
  ASSERT_EQ(s.Search("*.txt", files), kOk);
  ASSERT_THAT(Names(files), ElementsAre("top.txt", "in.txt", "orphan.txt"));
  std::string path;
  EXPECT_EQ(s.GetRecordPath(files[1], path, 260), kOk);
  EXPECT_EQ(path, "LostFolder30\\");
  std::vector<ScanRecord> chain;
  EXPECT_EQ(s.GetAncestors(files[2], chain), kErrInvalidParameter);
  EXPECT_TRUE(chain.empty());
  EXPECT_EQ(s.GetRecordPath(files[2], path, 260), kOk);
  EXPECT_EQ(path, "");
}

TEST_F(ScanLogStoreTest, FoldersFiledUnderEachOtherEndTheWalks) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  s.AddRelation(Key(0, 2), s.AppendRecord(File("top.txt")));
  // A (key 5) lies in B (key 6) and B lies in A, at levels that repeat.
  uint32_t a = s.AppendRecord(Folder("A", 5));
  uint32_t b = s.AppendRecord(Folder("B", 6));
  s.AddRelation(Key(1, 6), a, 5, "A");
  s.AddRelation(Key(1, 5), b, 6, "B");
  s.AddRelation(Key(1, 5), s.AppendRecord(File("f.txt")));
  // A folder whose own key files itself: level wraps to the same key.
  uint32_t self = s.AppendRecord(Folder("S", 8));
  s.AddRelation(Key(0xFFFFFFFF, 8), self, 8, "S");
  s.AddRelation(Key(0xFFFFFFFF, 8), s.AppendRecord(File("g.txt")));
  std::vector<ScanRecord> files;
  ASSERT_EQ(s.Search("*.txt", files), kOk);
  ASSERT_THAT(Names(files), ElementsAre("top.txt", "f.txt", "g.txt"));
  std::string path;
  EXPECT_EQ(s.GetRecordPath(files[1], path, 260), kOk);
  EXPECT_EQ(path, "B\\A\\");
  EXPECT_EQ(s.GetRecordPath(files[2], path, 260), kOk);
  EXPECT_EQ(path, "S\\");
  uint32_t count = 0;
  EXPECT_EQ(s.CountFilesBelow(Key(1, 5), count), kOk);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(s.CountFilesBelow(Key(0xFFFFFFFF, 8), count), kOk);
  EXPECT_EQ(count, 1u);
}

TEST_F(ScanLogStoreTest, DamagedRelationNumbersAreSkipped) {
  {
    ScanLogStore s;
    ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
    s.AppendRecord(File("one.txt"));
    s.AppendRecord(File("two.txt"));
  }
  Put("L_Relation", " | 2 - [0,1,99,2] | 3 - [7,1");
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  std::vector<ScanRecord> list;
  ASSERT_EQ(s.ListFolder(0, list), kOk);
  EXPECT_THAT(Names(list), ElementsAre("one.txt", "two.txt"));
  ASSERT_EQ(s.ListFolder(3, list), kOk);
  EXPECT_THAT(Names(list), ElementsAre("one.txt"));
}

TEST_F(ScanLogStoreTest, ReopenedLogBrowsesTheSameAndAppendsAfterItsRecords) {
  std::vector<std::string> before;
  std::string pathBefore;
  {
    ScanLogStore s;
    ASSERT_EQ(s.OpenLog(folder / "3", "Pro_Fat_2048_2026379 5"), kOk);
    BuildTree(s);
    for (int i = 0; i < 300; ++i)  // past one buffer
      s.AddRelation(Key(1, 10), s.AppendRecord(File("n" + std::to_string(i) + ".txt")));
    std::vector<ScanRecord> l;
    ASSERT_EQ(s.ListFolder(Key(1, 10), l), kOk);
    before = Names(l);
    ASSERT_EQ(s.ListFolder(Key(2, 20), l), kOk);
    ASSERT_EQ(s.GetRecordPath(l[0], pathBefore, 260), kOk);
  }
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder / "3", "Pro_Fat_2048_2026379 5"), kOk);
  EXPECT_EQ(s.RecordCount(), 306u);
  std::vector<ScanRecord> l;
  ASSERT_EQ(s.ListFolder(Key(1, 10), l), kOk);
  EXPECT_EQ(Names(l), before);
  ASSERT_EQ(s.ListFolder(Key(2, 20), l), kOk);
  std::string path;
  ASSERT_EQ(s.GetRecordPath(l[0], path, 260), kOk);
  EXPECT_EQ(path, pathBefore);
  uint32_t count = 0;
  ASSERT_EQ(s.CountFilesBelow(0, count), kOk);
  EXPECT_EQ(count, 304u);
  EXPECT_EQ(s.FolderEntries().size(), 2u);

  // New records follow the old ones and keep their numbers straight.
  uint32_t n = s.AppendRecord(File("late.txt"));
  EXPECT_EQ(n, 307u);
  s.AddRelation(Key(0, 2), n);
  ASSERT_EQ(s.ListFolder(0, l), kOk);
  EXPECT_THAT(Names(l), ElementsAre("a.txt", "late.txt", "DCIM"));
  ASSERT_EQ(s.FlushLog(), kOk);
  EXPECT_EQ(fs::file_size(folder / "3" / "Pro_Fat_2048_2026379 5"), 307u * 346u);
}

TEST_F(ScanLogStoreTest, LostBufferWriteIsReportedByTheNextFlush) {
#if defined(_WIN32)
  GTEST_SKIP() << "needs /dev/full";
#endif
  fs::create_directories(folder);
  fs::create_symlink("/dev/full", folder / "L");  // every write fails: no space
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  for (int i = 0; i < 201; ++i) s.AppendRecord(File("f.txt"));  // the buffer write fails
  EXPECT_NE(s.FlushLog(), kOk);
}

TEST_F(ScanLogStoreTest, RewriteDropsATailThatNoLongerBelongs) {
  {
    ScanLogStore s;
    ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
    s.AppendRecord(File("a.txt"));
  }
  Put("L_Relation", " | 2 - [1] | 3 - [1,2147483648999999] garbage garbage garbage");
  Put("L_DirInfo", std::string(268 + 50, '\0'));
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  s.AddRelation(Key(0, 2), s.AppendRecord(File("b.txt")));
  ASSERT_EQ(s.FlushLog(), kOk);
  EXPECT_EQ(Slurp("L_Relation"), " | 2 - [1,2] | 3 - [1]");
  EXPECT_EQ(Slurp("L_DirInfo").size(), 268u);
}

TEST_F(ScanLogStoreTest, UnnamedParentFolderIsCreated) {
  ScanLogStore s;
  EXPECT_EQ(s.OpenLog(folder / "a" / "b", "L"), kOk);
  EXPECT_TRUE(fs::exists(folder / "a" / "b" / "L_Relation"));
  EXPECT_TRUE(fs::exists(folder / "a" / "b" / "L_DirInfo"));
  Put("file", "x");
  ScanLogStore t;
  EXPECT_NE(t.OpenLog(folder / "file" / "sub", "L"), kOk);
}

}  // namespace
}  // namespace brinvale
