#include "results/scan_record.h"

#include <algorithm>
#include <cstring>

namespace brinvale {

ScanRecord ScanRecord::FromBytes(std::span<const uint8_t> bytes) {
  ScanRecord r;
  std::memcpy(r.m_bytes.data(), bytes.data(), std::min(bytes.size(), kSize));
  return r;
}

std::string_view ScanRecord::Name() const {
  const char* p = reinterpret_cast<const char*>(m_bytes.data() + rec::kName);
  return std::string_view(p, strnlen(p, rec::kNameBytes - 1));
}

void ScanRecord::SetName(std::string_view name) {
  std::string_view cut = CutUtf8(name, rec::kNameBytes - 1);
  std::fill(m_bytes.begin() + rec::kName, m_bytes.end(), 0);
  std::memcpy(m_bytes.data() + rec::kName, cut.data(), cut.size());
}

uint64_t ScanRecord::ClusterToSector(uint64_t cluster, uint32_t bytesPerSector) const {
  const uint64_t sectorsPerCluster = bytesPerSector ? ClusterBytes() / bytesPerSector : 0;
  return PartitionStart() + FirstDataSector() + (cluster - 2) * sectorsPerCluster;
}

std::string_view CutUtf8(std::string_view text, size_t maxBytes) {
  // An embedded NUL ends a stored name anyway.
  text = text.substr(0, std::min(text.find('\0'), text.size()));
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  // Step back over continuation bytes (10xxxxxx) to the start of the
  // character that would be split.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace brinvale
