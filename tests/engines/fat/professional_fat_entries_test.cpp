// How the formatted FAT engine reads directory sectors: names, long-name
// runs cut at a sector end, high-word probes, lost folders and ".." cycles.
#include <gtest/gtest.h>

#include "common/bytes.h"
#include "engines/fat/professional_fat_test_support.h"

namespace brinvale {
namespace {

using testing::ChecksumOf;
using testing::Deleted;
using testing::DirectoryStart;
using testing::Entry;
using testing::FileAt;
using testing::FoundTree;
using testing::LongNamePart;
using testing::ProFatMedium;
using testing::ScratchFolder;

// Medium layout of these tests: 1 sector per cluster, cluster 2 at 99,
// taught by two folders at clusters 3 and 4 (sectors 100 and 101).
constexpr uint64_t kCluster2 = 99;
uint64_t SectorOf(uint64_t cluster) { return kCluster2 + cluster - 2; }

class ProFatEntriesTest : public ::testing::Test {
 protected:
  std::unique_ptr<CProfessionalFatRecovery> OpenTaught(ProFatMedium& medium) {
    auto engine = medium.Open(logs.Path());
    engine->OnDirectoryStart(DirectoryStart(3, 0), SectorOf(3));
    engine->OnDirectoryStart(DirectoryStart(4, 0), SectorOf(4));
    EXPECT_EQ(engine->Geometries().size(), 1u);
    return engine;
  }
  ScratchFolder logs;
};

TEST_F(ProFatEntriesTest, DeletedShortNameShowsItsMarkAndLongNameWins) {
  ProFatMedium medium(400);
  auto engine = OpenTaught(medium);
  const Entry plain = Deleted(FileAt("XEPORT  TXT", 30, 10));  // 0xE5 "EPORT  TXT"
  Entry named = Deleted(FileAt("XONG    TXT", 31, 10));
  const uint8_t sum = ChecksumOf("LONG    TXT");
  Entry part = LongNamePart(0x41, sum, 'a');  // "abcdefghijklm"
  part[0] = 0xE5;                             // a deleted run loses its sequence byte
  engine->OnDirectoryStart(DirectoryStart(10, 0, {plain, part, named}), SectorOf(10));
  ASSERT_EQ(engine->FinishFatScan(), 0);
  const auto tree = FoundTree(*engine);
  EXPECT_TRUE(tree.count("/LostFolder10/!eport.txt")) << tree.size();
  EXPECT_TRUE(tree.count("/LostFolder10/abcdefghijklm"));
}

TEST_F(ProFatEntriesTest, NameRunCutAtSectorEndIsCompletedByTheNextSector) {
  ProFatMedium medium(400);
  auto engine = OpenTaught(medium);
  const uint8_t sum = ChecksumOf("ALPHAB~1TXT");
  std::vector<uint8_t> first = DirectoryStart(
      20, 0,
      {FileAt("A       TXT", 30, 10), FileAt("B       TXT", 31, 10), FileAt("C       TXT", 32, 10),
       FileAt("D       TXT", 33, 10), FileAt("E       TXT", 34, 10), FileAt("F       TXT", 35, 10),
       FileAt("G       TXT", 36, 10), FileAt("H       TXT", 37, 10), FileAt("I       TXT", 38, 10),
       FileAt("J       TXT", 39, 10), FileAt("K       TXT", 40, 10), FileAt("L       TXT", 41, 10),
       LongNamePart(0x42, sum, 'n'), LongNamePart(0x01, sum, 'a')});
  ASSERT_EQ(first.size(), 512u);  // the run fills the sector's last two entries
  std::vector<uint8_t> second(512, 0);
  const Entry shortEntry = FileAt("ALPHAB~1TXT", 42, 10);
  std::copy(shortEntry.begin(), shortEntry.end(), second.begin());
  engine->OnDirectoryStart(first, SectorOf(20));
  engine->OnDirectorySector(second, SectorOf(20) + 1);
  ASSERT_EQ(engine->FinishFatScan(), 0);
  const auto tree = FoundTree(*engine);
  EXPECT_EQ(tree.size(), 14u);  // the folder and its 13 files
  const auto found = tree.find("/LostFolder20/abcdefghijklmnopqrstuvwxyz");
  ASSERT_NE(found, tree.end());
  EXPECT_EQ(found->second.EntryKey(), 42u);
  EXPECT_EQ(found->second.MetadataSector(), SectorOf(20) + 1);  // where the short entry lies
}

TEST_F(ProFatEntriesTest, TwentyPartNameIsReadAndATwentyFirstPartStopsTheSector) {
  ProFatMedium medium(400);
  auto engine = OpenTaught(medium);
  const uint8_t sum = ChecksumOf("LONG    TXT");
  auto runOf = [&](int parts, uint32_t cluster) {
    std::vector<uint8_t> s;
    for (int k = parts; k >= 1; --k) {
      Entry part = LongNamePart(uint8_t(k), sum, 'a');
      part[0] = 0xE5;  // deleted: the sequence byte is gone
      s.insert(s.end(), part.begin(), part.end());
    }
    const Entry file = Deleted(FileAt("XONG    TXT", cluster, 10));
    s.insert(s.end(), file.begin(), file.end());
    return s;
  };
  // Two sectors each: the dot pair, then the run and its short entry.
  std::vector<uint8_t> twenty = DirectoryStart(21, 0);
  twenty.resize(64);
  const auto run20 = runOf(20, 50);
  twenty.insert(twenty.end(), run20.begin(), run20.end());
  twenty.resize(1024, 0);
  std::vector<uint8_t> longer = DirectoryStart(24, 0);
  longer.resize(64);
  const auto run21 = runOf(21, 51);
  longer.insert(longer.end(), run21.begin(), run21.end());
  longer.resize(1024, 0);
  engine->OnDirectoryStart(twenty, SectorOf(21));
  engine->OnDirectoryStart(longer, SectorOf(24));
  ASSERT_EQ(engine->FinishFatScan(), 0);
  const auto tree = FoundTree(*engine);
  std::vector<ScanRecord> files;
  for (const auto& [path, record] : tree)
    if (!record.IsFolder()) files.push_back(record);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].EntryKey(), 50u);
  EXPECT_EQ(files[0].Name().size(), 259u);  // 260 characters, cut to fit the record
  EXPECT_EQ(files[0].Name().substr(0, 14), "abcdefghijklma");
}

