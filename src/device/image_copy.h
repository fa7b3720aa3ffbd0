#pragma once

#include <cstdint>
#include <filesystem>

#include "device/byte_source.h"

// Copying a range of a disk into a raw image file.
namespace brinvale {

// Called after every chunk: user data, percent done (0..100), sectors done,
// total sectors, seconds left (-1 until the first estimate). A non-zero
// result stops the copy and becomes its result.
using ImageCopyProgress = int (*)(void* user, int percent, uint64_t sectorsDone,
                                  uint64_t totalSectors, int secondsLeft);

// The state of one copy.
struct ImageCopyJob {
  uint32_t bytesPerSector = 512;
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;  // 0: up to the end of the disk (replaced on open)
  ImageCopyProgress progress = nullptr;
  void* user = nullptr;
};

// Copies `count` sectors of whole disk `diskNumber` from `start` into
// `imagePath` (count 0: to the end of the disk). The image file is created or
// truncated: the user confirmed the overwrite, and the bytes of an older,
// longer file must not trail the copy. Returns 0, the system error of the
// first failing step (30 for a failed or empty read), or the callback's
// non-zero value. What was written before a failure stays in the file.
int CopyDiskToImage(ImageCopyJob& job, int diskNumber, uint64_t start, uint64_t count,
                    const std::filesystem::path& imagePath, void* user);

// The copy itself, from an open source whose sector size and byte length
// are known. CopyDiskToImage opens the disk and calls this.
int CopySourceToImage(ImageCopyJob& job, ByteSource& disk, uint32_t bytesPerSector,
                      uint64_t diskBytes, uint64_t start, uint64_t count,
                      const std::filesystem::path& imagePath, void* user);

}  // namespace brinvale
