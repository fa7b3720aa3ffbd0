#pragma once

// Builds NTFS file records and small in-memory volumes for byte-level tests.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "device/sector_reader.h"
#include "engines/ntfs/ntfs_layout.h"
#include "engines/ntfs/ntfs_volume.h"
#include "engines/ntfs/record_to_sector.h"

namespace brinvale::testing {

inline std::vector<uint8_t> Utf16Bytes(const std::u16string& s) {
  std::vector<uint8_t> b;
  for (char16_t c : s) {
    b.push_back(uint8_t(c));
    b.push_back(uint8_t(c >> 8));
  }
  return b;
}

// The value of a $FILE_NAME attribute.
inline std::vector<uint8_t> FileName(uint64_t parent, const std::u16string& name,
                                     uint8_t nameSpace = 3, uint64_t size = 0) {
  std::vector<uint8_t> v(0x42 + 2 * name.size(), 0);
  StoreLe64(v, 0x00, parent | uint64_t(1) << 48);  // parent reference, sequence 1
  StoreLe64(v, 0x08, 0x01D9000000000001);          // created
  StoreLe64(v, 0x10, 0x01D9000000000002);          // modified
  StoreLe64(v, 0x18, 0x01D9000000000003);          // record changed
  StoreLe64(v, 0x20, 0x01D9000000000004);          // accessed
  StoreLe64(v, 0x30, size);                        // data size
  v[0x40] = uint8_t(name.size());                  // name length
  v[0x41] = nameSpace;                             // 0 POSIX, 1 Win32, 2 DOS, 3 both
  const auto bytes = Utf16Bytes(name);
  std::copy(bytes.begin(), bytes.end(), v.begin() + 0x42);
  return v;
}

// A record laid out as the file system writes it: header, attributes each
// padded to 8 bytes, the end marker, then the update-sequence protection.
class RecordBuilder {
 public:
  explicit RecordBuilder(uint32_t number = 64, uint32_t recordSize = 1024)
      : m_number(number), m_size(recordSize) {}

  RecordBuilder& Flags(uint16_t flags) {
    m_flags = flags;
    return *this;
  }
  RecordBuilder& BaseRecord(uint64_t base) {
    m_base = base;
    return *this;
  }

  // A resident attribute: header 0x18 bytes, name after it, then the value.
  RecordBuilder& Resident(uint32_t type, const std::vector<uint8_t>& value,
                          const std::u16string& name = u"") {
    const auto nameBytes = Utf16Bytes(name);
    const size_t valueAt = Align(0x18 + nameBytes.size());
    std::vector<uint8_t> a(Align(valueAt + value.size()));
    StoreLe32(a, 0x00, type);                    // type
    StoreLe32(a, 0x04, uint32_t(a.size()));      // length
    a[0x08] = 0;                                 // resident
    a[0x09] = uint8_t(name.size());              // name length
    StoreLe16(a, 0x0A, 0x18);                    // name offset
    StoreLe32(a, 0x10, uint32_t(value.size()));  // value length
    StoreLe16(a, 0x14, uint16_t(valueAt));       // value offset
    std::copy(nameBytes.begin(), nameBytes.end(), a.begin() + 0x18);
    std::copy(value.begin(), value.end(), a.begin() + ptrdiff_t(valueAt));
    return Raw(a);
  }

  // A non-resident attribute: header 0x40 bytes, name, then the run list.
  RecordBuilder& NonResident(uint32_t type, const std::vector<uint8_t>& runList,
                             uint64_t dataSize = 0, uint64_t lowestVcn = 0,
                             const std::u16string& name = u"") {
    const auto nameBytes = Utf16Bytes(name);
    const size_t runsAt = Align(0x40 + nameBytes.size());
    std::vector<uint8_t> a(Align(runsAt + runList.size() + 1));
    StoreLe32(a, 0x00, type);                // type
    StoreLe32(a, 0x04, uint32_t(a.size()));  // length
    a[0x08] = 1;                             // non-resident
    a[0x09] = uint8_t(name.size());          // name length
    StoreLe16(a, 0x0A, 0x40);                // name offset
    StoreLe64(a, 0x10, lowestVcn);           // lowest VCN
    StoreLe16(a, 0x20, uint16_t(runsAt));    // run list offset
    StoreLe64(a, 0x28, dataSize);            // allocated size
    StoreLe64(a, 0x30, dataSize);            // data size
    StoreLe64(a, 0x38, dataSize);            // initialised size
    std::copy(nameBytes.begin(), nameBytes.end(), a.begin() + 0x40);
    std::copy(runList.begin(), runList.end(), a.begin() + ptrdiff_t(runsAt));
    return Raw(a);
  }