TEST_F(ProFatEntriesTest, DeletedFat32FileFindsItsHighWordByContent) {
  // Cluster 65,536 + 7 lies at sector 99 + 65,541.
  ProFatMedium medium(65700);
  const uint64_t real = SectorOf(65536 + 7);
  medium.Write(real, std::span<const uint8_t>(
                         reinterpret_cast<const uint8_t*>("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR"), 16));
  medium.Write(SectorOf(7), std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("text"), 4));
  auto engine = OpenTaught(medium);
  engine->OnDirectoryStart(DirectoryStart(30, 0, {Deleted(FileAt("XICTURE PNG", 7, 2000))}),
                           SectorOf(30));
  // A live entry keeps its high word 0 whatever its data.
  engine->OnDirectoryStart(DirectoryStart(31, 0, {FileAt("LIVE    PNG", 7, 2000)}), SectorOf(31));
  ASSERT_EQ(engine->FinishFatScan(), 0);
  const auto tree = FoundTree(*engine);
  ASSERT_TRUE(tree.count("/LostFolder30/!icture.png"));
  EXPECT_EQ(tree.at("/LostFolder30/!icture.png").EntryKey(), 65536u + 7);
  EXPECT_EQ(tree.at("/LostFolder30/!icture.png").ContentCheck(), 1u);
  // The live entry's data at cluster 7 is no PNG: its record fails the
  // content check, so listings and searches leave it out; counts do not.
  EXPECT_FALSE(tree.count("/LostFolder31/live.png"));
  ASSERT_TRUE(tree.count("/LostFolder31/"));
  RecordList pictures;
  ASSERT_EQ(engine->Search("*.png", pictures), 0);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].Name(), "!icture.png");
  uint32_t count = 0;
  ASSERT_EQ(engine->CountFiles(&tree.at("/LostFolder31/"), 1, count), 0);
  EXPECT_EQ(count, 1u);
}

