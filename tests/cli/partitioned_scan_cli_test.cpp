// brinvale-cli scan over images of whole disks made by sfdisk: every
// partition is scanned, the listing says where each file came from, and
// recovered files land in one folder per partition with their own bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "support/cli_test_folder.h"
#include "support/child_process.h"
#include "support/fixture_path.h"
#include "support/partitioned_disks_manifest.h"
#include "support/sha256.h"

#if !defined(_WIN32)

namespace brinvale {
namespace {

namespace fs = std::filesystem;

class PartitionedScanCli : public test::CliTestFolder {
 protected:
  PartitionedScanCli() : CliTestFolder("brinvale_parts_cli_") {}

  test::ChildResult Scan(const std::vector<std::string>& args) {
    std::vector<std::string> all = {BRINVALE_CLI_PATH, "scan"};
    all.insert(all.end(), args.begin(), args.end());
    return test::RunChild(all);
  }

  // A copy of a fixture whose MBR entry `slot` gets `start` and `count`.
  fs::path WithMbrEntry(const std::string& image, int slot, uint8_t type, uint32_t start,
                        uint32_t count) {
    std::vector<uint8_t> bytes = test::ReadFileBytes(test::FixturePath(image));
    EXPECT_GT(bytes.size(), 512u);
    std::span<uint8_t> mbr(bytes.data(), 512);
    const size_t e = 446 + size_t(slot) * 16;
    mbr[e + 4] = type;
    StoreLe32(mbr, e + 8, start);
    StoreLe32(mbr, e + 12, count);
    const fs::path out = m_dir / ("crafted_" + std::to_string(m_crafted++) + ".img");
    test::WriteFileBytes(out, bytes);
    return out;
  }

