// brinvale-cli refuses to recover onto the medium it scans: real loop
// devices with real file systems mounted from them (ext4 through the
// kernel, NTFS through ntfs-3g's FUSE mount), scanned as a whole disk, as
// a partition and as the image file behind the loop device. Needs root,
// losetup, mount and mkfs.ext4 (mkntfs and ntfs-3g for the FUSE cases);
// skipped otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/disk.h"
#include "support/child_process.h"
#include "support/loop_device.h"

#if !defined(_WIN32)
#include <unistd.h>

namespace brinvale {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRefused = "lies on the medium being scanned";

bool Have(const std::string& tool) {
  return test::RunChild({"/bin/sh", "-c", "command -v " + tool + " >/dev/null"}).exitCode == 0;
}

// A file system mounted for the life of the object.
class Mount {
 public:
  Mount(const std::vector<std::string>& command, const fs::path& at) : m_at(at) {
    fs::create_directories(at);
    const test::ChildResult r = test::RunChild(command);
    m_mounted =
        r.exitCode == 0 &&
        test::RunChild({"/bin/sh", "-c", "mountpoint -q '" + at.string() + "'"}).exitCode == 0;
    m_why = r.err;
  }
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  ~Mount() {
    if (m_mounted) (void)test::RunChild({"/bin/sh", "-c", "umount '" + m_at.string() + "'"});
  }
  bool Mounted() const { return m_mounted; }
  const std::string& Why() const { return m_why; }

 private:
  fs::path m_at;
  bool m_mounted = false;
  std::string m_why;
};

int DiskNumberOf(const std::string& kernelName, const std::vector<std::string>& names) {
  auto it = std::find(names.begin(), names.end(), kernelName);
  return it == names.end() ? -1 : int(it - names.begin());
}

class SameMediumCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "loop devices and mounts need root";
    for (const char* tool : {"losetup", "mkfs.ext4"})
      if (!Have(tool)) GTEST_SKIP() << tool << " is not installed";
    m_dir = fs::temp_directory_path() /
            ("brinvale_same_medium_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::error_code ec;
    fs::remove_all(m_dir, ec);
    fs::create_directories(m_dir);
    m_appdata = m_dir / "appdata";
    setenv("XDG_DATA_HOME", m_appdata.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    if (!m_dir.empty()) fs::remove_all(m_dir, ec);
  }

  fs::path MakeExt4(const std::string& name) {
    const fs::path image = m_dir / name;
    std::ofstream(image).close();
    fs::resize_file(image, 16 << 20);
    EXPECT_EQ(test::RunChild({"/bin/sh", "-c", "mkfs.ext4 -q -F '" + image.string() + "'"})
                  .exitCode,
              0);
    return image;
  }

  // Runs `scan` with disk:%d in the arguments replaced by the loop device's
  // disk number; again when another process changed the disk list meanwhile.
  test::ChildResult ScanDisk(const test::LoopDevice& loop, std::vector<std::string> args) {
    test::ChildResult r;
    for (int attempt = 0; attempt < 5; ++attempt) {
      const std::vector<std::string> before = platform::WholeDiskNames();
      const int disk = DiskNumberOf(loop.KernelName(), before);
      EXPECT_GE(disk, 0) << loop.KernelName() << " is not among the disks";
      std::vector<std::string> argv = {BRINVALE_CLI_PATH, "scan"};
      for (std::string a : args) {
        if (const size_t at = a.find("%d"); at != std::string::npos)
          a.replace(at, 2, std::to_string(disk));
        argv.push_back(a);
      }
      r = test::RunChild(argv);
      if (platform::WholeDiskNames() == before) return r;
    }
    return r;
  }

  fs::path m_dir;
  fs::path m_appdata;
};

TEST_F(SameMediumCli, AMountedDiskAndTheImageBehindItAreRefusedAsTargets) {
  const fs::path image = MakeExt4("ext4.img");
  test::LoopDevice loop(image, test::LoopDevice::Access::kReadWrite);
  if (loop.Device().empty()) GTEST_SKIP() << loop.Why();
  const fs::path mnt = m_dir / "mnt";
  Mount mount({"/bin/sh", "-c", "mount " + loop.Device() + " '" + mnt.string() + "'"}, mnt);
  if (!mount.Mounted()) GTEST_SKIP() << "mount failed: " << mount.Why();

  // The whole disk.
  test::ChildResult r =
      ScanDisk(loop, {"disk:%d", "--mode", "full", "--recover-to", (mnt / "out").string()});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find(kRefused), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--allow-same-medium"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(mnt / "out")) << "the refused folder was made";

  // The image file attached as the loop device.
  r = test::RunChild({BRINVALE_CLI_PATH, "scan", image.string(), "--mode", "full", "--recover-to",
                      (mnt / "out").string()});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find(kRefused), std::string::npos) << r.err;

