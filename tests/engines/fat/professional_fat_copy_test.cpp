// Copying what the formatted FAT engine found: consecutive clusters from
// the first one, for the size the entry gives.
#include <gtest/gtest.h>

#include <tuple>

#include "common/bytes.h"
#include "common/error_codes.h"
#include "engines/fat/fat_record_copy.h"
#include "engines/fat/professional_fat_test_support.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using testing::DirectoryStart;
using testing::FileAt;
using testing::FoundTree;
using testing::ProFatMedium;
using testing::ScratchFolder;

// 8 sectors (4 KiB) per cluster, cluster 2 at sector 96: taught by folders
// at clusters 3 (104) and 4 (112).
constexpr uint64_t kCluster2 = 96;
uint64_t SectorOf(uint64_t cluster) { return kCluster2 + (cluster - 2) * 8; }

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 7);
  return bytes;
}

class ProFatCopyTest : public ::testing::Test {
 protected:
  // Folder 10 holding `entries`, found by a pass over the medium.
  std::map<std::string, ScanRecord> Find(ProFatMedium& medium,
                                         std::initializer_list<testing::Entry> entries) {
    medium.Write(SectorOf(3), DirectoryStart(3, 0));
    medium.Write(SectorOf(4), DirectoryStart(4, 0));
    medium.Write(SectorOf(10), DirectoryStart(10, 0, entries));
    engine = medium.Open(logs.Path() / "logs");
    medium.Feed(*engine, 0, medium.Sectors());
    EXPECT_EQ(engine->FinishFatScan(), 0);
    return FoundTree(*engine);
  }
  ScratchFolder logs;
  std::unique_ptr<CProfessionalFatRecovery> engine;
};

TEST_F(ProFatCopyTest, FileSmallerThanAClusterWritesItsSize) {
  ProFatMedium medium(400);
  const auto data = Pattern(4096, 3);
  medium.Write(SectorOf(20), data);
  const auto tree = Find(medium, {FileAt("TEN     BIN", 20, 10), FileAt("EMPTY   BIN", 0, 0)});
  ASSERT_TRUE(tree.count("/LostFolder10/ten.bin"));
  const fs::path target = logs.Path() / "out" / "ten.bin";
  ASSERT_EQ(engine->RecoverRecord(tree.at("/LostFolder10/ten.bin"), target, 0), 0);
  EXPECT_EQ(test::ReadFileBytes(target), std::vector<uint8_t>(data.begin(), data.begin() + 10));
  // A file of 0 bytes becomes an empty file.
  ASSERT_TRUE(tree.count("/LostFolder10/empty.bin"));
  const fs::path empty = logs.Path() / "out" / "empty.bin";
  ASSERT_EQ(engine->RecoverRecord(tree.at("/LostFolder10/empty.bin"), empty, 0), 0);
  EXPECT_TRUE(fs::exists(empty));
  EXPECT_EQ(fs::file_size(empty), 0u);
}

TEST_F(ProFatCopyTest, FileReadsConsecutiveClustersAndExtractsIntoABuffer) {
  ProFatMedium medium(400);
  const auto data = Pattern(3 * 4096, 9);
  medium.Write(SectorOf(20), data);
  const auto tree = Find(medium, {FileAt("DATA    BIN", 20, 10000)});
  const ScanRecord& record = tree.at("/LostFolder10/data.bin");
  const fs::path target = logs.Path() / "out" / "data.bin";
  ASSERT_EQ(engine->RecoverRecord(record, target, 0), 0);
  EXPECT_EQ(test::ReadFileBytes(target), std::vector<uint8_t>(data.begin(), data.begin() + 10000));
  std::vector<uint8_t> buffer(5000);
  uint64_t size = buffer.size();
  fs::path path;
  ASSERT_EQ(engine->ExtractRecord(record, path, buffer.data(), size, nullptr, nullptr), 0);
  EXPECT_EQ(size, 5000u);
  EXPECT_EQ(buffer, std::vector<uint8_t>(data.begin(), data.begin() + 5000));
}

TEST_F(ProFatCopyTest, ClustersRunningOffTheVolumeWriteWhatExistsThenFail) {
  ProFatMedium medium(SectorOf(21) + 4);  // cluster 21 has only 4 of its 8 sectors
  const auto data = Pattern(4096 + 2048, 5);
  medium.Write(SectorOf(20), data);
  const auto tree = Find(medium, {FileAt("CUT     BIN", 20, 20000)});
  const fs::path target = logs.Path() / "out" / "cut.bin";
  EXPECT_EQ(engine->RecoverRecord(tree.at("/LostFolder10/cut.bin"), target, 0), kErrReadFault);
  // What was written stays, under a name that says the file is not whole.
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(test::ReadFileBytes(target.parent_path() / "cut.partial.bin"), data);
}

