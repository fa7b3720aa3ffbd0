#include "device/byte_source.h"

#include <cstring>

#include "common/error_codes.h"

namespace brinvale {

int MemoryByteSource::ReadAt(uint64_t offset, void* buffer, size_t length, size_t& got) {
  got = 0;
  if (offset >= m_bytes.size()) return kOk;
  got = std::min<uint64_t>(length, m_bytes.size() - offset);
  std::memcpy(buffer, m_bytes.data() + offset, got);
  return kOk;
}

}  // namespace brinvale
