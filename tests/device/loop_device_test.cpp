// Reads a real block device: a fixture image attached read-only to a loop
// device. Needs root and losetup; skipped otherwise.
#include "support/loop_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/error_codes.h"
#include "device/sector_reader.h"
#include "platform/disk.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

// The disk number of `kernelName` ("loop3") in `names`, or -1.
int DiskNumberOf(const std::string& kernelName,
                 const std::vector<std::string>& names = platform::WholeDiskNames()) {
  auto it = std::find(names.begin(), names.end(), kernelName);
  return it == names.end() ? -1 : int(it - names.begin());
}

TEST(LoopDevice, WholeDiskReaderSeesTheImageBytes) {
  const auto imagePath = test::FixturePath("fat16.img");
  const std::vector<uint8_t> image = test::ReadFileBytes(imagePath);
  ASSERT_EQ(image.size(), 32u << 20);
  test::LoopDevice loop(imagePath);
  if (loop.Device().empty()) GTEST_SKIP() << loop.Why();

  // Disk numbers follow the sorted list of disks, which another test or
  // process may change by attaching or detaching a device of its own: open,
  // then make sure the list did not change meanwhile.
  SectorReader reader;
  bool pinned = false;
  for (int attempt = 0; attempt < 20 && !pinned; ++attempt) {
    const std::vector<std::string> before = platform::WholeDiskNames();
    const int disk = DiskNumberOf(loop.KernelName(), before);
    ASSERT_GE(disk, 0) << loop.KernelName() << " is not among the whole disks";
    CloseReader(reader);
    const int rc = OpenDiskReader(reader, disk);
    pinned = platform::WholeDiskNames() == before;
    if (pinned) {
      ASSERT_EQ(rc, kOk);
    }
  }
  ASSERT_TRUE(pinned) << loop.KernelName() << " could not be pinned to a disk number";

  EXPECT_EQ(reader.totalSectors, image.size() / 512);
  std::vector<uint8_t> buffer(image.size());
  uint32_t got = 0;
  ASSERT_EQ(ReadSectors(uint32_t(reader.totalSectors), reader, buffer.data(), 0, 512, got), kOk);
  EXPECT_EQ(got, reader.totalSectors);
  EXPECT_TRUE(buffer == image) << "the device's sectors differ from the image file";
  // A read at an odd place: the last 3 sectors, then one past the end.
  ASSERT_EQ(ReadSectors(3, reader, buffer.data(), reader.totalSectors - 3, 512, got), kOk);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 3 * 512, image.end() - 3 * 512));
  EXPECT_EQ(ReadSectors(1, reader, buffer.data(), reader.totalSectors, 512, got),
            kErrInvalidParameter);
  CloseReader(reader);
}

TEST(LoopDevice, DetachedDeviceLeavesTheDiskList) {
  std::string kernelName;
  {
    test::LoopDevice loop(test::FixturePath("recog_fat12.bin"));
    if (loop.Device().empty()) GTEST_SKIP() << loop.Why();
    kernelName = loop.KernelName();
    EXPECT_GE(DiskNumberOf(kernelName), 0);
  }
  // Another test or process may have taken the same device meanwhile; only
  // check when it is free.
  const auto names = platform::WholeDiskNames();
  if (std::find(names.begin(), names.end(), kernelName) != names.end())
    GTEST_SKIP() << kernelName << " was attached again by someone else";
  SUCCEED();
}

}  // namespace
}  // namespace brinvale
