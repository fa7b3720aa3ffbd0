// The formatted-NTFS engine over media built byte by byte in memory: which
// MFT owns a record, the file-system start and cluster size it is logged
// with, the folders its parent chain gives, and the records it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/ntfs/professional_ntfs_recovery.h"
#include "record_builder.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using testing::RecordBuilder;

constexpr uint16_t kDeletedFile = 0x0000;
constexpr uint16_t kLiveFile = 0x0001;
constexpr uint16_t kDeletedFolder = 0x0002;
constexpr uint16_t kLiveFolder = 0x0003;

constexpr uint64_t kMediumSectors = 8192;  // 4 MiB of 512-byte sectors
constexpr uint64_t kMftA = 32;             // volume A at 0: $MFT at cluster 4
constexpr uint64_t kStartB = 2048;         // an older volume B at sector 2048
constexpr uint64_t kMftB = kStartB + 80;   // its $MFT at its cluster 10

using testing::FileName;

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

// A $MFT record 0 whose $DATA is 16 clusters of 4 KiB at `cluster`.
std::vector<uint8_t> MftRecord(uint8_t cluster) {
  return RecordBuilder(0)
      .Resident(0x30, FileName(5, u"$MFT"))
      .NonResident(0x80, {0x11, 0x10, cluster}, 16 * 4096)  // 16 clusters at `cluster`
      .Build();
}

class ProNtfsRecords : public ::testing::Test {
 protected:
  ProNtfsRecords()
      : m_logs(fs::temp_directory_path() /
               ("brinvale-" + std::to_string(BRINVALE_TEST_PID) + "-pro-ntfs-records")) {
    fs::remove_all(m_logs);
    m_bytes.assign(kMediumSectors * 512, 0);
  }
  ~ProNtfsRecords() override {
    std::error_code ec;
    fs::remove_all(m_logs, ec);
  }

  void PutAt(uint64_t sector, const std::vector<uint8_t>& data) {
    std::copy(data.begin(), data.end(), m_bytes.begin() + ptrdiff_t(sector * 512));
  }
  // An NTFS boot sector for volume A: 4 KiB clusters, $MFT at cluster 4.
  void PutBootA() {
    std::vector<uint8_t> boot(512, 0);
    boot[0] = 0xEB;  // jump
    boot[1] = 0x52;
    boot[2] = 0x90;
    const char oem[] = "NTFS    ";
    std::copy(oem, oem + 8, boot.begin() + 3);  // OEM name
    StoreLe16(boot, 0x0B, 512);                 // bytes per sector
    boot[0x0D] = 8;                             // sectors per cluster
    boot[0x15] = 0xF8;                          // media
    StoreLe64(boot, 0x28, 2047);                // total sectors
    StoreLe64(boot, 0x30, 4);                   // $MFT cluster
    StoreLe64(boot, 0x38, 8);                   // $MFTMirr cluster
    boot[0x40] = 0xF6;                          // clusters per record: 2^10 bytes
    boot[0x44] = 1;                             // clusters per index block
    boot[510] = 0x55;
    boot[511] = 0xAA;
    PutAt(0, boot);
    PutAt(kMftA, MftRecord(4));
  }

  int Open(uint64_t sectors = kMediumSectors) {
    SectorReader reader;
    OpenSourceReader(reader, std::make_unique<MemoryByteSource>(m_bytes), kMediumSectors);
    if (int rc = m_engine.OpenReader(std::move(reader), 0, sectors, 512, u'P'); rc != kOk)
      return rc;
    m_engine.SetScanLogFolder(m_logs);
    m_engine.SetPreviewFolder(m_logs / "preview");
    return m_engine.OpenProLog(nullptr);
  }

  // Hands the record at `sector` to the engine as the scan would.
  int Analyse(uint64_t sector, size_t bytes = 1024) {
    return m_engine.AnalyseRecord(std::span(m_bytes).subspan(size_t(sector * 512), bytes), sector);
  }

  void Collect(const ScanRecord* parent, uint32_t level, const std::string& prefix) {
    RecordList children;
    ASSERT_EQ(m_engine.ListChildren(parent, level, children), kOk);
    for (const ScanRecord& child : children) {
      const std::string path = prefix + std::string(child.Name());
      m_tree[path] = child;
      if (child.IsFolder()) Collect(&m_tree[path], level + 1, path + "/");
    }
  }
  std::map<std::string, ScanRecord>& Tree() {
    m_tree.clear();
    Collect(nullptr, 0, "");
    return m_tree;
  }

