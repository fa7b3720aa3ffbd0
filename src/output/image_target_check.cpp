#include "output/image_target_check.h"

#include <algorithm>
#include <cctype>

#include "common/error_codes.h"
#include "output/same_medium_check.h"
#include "platform/disk_enumeration.h"
#include "platform/volume.h"

namespace brinvale {
namespace {

constexpr uint64_t kFat32LargestFile = 0xFFFFFFFFull;     // 4 GiB - 1
constexpr uint64_t kFatLargestImage = uint64_t(2) << 30;  // 2 GiB

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return text;
}

// The folder that will hold the image (which itself may not exist yet).
std::filesystem::path TargetFolder(const std::filesystem::path& imagePath) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(imagePath, ec);
  if (ec) absolute = imagePath;
  std::filesystem::path folder = absolute.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace

const char* ImageTargetMessageKey(ImageTargetProblem problem) {
  switch (problem) {
    case ImageTargetProblem::kNone: return "";
    case ImageTargetProblem::kSameDrive: return "MSG0218";
    case ImageTargetProblem::kFat32TooLarge: return "MSG0220";
    case ImageTargetProblem::kFatTooLarge: return "MSG0219";
    case ImageTargetProblem::kNotEnoughSpace: return "MSG0221";
  }
  return "";
}

const char* ImageTargetSentence(ImageTargetProblem problem) {
  switch (problem) {
    case ImageTargetProblem::kNone: return "";
    case ImageTargetProblem::kSameDrive:
      return "The image cannot be saved on the drive that is being copied. Choose a file on "
             "another drive.";
    case ImageTargetProblem::kFat32TooLarge:
      return "The target drive uses FAT32, which cannot hold a file of 4 GB or more. Choose a "
             "drive with another file system.";
    case ImageTargetProblem::kFatTooLarge:
      return "The target drive uses FAT, which cannot hold a file larger than 2 GB. Choose a "
             "drive with another file system.";
    case ImageTargetProblem::kNotEnoughSpace:
      return "There is not enough free space on the target drive for the image. Choose "
             "another drive.";
  }
  return "";
}

ImageTargetProblem CheckImageTarget(const ImageTargetFacts& target, uint64_t imageBytes) {
  if (target.onSourceDrive) return ImageTargetProblem::kSameDrive;
  const std::string& name = target.fileSystemName;
  if (Contains(name, "FAT32") && imageBytes > kFat32LargestFile)
    return ImageTargetProblem::kFat32TooLarge;
  // exFAT holds files of any size this system makes.
  if (Contains(name, "FAT") && !Contains(name, "FAT32") && !Contains(name, "EXFAT") &&
      imageBytes > kFatLargestImage)
    return ImageTargetProblem::kFatTooLarge;
  if (target.freeBytes && *target.freeBytes <= imageBytes)
    return ImageTargetProblem::kNotEnoughSpace;
  return ImageTargetProblem::kNone;
}

ImageTargetFacts DescribeImageTarget(const std::filesystem::path& imagePath,
                                     const ImageSource& source, const DiskMap& disks) {
  ImageTargetFacts facts;
  const std::filesystem::path folder = TargetFolder(imagePath);
  uint64_t targetDevice = 0;
  if (platform::VolumeDeviceIdOfPath(folder, targetDevice) != kOk) targetDevice = 0;

  facts.onSourceDrive = TargetOnSourceMedium(imagePath, source, disks);
  if (source.kind == ImageSource::Kind::kImageFile) {
    std::error_code ec;
    if (std::filesystem::equivalent(source.imageFile, imagePath, ec)) facts.onSourceDrive = true;
  }

  // The disk list names a listed volume's file system the way the checks
  // expect ("FAT32", "FAT"); the mount table only says "vfat".
  bool named = false;
  if (targetDevice != 0) {
    for (const auto& [disk, list] : disks)
      for (const VolumeInfo& record : list)
        if (!named && record.kind == VolumeInfo::Kind::kVolume && record.deviceId == targetDevice &&
            !record.fileSystemName.empty()) {
          facts.fileSystemName = UpperCase(record.fileSystemName);
          named = true;
        }
  }
  if (!named) {
    std::string name;
    if (platform::VolumeFileSystemName(folder, name) == kOk) {
      name = UpperCase(name);
      // Linux's vfat driver holds files up to 4 GiB - 1 on every FAT size,
      // which is the FAT32 rule.
      if (name == "VFAT" || name == "MSDOS") name = "FAT32";
      facts.fileSystemName = name;
    }
  }
  uint64_t freeBytes = 0;
  if (platform::VolumeFreeSpace(folder, freeBytes) == kOk) facts.freeBytes = freeBytes;
  return facts;
}

}  // namespace brinvale
