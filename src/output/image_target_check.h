#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "device/disk_map.h"
#include "output/image_source.h"

// The checks on the file an image is about to be written to.
namespace brinvale {

// What stops an image from going to the chosen file, in the order checked.
enum class ImageTargetProblem {
  kNone,
  kSameDrive,       // "MSG0218": the file lies on a volume being copied
  kFat32TooLarge,   // "MSG0220": a FAT32 file holds less than 4 GiB
  kFatTooLarge,     // "MSG0219": a FAT12/16 drive and an image over 2 GiB
  kNotEnoughSpace,  // "MSG0221": the drive's free space is not above the size
};

// The message key of a problem ("MSG0218", ...); empty for kNone.
const char* ImageTargetMessageKey(ImageTargetProblem problem);

// A plain English sentence for a problem (the command line's text).
const char* ImageTargetSentence(ImageTargetProblem problem);

// What is known about the drive that will hold the image.
struct ImageTargetFacts {
  bool onSourceDrive = false;
  std::string fileSystemName;         // upper-cased; empty when unknown
  std::optional<uint64_t> freeBytes;  // empty when it cannot be read
};

// The first problem, checked in order: the source drive; FAT32 and an image
// of 4 GiB or more (a FAT32 file is at most 4 GiB - 1 bytes); another FAT
// (not exFAT) and an image over 2 GiB; free space not above the image size
// (skipped when the free space is unknown).
ImageTargetProblem CheckImageTarget(const ImageTargetFacts& target, uint64_t imageBytes);

// Learns the facts about the drive of `imagePath` for an image of `source`.
// `disks` is the current disk list: it gives the volumes being copied and,
// on Linux, the file-system name of the target's volume. The image lies on
// the source drive when TargetOnSourceMedium says so (a drive letter, a
// device or a piece of disk being copied), or, for an image-file source,
// when it is the source file itself.
ImageTargetFacts DescribeImageTarget(const std::filesystem::path& imagePath,
                                     const ImageSource& source, const DiskMap& disks);

}  // namespace brinvale
