// The quick NTFS engine over small volumes built byte by byte in memory:
// the naming, placement and skipping rules of the record pass.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "record_builder.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using testing::MemoryVolume;
using testing::RecordBuilder;

constexpr uint16_t kDeletedFile = 0x0000;
constexpr uint16_t kLiveFile = 0x0001;
constexpr uint16_t kDeletedFolder = 0x0002;
constexpr uint16_t kLiveFolder = 0x0003;

using testing::FileName;

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

// A volume of 128 clusters of 4 KiB: boot sector, $MFT at cluster 4 (64
// records), nothing else until the test adds records.
class EngineVolume {
 public:
  EngineVolume() {
    std::vector<uint8_t> boot(512, 0);
    const char oem[] = "NTFS    ";
    std::copy(oem, oem + 8, boot.begin() + 3);  // OEM name
    StoreLe16(boot, 0x0B, 512);                 // bytes per sector
    boot[0x0D] = 8;                             // sectors per cluster
    StoreLe64(boot, 0x28, 1023);                // total sectors
    StoreLe64(boot, 0x30, 4);                   // $MFT cluster
    boot[510] = 0x55;
    boot[511] = 0xAA;
    m_disk.PutAt(0, boot);
    // $MFT: 16 clusters at cluster 4 (header 0x11: one length byte, one offset byte).
    Put(0, RecordBuilder(0)
               .Resident(0x30, FileName(5, u"$MFT", 3))
               .NonResident(0x80, {0x11, 0x10, 0x04}, 64 * 1024));
  }

  void Put(uint32_t number, RecordBuilder builder) { m_disk.PutRecord(number, builder.Build()); }
  // A deleted file in folder `parent` with resident content.
  void PutFile(uint32_t number, uint64_t parent, const std::u16string& name,
               const std::string& content, uint16_t flags = kDeletedFile) {
    Put(number, RecordBuilder(number)
                    .Flags(flags)
                    .Resident(0x30, FileName(parent, name, 3, 999))
                    .Resident(0x80, Text(content)));
  }
  void PutFolder(uint32_t number, uint64_t parent, const std::u16string& name,
                 uint16_t flags = kLiveFolder) {
    Put(number, RecordBuilder(number).Flags(flags).Resident(0x30, FileName(parent, name, 3)));
  }

  // Scans with a fresh engine; the tree goes into `tree` by path.
  int Scan(CFastNtfsRecovery& engine, const fs::path& logs) {
    if (int rc = engine.OpenReader(m_disk.Reader(), 0, m_disk.bytes.size() / 512, 512, u'M');
        rc != kOk)
      return rc;
    engine.SetScanLogFolder(logs);
    return engine.Scan(nullptr);
  }

  MemoryVolume& Disk() { return m_disk; }

 private:
  MemoryVolume m_disk;
};

void Collect(IRidiRedazuvoParse& engine, const ScanRecord* parent, uint32_t level,
             const std::string& prefix, std::map<std::string, ScanRecord>& out) {
  RecordList children;
  ASSERT_EQ(engine.ListChildren(parent, level, children), kOk);
  for (const ScanRecord& child : children) {
    const std::string path = prefix + std::string(child.Name());
    if (out.count(path)) {
      out[path + "~again"] = child;
      continue;
    }
    out[path] = child;
    if (child.IsFolder()) Collect(engine, &out[path], level + 1, path + "/", out);
  }
}

class FastNtfsRecords : public ::testing::Test {
 protected:
  FastNtfsRecords()
      : m_logs(fs::temp_directory_path() /
               ("brinvale-" + std::to_string(BRINVALE_TEST_PID) + "-ntfs-records")) {
    fs::remove_all(m_logs);
  }
  ~FastNtfsRecords() override {
    std::error_code ec;
    fs::remove_all(m_logs, ec);
  }

  std::map<std::string, ScanRecord> ScanTree() {
    std::map<std::string, ScanRecord> tree;
    EXPECT_EQ(m_volume.Scan(m_engine, m_logs), kOk);
    Collect(m_engine, nullptr, 0, "", tree);
    return tree;
  }

  fs::path m_logs;
  EngineVolume m_volume;
  CFastNtfsRecovery m_engine;
};

