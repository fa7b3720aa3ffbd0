#pragma once

#include <cstdint>
#include <filesystem>

#include "device/disk_map.h"
#include "output/image_source.h"
#include "platform/path_storage.h"

// Whether writing somewhere can change the medium being read: a recovery
// into a folder on the scanned disk overwrites the free clusters still to
// be read, and an image saved on the disk being copied copies itself.
namespace brinvale {

// Decides from facts that were learnt already. Writing at `target` changes
// what `source` reads when:
// - the path starts with the drive letter of a volume being read (ignoring
//   case; numbered volumes have no letter);
// - its file system was mounted from a volume being read (`deviceId`);
// - its file system lies on a piece of the source's disk that the source
//   reads: any piece for a whole disk, one overlapping the sectors of a
//   partition (`bytesPerSector` being the disk's sector size);
// - for an image-file source, the data goes into the image file itself (a
//   loop device or a FUSE mount over it). A folder beside the image, on the
//   file system that holds it, is fine.
// `disks` gives the volumes being read (VolumesBeingCopied).
bool TargetLiesOnSource(const std::filesystem::path& target, const ImageSource& source,
                        const DiskMap& disks, const platform::PathStorage& storage,
                        uint32_t bytesPerSector);

// Learns the target's storage (DescribePathStorage of `target`, which need
// not exist yet) and the source disk's sector size, then decides as above.
// A target whose storage cannot be learnt is judged by its letter alone.
bool TargetOnSourceMedium(const std::filesystem::path& target, const ImageSource& source,
                          const DiskMap& disks);

}  // namespace brinvale
