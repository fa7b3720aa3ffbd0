// The readers of the mount point manager's and disk drivers' replies over
// arbitrary bytes: none may read outside the reply or loop without end.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/windows_disk_replies.h"

using namespace brinvale::platform::win;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> reply(data, size);
  const auto entries = ParseMountPoints(reply);
  (void)SelectHardDiskVolumes(entries);
  (void)DriveLetterFromMountPoints(entries);
  (void)MountPointsNeededSize(reply);
  (void)ParsePartitionInformation(reply);
  (void)ParseFirstDiskExtent(reply);
  (void)ParseDiskExtents(reply);
  (void)DiskExtentsNeededSize(reply);
  (void)ParseStorageDeviceNumber(reply);
  (void)ParseDiskGeometry(reply);
  (void)ParseStorageDeviceDescriptor(reply);
  const uint32_t wanted = size > 0 ? data[0] : 1;
  (void)FindPartitionInLayout(reply, wanted);
  return 0;
}