  fs::path m_logs;
  std::vector<uint8_t> m_bytes;
  CProfessionalNtfsRecovery m_engine;
  std::map<std::string, ScanRecord> m_tree;
};

TEST_F(ProNtfsRecords, BootSectorAndMftRecordsRegisterTheirMfts) {
  PutBootA();
  PutAt(kMftB, MftRecord(10));
  ASSERT_EQ(Open(), kOk);
  const RunList runsA{{16, 4, false}};
  EXPECT_EQ(m_engine.MftMap(), (std::map<uint64_t, RunList>{{kMftA, runsA}}));
  EXPECT_EQ(Analyse(kMftB), kOk);
  const RunList runsB{{16, 10, false}};
  EXPECT_EQ(m_engine.MftMap(), (std::map<uint64_t, RunList>{{kMftA, runsA}, {kMftB, runsB}}));
  // Record 0 makes no file record of its own.
  EXPECT_EQ(m_engine.GetRecordCount(), 0u);
}

TEST_F(ProNtfsRecords, RecordsOfTwoFormatsGoToTheirOwnMftAndFileSystemStart) {
  PutBootA();
  PutAt(kMftB, MftRecord(10));
  // Volume A: folder 30 "new" in the root, file 40 in it.
  PutAt(kMftA + 60,
        RecordBuilder(30).Flags(kLiveFolder).Resident(0x30, FileName(5, u"new")).Build());
  PutAt(kMftA + 80, RecordBuilder(40)
                        .Flags(kLiveFile)
                        .Resident(0x30, FileName(30, u"a.txt"))
                        .Resident(0x80, Text("new text"))
                        .Build());
  // Volume B: folder 31 "old", file 40 in it with 8 KiB at B's cluster 100.
  PutAt(kMftB + 62,
        RecordBuilder(31).Flags(kDeletedFolder).Resident(0x30, FileName(5, u"old")).Build());
  PutAt(kMftB + 80, RecordBuilder(40)
                        .Flags(kDeletedFile)
                        .Resident(0x30, FileName(31, u"b.bin"))
                        .NonResident(0x80, {0x11, 0x02, 0x64}, 8192)  // 2 clusters at 100
                        .Build());
  std::vector<uint8_t> content(8192);
  for (size_t i = 0; i < content.size(); ++i) content[i] = uint8_t(i * 7 + 3);
  PutAt(kStartB + 800, content);
  ASSERT_EQ(Open(), kOk);
  ASSERT_EQ(Analyse(kMftB), kOk);  // the scan meets B's $MFT first, then the files
  ASSERT_EQ(Analyse(kMftA + 80), kOk);
  ASSERT_EQ(Analyse(kMftB + 80), kOk);
  ASSERT_EQ(m_engine.RunFolderPass(), kOk);
  auto& tree = Tree();
  ASSERT_TRUE(tree.count("new/a.txt"));
  ASSERT_TRUE(tree.count("old/b.bin"));
  const ScanRecord& a = tree["new/a.txt"];
  const ScanRecord& b = tree["old/b.bin"];
  EXPECT_EQ(a.EngineValue(), 2u);
  EXPECT_EQ(a.MetadataSector(), kMftA + 80);
  EXPECT_EQ(a.PartitionStart(), 0u);
  EXPECT_EQ(b.MetadataSector(), kMftB + 80);
  EXPECT_EQ(b.PartitionStart(), kStartB);
  EXPECT_EQ(b.ClusterBytes(), 4096u);
  EXPECT_EQ(tree["old"].PartitionStart(), kStartB);
  EXPECT_EQ(tree["old"].MetadataSector(), kMftB + 62);

  uint64_t first = 0;
  ASSERT_TRUE(m_engine.FirstDataSector(b, first));
  EXPECT_EQ(first, kStartB + 100 * 8);
  EXPECT_FALSE(m_engine.FirstDataSector(a, first));  // resident data

  const fs::path target = m_logs / "out" / "b.bin";
  ASSERT_EQ(m_engine.RecoverRecord(b, target, 0), kOk);
  EXPECT_EQ(test::ReadFileBytes(target), content);
}

