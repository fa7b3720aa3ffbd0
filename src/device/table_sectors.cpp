#include "device/table_sectors.h"

#include "common/error_codes.h"

namespace brinvale {

TableSectors::TableSectors(SectorReader& reader, uint32_t readerBytes, uint32_t tableBytes)
    : m_reader(reader), m_readerBytes(readerBytes), m_tableBytes(tableBytes) {}

uint64_t TableSectors::TotalSectors() const {
  if (m_readerBytes == 0 || m_tableBytes == 0) return 0;
  if (m_tableBytes >= m_readerBytes) return m_reader.totalSectors / (m_tableBytes / m_readerBytes);
  return m_reader.totalSectors * (m_readerBytes / m_tableBytes);
}

int TableSectors::Read(uint64_t first, uint32_t count, std::vector<uint8_t>& out) {
  if (m_readerBytes == 0 || m_tableBytes == 0 || m_tableBytes % m_readerBytes != 0)
    return kErrInvalidParameter;
  const uint64_t ratio = m_tableBytes / m_readerBytes;
  const uint64_t total = TotalSectors();
  if (first > total || count > total - first) return kErrInvalidParameter;
  const uint64_t readerCount = uint64_t(count) * ratio;
  if (readerCount > UINT32_MAX) return kErrInvalidParameter;
  out.assign(size_t(count) * m_tableBytes, 0);
  uint32_t got = 0;
  if (int rc = ReadSectors(uint32_t(readerCount), m_reader, out.data(), first * ratio,
                           m_readerBytes, got);
      rc != kOk)
    return rc;
  return got == readerCount ? kOk : kErrReadFault;
}

}  // namespace brinvale
