#pragma once

#include <string>

#include "device/disk_map.h"

namespace brinvale::cli {

// The disk list as lines of text, one disk heading and one line per record.
std::string FormatDiskList(const DiskMap& disks);

// The disk list as a JSON document: {"disks": [{"number": N, "records": [...]}]}.
std::string FormatDiskListJson(const DiskMap& disks);

// `brinvale-cli disks [--json]`: lists disks, volumes and gaps.
int RunDisks(int argc, char** argv);

}  // namespace brinvale::cli
