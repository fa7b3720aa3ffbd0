// The volume recognisers on arbitrary first bytes of a partition.
#include <cstdint>
#include <span>

#include "engines/volume_recognition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  (void)brinvale::IsNtfsBootSector(bytes);
  (void)brinvale::IsFatBootSector(bytes);
  if (size >= 2048) (void)brinvale::IsExtSuperblock(bytes.subspan(1024));
  (void)brinvale::ClassifyVolumeStart(bytes);
  return 0;
}