// One $ATTRIBUTE_LIST entry.
std::vector<uint8_t> ListEntry(uint32_t type, uint64_t lowestVcn, uint64_t record) {
  std::vector<uint8_t> e(0x20, 0);
  StoreLe32(e, 0x00, type);                        // type
  StoreLe16(e, 0x04, uint16_t(e.size()));          // entry length
  e[0x07] = 0x1A;                                  // name offset (no name)
  StoreLe64(e, 0x08, lowestVcn);                   // lowest VCN
  StoreLe64(e, 0x10, record | uint64_t(1) << 48);  // record, sequence 1
  return e;
}

TEST_F(ProNtfsRecords, AnMftSplitOverAnExtensionRecordIsFollowed) {
  // B's $MFT: 16 clusters at 10 in record 0, 8 more at 40 in record 15.
  auto list = ListEntry(0x80, 0, 0);
  const auto second = ListEntry(0x80, 16, 15);
  list.insert(list.end(), second.begin(), second.end());
  PutAt(kMftB, RecordBuilder(0)
                   .Resident(0x20, list)
                   .Resident(0x30, FileName(5, u"$MFT"))
                   .NonResident(0x80, {0x11, 0x10, 0x0A}, 24 * 4096)  // allocated: all 24
                   .Build());
  PutAt(kMftB + 30, RecordBuilder(15)
                        .BaseRecord(uint64_t(1) << 48)                 // base: record 0
                        .NonResident(0x80, {0x11, 0x08, 0x28}, 0, 16)  // from VCN 16
                        .Build());
  // Record 70 lies 12 sectors into the second piece.
  const uint64_t sector70 = kStartB + 40 * 8 + 12;
  PutAt(sector70, RecordBuilder(70)
                      .Flags(kDeletedFile)
                      .Resident(0x30, FileName(5, u"far.txt"))
                      .Resident(0x80, Text("far"))
                      .Build());
  ASSERT_EQ(Open(), kOk);
  ASSERT_EQ(Analyse(kMftB), kOk);
  EXPECT_EQ(m_engine.MftMap().at(kMftB), (RunList{{16, 10, false}, {8, 30, false}}));
  ASSERT_EQ(Analyse(sector70), kOk);
  auto& tree = Tree();
  ASSERT_TRUE(tree.count("far.txt"));
  EXPECT_EQ(tree["far.txt"].PartitionStart(), kStartB);
  EXPECT_EQ(tree["far.txt"].ClusterBytes(), 4096u);
}

TEST_F(ProNtfsRecords, ARecordNoMftPlacesTakesItsMftAsContiguous) {
  PutBootA();
  // Record 50 at sector 6000; its parent 45 lies 5 records before it.
  PutAt(6000 - 10,
        RecordBuilder(45).Flags(kLiveFolder).Resident(0x30, FileName(5, u"lonely")).Build());
  PutAt(6000, RecordBuilder(50)
                  .Flags(kDeletedFile)
                  .Resident(0x30, FileName(45, u"x.txt"))
                  .Resident(0x80, Text("x"))
                  .Build());
  ASSERT_EQ(Open(), kOk);
  ASSERT_EQ(Analyse(6000), kOk);
  ASSERT_EQ(m_engine.RunFolderPass(), kOk);
  auto& tree = Tree();
  ASSERT_TRUE(tree.count("lonely/x.txt"));
  EXPECT_EQ(tree["lonely/x.txt"].PartitionStart(), 0u);
  EXPECT_EQ(tree["lonely/x.txt"].MetadataSector(), 6000u);
  EXPECT_EQ(tree["lonely"].MetadataSector(), 5990u);
}

TEST_F(ProNtfsRecords, ClusterSizeComesFromAllocatedSizeOverClusters) {
  ASSERT_EQ(Open(), kOk);
  EXPECT_EQ(m_engine.SectorsPerCluster(), 8u);  // 4 MiB: the default for small volumes
  // 3 clusters at cluster 100, 6,144 bytes allocated: 2 KiB clusters.
  auto record = RecordBuilder(70)
                    .Flags(kDeletedFile)
                    .Resident(0x30, FileName(5, u"c.bin"))
                    .NonResident(0x80, {0x11, 0x03, 0x64}, 6144)
                    .Build();
  PutAt(3000, record);
  ASSERT_EQ(Open(), kOk);
  ASSERT_EQ(Analyse(3000), kOk);
  EXPECT_EQ(m_engine.SectorsPerCluster(), 4u);
  auto& tree = Tree();
  ASSERT_TRUE(tree.count("c.bin"));
  EXPECT_EQ(tree["c.bin"].ClusterBytes(), 2048u);
  uint64_t first = 0;
  ASSERT_TRUE(m_engine.FirstDataSector(tree["c.bin"], first));
  EXPECT_EQ(first, 100u * 4);
  // An allocated size that is no whole number of sectors per cluster is no estimate.
  PutAt(3100, RecordBuilder(71)
                  .Flags(kDeletedFile)
                  .Resident(0x30, FileName(5, u"d.bin"))
                  .NonResident(0x80, {0x11, 0x03, 0x64}, 5000)
                  .Build());
  ASSERT_EQ(Open(), kOk);
  ASSERT_EQ(Analyse(3100), kOk);
  EXPECT_EQ(m_engine.SectorsPerCluster(), 8u);
}

