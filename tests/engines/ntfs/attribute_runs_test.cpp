#include "engines/ntfs/attribute_runs.h"

#include <gtest/gtest.h>

#include "common/error_codes.h"
#include "engines/ntfs/attribute_list.h"
#include "record_builder.h"

namespace brinvale {
namespace {

using testing::MemoryVolume;
using testing::RecordBuilder;

constexpr uint32_t kStandardInformation = 0x10, kList = 0x20, kData = 0x80, kIndex = 0xA0;

// One $ATTRIBUTE_LIST entry.
std::vector<uint8_t> ListEntry(uint32_t type, uint64_t lowestVcn, uint64_t record,
                               const std::u16string& name = u"") {
  std::vector<uint8_t> e((0x1A + 2 * name.size() + 7) & ~size_t(7));
  StoreLe32(e, 0x00, type);                        // type
  StoreLe16(e, 0x04, uint16_t(e.size()));          // entry length
  e[0x06] = uint8_t(name.size());                  // name length
  e[0x07] = 0x1A;                                  // name offset
  StoreLe64(e, 0x08, lowestVcn);                   // lowest VCN
  StoreLe64(e, 0x10, record | uint64_t(1) << 48);  // record, sequence 1
  auto nameBytes = testing::Utf16Bytes(name);
  std::copy(nameBytes.begin(), nameBytes.end(), e.begin() + 0x1A);
  return e;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct Found {
  int rc;
  std::vector<PlacedRun> placed;
};

Found Find(const MemoryVolume& disk, uint64_t record, uint32_t type = kData) {
  uint64_t sector = 0;
  EXPECT_EQ(RecordToSector(disk.volume, record, sector), kOk);
  SectorReader reader = disk.Reader();
  RunList runs;
  Found f{FindAttributeRuns(disk.volume, reader, sector, type, runs), {}};
  EXPECT_TRUE(PlaceRuns(runs, f.placed));
  return f;
}

std::vector<std::pair<uint64_t, uint64_t>> Extents(const Found& f) {
  std::vector<std::pair<uint64_t, uint64_t>> e;
  for (const auto& p : f.placed) e.emplace_back(p.startCluster, p.clusterCount);
  return e;
}

using Extent = std::vector<std::pair<uint64_t, uint64_t>>;

TEST(FindAttributeRuns, DecodesTheUnnamedDataOfTheRecord) {
  MemoryVolume disk;
  disk.PutRecord(40, RecordBuilder(40)
                         .Resident(kStandardInformation, std::vector<uint8_t>(0x48))
                         .NonResident(kData, {0x11, 0x02, 0x60}, 0, 0, u"stream")  // named: skipped
                         .NonResident(kData, {0x11, 0x04, 0x30, 0x11, 0x02, 0x10}, 6 * 4096)
                         .Build());
  auto f = Find(disk, 40);
  EXPECT_EQ(f.rc, kOk);
  EXPECT_EQ(Extents(f), (Extent{{48, 4}, {64, 2}}));
}

TEST(FindAttributeRuns, OtherTypesTakeTheFirstAttributeWhateverItsName) {
  MemoryVolume disk;
  disk.PutRecord(
      41, RecordBuilder(41).NonResident(kIndex, {0x11, 0x01, 0x50}, 4096, 0, u"$I30").Build());
  EXPECT_EQ(Extents(Find(disk, 41, kIndex)), (Extent{{80, 1}}));
}

TEST(FindAttributeRuns, FailuresAreReportedByKind) {
  MemoryVolume disk;
  disk.PutRecord(40, RecordBuilder(40).Resident(kStandardInformation, {}).Build());
  disk.PutRecord(41,
                 RecordBuilder(41).NonResident(kData, {0x11, 0x01, 0x50}, 0, 0, u"ads").Build());
  disk.PutRecord(42, RecordBuilder(42).Resident(kData, {'h', 'i'}).Build());
  EXPECT_EQ(Find(disk, 39).rc, -1);    // zeros: not a FILE record
  EXPECT_EQ(Find(disk, 40).rc, -100);  // no $DATA, no list
  EXPECT_EQ(Find(disk, 41).rc, -100);  // only a named stream
  auto resident = Find(disk, 42);      // found, but it has no runs
  EXPECT_EQ(resident.rc, kOk);
  EXPECT_TRUE(resident.placed.empty());
  SectorReader reader = disk.Reader();
  RunList runs;
  EXPECT_EQ(FindAttributeRuns(disk.volume, reader, reader.totalSectors, kData, runs),
            kErrInvalidParameter);
}

// Base record 40 keeps the first piece of its $DATA; extension record 41
// holds the second after a $STANDARD_INFORMATION of its own.
MemoryVolume SplitData(uint64_t extensionBase) {
  MemoryVolume disk;
  auto list = Concat(
      {ListEntry(kStandardInformation, 0, 40), ListEntry(kData, 0, 40), ListEntry(kData, 4, 41)});
  disk.PutRecord(40, RecordBuilder(40)
                         .Resident(kStandardInformation, std::vector<uint8_t>(0x48))
                         .Resident(kList, list)
                         .NonResident(kData, {0x11, 0x04, 0x30}, 7 * 4096)  // 4 at 48
                         .Build());
  disk.PutRecord(41, RecordBuilder(41)
                         .BaseRecord(extensionBase | uint64_t(1) << 48)
                         .Resident(kStandardInformation, std::vector<uint8_t>(0x48))
                         .NonResident(kData, {0x11, 0x03, 0x50}, 0, 4)  // 3 at 80, from VCN 4
                         .Build());
  return disk;
}

TEST(FindAttributeRuns, ResidentListJoinsThePiecesInOrder) {
  auto f = Find(SplitData(40), 40);
  EXPECT_EQ(f.rc, kOk);
  EXPECT_EQ(Extents(f), (Extent{{48, 4}, {80, 3}}));
}

TEST(FindAttributeRuns, ExtensionRecordOfAnotherFileIsNotUsed) {
  // Record 41 was reused by a file whose base is 39: only the base's piece.
  EXPECT_EQ(Extents(Find(SplitData(39), 40)), (Extent{{48, 4}}));
}

TEST(FindAttributeRuns, NonResidentListFollowsEveryEntry) {
  MemoryVolume disk;
  auto list = Concat({ListEntry(kStandardInformation, 0, 42), ListEntry(kIndex, 0, 45, u"$I30"),
                      ListEntry(kData, 0, 43), ListEntry(kData, 2, 44)});
  disk.PutCluster(100, list);
  disk.PutRecord(42, RecordBuilder(42)
                         .Resident(kStandardInformation, std::vector<uint8_t>(0x48))
                         .NonResident(kList, {0x11, 0x01, 0x64}, list.size())  // 1 at 100
                         .Build());
  disk.PutRecord(43, RecordBuilder(43)
                         .BaseRecord(42)
                         .NonResident(kData, {0x11, 0x02, 0x70}, 5 * 4096)  // 2 at 112
                         .Build());
  disk.PutRecord(44,
                 RecordBuilder(44)
                     .BaseRecord(42)
                     .Resident(kStandardInformation, {})
                     .NonResident(kData, {0x01, 0x01, 0x11, 0x02, 0x20}, 0, 2)  // sparse, 2 at 32
                     .Build());
  auto f = Find(disk, 42);
  EXPECT_EQ(f.rc, kOk);
  ASSERT_EQ(f.placed.size(), 3u);
  EXPECT_EQ(f.placed[0].startCluster, 112u);
  EXPECT_TRUE(f.placed[1].sparse);
  EXPECT_EQ(f.placed[2].startCluster, 32u);
  EXPECT_EQ(f.placed[2].clusterCount, 2u);
}

TEST(FindAttributeRuns, PieceThatDoesNotContinueEndsTheJoin) {
  MemoryVolume disk;
  auto list = Concat({ListEntry(kData, 0, 43), ListEntry(kData, 5, 44)});  // VCN 2..4 missing
  disk.PutRecord(42, RecordBuilder(42).Resident(kList, list).Build());
  disk.PutRecord(43,
                 RecordBuilder(43).BaseRecord(42).NonResident(kData, {0x11, 0x02, 0x70}).Build());
  disk.PutRecord(
      44, RecordBuilder(44).BaseRecord(42).NonResident(kData, {0x11, 0x02, 0x20}, 0, 5).Build());
  EXPECT_EQ(Extents(Find(disk, 42)), (Extent{{112, 2}}));
}

TEST(FindAttributeRuns, ListNamingOnlyOtherTypesFallsBackToTheRecord) {
  MemoryVolume disk;
  // The list names a $DATA piece past the MFT and an index; the record's own
  // $DATA is used.
  auto list = Concat({ListEntry(kIndex, 0, 42, u"$I30"), ListEntry(kData, 0, 5000)});
  disk.PutRecord(
      42, RecordBuilder(42).Resident(kList, list).NonResident(kData, {0x11, 0x01, 0x30}).Build());
  auto f = Find(disk, 42);
  EXPECT_EQ(f.rc, kOk);
  EXPECT_EQ(Extents(f), (Extent{{48, 1}}));
  // With no $DATA in the record either, the list is still "found": 0, no runs.
  disk.PutRecord(43, RecordBuilder(43).Resident(kList, list).Build());
  auto g = Find(disk, 43);
  EXPECT_EQ(g.rc, kOk);
  EXPECT_TRUE(g.placed.empty());
}

TEST(FindAttributeRuns, ExtensionRecordsListIsNotFollowed) {
  MemoryVolume disk;
  // An extension record (base 40) carrying a list that names itself.
  auto list = Concat({ListEntry(kData, 0, 41)});
  disk.PutRecord(41, RecordBuilder(41)
                         .BaseRecord(40)
                         .Resident(kList, list)
                         .NonResident(kData, {0x11, 0x01, 0x30})
                         .Build());
  EXPECT_EQ(Extents(Find(disk, 41)), (Extent{{48, 1}}));
}

TEST(ParseAttributeList, StopsAtMalformedEntries) {
  auto good = ListEntry(kData, 0, 43);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    size_t entries;
  } cases[] = {
      {"two entries", Concat({good, good}), 2},
      {"type 0 ends", Concat({good, std::vector<uint8_t>(0x20, 0), good}), 1},
      {"length below the header",
       [&] {
         auto b = Concat({good, good});
         StoreLe16(b, good.size() + 4, 0x10);
         return b;
       }(),
       1},
      {"length past the end",
       [&] {
         auto b = Concat({good, good});
         StoreLe16(b, good.size() + 4, 0x100);
         return b;
       }(),
       1},
      {"name outside the entry",
       [&] {
         auto b = good;
         b[0x06] = 20;
         return b;
       }(),
       0},
      {"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 0x19), 0},
  };
  for (const auto& c : cases) {
    std::vector<AttributeListEntry> entries;
    ParseAttributeList(c.bytes, entries);
    EXPECT_EQ(entries.size(), c.entries) << c.what;
  }
  std::vector<AttributeListEntry> entries;
  auto named = ListEntry(kIndex, 7, 0x123456789ABCull, u"$I30");
  ParseAttributeList(named, entries);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].recordNumber, 0x123456789ABCull);  // all 48 bits
  EXPECT_EQ(entries[0].lowestVcn, 7u);
  EXPECT_EQ(entries[0].name.size(), 8u);
}

}  // namespace
}  // namespace brinvale