TEST_F(ProFatEntriesTest, DeletedFat32FolderFindsItsHighWordByItsDotEntries) {
  ProFatMedium medium(65700);
  auto engine = OpenTaught(medium);
  const uint32_t folder = 65536 + 9;
  Entry dot = testing::DotEntry(1, uint16_t(folder));
  StoreLe16(dot, 20, uint16_t(folder >> 16));  // "." high word
  std::vector<uint8_t> start = DirectoryStart(0, 30, {FileAt("INNER   TXT", 60, 10)});
  std::copy(dot.begin(), dot.end(), start.begin());
  medium.Write(SectorOf(folder), start);
  // The parent names the folder with high word 0, as a deleted entry does.
  Entry entry = Deleted(testing::FolderEntry("XLD        "));
  StoreLe16(entry, 26, 9);  // low word
  engine->OnDirectoryStart(DirectoryStart(30, 0, {entry}), SectorOf(30));
  engine->OnDirectoryStart(medium.SectorBytes(SectorOf(folder)), SectorOf(folder));
  ASSERT_EQ(engine->FinishFatScan(), 0);
  const auto tree = FoundTree(*engine);
  EXPECT_TRUE(tree.count("/LostFolder30/!ld/inner.txt")) << tree.begin()->first;
  ASSERT_TRUE(tree.count("/LostFolder30/!ld/"));
  EXPECT_EQ(tree.at("/LostFolder30/!ld/").EntryKey(), folder);
}

TEST_F(ProFatEntriesTest, FolderEntriesAreListedEvenWithNothingFoundBelow) {
  ProFatMedium medium(400);
  auto engine = OpenTaught(medium);
  Entry docs = testing::FolderEntry("DOCS       ");
  StoreLe16(docs, 26, 40);  // low word
  Entry empty = testing::FolderEntry("EMPTY      ");
  StoreLe16(empty, 26, 41);  // low word
  // Folder 30 sits in the root (".." = 0); Docs (40) in it holds a file;
  // Empty (41) holds nothing that was found.
  medium.Write(SectorOf(30), DirectoryStart(30, 0, {docs, empty}));
  medium.Write(SectorOf(40), DirectoryStart(40, 30, {FileAt("A       TXT", 70, 10)}));
  medium.Write(SectorOf(41), DirectoryStart(41, 30));
  medium.Feed(*engine, SectorOf(5), SectorOf(60));
  ASSERT_EQ(engine->FinishFatScan(), 0);
  const auto tree = FoundTree(*engine);
  std::string paths;
  for (const auto& [path, record] : tree) paths += path + " ";
  // 30 was never named by an entry that was found: a lost folder.
  // Empty is listed under its parent though nothing below it was found.
  EXPECT_EQ(paths,
            "/LostFolder30/ /LostFolder30/docs/ /LostFolder30/docs/a.txt /LostFolder30/empty/ ");
  EXPECT_EQ(tree.at("/LostFolder30/").Name(), "LostFolder30");
  EXPECT_EQ(tree.at("/LostFolder30/docs/").MetadataSector(), SectorOf(30));
  std::string path;
  ASSERT_EQ(engine->GetRecordPath(tree.at("/LostFolder30/docs/a.txt"), path, 260), 0);
  EXPECT_EQ(path, "LostFolder30\\docs\\");
}

