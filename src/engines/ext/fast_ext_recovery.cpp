#include "engines/ext/fast_ext_recovery.h"

namespace brinvale {

int CFastExtRecovery::OpenPartition(int diskNumber, uint64_t start, uint64_t count,
                                    char16_t driveLetter) {
  m_diskNumber = diskNumber;
  m_start = start;
  m_count = count;
  m_driveLetter = driveLetter;
  return OpenDiskReader(m_reader, diskNumber);
}

int CFastExtRecovery::OpenImagePartition(const std::filesystem::path& imagePath, uint64_t start,
                                         uint64_t count, char16_t sourceKey) {
  m_diskNumber = -1;
  m_start = start;
  m_count = count;
  m_driveLetter = sourceKey;
  return OpenImageReader(m_reader, imagePath);
}

}  // namespace brinvale
