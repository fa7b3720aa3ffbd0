#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/volume_info.h"
#include "results/recovery_engine.h"

namespace brinvale {

// One partition of an image that holds a whole disk: its number in the
// table and its place in the image, in 512-byte sectors.
struct ImagePartition {
  uint32_t number = 0;
  uint64_t start = 0;
  uint64_t length = 0;
};

// One volume or image on the list of things to scan, with the engine of its
// last scan. The front end owns its sources; the scan job replaces their
// engines, the search and recovery jobs only read them. Not copyable.
struct ScanSource {
  ScanSource() = default;
  ScanSource(const ScanSource&) = delete;
  ScanSource& operator=(const ScanSource&) = delete;
  ScanSource(ScanSource&&) = default;
  ScanSource& operator=(ScanSource&&) = default;

  // Set for a partition (or whole disk) of a physical disk.
  std::optional<VolumeInfo> partition;
  // The engine of the last scan of this source, if any.
  std::unique_ptr<IRidiRedazuvoParse> engine;
  // A disk image file; empty for a partition.
  std::filesystem::path imagePath;
  // Set when the source is one partition of that image rather than the
  // whole image. Each such source has a tag of its own.
  std::optional<ImagePartition> imagePartition;
  // What the last scan of this source returned: 0, a system error code, or
  // the cancel code.
  int scanResult = 0;
  // For an image: its running number, given when it is added (1, 2, ...).
  uint16_t sourceTag = 0;

  // A source is a partition when it has no image path and has a partition.
  bool IsPartition() const { return imagePath.empty() && partition.has_value(); }
  // The key written into the records of this source's scans, by which a
  // found file finds its engine again: the partition's drive letter (or
  // number), or the image's tag.
  uint16_t Key() const { return IsPartition() ? uint16_t(partition->driveLetter) : sourceTag; }
  // The image file's name: the part of its path after the last separator,
  // followed by " #N" for partition N of it.
  std::string ImageName() const;
};

// Whether a partition's drive-letter field holds a letter rather than a
// number given in place of one.
bool HasDriveLetter(const VolumeInfo& partition);

// A key for a new image source, or for one partition of an image, that no
// source of `sources` has: the smallest from 1 up that is neither another
// source's key nor a letter (which a volume's drive letter may be). A
// running number alone could equal the number a letterless volume shows in
// place of a letter, and a found file would then find the wrong engine.
// 0 when every key is taken.
uint16_t UnusedSourceKey(const std::vector<ScanSource*>& sources);

// The first of `sources` whose key is `key`; null when none is. A found
// file finds its engine through its record's source key this way.
ScanSource* FindSourceByKey(const std::vector<ScanSource*>& sources, uint16_t key);

// A progress window's stage text for a partition: `letterFormat` filled
// with its drive letter, or `numberFormat` with the number that stands in
// for one.
std::string PartitionStageText(const VolumeInfo& partition, const std::string& letterFormat,
                               const std::string& numberFormat);

}  // namespace brinvale