TEST_F(FastNtfsRecords, ListsAWin32NameThatFollowsADosName) {
  m_volume.Put(20, RecordBuilder(20)
                       .Flags(kDeletedFile)
                       .Resident(0x30, FileName(5, u"REPORT~1.TXT", 2))        // DOS first
                       .Resident(0x30, FileName(5, u"Report for May.txt", 1))  // then Win32
                       .Resident(0x80, Text("hello")));
  m_volume.Put(21, RecordBuilder(21)
                       .Flags(kDeletedFile)
                       .Resident(0x30, FileName(5, u"Quarterly notes.txt", 1))  // Win32 first
                       .Resident(0x30, FileName(5, u"QUARTE~1.TXT", 2))         // then DOS
                       .Resident(0x80, Text("notes")));
  m_volume.Put(22, RecordBuilder(22)
                       .Flags(kDeletedFile)
                       .Resident(0x30, FileName(5, u"posix_name", 0))  // POSIX only
                       .Resident(0x30, FileName(5, u"POSIX_~1", 2)));  // a later DOS name
  const auto tree = ScanTree();
  EXPECT_TRUE(tree.count("Report for May.txt"));
  EXPECT_TRUE(tree.count("Quarterly notes.txt"));
  EXPECT_TRUE(tree.count("posix_name"));
  EXPECT_EQ(tree.size(), 3u);
  const ScanRecord& r = tree.at("Report for May.txt");
  EXPECT_EQ(r.FileSize(), 5u);  // the $DATA size replaces the $FILE_NAME one
  EXPECT_EQ(r.EntryKey(), 20u);
  EXPECT_EQ(r.Created(), 0x01D9000000000001u);
  EXPECT_EQ(r.Written(), 0x01D9000000000002u);
  EXPECT_EQ(r.Accessed(), 0x01D9000000000004u);
  EXPECT_EQ(r.SourceKey(), u'M');
  EXPECT_EQ(r.ClusterBytes(), 4096u);
  EXPECT_EQ(r.MetadataSector(), 32u + 2 * 20);      // $MFT at sector 32, two sectors a record
  EXPECT_EQ(tree.at("posix_name").FileSize(), 0u);  // no $DATA: the $FILE_NAME size, 0 here
}

TEST_F(FastNtfsRecords, WritesNamesAsUtf8) {
  m_volume.PutFile(30, 5, u"\u00DCber \u65E5\u672C.txt", "x");
  const auto tree = ScanTree();
  EXPECT_TRUE(
      tree.count("\xC3\x9C"
                 "ber \xE6\x97\xA5\xE6\x9C\xAC.txt"));
}

TEST_F(FastNtfsRecords, SkipsLiveFilesFoldersSystemAndExtensionRecords) {
  m_volume.PutFile(20, 5, u"live.txt", "a", kLiveFile);
  m_volume.PutFolder(21, 5, u"deleted folder", kDeletedFolder);
  for (uint32_t n = 1; n <= 11; ++n)
    m_volume.PutFile(n, 5, u"system" + std::u16string(1, char16_t(u'a' + n)), "s");
  // mkntfs leaves records 16..23 as empty FILE records with flags 0.
  for (uint32_t n = 16; n <= 19; ++n) m_volume.Put(n, RecordBuilder(0).Flags(0));
  // An extension record of a deleted file is no file of its own.
  m_volume.Put(25, RecordBuilder(25)
                       .Flags(kDeletedFile)
                       .BaseRecord(24)
                       .Resident(0x30, FileName(5, u"extension.txt", 1)));
  m_volume.PutFile(26, 5, u"found.txt", "f");
  const auto tree = ScanTree();
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_TRUE(tree.count("found.txt"));
  EXPECT_EQ(m_engine.GetRecordCount(), 1u);  // no folder record for the root
}

TEST_F(FastNtfsRecords, PutsFilesOfAFolderThatIsNoLongerOneIntoLostFolders) {
  m_volume.PutFile(30, 5, u"now a file.txt", "r", kLiveFile);  // took a folder's record
  m_volume.PutFile(31, 30, u"orphan.txt", "o");
  m_volume.PutFile(32, 40, u"blank parent.txt", "b");    // record 40 holds nothing
  m_volume.PutFile(33, 100000, u"far parent.txt", "p");  // past the end of the MFT
  m_volume.PutFolder(34, 30, u"kept");                   // a folder inside the lost one
  m_volume.PutFile(35, 34, u"deep.txt", "d");
  const auto tree = ScanTree();
  EXPECT_TRUE(tree.count("LostFolder30/orphan.txt"));
  EXPECT_TRUE(tree.count("LostFolder30/kept/deep.txt"));
  EXPECT_TRUE(tree.count("LostFolder40/blank parent.txt"));
  EXPECT_TRUE(tree.count("LostFolder100000/far parent.txt"));
  const ScanRecord& lost = tree.at("LostFolder30");
  EXPECT_TRUE(lost.IsFolder());
  EXPECT_EQ(lost.ClusterBytes(), 0xFFFFFFFFu);
  EXPECT_EQ(lost.EntryKey(), 30u);
  EXPECT_EQ(lost.Created(), 0u);
  uint32_t count = 0;
  ASSERT_EQ(m_engine.CountFiles(nullptr, 0, count), kOk);
  EXPECT_EQ(count, 4u);
}

