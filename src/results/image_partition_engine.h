#pragma once

#include <cstdint>
#include <filesystem>

namespace brinvale {

// An engine that can be opened on one partition of an image file that holds
// a whole disk: the image is read as usual (512-byte sectors) and the
// volume starts at `start` and has `count` sectors. Records carry `start`
// as their partition start, so what they name is found again in the image.
// Implemented by every engine the factory makes.
class IImagePartitionEngine {
 public:
  virtual ~IImagePartitionEngine() = default;
  // Returns what OpenImage returns for the whole image.
  virtual int OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start,
                                 uint64_t count, char16_t sourceKey) = 0;
};

}  // namespace brinvale
