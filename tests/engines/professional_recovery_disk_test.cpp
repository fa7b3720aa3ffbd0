// The full scan of a real block device: a copy of a FAT fixture attached
// read-only to a loop device (Linux, root and losetup; skipped otherwise).
// Whether the partition is the same unchanged medium must follow what is on
// it, not what happens to the file system the program itself lives on.
#if !defined(_WIN32)

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/scan_history.h"
#include "common/error_codes.h"
#include "engines/professional_recovery.h"
#include "platform/disk.h"
#include "platform/text.h"
#include "support/child_process.h"
#include "support/fixture_path.h"
#include "support/loop_device.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// The disk number of an attached loop device, or -1.
int DiskNumberOf(const test::LoopDevice& loop) {
  const std::vector<std::string> names = platform::WholeDiskNames();
  const auto it = std::find(names.begin(), names.end(), loop.KernelName());
  return it == names.end() ? -1 : int(it - names.begin());
}

// Writes `bytes` zero bytes to `path` and makes them durable, so that the
// file system holding it has less free space at once.
void WriteDurably(const fs::path& path, size_t bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path;
  const std::vector<char> zeros(bytes, 0);
  ASSERT_EQ(::write(fd, zeros.data(), zeros.size()), ssize_t(zeros.size()));
  ::fsync(fd);
  ::close(fd);
}

class FullScanOfADisk : public ::testing::Test {
 protected:
  void SetUp() override {
    // The scratch folder lies on the same file system as the scan logs.
    m_dir = fs::temp_directory_path() / ("brinvale-fullscan-disk-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "ScanLog");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  // Opens the partition (0, whole disk) of `disk` and returns whether the
  // history offered its earlier scan.
  bool OpenAndScan(ScanHistory& history, int disk, uint64_t sectors, bool scan) {
    CProfessionalRecovery engine(history);
    EXPECT_EQ(engine.OpenPartition(disk, 0, sectors, 0), kOk);
    const bool earlier = engine.HasEarlierScan();
    if (scan) {
      engine.SetPreviewFolder(m_dir / "preview");
      EXPECT_EQ(engine.Scan(nullptr), kOk);
    }
    return earlier;
  }
  fs::path m_dir;
};

TEST_F(FullScanOfADisk, UnchangedWhileTheHostWritesAndChangedWhenAFileIsAdded) {
  const fs::path image = m_dir / "fat16.img";
  fs::copy_file(test::FixturePath("fat16.img"), image);
  const uint64_t sectors = fs::file_size(image) / 512;
  ScanHistory history(m_dir / "ScanLog");
  int disk = -1;
  {
    test::LoopDevice loop(image);
    if (loop.Device().empty()) GTEST_SKIP() << loop.Why();
    disk = DiskNumberOf(loop);
    ASSERT_GE(disk, 0);
    EXPECT_FALSE(OpenAndScan(history, disk, sectors, true));
    // Disk numbers follow the sorted list of disks, which another test may
    // change by attaching a device of its own meanwhile.
    if (DiskNumberOf(loop) != disk) GTEST_SKIP() << "the disk list changed during the test";
    ASSERT_EQ(history.Entries().size(), 1u);
    const fs::path folder =
        platform::PathFromUtf8(platform::Utf16ToUtf8(history.Entries()[0].folder));
    ASSERT_TRUE(fs::exists(folder));
    // The host file system changes; the partition does not.
    WriteDurably(m_dir / "unrelated.bin", 4 << 20);
    const bool unchanged = OpenAndScan(history, disk, sectors, false);
    if (DiskNumberOf(loop) != disk) GTEST_SKIP() << "the disk list changed during the test";
    EXPECT_TRUE(unchanged) << "an unrelated write on the host made the partition look changed";
    EXPECT_TRUE(fs::exists(folder)) << "the earlier scan's folder was deleted";
  }
  // A file is added to the volume itself.
  const fs::path added = m_dir / "added.bin";
  WriteDurably(added, 64 << 10);
  test::ChildResult copied =
      test::RunChild({"/usr/bin/mcopy", "-i", image.string(), added.string(), "::/ADDED.BIN"});
  if (copied.exitCode != 0) GTEST_SKIP() << "mcopy (mtools) is needed: " << copied.err;
  test::LoopDevice again(image);
  ASSERT_FALSE(again.Device().empty()) << again.Why();
  if (DiskNumberOf(again) != disk) GTEST_SKIP() << "the loop device came back as another disk";
  const bool unchanged = OpenAndScan(history, disk, sectors, false);
  if (DiskNumberOf(again) != disk) GTEST_SKIP() << "the disk list changed during the test";
  EXPECT_FALSE(unchanged) << "the added file went unnoticed";
}

}  // namespace
}  // namespace brinvale

#endif