TEST(ProNtfsDefaults, SectorsPerClusterFollowsTheVolumeSize) {
  struct Case {
    uint64_t bytes;
    uint32_t bytesPerSector;
    uint32_t expected;
  };
  const Case cases[] = {
      {8ull << 30, 512, 8},     // 8 GiB
      {4ull << 20, 512, 8},     // 4 MiB: at most 7 MiB
      {256ull << 20, 512, 1},   // up to 512 MiB
      {512ull << 20, 512, 1},   //
      {768ull << 20, 512, 2},   // up to 1 GiB
      {1536ull << 20, 512, 4},  // up to 2 GiB
      {3ull << 30, 512, 8},     // above
      {2ull << 30, 4096, 1},    // 4 KiB sectors: k = 8, up to 4 GiB
      {12ull << 30, 4096, 4},   // up to 16 GiB
  };
  std::vector<uint8_t> bytes(8192, 0);
  for (const Case& c : cases) {
    SectorReader reader;
    OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes),
                     bytes.size() / c.bytesPerSector);
    CProfessionalNtfsRecovery engine;
    ASSERT_EQ(
        engine.OpenReader(std::move(reader), 0, c.bytes / c.bytesPerSector, c.bytesPerSector, u'P'),
        kOk);
    EXPECT_EQ(engine.SectorsPerCluster(), c.expected) << c.bytes << " bytes";
    EXPECT_EQ(engine.Volume().recordSize, c.bytesPerSector == 512 ? 1024u : c.bytesPerSector);
  }
}

TEST_F(ProNtfsRecords, AParentSlotHoldingAnotherRecordBecomesALostFolder) {
  PutBootA();
  // File 41 names folder 33 as its parent; slot 33 now holds folder 34.
  PutAt(kMftA + 66,
        RecordBuilder(34).Flags(kLiveFolder).Resident(0x30, FileName(5, u"other")).Build());
  PutAt(kMftA + 82, RecordBuilder(41)
                        .Flags(kDeletedFile)
                        .Resident(0x30, FileName(33, u"c.txt"))
                        .Resident(0x80, Text("c"))
                        .Build());
  ASSERT_EQ(Open(), kOk);
  ASSERT_EQ(Analyse(kMftA + 82), kOk);
  ASSERT_EQ(m_engine.RunFolderPass(), kOk);
  auto& tree = Tree();
  ASSERT_TRUE(tree.count("LostFolder33/c.txt"));
  EXPECT_FALSE(tree.count("other"));
  const ScanRecord& lost = tree["LostFolder33"];
  EXPECT_TRUE(lost.IsFolder());
  EXPECT_EQ(lost.EngineValue(), 2u);
  EXPECT_EQ(lost.ContentCheck(), 1u);
  EXPECT_EQ(lost.EntryKey(), 33u);
}

TEST_F(ProNtfsRecords, FoldersOnACycleBecomeLostFoldersThatKeepTheirFiles) {
  PutBootA();
  // Folders 30 and 31 name each other as parent; folder 32 hangs off 30.
  PutAt(kMftA + 60,
        RecordBuilder(30).Flags(kLiveFolder).Resident(0x30, FileName(31, u"a")).Build());
  PutAt(kMftA + 62,
        RecordBuilder(31).Flags(kLiveFolder).Resident(0x30, FileName(30, u"b")).Build());
  PutAt(kMftA + 64,
        RecordBuilder(32).Flags(kLiveFolder).Resident(0x30, FileName(30, u"c")).Build());
  PutAt(kMftA + 80, RecordBuilder(40)
                        .Flags(kDeletedFile)
                        .Resident(0x30, FileName(30, u"f.txt"))
                        .Resident(0x80, Text("f"))
                        .Build());
  PutAt(kMftA + 82, RecordBuilder(41)
                        .Flags(kDeletedFile)
                        .Resident(0x30, FileName(32, u"g.txt"))
                        .Resident(0x80, Text("g"))
                        .Build());
  ASSERT_EQ(Open(), kOk);
  ASSERT_EQ(Analyse(kMftA + 80), kOk);
  ASSERT_EQ(Analyse(kMftA + 82), kOk);
  ASSERT_EQ(m_engine.RunFolderPass(), kOk);
  auto& tree = Tree();
  EXPECT_TRUE(tree.count("LostFolder30/f.txt"));
  EXPECT_TRUE(tree.count("LostFolder30/c/g.txt"));
  EXPECT_TRUE(tree.count("LostFolder31"));
}