  // Beside the image, on the file system that holds it, is fine.
  r = test::RunChild({BRINVALE_CLI_PATH, "scan", image.string(), "--mode", "full", "--recover-to",
                      (m_dir / "beside").string()});
  EXPECT_EQ(r.err.find(kRefused), std::string::npos) << r.err;
  EXPECT_LE(r.exitCode, 1) << r.err;

  // Asked for explicitly, it goes ahead.
  r = ScanDisk(loop, {"disk:%d", "--mode", "full", "--recover-to", (mnt / "anyway").string(),
                      "--allow-same-medium"});
  EXPECT_EQ(r.err.find(kRefused), std::string::npos) << r.err;
  EXPECT_LE(r.exitCode, 1) << r.err;
  EXPECT_TRUE(fs::is_directory(mnt / "anyway"));
}

TEST_F(SameMediumCli, ScanLogsOnTheScannedDiskAreWarnedAbout) {
  const fs::path image = MakeExt4("ext4.img");
  test::LoopDevice loop(image, test::LoopDevice::Access::kReadWrite);
  if (loop.Device().empty()) GTEST_SKIP() << loop.Why();
  const fs::path mnt = m_dir / "mnt";
  Mount mount({"/bin/sh", "-c", "mount " + loop.Device() + " '" + mnt.string() + "'"}, mnt);
  if (!mount.Mounted()) GTEST_SKIP() << "mount failed: " << mount.Why();
  setenv("XDG_DATA_HOME", (mnt / "appdata").c_str(), 1);
  test::ChildResult r = ScanDisk(loop, {"disk:%d", "--mode", "full"});
  EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("XDG_DATA_HOME"), std::string::npos) << r.err;
  setenv("XDG_DATA_HOME", m_appdata.c_str(), 1);
  r = ScanDisk(loop, {"disk:%d", "--mode", "full"});
  EXPECT_EQ(r.err.find("XDG_DATA_HOME"), std::string::npos) << r.err;
}