TEST_F(ProFatEntriesTest, DotDotCycleEndsEveryWalk) {
  ProFatMedium medium(400);
  // Folders 50 and 51 name each other as parent, and each holds an entry
  // for the other.
  Entry toA = testing::FolderEntry("A          ");
  StoreLe16(toA, 26, 50);  // low word
  Entry toB = testing::FolderEntry("B          ");
  StoreLe16(toB, 26, 51);  // low word
  medium.Write(SectorOf(50), DirectoryStart(50, 51, {toB, FileAt("X       TXT", 80, 10)}));
  medium.Write(SectorOf(51), DirectoryStart(51, 50, {toA, FileAt("Y       TXT", 81, 10)}));
  auto engine = OpenTaught(medium);
  medium.Feed(*engine, SectorOf(5), SectorOf(60));
  ASSERT_EQ(engine->FinishFatScan(), 0);
  RecordList files;
  ASSERT_EQ(engine->Search("*.txt", files), 0);
  EXPECT_EQ(files.size(), 2u);
  EXPECT_EQ(engine->GetRecordCount(), 4u);  // two files, two folders
  // The folders are filed under each other; a path through them ends.
  std::string path;
  (void)engine->GetRecordPath(files[0], path, 260);
  EXPECT_LE(path.size(), 260u);
}

TEST_F(ProFatEntriesTest, SectorsAfterADirectoryStartBelongToIt) {
  // 4 sectors per cluster, cluster 2 at 200: folders at 3 (204) and 5 (212).
  ProFatMedium medium(400);
  auto engine = medium.Open(logs.Path());
  engine->OnDirectoryStart(DirectoryStart(3, 0), 204);
  engine->OnDirectoryStart(DirectoryStart(5, 0), 212);
  ASSERT_EQ(engine->Geometries().size(), 1u);
  engine->OnDirectoryStart(DirectoryStart(8, 0), 224);
  std::vector<uint8_t> more(512, 0);
  const Entry second = FileAt("SECOND  TXT", 90, 10);
  std::copy(second.begin(), second.end(), more.begin());
  engine->OnDirectorySector(more, 226);  // inside cluster 8
  engine->OnDirectorySector(more, 228);  // cluster 9 goes on with folder 8
  ASSERT_EQ(engine->FinishFatScan(), 0);
  const auto tree = FoundTree(*engine);
  EXPECT_TRUE(tree.count("/LostFolder8/second.txt"));
  RecordList files;
  ASSERT_EQ(engine->Search("*.txt", files), 0);
  EXPECT_EQ(files.size(), 2u);
  EXPECT_EQ(tree.size(), 2u);  // both under folder 8 (same name, same list)
}

TEST_F(ProFatEntriesTest, SectorsKeptBeforeTheLayoutWasKnownAreReadAtTheEnd) {
  // 4 sectors per cluster, cluster 2 at 200, learnt only from folders at
  // clusters 10 (232) and 12 (240), after sector 225 of cluster 8 was met.
  ProFatMedium medium(400);
  auto engine = medium.Open(logs.Path());
  std::vector<uint8_t> inside(512, 0);
  const Entry early = FileAt("EARLY   TXT", 90, 10);
  std::copy(early.begin(), early.end(), inside.begin());
  engine->OnDirectorySector(inside, 225);
  engine->OnDirectoryStart(DirectoryStart(10, 0), 232);
  engine->OnDirectoryStart(DirectoryStart(12, 0), 240);
  ASSERT_EQ(engine->Geometries().size(), 1u);
  EXPECT_EQ(engine->GetRecordCount(), 0u);  // kept, not yet read
  ASSERT_EQ(engine->FinishFatScan(), 0);
  const auto tree = FoundTree(*engine);
  ASSERT_TRUE(tree.count("/LostFolder8/early.txt"));
  EXPECT_EQ(tree.at("/LostFolder8/early.txt").MetadataSector(), 225u);
  EXPECT_EQ(tree.at("/LostFolder8/early.txt").FirstDataSector(), 200u);
}