TEST_F(ProNtfsRecords, LiveFilesAreRecordedAndFoldersAreNot) {
  PutBootA();
  PutAt(kMftA + 80, RecordBuilder(40)
                        .Flags(kLiveFile)
                        .Resident(0x30, FileName(5, u"live.txt"))
                        .Resident(0x80, Text("live"))
                        .Build());
  PutAt(kMftA + 82,
        RecordBuilder(41).Flags(kLiveFolder).Resident(0x30, FileName(5, u"dir")).Build());
  PutAt(kMftA + 84,
        RecordBuilder(42).Flags(kDeletedFolder).Resident(0x30, FileName(5, u"gone")).Build());
  PutAt(kMftA + 86,
        RecordBuilder(11).Flags(kLiveFile).Resident(0x30, FileName(5, u"$Extend")).Build());
  ASSERT_EQ(Open(), kOk);
  EXPECT_EQ(Analyse(kMftA + 80), kOk);
  EXPECT_EQ(Analyse(kMftA + 82), kOk);
  EXPECT_EQ(Analyse(kMftA + 84), kOk);
  EXPECT_EQ(Analyse(kMftA + 86), kOk);  // a system record
  EXPECT_EQ(m_engine.GetRecordCount(), 1u);
  auto& tree = Tree();
  ASSERT_TRUE(tree.count("live.txt"));
  EXPECT_FALSE(tree["live.txt"].IsFolder());
  EXPECT_EQ(tree["live.txt"].FileSize(), 4u);  // from the resident $DATA
}

TEST_F(ProNtfsRecords, ShortSpansAndBadHeadersAreRefused) {
  auto good = RecordBuilder(40)
                  .Flags(kDeletedFile)
                  .Resident(0x30, FileName(5, u"f.txt"))
                  .Resident(0x80, Text("f"))
                  .Build();
  PutAt(100, good);
  ASSERT_EQ(Open(), kOk);
  EXPECT_EQ(Analyse(100, 1023), kErrInvalidParameter);  // less than one record
  EXPECT_EQ(Analyse(200), ntfs::kNotFileRecord);        // zeros

  auto firstPastRecord = good;
  StoreLe16(firstPastRecord, 0x14, 1024);  // first attribute at the record's end
  PutAt(300, firstPastRecord);
  EXPECT_EQ(Analyse(300), kErrInvalidParameter);
  auto inUsePastRecord = good;
  StoreLe32(inUsePastRecord, 0x18, 1028);  // bytes in use beyond the record
  PutAt(400, inUsePastRecord);
  EXPECT_EQ(Analyse(400), kErrInvalidParameter);
  auto firstPastInUse = good;
  StoreLe32(firstPastInUse, 0x18, 0x30);  // bytes in use before the first attribute
  PutAt(500, firstPastInUse);
  EXPECT_EQ(Analyse(500), kErrInvalidParameter);
  EXPECT_EQ(m_engine.GetRecordCount(), 0u);

  EXPECT_EQ(Analyse(100), kOk);
  EXPECT_EQ(m_engine.GetRecordCount(), 1u);
}

TEST_F(ProNtfsRecords, ADosNameIsReplacedByTheWin32NameAfterIt) {
  PutAt(100, RecordBuilder(40)
                 .Flags(kDeletedFile)
                 .Resident(0x30, FileName(5, u"REPORT~1.TXT", 2))
                 .Resident(0x30, FileName(5, u"Report for May.txt", 1))
                 .Resident(0x80, Text("may"))
                 .Build());
  ASSERT_EQ(Open(), kOk);
  ASSERT_EQ(Analyse(100), kOk);
  EXPECT_TRUE(Tree().count("Report for May.txt"));
}

}  // namespace
}  // namespace brinvale