  int m_crafted = 0;
};

// Every recovered file below `folder`: path relative to it -> sha256.
std::map<std::string, std::string> Recovered(const fs::path& folder) {
  std::map<std::string, std::string> out;
  if (!fs::exists(folder)) return out;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      out[fs::relative(entry.path(), folder).generic_string()] =
          test::Sha256Hex(test::ReadFileBytes(entry.path()));
  return out;
}

// Whether the file with hash `sha` came back under partition-N/.
bool CameBackUnder(const std::map<std::string, std::string>& recovered, uint32_t partition,
                   const std::string& sha) {
  const std::string prefix = "partition-" + std::to_string(partition) + "/";
  for (const auto& [path, got] : recovered)
    if (got == sha && path.rfind(prefix, 0) == 0) return true;
  return false;
}

// The deleted files a scan lists: NOTES.TXT on FAT, report.txt and scan.png
// on NTFS. PHOTO.JPG is random bytes behind a JPEG's first four, which the
// content check refuses, and a picture that fails it is not listed.
std::vector<test::ManifestFile> ExpectedBack(const std::string& image) {
  std::vector<test::ManifestFile> out;
  for (const test::ManifestFile& f : test::ReadPartitionedDisks().DeletedFilesOf(image))
    if (f.name != "PHOTO.JPG") out.push_back(f);
  return out;
}

TEST_F(PartitionedScanCli, APlainScanOfTheMbrDiskBringsBackTheDeletedFilesOfEveryPartition) {
  const fs::path out = m_dir / "out";
  test::ChildResult r =
      Scan({test::FixturePath("mbr_parts.img").string(), "--recover-to", out.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("MBR disk, 3 partitions"), std::string::npos) << r.out;
  const auto recovered = Recovered(out);
  const auto expected = ExpectedBack("mbr_parts.img");
  ASSERT_EQ(expected.size(), 4u);  // partitions 1, 2 (two files) and the logical 5
  std::set<uint32_t> partitions;
  for (const test::ManifestFile& f : expected) {
    // Partitions 1 and 5 both hold a NOTES.TXT; each comes back into its
    // own folder with its own bytes.
    EXPECT_TRUE(CameBackUnder(recovered, f.partition, f.sha256))
        << f.name << " of partition " << f.partition;
    partitions.insert(f.partition);
  }
  EXPECT_EQ(partitions, (std::set<uint32_t>{1, 2, 5}));
  for (const auto& [path, sha] : recovered) EXPECT_EQ(path.rfind("partition-", 0), 0u) << path;
}

TEST_F(PartitionedScanCli, TheJsonListingSaysWhichPartitionEachFileCameFrom) {
  test::ChildResult r =
      Scan({test::FixturePath("gpt_parts.img").string(), "--list", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"partition_table\":{\"scheme\":\"GPT\",\"damage\":\"\","
                       "\"from_backup\":false}"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"number\":1,\"start\":2048,\"length\":24576,\"file_system\":\"FAT\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"number\":2,\"start\":26624,\"length\":32768,\"file_system\":\"NTFS\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"name\":\"report.txt\",\"folder\":\"\",\"partition\":2"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"name\":\"!otes.txt\",\"folder\":\"\",\"partition\":1"),
            std::string::npos)
      << r.out;
}

TEST_F(PartitionedScanCli, PartitionPicksOneAndAnUnknownNumberIsRefused) {
  test::ChildResult r = Scan({test::FixturePath("mbr_parts.img").string(), "--partition", "2",
                              "--list", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"partitions\":[{\"number\":2,"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\"number\":1,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("report.txt"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("otes.txt"), std::string::npos) << r.out;

  test::ChildResult bad = Scan({test::FixturePath("mbr_parts.img").string(), "--partition", "3"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("has no partition 3 (its partitions: 1, 2, 5)"), std::string::npos)
      << bad.err;
  test::ChildResult zero = Scan({test::FixturePath("mbr_parts.img").string(), "--partition", "0"});
  EXPECT_EQ(zero.exitCode, 2);
  // An image of one volume has nothing to choose from.
  test::ChildResult volume = Scan({test::FixturePath("sample.img").string(), "--partition", "1"});
  EXPECT_EQ(volume.exitCode, 2);
  EXPECT_NE(volume.err.find("holds no partition table"), std::string::npos) << volume.err;
}

TEST_F(PartitionedScanCli, ADestroyedPrimaryGptIsReadFromItsBackupWithAWarning) {
  const fs::path out = m_dir / "out";
  test::ChildResult r =
      Scan({test::FixturePath("gpt_backup.img").string(), "--recover-to", out.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("cannot be trusted whole"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("backup"), std::string::npos) << r.err;
  const auto recovered = Recovered(out);
  for (const test::ManifestFile& f : ExpectedBack("gpt_backup.img"))
    EXPECT_TRUE(CameBackUnder(recovered, f.partition, f.sha256)) << f.name;
}

TEST_F(PartitionedScanCli, AFullScanCoversEveryPartitionAndRecoversIntoPartitionFolders) {
  const fs::path out = m_dir / "out";
  test::ChildResult r = Scan({test::FixturePath("mbr_parts.img").string(), "--mode", "full",
                              "--fresh", "--list", "--recover-to", out.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Full scan of"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("report.txt"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("[partition 5]"), std::string::npos) << r.out;
  const auto recovered = Recovered(out);
  for (const test::ManifestFile& f : ExpectedBack("mbr_parts.img"))
    EXPECT_TRUE(CameBackUnder(recovered, f.partition, f.sha256))
        << f.name << " of partition " << f.partition;
}

TEST_F(PartitionedScanCli, OverlappingAndOversizedEntriesAreLeftOutWithTheReason) {
  // Partition 2 moved onto partition 1: it is dropped, 1 and 5 are scanned.
  const fs::path overlap = WithMbrEntry("mbr_parts.img", 1, 0x07, 30000, 20480);
  test::ChildResult r = Scan({overlap.string(), "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("overlaps partition 1"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("\"number\":1,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"number\":5,"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\"number\":2,"), std::string::npos) << r.out;

  // Partition 2 runs past the end of the disk.
  const fs::path past = WithMbrEntry("mbr_parts.img", 1, 0x07, 36864, 4000000);
  test::ChildResult p = Scan({past.string(), "--json"});
  ASSERT_EQ(p.exitCode, 0) << p.err;
  EXPECT_NE(p.err.find("past the end"), std::string::npos) << p.err;
  EXPECT_EQ(p.out.find("\"number\":2,"), std::string::npos) << p.out;
}

TEST_F(PartitionedScanCli, AnEbrLoopKeepsWhatWasReadAndTheReason) {
  // The extended partition's boot record (sector 59392) links back to
  // itself: logical partition 5 is still read, once.
  std::vector<uint8_t> bytes = test::ReadFileBytes(test::FixturePath("mbr_parts.img"));
  ASSERT_GT(bytes.size(), 59393u * 512);
  std::span<uint8_t> ebr(bytes.data() + 59392ull * 512, 512);
  ebr[446 + 16 + 4] = 0x05;
  StoreLe32(ebr, 446 + 16 + 8, 0);  // the next EBR: this one again
  StoreLe32(ebr, 446 + 16 + 12, 24576);
  const fs::path looped = m_dir / "looped.img";
  test::WriteFileBytes(looped, bytes);
  test::ChildResult r = Scan({looped.string(), "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("loops back"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("\"number\":5,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"files_found\":6"), std::string::npos) << r.out;
}

TEST_F(PartitionedScanCli, ATableWithNothingTrustworthyIsScannedWholeInAFullScan) {
  // The only entries left run past the end: no partition can be trusted.
  fs::path crafted = WithMbrEntry("mbr_parts.img", 0, 0x06, 2048, 4000000);
  std::vector<uint8_t> bytes = test::ReadFileBytes(crafted);
  std::fill(bytes.begin() + 446 + 16, bytes.begin() + 510, uint8_t(0));
  test::WriteFileBytes(crafted, bytes);

  test::ChildResult quick = Scan({crafted.string()});
  EXPECT_EQ(quick.exitCode, 2);
  EXPECT_NE(quick.err.find("past the end"), std::string::npos) << quick.err;

  test::ChildResult full = Scan({crafted.string(), "--mode", "full", "--fresh", "--json"});
  ASSERT_EQ(full.exitCode, 0) << full.err;
  EXPECT_NE(full.err.find("the image is scanned whole"), std::string::npos) << full.err;
  // The pass over the whole image still finds what the old file systems
  // left.
  EXPECT_NE(full.out.find("\"cancelled\":false"), std::string::npos) << full.out;
  EXPECT_EQ(full.out.find("\"files_found\":0,"), std::string::npos) << full.out;
  EXPECT_EQ(full.out.find("\"partitions\""), std::string::npos) << full.out;
}

}  // namespace
}  // namespace brinvale

#endif
