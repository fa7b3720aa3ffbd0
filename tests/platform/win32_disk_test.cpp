// Disk, volume and folder queries of the Win32 backend. The regular-file
// cases hold on every platform and run natively too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/error_codes.h"
#include "platform/disk.h"
#include "platform/folders.h"
#include "platform/volume.h"

namespace brinvale::platform {
namespace {

namespace fs = std::filesystem;

TEST(Win32Disk, RegularFileHasNoGeometryButALength) {
  fs::path path = fs::temp_directory_path() / "brinvale_disk_regular.img";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(3 * 512 + 7, 'x');
  {
    UniqueHandle h;
    ASSERT_EQ(OpenFile(path, OpenMode::kReadExisting, h), kOk);
    DiskGeometry geometry;
    EXPECT_NE(QueryDiskGeometry(h, geometry), kOk) << "an image is not a disk";
    uint64_t bytes = 0;
    ASSERT_EQ(QueryDiskLength(h, bytes), kOk);
    EXPECT_EQ(bytes, 3u * 512 + 7);
  }
  fs::remove(path);
}

TEST(Win32Disk, VolumeOfTheTempFolderAnswers) {
  uint64_t freeBytes = 0;
  ASSERT_EQ(VolumeFreeSpace(fs::temp_directory_path(), freeBytes), kOk);
  EXPECT_GT(freeBytes, 0u);
  std::string name;
  ASSERT_EQ(VolumeFileSystemName(fs::temp_directory_path(), name), kOk);
  EXPECT_FALSE(name.empty());
  EXPECT_LE(name.size(), 31u);
}

#if defined(_WIN32)
TEST(Win32Disk, DevicePathsFollowWindowsNaming) {
  EXPECT_EQ(DiskPath(0).wstring(), L"\\\\.\\PhysicalDrive0");
  EXPECT_EQ(DiskPath(12).wstring(), L"\\\\.\\PhysicalDrive12");
  EXPECT_TRUE(DiskPath(-1).empty());
  UniqueHandle h;
  EXPECT_EQ(OpenDisk(-1, h), kErrFileNotFound);
  EXPECT_NE(OpenDisk(4095, h), kOk) << "no machine has 4096 disks";
  EXPECT_FALSE(h.IsOpen());
  EXPECT_TRUE(WholeDiskNames().empty()) << "Windows numbers disks itself";
  EXPECT_EQ(DriveRoot(u'D').wstring(), L"D:\\");
}

TEST(Win32Disk, VolumeQueriesAcceptAPathNotYetMade) {
  // Recovery asks about the free space of a target folder before making it.
  fs::path later = fs::temp_directory_path() / "brinvale-not-made" / "deeper";
  uint64_t freeBytes = 0;
  EXPECT_EQ(VolumeFreeSpace(later, freeBytes), kOk);
  EXPECT_GT(freeBytes, 0u);
  std::string name;
  EXPECT_EQ(VolumeFileSystemName(later, name), kOk);
  EXPECT_FALSE(name.empty());
}

TEST(Win32Folders, AppDataIsTheRoamingProfileFolder) {
  fs::path appData = AppDataFolder();
  ASSERT_FALSE(appData.empty());
  EXPECT_TRUE(appData.is_absolute());
  EXPECT_TRUE(fs::is_directory(appData));
  EXPECT_EQ(appData.filename(), fs::path(L"Roaming"));
}
#endif

}  // namespace
}  // namespace brinvale::platform