// The copy callback stops the copy after its first cluster: the cluster
// stays as data.partial.bin, and the file is reported once more, with the
// cancel and that path.
TEST_F(ProFatCopyTest, ACancelHalfwayKeepsWhatWasWrittenAndReportsIt) {
  ProFatMedium medium(400);
  const auto data = Pattern(3 * 4096, 9);
  medium.Write(SectorOf(20), data);
  const auto tree = Find(medium, {FileAt("DATA    BIN", 20, 10000)});
  struct Calls {
    std::vector<std::tuple<int, int, fs::path>> seen;
  } calls;
  engine->SetProgressCallback(
      nullptr,
      [](void* user, int percent, int, int error, const fs::path& path) {
        static_cast<Calls*>(user)->seen.emplace_back(percent, error, path);
        return percent < 100 ? kCancelled : kOk;
      },
      &calls, 100);
  const fs::path target = logs.Path() / "out" / "data.bin";
  EXPECT_EQ(engine->RecoverRecord(tree.at("/LostFolder10/data.bin"), target, 0), kCancelled);
  const fs::path partial = target.parent_path() / "data.partial.bin";
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(test::ReadFileBytes(partial), std::vector<uint8_t>(data.begin(), data.begin() + 4096));
  ASSERT_EQ(calls.seen.size(), 2u);
  EXPECT_EQ(calls.seen[1], std::make_tuple(100, kCancelled, partial));
}

// A write that fails halfway (a full disk, say) keeps what was written as
// name.partial.ext; one that fails before anything was written leaves no
// empty file. Both are reported with the write's error.
TEST_F(ProFatCopyTest, AFailingWriteLeavesAPartialFileOrNone) {
  ScratchFolder out;
  std::vector<std::tuple<int, int, fs::path>> seen;
  auto note = [](void* user, int percent, int, int error, const fs::path& path) {
    static_cast<std::vector<std::tuple<int, int, fs::path>>*>(user)->emplace_back(percent, error,
                                                                                  path);
    return kOk;
  };
  ScanRecord record;
  record.SetName("half.jpg");
  record.SetFileSize(8192);
  record.SetClusterBytes(4096);
  bool stopped = false;
  // The first cluster goes in, the second finds the disk full.
  auto fullAfterOne = [](const ScanRecord&, uint64_t, FatCopySink& sink) {
    const std::vector<uint8_t> cluster(4096, 0x5A);
    if (int rc = sink.Write(cluster.data(), cluster.size()); rc != kOk) return rc;
    if (int rc = sink.Progress(50); rc != kOk) return rc;
    return kErrDiskFull;
  };
  EXPECT_EQ(RecoverFatFile(record, out.Path() / "half.jpg", 65536, note, &seen, fullAfterOne,
                           stopped),
            kErrDiskFull);
  EXPECT_FALSE(fs::exists(out.Path() / "half.jpg"));
  EXPECT_EQ(test::ReadFileBytes(out.Path() / "half.partial.jpg").size(), 4096u);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), std::make_tuple(100, kErrDiskFull, out.Path() / "half.partial.jpg"));
  // Nothing at all goes in.
  seen.clear();
  auto fullAtOnce = [](const ScanRecord&, uint64_t, FatCopySink&) { return kErrDiskFull; };
  EXPECT_EQ(RecoverFatFile(record, out.Path() / "none.jpg", 65536, note, &seen, fullAtOnce,
                           stopped),
            kErrDiskFull);
  EXPECT_FALSE(fs::exists(out.Path() / "none.jpg"));
  EXPECT_FALSE(fs::exists(out.Path() / "none.partial.jpg"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], std::make_tuple(100, kErrDiskFull, out.Path() / "none.jpg"));
}

TEST_F(ProFatCopyTest, OversizedClusterIsRefused) {
  ProFatMedium medium(400);
  const auto tree = Find(medium, {FileAt("DATA    BIN", 20, 100)});
  ScanRecord record = tree.at("/LostFolder10/data.bin");
  record.SetClusterBytes(CProfessionalFatRecovery::kMaxClusterBytes + 512);
  EXPECT_EQ(engine->RecoverRecord(record, logs.Path() / "out" / "big.bin", 0), kErrWriteFault);
  uint8_t buffer[16];
  uint64_t size = sizeof buffer;
  fs::path path;
  EXPECT_EQ(engine->ExtractRecord(record, path, buffer, size, nullptr, nullptr), kErrWriteFault);
}

TEST_F(ProFatCopyTest, FolderBringsEverythingBelowItWithSafeNames) {
  ProFatMedium medium(400);
  const auto a = Pattern(100, 1), b = Pattern(200, 2);
  medium.Write(SectorOf(20), a);
  medium.Write(SectorOf(30), b);
  testing::Entry sub = testing::FolderEntry("SUB        ");
  StoreLe16(sub, 26, 12);  // low word
  medium.Write(SectorOf(12), DirectoryStart(12, 10, {FileAt("B       BIN", 30, 200)}));
  const auto tree = Find(medium, {FileAt("A       BIN", 20, 100), sub});
  ASSERT_TRUE(tree.count("/LostFolder10/sub/b.bin"));
  const fs::path target = logs.Path() / "out" / "LostFolder10";
  ASSERT_EQ(engine->RecoverRecord(tree.at("/LostFolder10/"), target, 1), 0);
  EXPECT_EQ(test::ReadFileBytes(target / "a.bin"), a);
  EXPECT_EQ(test::ReadFileBytes(target / "sub" / "b.bin"), b);
  // Recovering the inner folder on its own finds its files all the same.
  const fs::path inner = logs.Path() / "out2" / "sub";
  ASSERT_EQ(engine->RecoverRecord(tree.at("/LostFolder10/sub/"), inner, 1), 0);
  EXPECT_EQ(test::ReadFileBytes(inner / "b.bin"), b);
}

}  // namespace
}  // namespace brinvale
