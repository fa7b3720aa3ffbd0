#pragma once

#include "cli/source_spec.h"
#include "device/disk_map.h"
#include "output/image_source.h"

namespace brinvale::cli {

// The medium SOURCE reads, as the image copy and the same-medium checks
// take it: the image file, the whole disk, or the run of sectors of a
// partition (with the descriptor of the listed volume it is exactly, if
// any, from `disks`).
ImageSource ImageSourceForSpec(const SourceSpec& given, const DiskMap& disks);

}  // namespace brinvale::cli
