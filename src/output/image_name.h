#pragma once

#include <string>

#include "device/volume_info.h"

namespace brinvale {

// The file name proposed for an image of a whole disk: "Physical Disk %d"
// with the disk number plus 1.
std::string ProposeDiskImageName(int diskNumber);

// The file name proposed for an image of a partition: "%C (%s, %s)" with its
// drive letter, file-system name and size text, or "%d (%s, %s)" with the
// drive-letter field as a number when the volume has no letter of its own.
// The size is the partition's total bytes as the disk list shows them.
std::string ProposePartitionImageName(const VolumeInfo& partition);

}  // namespace brinvale
