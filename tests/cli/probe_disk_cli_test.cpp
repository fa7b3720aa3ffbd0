// brinvale-cli probe on real block devices: fixture files attached
// read-only to loop devices. Needs root and losetup; skipped otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/disk.h"
#include "support/child_process.h"
#include "support/fixture_path.h"
#include "support/loop_device.h"

namespace brinvale {
namespace {

#if !defined(_WIN32)

// Probes `given` (with "%d" standing for the loop device's disk number) and
// returns what it printed. Disk numbers follow the sorted list of disks,
// which another test or process may change by attaching or detaching a
// device of its own meanwhile, so the probe is repeated until the list was
// the same before and after it.
test::ChildResult ProbeLoop(const test::LoopDevice& loop, const std::string& given) {
  test::ChildResult r;
  for (int attempt = 0; attempt < 20; ++attempt) {
    const std::vector<std::string> before = platform::WholeDiskNames();
    auto it = std::find(before.begin(), before.end(), loop.KernelName());
    if (it == before.end()) break;
    std::string source = given;
    source.replace(source.find("%d"), 2, std::to_string(it - before.begin()));
    r = test::RunChild({BRINVALE_CLI_PATH, "probe", source});
    if (platform::WholeDiskNames() == before) return r;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ADD_FAILURE() << loop.KernelName() << " could not be pinned to a disk number";
  return r;
}

struct DiskCase {
  const char* file;
  const char* given;
  const char* printed;
};

TEST(ProbeDiskCli, NamesTheFileSystemOnALoopDevice) {
  const DiskCase cases[] = {
      {"fat16.img", "disk:%d", "FAT\n"},
      {"fat16.img", "disk:%d:0:65536", "FAT\n"},     // a partition-less disk at start 0
      {"fat16.img", "disk:%d:1:1000", "unknown\n"},  // one sector in, no boot sector
      {"sample.img", "disk:%d", "FAT\n"},
      {"recog_ntfs.bin", "disk:%d", "NTFS\n"},
      {"recog_ext4.bin", "disk:%d:0:128", "Ext\n"},
  };
  for (const DiskCase& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.given);
    test::LoopDevice loop(test::FixturePath(c.file));
    if (loop.Device().empty()) GTEST_SKIP() << loop.Why();
    test::ChildResult r = ProbeLoop(loop, c.given);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.printed);
  }
}

// A bad source is a usage error: exit status 2.
TEST(ProbeDiskCli, StartNear16KiBFromTheEndIsAReadError) {
  test::LoopDevice loop(test::FixturePath("recog_fat12.bin"));  // 128 sectors
  if (loop.Device().empty()) GTEST_SKIP() << loop.Why();
  test::ChildResult r = ProbeLoop(loop, "disk:%d:100:28");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("16 KiB"), std::string::npos) << r.err;
  // Exactly the last 16 KiB still reads.
  r = ProbeLoop(loop, "disk:%d:96:32");
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

#endif

TEST(ProbeDiskCli, MissingDiskIsAnError) {
#if defined(_WIN32)
  GTEST_SKIP() << "the CLI tests run the program with fork and exec";
#else
  test::ChildResult r = test::RunChild({BRINVALE_CLI_PATH, "probe", "disk:99999"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("disk 99999"), std::string::npos) << r.err;
#endif
}

}  // namespace
}  // namespace brinvale
