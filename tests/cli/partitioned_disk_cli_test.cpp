// brinvale-cli over a whole-disk image attached to a loop device without
// partition scanning, so the system shows the disk but none of its
// partitions: `disks` lists them from the disk's own table and `scan
// disk:N` scans each. Needs root and losetup; skipped otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/disk.h"
#include "support/cli_test_folder.h"
#include "support/child_process.h"
#include "support/fixture_path.h"
#include "support/loop_device.h"
#include "support/partitioned_disks_manifest.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

#if !defined(_WIN32)

namespace fs = std::filesystem;

// Runs the program with "%d" in `args` standing for the loop device's disk
// number, until the list of disks was the same before and after the run
// (another test may attach or detach a device meanwhile).
test::ChildResult RunOnLoop(const test::LoopDevice& loop, std::vector<std::string> args) {
  test::ChildResult r;
  for (int attempt = 0; attempt < 20; ++attempt) {
    const std::vector<std::string> before = platform::WholeDiskNames();
    auto it = std::find(before.begin(), before.end(), loop.KernelName());
    if (it == before.end()) break;
    std::vector<std::string> argv = {BRINVALE_CLI_PATH};
    for (std::string a : args) {
      if (const size_t at = a.find("%d"); at != std::string::npos)
        a.replace(at, 2, std::to_string(it - before.begin()));
      argv.push_back(a);
    }
    r = test::RunChild(argv);
    if (platform::WholeDiskNames() == before) return r;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ADD_FAILURE() << loop.KernelName() << " could not be pinned to a disk number";
  return r;
}

class PartitionedDiskCli : public test::CliTestFolder {
 protected:
  PartitionedDiskCli() : CliTestFolder("brinvale_parts_disk_") {}
};

TEST_F(PartitionedDiskCli, DisksListsThePartitionsOfTheTableAndScanFindsTheirFiles) {
  test::LoopDevice loop(test::FixturePath("mbr_parts.img"));
  if (loop.Device().empty()) GTEST_SKIP() << loop.Why();

  test::ChildResult list = RunOnLoop(loop, {"disks", "--json"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  const std::string device = "\"path\": \"" + loop.Device() + "\"";
  // Each partition is a record of this device that came from its table.
  for (const char* start : {"\"start\": 2048,", "\"start\": 36864,", "\"start\": 61440,"}) {
    bool listed = false;
    for (size_t at = list.out.find(start); at != std::string::npos;
         at = list.out.find(start, at + 1)) {
      const std::string record = list.out.substr(at, list.out.find('}', at) - at);
      listed = listed || (record.find(device) != std::string::npos &&
                          record.find("\"origin\": \"table\"") != std::string::npos);
    }
    EXPECT_TRUE(listed) << start << "\n" << list.out;
  }

  const fs::path out = m_dir / "out";
  test::ChildResult scan = RunOnLoop(loop, {"scan", "disk:%d", "--recover-to", out.string()});
  ASSERT_EQ(scan.exitCode, 0) << scan.err << scan.out;
  EXPECT_NE(scan.out.find("MBR disk, 3 partitions"), std::string::npos) << scan.out;
  size_t matched = 0;
  for (const test::ManifestFile& f : test::ReadPartitionedDisks().DeletedFilesOf("mbr_parts.img")) {
    if (f.name == "PHOTO.JPG") continue;  // fails the content check: not listed
    const fs::path folder = out / ("partition-" + std::to_string(f.partition));
    bool found = false;
    if (fs::exists(folder))
      for (const auto& e : fs::recursive_directory_iterator(folder))
        found = found || (e.is_regular_file() &&
                          test::Sha256Hex(test::ReadFileBytes(e.path())) == f.sha256);
    EXPECT_TRUE(found) << f.name << " of partition " << f.partition;
    matched += found;
  }
  EXPECT_EQ(matched, 4u);

  // The full scan of the whole disk takes the partitions from its table too.
  test::ChildResult full =
      RunOnLoop(loop, {"scan", "disk:%d", "--mode", "full", "--fresh", "--list", "--json"});
  ASSERT_EQ(full.exitCode, 0) << full.err;
  EXPECT_NE(full.out.find("\"partition_table\":{\"scheme\":\"MBR\""), std::string::npos)
      << full.out;
  EXPECT_NE(full.out.find("\"name\":\"report.txt\",\"folder\":\"\",\"partition\":2"),
            std::string::npos)
      << full.out;
}

#endif

}  // namespace
}  // namespace brinvale