TEST_F(FastNtfsRecords, EndsParentChainsThatLoop) {
  m_volume.PutFolder(40, 41, u"a", kDeletedFolder);  // a is in b ...
  m_volume.PutFolder(41, 40, u"b", kDeletedFolder);  // ... and b in a
  m_volume.PutFolder(42, 42, u"self", kLiveFolder);  // its own parent
  m_volume.PutFile(43, 40, u"in a.txt", "1");
  m_volume.PutFile(44, 41, u"in b.txt", "2");
  m_volume.PutFile(45, 42, u"in self.txt", "3");
  const auto tree = ScanTree();
  // Every file stays reachable from the root, each folder listed once.
  uint32_t count = 0;
  ASSERT_EQ(m_engine.CountFiles(nullptr, 0, count), kOk);
  EXPECT_EQ(count, 3u);
  size_t files = 0, folders = 0;
  for (const auto& [path, r] : tree) (r.IsFolder() ? folders : files) += 1;
  EXPECT_EQ(files, 3u);
  EXPECT_EQ(folders, 3u);
  EXPECT_TRUE(tree.count("LostFolder42/in self.txt"));
}

TEST_F(FastNtfsRecords, ChecksContent) {
  m_volume.Put(20, RecordBuilder(20)
                       .Flags(kDeletedFile)
                       .Resident(0x30, FileName(5, u"empty.txt", 1))
                       .Resident(0x80, {}));  // a resident file of 0 bytes
  m_volume.PutFile(21, 5, u"fake.png", "not a picture at all");
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0,    0,    0,
                              13,   'I', 'H', 'D', 'R',  0,    0,    0,    1,    0,    0,
                              0,    1,   8,   2,   0,    0,    0,    0x90, 0x77, 0x53, 0xDE};
  m_volume.Put(22, RecordBuilder(22)
                       .Flags(kDeletedFile)
                       .Resident(0x30, FileName(5, u"real.png", 1))
                       .Resident(0x80, png));
  m_volume.PutFile(23, 5, u"notes", "no extension");
  const auto tree = ScanTree();
  EXPECT_EQ(tree.count("fake.png"), 0u);  // the tree hides a picture that fails its check
  // Every record as written to the log, the hidden one included.
  const auto bytes = test::ReadFileBytes(m_engine.Store()->RecordPath());
  ASSERT_EQ(bytes.size(), 4 * ScanRecord::kSize);
  std::map<std::string, uint32_t> check;
  for (size_t at = 0; at < bytes.size(); at += ScanRecord::kSize) {
    const auto r = ScanRecord::FromBytes(std::span(bytes).subspan(at, ScanRecord::kSize));
    check[std::string(r.Name())] = r.ContentCheck();
  }
  EXPECT_EQ(check.at("empty.txt"), 0u);
  EXPECT_EQ(check.at("fake.png"), 0u);
  EXPECT_EQ(check.at("real.png"), 1u);
  EXPECT_EQ(check.at("notes"), 1u);
}

TEST_F(FastNtfsRecords, RecoversNonResidentDataWithSparseRuns) {
  // 3 clusters: one at cluster 40, one sparse, one at cluster 50; 10,000 bytes.
  std::vector<uint8_t> a(4096, 'A'), c(4096, 'C');
  m_volume.Disk().PutCluster(40, a);
  m_volume.Disk().PutCluster(50, c);
  m_volume.Put(20, RecordBuilder(20)
                       .Flags(kDeletedFile)
                       .Resident(0x30, FileName(5, u"sparse.dat", 1))
                       .NonResident(0x80,
                                    {0x11, 0x01, 0x28,   // 1 cluster at 40
                                     0x01, 0x01,         // 1 sparse cluster
                                     0x11, 0x01, 0x0A},  // 1 cluster at 40 + 10
                                    10000));
  const auto tree = ScanTree();
  ASSERT_TRUE(tree.count("sparse.dat"));
  EXPECT_EQ(tree.at("sparse.dat").FileSize(), 10000u);
  std::vector<uint8_t> buffer(20000, 0xEE);
  uint64_t size = buffer.size();
  fs::path path;
  ASSERT_EQ(
      m_engine.ExtractRecord(tree.at("sparse.dat"), path, buffer.data(), size, nullptr, nullptr),
      kOk);
  ASSERT_EQ(size, 10000u);
  for (size_t i = 0; i < 10000; ++i) {
    const uint8_t want = i < 4096 ? 'A' : i < 8192 ? 0 : 'C';
    ASSERT_EQ(buffer[i], want) << i;
  }
}

