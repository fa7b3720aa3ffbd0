// Where the data under a path ends up: the Linux answer over fake /sys/block
// trees and mount tables, and the real answer for a real folder.
#include "platform/path_storage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/error_codes.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace brinvale::platform {
namespace {

namespace fs = std::filesystem;

#if !defined(_WIN32)

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text << "\n";
}

// A fake system: disk sdb with partitions sdb1 (sectors 2048..3047) and
// sdb2 (4096..6095), a device-mapper volume dm-0 over sdb2 (reached as
// /dev/mapper/root), a loop device loop3 over an image file, and a mount
// table with a FUSE mount of sdb1 (as ntfs-3g makes), btrfs on the mapper
// device, a FUSE mount of an image file and a tmpfs.
class FakeStorage : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = fs::temp_directory_path() / ("brinvale_storage_" + std::to_string(::getpid()));
    fs::remove_all(m_root);
    const fs::path block = m_root / "sys/block";
    WriteFile(block / "sdb/dev", "8:16");
    WriteFile(block / "sdb/size", "8192");
    WriteFile(block / "sdb/sdb1/partition", "1");
    WriteFile(block / "sdb/sdb1/dev", "8:17");
    WriteFile(block / "sdb/sdb1/start", "2048");
    WriteFile(block / "sdb/sdb1/size", "1000");
    WriteFile(block / "sdb/sdb2/partition", "2");
    WriteFile(block / "sdb/sdb2/dev", "8:18");
    WriteFile(block / "sdb/sdb2/start", "4096");
    WriteFile(block / "sdb/sdb2/size", "2000");
    WriteFile(block / "dm-0/dev", "253:7");
    WriteFile(block / "dm-0/size", "2000");
    fs::create_directories(block / "dm-0/slaves/sdb2");
    m_image = m_root / "images/disk.img";
    WriteFile(m_image, "image bytes");
    WriteFile(block / "loop3/dev", "7:3");
    WriteFile(block / "loop3/size", "100");
    WriteFile(block / "loop3/loop/backing_file", m_image.string());
    WriteFile(m_root / "dev/sdb1", "");
    WriteFile(m_root / "dev/dm-0", "");
    fs::create_directories(m_root / "dev/mapper");
    fs::create_symlink("../dm-0", m_root / "dev/mapper/root");
    WriteFile(m_root / "mountinfo",
              "36 25 0:55 / /mnt/ntfs rw,relatime - fuseblk /dev/sdb1 rw,user_id=0\n"
              "37 25 0:56 / /mnt/btrfs rw - btrfs /dev/mapper/root rw\n"
              "38 25 0:57 / /mnt/img rw - fuse " + m_image.string() + " rw\n"
              "39 25 0:58 / /tmp rw - tmpfs tmpfs rw,size=1024k");
    m_paths.sysBlock = block;
    m_paths.dev = m_root / "dev";
    m_paths.mountInfo = m_root / "mountinfo";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }
  PathStorage Describe(unsigned major, unsigned minor) {
    PathStorage out;
    DescribeLinuxStorage(uint64_t(makedev(major, minor)), m_paths, out);
    return out;
  }

  fs::path m_root;
  fs::path m_image;
  LinuxDiskPaths m_paths;
};

// Disk numbers in this tree: dm-0, loop3, sdb (natural order).
constexpr int kDm0 = 0, kLoop3 = 1, kSdb = 2;

TEST_F(FakeStorage, APartitionIsItsRangeOfItsDisk) {
  const PathStorage s = Describe(8, 17);
  EXPECT_TRUE(s.known);
  EXPECT_EQ(s.deviceId, uint64_t(makedev(8, 17)));
  ASSERT_EQ(s.extents.size(), 1u);
  EXPECT_EQ(s.extents[0].diskName, "sdb");
  EXPECT_EQ(s.extents[0].diskNumber, kSdb);
  EXPECT_EQ(s.extents[0].startBytes, 2048u * 512);
  EXPECT_EQ(s.extents[0].lengthBytes, 1000u * 512);
  EXPECT_TRUE(s.imageFiles.empty());
}

TEST_F(FakeStorage, AFuseMountWithAnAnonymousDeviceIsPlacedByItsSourceDevice) {
  const PathStorage s = Describe(0, 55);
  EXPECT_TRUE(s.known);
  EXPECT_EQ(s.deviceId, uint64_t(makedev(8, 17)));
  ASSERT_EQ(s.extents.size(), 1u);
  EXPECT_EQ(s.extents[0].diskNumber, kSdb);
  EXPECT_EQ(s.extents[0].startBytes, 2048u * 512);
}

TEST_F(FakeStorage, DeviceMapperIsFollowedDownToItsDisk) {
  for (const PathStorage& s : {Describe(253, 7), Describe(0, 56)}) {
    ASSERT_EQ(s.extents.size(), 2u);
    EXPECT_EQ(s.extents[0].diskName, "dm-0");
    EXPECT_EQ(s.extents[0].diskNumber, kDm0);
    EXPECT_EQ(s.extents[1].diskName, "sdb");
    EXPECT_EQ(s.extents[1].startBytes, 4096u * 512);
    EXPECT_EQ(s.extents[1].lengthBytes, 2000u * 512);
  }
}

TEST_F(FakeStorage, ALoopDeviceLeadsToItsBackingFile) {
  const PathStorage s = Describe(7, 3);
  ASSERT_GE(s.extents.size(), 1u);
  EXPECT_EQ(s.extents[0].diskName, "loop3");
  EXPECT_EQ(s.extents[0].diskNumber, kLoop3);
  ASSERT_EQ(s.imageFiles.size(), 1u);
  EXPECT_EQ(s.imageFiles[0], m_image);
}

TEST_F(FakeStorage, AFuseMountOfAnImageFileLeadsToTheFile) {
  const PathStorage s = Describe(0, 57);
  EXPECT_TRUE(s.known);
  ASSERT_EQ(s.imageFiles.size(), 1u);
  EXPECT_EQ(s.imageFiles[0], m_image);
}

TEST_F(FakeStorage, RamAndUnknownFileSystemsLieOnNoDisk) {
  const PathStorage tmp = Describe(0, 58);
  EXPECT_TRUE(tmp.known);
  EXPECT_TRUE(tmp.extents.empty());
  const PathStorage unknown = Describe(0, 99);
  EXPECT_FALSE(unknown.known);
  EXPECT_TRUE(unknown.extents.empty());
}

TEST(PathStorage, AFolderStillToBeMadeIsPlacedByItsParent) {
  const fs::path tmp = fs::temp_directory_path();
  PathStorage here, below;
  ASSERT_EQ(DescribePathStorage(tmp, here), kOk);
  ASSERT_EQ(DescribePathStorage(tmp / "brinvale-not-there" / "deeper", below), kOk);
  EXPECT_EQ(here.known, below.known);
  EXPECT_EQ(here.deviceId, below.deviceId);
  EXPECT_EQ(here.extents.size(), below.extents.size());
  // A path through a file is no folder to be made.
  const fs::path file = tmp / "brinvale-path-storage-file";
  std::ofstream(file) << "x";
  PathStorage through;
  EXPECT_NE(DescribePathStorage(file / "sub", through), kOk);
  fs::remove(file);
}

#endif  // !_WIN32

}  // namespace
}  // namespace brinvale::platform
