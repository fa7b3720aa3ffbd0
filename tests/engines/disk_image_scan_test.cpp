// Scans of whole-disk images made by sfdisk, mkfs.fat and mkntfs
// (tests/fixtures/make_partitioned_disks.sh): each partition opened on its
// own, and the full scan that runs every partition's quick step and then one
// pass over the sectors none of them mapped as allocated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/scan_history.h"
#include "common/bytes.h"
#include "common/error_codes.h"
#include "device/partition_table.h"
#include "device/sector_reader.h"
#include "engines/engine_factory.h"
#include "engines/professional_recovery.h"
#include "results/image_partition_engine.h"
#include "support/fixture_path.h"
#include "support/partitioned_disks_manifest.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEverything = "*.txt|*.jpg|*.png|*.bin|.other";

class Scratch : public test::TempDir {
 public:
  Scratch() : TempDir("diskimage-" + std::to_string(Next())) {}

 private:
  static int Next() {
    static std::atomic<int> counter{0};
    return counter++;
  }
};

// Upper-cased name without the first character, which a deleted FAT short
// name loses.
std::string NameKey(std::string_view name) {
  std::string key(name.size() > 1 ? name.substr(1) : name);
  for (char& c : key) c = char(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

// The deleted files of one partition of the manifest, by NameKey.
std::map<std::string, test::ManifestFile> DeletedIn(const test::PartitionedDisks& m,
                                                   const std::string& image, uint32_t partition) {
  std::map<std::string, test::ManifestFile> out;
  for (const test::ManifestFile& f : m.DeletedFilesOf(image))
    if (f.partition == partition) out[NameKey(f.name)] = f;
  return out;
}

// Recovers every file record of `found` through `engine` and gives the
// hashes of what came back, by NameKey.
std::map<std::string, std::string> RecoveredHashes(IRidiRedazuvoParse& engine,
                                                   const RecordList& found,
                                                   const fs::path& folder) {
  std::map<std::string, std::string> out;
  int n = 0;
  for (const ScanRecord& r : found) {
    if (r.IsFolder()) continue;
    const fs::path target = folder / std::to_string(n++);
    if (engine.RecoverRecord(r, target, 0) != kOk) continue;
    out[NameKey(r.Name())] = test::Sha256Hex(test::ReadFileBytes(target));
  }
  return out;
}

// The sectors, absolute in the image, of the clusters of a FAT16 volume's
// live root entries: the space a quick step must map as allocated.
std::vector<uint64_t> LiveFatSectors(const fs::path& image, uint64_t start) {
  const std::vector<uint8_t> bytes = test::ReadFileBytes(image);
  std::span<const uint8_t> boot(bytes.data() + start * 512, 512);
  const uint32_t spc = boot[13];
  const uint32_t reserved = LoadLe16(boot, 14);
  const uint32_t fats = boot[16];
  const uint32_t rootEntries = LoadLe16(boot, 17);
  const uint32_t fatSectors = LoadLe16(boot, 22);
  const uint64_t root = start + reserved + uint64_t(fats) * fatSectors;
  const uint64_t data = root + rootEntries * 32 / 512;
  std::vector<uint64_t> out;
  for (uint32_t i = 0; i < rootEntries; ++i) {
    std::span<const uint8_t> e(bytes.data() + root * 512 + i * 32, 32);
    if (e[0] == 0) break;
    if (e[0] == 0xE5 || (e[11] & 0x18) != 0) continue;  // deleted, label, folder
    const uint32_t cluster = LoadLe16(e, 26);
    const uint32_t size = LoadLe32(e, 28);
    const uint64_t sectors = (size + 511) / 512;
    for (uint64_t s = 0; s < sectors; ++s) out.push_back(data + uint64_t(cluster - 2) * spc + s);
  }
  return out;
}

bool Covered(const std::vector<CProfessionalRecovery::SectorRange>& ranges, uint64_t sector) {
  for (const auto& r : ranges)
    if (sector >= r.start && sector - r.start < r.length) return true;
  return false;
}

struct Totals {
  uint64_t lastTotal = 0;
  uint64_t lastCurrent = 0;
  static int Callback(void* user, int, int scale, int, uint64_t current, uint64_t total, uint64_t,
                      int) {
    auto* self = static_cast<Totals*>(user);
    if (scale == 90) {
      self->lastTotal = total;
      self->lastCurrent = current;
    }
    return kOk;
  }
};

class DiskImage : public ::testing::TestWithParam<const char*> {};

// Each partition through the factory on its own: the engine of its file
// system, records that name the partition's start, and the deleted files
// back byte for byte.
TEST_P(DiskImage, EachPartitionOpensOnItsOwnAndGivesBackItsDeletedFiles) {
  const std::string image = GetParam();
  const test::PartitionedDisks manifest = test::ReadPartitionedDisks();
  const auto partitions = manifest.PartitionsOf(image);
  ASSERT_FALSE(partitions.empty());
  Scratch scratch;
  uint16_t tag = 1;
  for (const test::ManifestPartition& p : partitions) {
    SCOPED_TRACE("partition " + std::to_string(p.number));
    EngineSetup setup;
    setup.logFolder = scratch.Path() / ("logs" + std::to_string(p.number));
    fs::create_directories(setup.logFolder);
    const char16_t key = char16_t(tag++);
    auto engine = CreateEngineForImagePartition(test::FixturePath(image), p.start, p.length, key,
                                                ScanMode::kQuick, setup);
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(engine->Scan(nullptr), kOk);
    RecordList found;
    ASSERT_EQ(engine->Search(kEverything, found), kOk);
    ASSERT_FALSE(found.empty());
    for (const ScanRecord& r : found) {
      EXPECT_EQ(r.PartitionStart(), p.start) << r.Name();
      EXPECT_EQ(r.SourceKey(), key) << r.Name();
    }
    const auto hashes = RecoveredHashes(*engine, found, scratch.Path() / ("out" +
                                                                         std::to_string(p.number)));
    const auto deleted = DeletedIn(manifest, image, p.number);
    // Each file that came back is the partition's own, not a namesake from
    // another partition. (A FAT partition's PHOTO.JPG is random bytes that
    // fail the content check, and such a picture is not listed.)
    for (const auto& [key2, file] : deleted) {
      if (file.name == "PHOTO.JPG") continue;
      const auto it = hashes.find(key2);
      ASSERT_NE(it, hashes.end()) << file.name << " was not found";
      EXPECT_EQ(it->second, file.sha256) << file.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sfdisk, DiskImage,
                         ::testing::Values("mbr_parts.img", "gpt_parts.img", "gpt_backup.img"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

TEST(DiskImageOpen, APartitionThatDoesNotFitTheImageIsRefusedAndAnEmptyStartGivesNoEngine) {
  Scratch scratch;
  ScanHistory history(scratch.Path());
  CProfessionalRecovery full(history);
  const fs::path image = test::FixturePath("mbr_parts.img");
  EXPECT_EQ(full.OpenImagePartition(image, uint64_t(1) << 40, 100, 1), kErrInvalidParameter);
  // The unpartitioned space after the last partition holds no file system.
  EngineSetup setup;
  setup.logFolder = scratch.Path();
  EXPECT_EQ(CreateEngineForImagePartition(image, 83968, 4096, 1, ScanMode::kQuick, setup),
            nullptr);
}

// The full scan of a whole-disk image: one quick step per partition, then
// one pass over every sector no quick step mapped as allocated.
class DiskImageFullScan : public ::testing::TestWithParam<const char*> {};

TEST_P(DiskImageFullScan, QuickStepsPerPartitionAndOnePassOverEverythingUnmapped) {
  const std::string image = GetParam();
  const fs::path path = test::FixturePath(image);
  const test::PartitionedDisks manifest = test::ReadPartitionedDisks();
  const auto partitions = manifest.PartitionsOf(image);
  ASSERT_FALSE(partitions.empty());
  Scratch scratch;
  ScanHistory history(scratch.Path());
  CProfessionalRecovery full(history);
  ASSERT_EQ(full.OpenImage(path, u'I'), kOk);

  ASSERT_EQ(full.QuickStepCount(), partitions.size());
  for (size_t i = 0; i < partitions.size(); ++i) {
    EXPECT_EQ(full.QuickStepStart(i), partitions[i].start);
    EXPECT_NE(full.QuickEngineAt(i), nullptr) << partitions[i].number;
  }
  Totals totals;
  full.SetProgressCallback(&Totals::Callback, nullptr, &totals, 100);
  ASSERT_EQ(full.Scan(nullptr), kOk);

  const auto& ranges = full.PassRanges();
  ASSERT_FALSE(ranges.empty());
  // Ascending, disjoint and not even touching: no sector is read twice.
  uint64_t sum = 0;
  for (size_t i = 0; i < ranges.size(); ++i) {
    EXPECT_GT(ranges[i].length, 0u);
    if (i > 0) {
      EXPECT_GT(ranges[i].start, ranges[i - 1].start + ranges[i - 1].length);
    }
    sum += ranges[i].length;
  }
  const uint64_t imageSectors = fs::file_size(path) / 512;
  EXPECT_LE(ranges.back().start + ranges.back().length, imageSectors);
  // The pass went over exactly those sectors.
  EXPECT_EQ(totals.lastTotal, sum);
  EXPECT_EQ(totals.lastCurrent, sum);
  // Less than the whole image: the partitions' allocated space is left out.
  EXPECT_LT(sum, imageSectors);

  // Everything outside the partitions is read: the table's own sectors,
  // gaps, an extended partition's boot record, the end of the disk.
  SectorReader reader;
  ASSERT_EQ(OpenImageReader(reader, path), kOk);
  PartitionTable table;
  ASSERT_EQ(ReadPartitionTable(reader, 512, table), kOk);
  CloseReader(reader);
  for (const UnpartitionedRange& gap : UnpartitionedRanges(table)) {
    EXPECT_TRUE(Covered(ranges, gap.start)) << gap.start;
    EXPECT_TRUE(Covered(ranges, gap.start + gap.length - 1)) << gap.start + gap.length - 1;
  }
  for (const test::ManifestPartition& p : partitions) {
    if (p.fileSystem != "FAT") continue;
    // A live file's clusters are never read; the free space is.
    const std::vector<uint64_t> live = LiveFatSectors(path, p.start);
    ASSERT_FALSE(live.empty());
    for (uint64_t s : live) EXPECT_FALSE(Covered(ranges, s)) << "partition " << p.number << " " << s;
    EXPECT_TRUE(Covered(ranges, p.start + p.length - 1)) << "partition " << p.number;
  }

  // Every partition's deleted files are found, and each record finds the
  // quick engine of its own partition: the files come back with the
  // content of the partition they were deleted from.
  RecordList found;
  ASSERT_EQ(full.Search(kEverything, found), kOk);
  const auto hashes = RecoveredHashes(full, found, scratch.Path() / "out");
  for (const test::ManifestPartition& p : partitions) {
    SCOPED_TRACE("partition " + std::to_string(p.number));
    const auto deleted = DeletedIn(manifest, image, p.number);
    size_t present = 0;
    for (const ScanRecord& r : found) {
      if (r.PartitionStart() != p.start || r.IsFolder()) continue;
      const auto it = deleted.find(NameKey(r.Name()));
      if (it == deleted.end()) continue;
      const fs::path target = scratch.Path() / "one" / (std::to_string(p.number) + std::string(r.Name()));
      ASSERT_EQ(full.RecoverRecord(r, target, 0), kOk) << r.Name();
      EXPECT_EQ(test::Sha256Hex(test::ReadFileBytes(target)), it->second.sha256) << r.Name();
      ++present;
    }
    EXPECT_GE(present, 1u);
  }
  EXPECT_FALSE(hashes.empty());
}

INSTANTIATE_TEST_SUITE_P(Sfdisk, DiskImageFullScan,
                         ::testing::Values("mbr_parts.img", "gpt_parts.img", "gpt_backup.img"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

// A stop during the pass over a whole-disk image resumes where it stopped:
// each partition's quick step reloads its own log, and the end holds what
// one scan from start to end finds.
struct StopInThePass {
  bool stopped = false;
  static int Callback(void* user, int percent, int scale, int, uint64_t, uint64_t, uint64_t,
                      int) {
    auto* self = static_cast<StopInThePass*>(user);
    if (scale == 90 && percent >= 50 && !self->stopped) {
      self->stopped = true;
      return kCancelled;
    }
    return kOk;
  }
};

std::set<std::string> Identities(CProfessionalRecovery& engine) {
  RecordList found;
  EXPECT_EQ(engine.Search(kEverything, found), kOk);
  std::set<std::string> out;
  for (const ScanRecord& r : found)
    out.insert(std::to_string(r.EngineValue()) + "|" + std::string(r.Name()) + "|" +
               std::to_string(r.PartitionStart()) + "|" + std::to_string(r.MetadataSector()));
  return out;
}

TEST(DiskImageFullScanResume, AStoppedPassResumesToWhatOneScanFinds) {
  const fs::path path = test::FixturePath("mbr_parts.img");
  std::set<std::string> once;
  {
    Scratch scratch;
    ScanHistory history(scratch.Path());
    CProfessionalRecovery full(history);
    ASSERT_EQ(full.OpenImage(path, u'I'), kOk);
    ASSERT_EQ(full.Scan(nullptr), kOk);
    once = Identities(full);
  }
  ASSERT_FALSE(once.empty());

  Scratch scratch;
  ScanHistory history(scratch.Path());
  {
    CProfessionalRecovery full(history);
    ASSERT_EQ(full.OpenImage(path, u'I'), kOk);
    StopInThePass stop;
    full.SetProgressCallback(&StopInThePass::Callback, nullptr, &stop, 100);
    ASSERT_EQ(full.Scan(nullptr), kCancelled);
    ASSERT_TRUE(stop.stopped);
  }
  CProfessionalRecovery resumed(history);
  ASSERT_EQ(resumed.OpenImage(path, u'I'), kOk);
  ASSERT_TRUE(resumed.HasEarlierScan());
  EXPECT_GT(resumed.EarlierScan().resume.doneTotal, 0u);
  ASSERT_EQ(resumed.Scan(nullptr), kOk);
  EXPECT_EQ(Identities(resumed), once);
  // Every partition's quick step kept one log of its own.
  size_t quickLogs = 0;
  for (const auto& e : fs::directory_iterator(resumed.LogFolder())) {
    const std::string name = e.path().filename().string();
    if (name.rfind("Fast_", 0) == 0 && name.find('_', 5) != std::string::npos &&
        name.find("Relation") == std::string::npos && name.find("DirInfo") == std::string::npos)
      ++quickLogs;
  }
  EXPECT_EQ(quickLogs, 3u);
}

// One partition of the image scanned in full: the pass stays inside it, and
// the history knows it apart from the whole image and the other partitions.
TEST(DiskImageFullScanOfOnePartition, StaysInsideThePartitionAndIsItsOwnHistoryEntry) {
  const fs::path path = test::FixturePath("mbr_parts.img");
  const test::PartitionedDisks manifest = test::ReadPartitionedDisks();
  const auto partitions = manifest.PartitionsOf("mbr_parts.img");
  ASSERT_GE(partitions.size(), 2u);
  const test::ManifestPartition& p = partitions[1];  // the NTFS partition
  Scratch scratch;
  ScanHistory history(scratch.Path());
  {
    CProfessionalRecovery full(history);
    ASSERT_EQ(full.OpenImagePartition(path, p.start, p.length, 2), kOk);
    EXPECT_FALSE(full.HasEarlierScan());
    ASSERT_EQ(full.QuickStepCount(), 1u);
    ASSERT_EQ(full.Scan(nullptr), kOk);
    const auto& ranges = full.PassRanges();
    ASSERT_FALSE(ranges.empty());
    // Relative to the partition's start, and inside it.
    EXPECT_LE(ranges.back().start + ranges.back().length, p.length);
    RecordList found;
    ASSERT_EQ(full.Search(kEverything, found), kOk);
    const auto deleted = DeletedIn(manifest, "mbr_parts.img", p.number);
    const auto hashes = RecoveredHashes(full, found, scratch.Path() / "out");
    for (const auto& [key, file] : deleted) {
      ASSERT_TRUE(hashes.count(key)) << file.name;
      EXPECT_EQ(hashes.at(key), file.sha256) << file.name;
    }
  }
  // The same partition is found again; the whole image and another
  // partition of it are not.
  CProfessionalRecovery again(history);
  ASSERT_EQ(again.OpenImagePartition(path, p.start, p.length, 2), kOk);
  EXPECT_TRUE(again.HasEarlierScan());
  CProfessionalRecovery other(history);
  ASSERT_EQ(other.OpenImagePartition(path, partitions[0].start, partitions[0].length, 3), kOk);
  EXPECT_FALSE(other.HasEarlierScan());
  CProfessionalRecovery whole(history);
  ASSERT_EQ(whole.OpenImage(path, 4), kOk);
  EXPECT_FALSE(whole.HasEarlierScan());
}

}  // namespace
}  // namespace brinvale