TEST_F(ProFatEntriesTest, FolderEntrySeenBeforeTheLayoutGetsItsRecord) {
  // 4 sectors per cluster, cluster 2 at 200: folder 30 (312) names Docs
  // (40, at 352) before any layout is known; Docs' own start teaches it.
  ProFatMedium medium(400);
  Entry docs = testing::FolderEntry("DOCS       ");
  StoreLe16(docs, 26, 40);  // low word
  medium.Write(312, DirectoryStart(30, 0, {docs}));
  medium.Write(352, DirectoryStart(40, 30, {FileAt("A       TXT", 70, 10)}));
  auto engine = medium.Open(logs.Path());
  medium.Feed(*engine, 300, 360);
  ASSERT_EQ(engine->Geometries().size(), 1u);
  ASSERT_EQ(engine->FinishFatScan(), 0);
  const auto tree = FoundTree(*engine);
  EXPECT_TRUE(tree.count("/LostFolder30/docs/a.txt"));
  EXPECT_EQ(tree.size(), 3u);
}

// A folder that grew went on in whatever cluster was free: a long name cut
// at its cluster's end and completed by a deleted short entry far off,
// whose short name is the one made from the long name, takes that cluster
// and the ones after it into the folder. A short entry with another name
// starts a folder of its own.
TEST_F(ProFatEntriesTest, CutLongNameGoesOnInAFarClusterOfTheSameFolder) {
  for (const bool fits : {true, false}) {
    ScratchFolder folder;
    ProFatMedium medium(400);
    auto engine = medium.Open(folder.Path());
    engine->OnDirectoryStart(DirectoryStart(3, 0), SectorOf(3));
    engine->OnDirectoryStart(DirectoryStart(4, 0), SectorOf(4));
    const uint8_t sum = ChecksumOf("ABCDEF~1   ");
    Entry part1 = LongNamePart(0x01, sum, 'a');
    Entry part2 = LongNamePart(0x42, sum, 'n');
    part1[0] = part2[0] = 0xE5;
    std::vector<uint8_t> first = DirectoryStart(
        20, 0,
        {FileAt("A       TXT", 30, 10), FileAt("B       TXT", 31, 10), FileAt("C       TXT", 32, 10),
         FileAt("D       TXT", 33, 10), FileAt("E       TXT", 34, 10), FileAt("F       TXT", 35, 10),
         FileAt("G       TXT", 36, 10), FileAt("H       TXT", 37, 10), FileAt("I       TXT", 38, 10),
         FileAt("J       TXT", 39, 10), FileAt("K       TXT", 40, 10), FileAt("L       TXT", 41, 10),
         part2, part1});
    ASSERT_EQ(first.size(), 512u);
    std::vector<uint8_t> far(512, 0), next(512, 0);
    const Entry shortEntry = Deleted(FileAt(fits ? "XBCDEF~1   " : "XWERTY~1   ", 42, 10));
    const Entry m = FileAt("M       TXT", 43, 10), n = FileAt("N       TXT", 44, 10);
    std::copy(shortEntry.begin(), shortEntry.end(), far.begin());
    std::copy(m.begin(), m.end(), far.begin() + 32);
    std::copy(n.begin(), n.end(), next.begin());
    engine->OnDirectoryStart(first, SectorOf(20));
    engine->OnDirectorySector(far, SectorOf(200));
    engine->OnDirectorySector(next, SectorOf(201));
    ASSERT_EQ(engine->FinishFatScan(), 0);
    const auto tree = FoundTree(*engine);
    if (fits) {
      EXPECT_TRUE(tree.count("/LostFolder20/abcdefghijklmnopqrstuvwxyz"));
      EXPECT_TRUE(tree.count("/LostFolder20/m.txt"));
      EXPECT_TRUE(tree.count("/LostFolder20/n.txt")) << "the cluster after the far one";
      EXPECT_FALSE(tree.count("/LostFolder200/"));
    } else {
      EXPECT_TRUE(tree.count("/LostFolder200/!werty~1"));
      EXPECT_TRUE(tree.count("/LostFolder200/m.txt"));
      EXPECT_FALSE(tree.count("/LostFolder20/m.txt"));
    }
  }
}

}  // namespace
}  // namespace brinvale