TEST_F(SameMediumCli, OnlyThePartitionThatHoldsTheTargetIsRefused) {
  if (!Have("sfdisk")) GTEST_SKIP() << "sfdisk is not installed";
  const fs::path image = m_dir / "parted.img";
  std::ofstream(image).close();
  fs::resize_file(image, 40 << 20);
  // Partition 1: sectors 2048..34815 (16 MiB); partition 2: 36864..63487.
  ASSERT_EQ(test::RunChild({"/bin/sh", "-c",
                            "printf 'label: dos\\n2048,32768,83\\n36864,26624,83\\n' | sfdisk -q '" +
                                image.string() + "'"})
                .exitCode,
            0);
  const test::LoopDeviceLock lock;  // outlives the detach below
  const test::ChildResult attached = test::RunChild(
      {"/bin/sh", "-c", "losetup -f --show -P '" + image.string() + "'"});
  std::string device = attached.out.substr(0, attached.out.find('\n'));
  if (attached.exitCode != 0 || device.rfind("/dev/loop", 0) != 0)
    GTEST_SKIP() << "losetup -P failed: " << attached.err;
  struct Detach {
    std::string device;
    ~Detach() {
      (void)test::RunChild({"/bin/sh", "-c", "partx -d " + device + " 2>/dev/null; losetup -d " + device});
    }
  } detach{device};
  const std::string part = device + "p1";
  for (int i = 0; i < 20 && !fs::exists(part); ++i) usleep(50000);
  // Some kernels in containers ignore -P; partx adds the partitions then.
  if (!fs::exists(part)) (void)test::RunChild({"/bin/sh", "-c", "partx -a " + device});
  for (int i = 0; i < 40 && !fs::exists(part); ++i) usleep(50000);
  if (!fs::exists(part)) GTEST_SKIP() << "the kernel made no " << part;
  ASSERT_EQ(test::RunChild({"/bin/sh", "-c", "mkfs.ext4 -q -F " + part}).exitCode, 0);
  const fs::path mnt = m_dir / "mnt";
  Mount mount({"/bin/sh", "-c", "mount " + part + " '" + mnt.string() + "'"}, mnt);
  if (!mount.Mounted()) GTEST_SKIP() << "mount failed: " << mount.Why();

  const std::string kernel = fs::path(device).filename().string();
  auto scan = [&](const std::string& source) {
    const std::vector<std::string> names = platform::WholeDiskNames();
    std::string given = source;
    given.replace(given.find("%d"), 2, std::to_string(DiskNumberOf(kernel, names)));
    return test::RunChild({BRINVALE_CLI_PATH, "scan", given, "--mode", "full", "--recover-to",
                           (mnt / "out").string()});
  };
  test::ChildResult r = scan("disk:%d:2048:32768");
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find(kRefused), std::string::npos) << r.err;
  r = scan("disk:%d:4096:100");  // inside partition 1
  EXPECT_NE(r.err.find(kRefused), std::string::npos) << r.err;
  r = scan("disk:%d:36864:26624");  // partition 2: the target is not on it
  EXPECT_EQ(r.err.find(kRefused), std::string::npos) << r.err;
  EXPECT_LE(r.exitCode, 1) << r.err;
  // A run past the end of the disk is no partition of it.
  r = scan("disk:%d:36864:999999");
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find("runs past the end"), std::string::npos) << r.err;
}

TEST_F(SameMediumCli, FuseMountsOfTheDiskOrTheImageAreRefused) {
  for (const char* tool : {"mkntfs", "ntfs-3g", "mountpoint"})
    if (!Have(tool)) GTEST_SKIP() << tool << " is not installed";
  if (!fs::exists("/dev/fuse")) GTEST_SKIP() << "no /dev/fuse";
  const fs::path image = m_dir / "ntfs.img";
  std::ofstream(image).close();
  fs::resize_file(image, 16 << 20);
  ASSERT_EQ(test::RunChild({"/bin/sh", "-c", "mkntfs -q -Q -F '" + image.string() + "'"}).exitCode,
            0);
  const fs::path mnt = m_dir / "mnt";
  {
    // ntfs-3g over the image file itself: the mount's source is the file.
    Mount mount({"/bin/sh", "-c", "ntfs-3g '" + image.string() + "' '" + mnt.string() + "'"}, mnt);
    if (!mount.Mounted()) GTEST_SKIP() << "ntfs-3g failed: " << mount.Why();
    const test::ChildResult r = test::RunChild({BRINVALE_CLI_PATH, "scan", image.string(),
                                                "--recover-to", (mnt / "out").string()});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find(kRefused), std::string::npos) << r.err;
  }
  // ntfs-3g over a loop device: a FUSE block mount, its device number anonymous.
  test::LoopDevice loop(image, test::LoopDevice::Access::kReadWrite);
  if (loop.Device().empty()) GTEST_SKIP() << loop.Why();
  Mount mount({"/bin/sh", "-c", "ntfs-3g " + loop.Device() + " '" + mnt.string() + "'"}, mnt);
  if (!mount.Mounted()) GTEST_SKIP() << "ntfs-3g failed: " << mount.Why();
  test::ChildResult r = ScanDisk(loop, {"disk:%d", "--recover-to", (mnt / "out").string()});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find(kRefused), std::string::npos) << r.err;
  r = test::RunChild(
      {BRINVALE_CLI_PATH, "scan", image.string(), "--recover-to", (mnt / "out").string()});
  EXPECT_NE(r.err.find(kRefused), std::string::npos) << r.err;
}

}  // namespace
}  // namespace brinvale

#endif  // !_WIN32