TEST_F(FastNtfsRecords, ReportsDataThatEndsBeforeTheFileAsAReadFault) {
  m_volume.Put(20, RecordBuilder(20)
                       .Flags(kDeletedFile)
                       .Resident(0x30, FileName(5, u"short.dat", 1))
                       .NonResident(0x80, {0x11, 0x01, 0x28}, 9000));  // 4,096 bytes of 9,000
  const auto tree = ScanTree();
  const fs::path target = m_logs / "out" / "short.dat";
  EXPECT_EQ(m_engine.RecoverRecord(tree.at("short.dat"), target, 0), kErrReadFault);
}

TEST_F(FastNtfsRecords, AnEmptyNonResidentFileIsRecoveredAndReported) {
  m_volume.Put(20, RecordBuilder(20)
                       .Flags(kDeletedFile)
                       .Resident(0x30, FileName(5, u"empty.dat", 1))
                       .NonResident(0x80, {}, 0));  // no runs, 0 bytes
  const auto tree = ScanTree();
  ASSERT_TRUE(tree.count("empty.dat"));
  struct Report {
    int finals = 0;
    int error = -1;
  } report;
  m_engine.SetProgressCallback(
      nullptr,
      [](void* user, int percent, int, int error, const fs::path&) {
        auto* r = static_cast<Report*>(user);
        if (percent == 100) {
          ++r->finals;
          r->error = error;
        }
        return 0;
      },
      &report, 100);
  // As the formatted engine lists it: with no runs it knows no cluster size.
  for (uint32_t clusterBytes : {4096u, 0u}) {
    ScanRecord record = tree.at("empty.dat");
    record.SetClusterBytes(clusterBytes);
    report = Report{};
    const fs::path target = m_logs / "out" / std::to_string(clusterBytes) / "empty.dat";
    ASSERT_EQ(m_engine.RecoverRecord(record, target, 0), kOk) << clusterBytes;
    EXPECT_EQ(report.finals, 1) << "the file's end is reported once: " << clusterBytes;
    EXPECT_EQ(report.error, 0) << clusterBytes;
    ASSERT_TRUE(fs::exists(target)) << clusterBytes;
    EXPECT_EQ(fs::file_size(target), 0u);
  }
}

TEST_F(FastNtfsRecords, CopyCallbackCanCancelAFolderRecovery) {
  m_volume.PutFolder(40, 5, u"dir", kDeletedFolder);
  m_volume.PutFile(41, 40, u"one.txt", "1");
  m_volume.PutFile(42, 40, u"two.txt", "2");
  const auto tree = ScanTree();
  int calls = 0;
  m_engine.SetProgressCallback(
      nullptr,
      [](void* user, int percent, int scale, int error, const fs::path&) {
        EXPECT_EQ(percent, 100);
        EXPECT_EQ(scale, 100);
        EXPECT_EQ(error, 0);
        ++*static_cast<int*>(user);
        return kCancelled;
      },
      &calls, 100);
  EXPECT_EQ(m_engine.RecoverRecord(tree.at("dir"), m_logs / "out" / "dir", 0), kCancelled);
  EXPECT_EQ(calls, 1);
}

TEST_F(FastNtfsRecords, KeepsBothOfTwoFilesWithOneName) {
  m_volume.PutFolder(40, 5, u"dir", kDeletedFolder);
  m_volume.PutFile(41, 40, u"same.txt", "first");
  m_volume.PutFile(42, 40, u"same.txt", "second");
  m_volume.PutFile(43, 40, u"..", "dots");  // a name that must not climb out
  const auto tree = ScanTree();
  const fs::path out = m_logs / "out" / "dir";
  ASSERT_EQ(m_engine.RecoverRecord(tree.at("dir"), out, 0), kOk);
  EXPECT_TRUE(fs::exists(out / "same.txt"));
  EXPECT_TRUE(fs::exists(out / "same(1).txt"));
  EXPECT_EQ(test::ReadFileBytes(out / "same.txt").size() +
                test::ReadFileBytes(out / "same(1).txt").size(),
            11u);
  EXPECT_TRUE(fs::exists(out / "___"));
  EXPECT_TRUE(tree.count("dir/same.txt~again"));
}

TEST_F(FastNtfsRecords, ReplacesALongerFileAtTheTarget) {
  m_volume.PutFile(20, 5, u"short.txt", "new");
  const auto tree = ScanTree();
  const fs::path target = m_logs / "out" / "short.txt";
  fs::create_directories(target.parent_path());
  test::WriteFileBytes(target, std::vector<uint8_t>(100, 'x'));
  ASSERT_EQ(m_engine.RecoverRecord(tree.at("short.txt"), target, 0), kOk);
  EXPECT_EQ(test::ReadFileBytes(target), Text("new"));
}

}  // namespace
}  // namespace brinvale