  // Attribute bytes exactly as given.
  RecordBuilder& Raw(const std::vector<uint8_t>& attribute) {
    m_attributes.insert(m_attributes.end(), attribute.begin(), attribute.end());
    return *this;
  }

  // The record as it lies on the medium (fix-up not applied).
  std::vector<uint8_t> Build(uint16_t sequence = 0x0007) const {
    std::vector<uint8_t> r(m_size, 0);
    const uint32_t blocks = m_size / 512;
    const size_t first = Align(0x32 + 2 * blocks);
    StoreLe32(r, 0x00, ntfs::record::kSignature);  // "FILE"
    StoreLe16(r, 0x04, 0x30);                      // update sequence offset
    StoreLe16(r, 0x06, uint16_t(blocks + 1));      // update sequence count
    StoreLe16(r, 0x10, 1);                         // sequence number
    StoreLe16(r, 0x14, uint16_t(first));           // first attribute
    StoreLe16(r, 0x16, m_flags);                   // flags
    StoreLe32(r, 0x1C, m_size);                    // allocated size
    StoreLe64(r, 0x20, m_base);                    // base record
    StoreLe32(r, 0x2C, m_number);                  // record number
    std::copy(m_attributes.begin(), m_attributes.end(), r.begin() + ptrdiff_t(first));
    const size_t end = first + m_attributes.size();
    StoreLe32(r, end, ntfs::kTypeEnd);      // end marker
    StoreLe32(r, 0x18, uint32_t(end + 8));  // bytes in use
    StoreLe16(r, 0x30, sequence);           // update sequence number
    for (uint32_t i = 0; i < blocks; ++i) {
      const size_t at = 512 * size_t(i + 1) - 2;
      r[0x32 + 2 * i] = r[at];  // save the real block end
      r[0x33 + 2 * i] = r[at + 1];
      StoreLe16(r, at, sequence);
    }
    return r;
  }

 private:
  static size_t Align(size_t n) { return (n + 7) & ~size_t(7); }

  uint32_t m_number;
  uint32_t m_size;
  uint16_t m_flags = ntfs::record::kFlagInUse;
  uint64_t m_base = 0;
  std::vector<uint8_t> m_attributes;
};

// A volume in memory: 512-byte sectors, 8 sectors per cluster, the MFT in
// `mftRuns` (default: 16 clusters at cluster 4, 64 records of 1,024 bytes).
class MemoryVolume {
 public:
  explicit MemoryVolume(RunList mftRuns = {{16, 4, false}}, size_t clusters = 128) {
    volume.bytesPerSector = 512;
    volume.sectorsPerCluster = 8;
    volume.recordSize = 1024;
    volume.sectorsPerRecord = 2;
    volume.mftRuns = std::move(mftRuns);
    bytes.assign(clusters * 4096, 0);
    volume.sectorCount = bytes.size() / 512;
  }

  void PutAt(uint64_t sector, const std::vector<uint8_t>& data) {
    std::copy(data.begin(), data.end(), bytes.begin() + ptrdiff_t(sector * 512));
  }
  void PutCluster(uint64_t cluster, const std::vector<uint8_t>& data) { PutAt(cluster * 8, data); }
  // Places MFT record `number`; returns its sector.
  uint64_t PutRecord(uint64_t number, const std::vector<uint8_t>& record) {
    uint64_t sector = 0;
    if (RecordToSector(volume, number, sector) != 0) return ~uint64_t(0);
    PutAt(sector, record);
    return sector;
  }

  // A reader over a copy of the bytes as they are now.
  SectorReader Reader() const {
    SectorReader reader;
    OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes), bytes.size() / 512);
    return reader;
  }

  NtfsVolume volume;
  std::vector<uint8_t> bytes;
};

}  // namespace brinvale::testing
